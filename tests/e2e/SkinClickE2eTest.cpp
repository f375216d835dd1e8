#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "tests/e2e/E2eHarness.h"

namespace tevrano::e2e {
namespace {

using std::chrono::seconds;

bool IcmdSet(const QJsonObject& l, int type) {
  return l.value("event").toString() == "module" && l.value("tag").toString() == "ICMD" &&
         l.value("op").toInt() == 2 && l.value("type").toInt() == type;
}

// Clicks on the key panel's elements, as a user would, change what the
// recorder is asked to stream: the simulator logs each view record.
TEST(SkinClickE2e, KeyPanelClicksSendTheMatchingViewRecords) {
  const std::string dir = TestOutputDir();  // made empty first: the simulator logs there too
  Simulator sim;
  ASSERT_TRUE(sim.Start()) << sim.Output();
  const std::string script = dir + "/clicks.txt";
  {
    std::ofstream f(script);
    // IE_DOING#SD counts the 16 channel keys first, then the split keys:
    // 18 is the quad 5-8, 23 the sixteen-way view.
    // The first click once the recorder streams: the view it was told is
    // then in place (a picture shows it).
    f << "wait-until logged-in\n"
         "wait-until picture\n"
         "click-target TevranoKeyForm IE_DOING#SD 18\n"
         "wait 1\n"
         "click-target TevranoKeyForm IE_DOING#SD 3\n"
         "wait 1\n"
         "click-target TevranoKeyForm IE_DOING#SD 23\n"
         "wait 2\n"
         "snapshot "
      << dir << "/sixteen.png Image1\n"
      << "click-target TevranoKeyForm IE_Page2#SD 2\n"
         "wait 1\n"
         "click-target TevranoKeyForm IE_Page2#SD 4\n"
         "wait 1\n"
         "snapshot "
      << dir << "/setup.png Image1\n"
      << "quit\n";
  }
  QStringList args = RecorderArgs(sim);
  args << "--script" << QString::fromStdString(script) << "--run-for"
       << "40";
  ViewerResult r = RunViewer(args, "skin_clicks");
  ASSERT_TRUE(r.finished) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;

  const auto log = sim.Log();
  auto find = [&](const std::function<bool(const QJsonObject&)>& p) {
    for (const QJsonObject& l : log)
      if (p(l)) return true;
    return false;
  };
  EXPECT_TRUE(find([](const QJsonObject& l) {
    return IcmdSet(l, 256) && l.value("split").toInt() == 1 && l.value("first").toInt() == 4;
  })) << "quad 5-8";
  EXPECT_TRUE(find([](const QJsonObject& l) {
    return IcmdSet(l, 256) && l.value("split").toInt() == 0 && l.value("channel").toInt() == 2;
  })) << "channel 3 alone";
  EXPECT_TRUE(find([](const QJsonObject& l) {
    return IcmdSet(l, 256) && l.value("split").toInt() == 3 && l.value("first").toInt() == 0;
  })) << "sixteen-way";
  EXPECT_TRUE(find([](const QJsonObject& l) { return IcmdSet(l, 512); })) << "Playback";
  EXPECT_TRUE(find([](const QJsonObject& l) {
    return IcmdSet(l, 4096) && l.value("page").toInt() == 0;
  })) << "Setup";

  // The key panel shows the new state: the sixteen-way key lit (blue), then
  // the Setup tab lit and the channel keys greyed.
  const QImage sixteen(QString::fromStdString(dir + "/sixteen.png"));
  const QImage setup(QString::fromStdString(dir + "/setup.png"));
  ASSERT_FALSE(sixteen.isNull());
  ASSERT_FALSE(setup.isNull());
  const Rgb allKey = MeanColour(sixteen, 294, 262, 30, 20);
  EXPECT_GT(allKey.b, allKey.r + 60) << "sixteen-way key not selected";
  const Rgb quadKey = MeanColour(sixteen, 74, 262, 30, 20);
  EXPECT_LT(quadKey.b, quadKey.r + 40) << "quad key still selected";
  const Rgb setupTab = MeanColour(setup, 279, 56, 40, 12);
  EXPECT_GT(setupTab.b, setupTab.r + 60) << "Setup tab not selected";
  const Rgb channelKey = MeanColour(setup, 45, 105, 40, 12);
  EXPECT_LT(channelKey.r + channelKey.g + channelKey.b, 3 * 60) << "channel keys not greyed";
  EXPECT_EQ(ControlOf(r.dump).value("page").toInt(), 3);
}

}  // namespace
}  // namespace tevrano::e2e
