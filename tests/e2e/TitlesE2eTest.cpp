#include <gtest/gtest.h>

#include <QFileInfo>
#include <cstdlib>
#include <fstream>

#include "tests/e2e/E2eHarness.h"

namespace tevrano::e2e {
namespace {

using std::chrono::seconds;

// Titles typed into the Title tab, saved to a title file, overwritten and
// loaded back, then applied: the simulator pulls the set and finds the
// loaded titles, each rendered into all four bitmaps with its ink centred.
TEST(TitlesE2e, TypedTitlesSavedLoadedAndAppliedReachTheRecorderCentred) {
  const std::string dir = TestOutputDir();
  Simulator sim;
  ASSERT_TRUE(sim.Start({"--channels", "4"})) << sim.Output();
  const std::string script = dir + "/titles.txt";
  const std::string file = dir + "/my titles.ttl";
  {
    std::ofstream f(script);
    f << "wait-until logged-in\n"
         "set-text LabeledEdit_Title1 Gate\n"
         "set-text LabeledEdit_Title2 Yard 2\n"
         "select ComboBox_TFS 0\n"
         "save-file "
      << file << "\n"
      << "click Button_TSave\n"
         "set-text LabeledEdit_Title1 Wrong\n"
         "select ComboBox_TFS 4\n"
         "choose-file "
      << file << "\n"
      << "click Button_TLoad\n"
         "click Button_TLoad\n"  // nothing queued: cancelled, nothing changes
         "tab 5\n"
         "click Button_Title1\n";
  }
  Viewer viewer;
  QStringList args = RecorderArgs(sim);
  args << "--script" << QString::fromStdString(script) << "--run-for"
       << "120";
  ASSERT_TRUE(viewer.Start(args, "titles"));

  const auto received = sim.WaitForLog(
      [](const QJsonObject& l) { return l.value("event").toString() == "titles_received"; },
      seconds(100));
  viewer.Terminate();
  const ViewerResult r = viewer.Finish();
  ASSERT_TRUE(received) << r.output;
  EXPECT_EQ(QFileInfo(QString::fromStdString(file)).size(), 115648);

  const QJsonObject& t = *received;
  EXPECT_TRUE(t.value("checksum_ok").toBool());
  const QJsonArray titles = t.value("titles").toArray();
  ASSERT_EQ(titles.size(), 16);
  EXPECT_EQ(titles[0].toString(), "Gate");
  EXPECT_EQ(titles[1].toString(), "Yard 2");
  EXPECT_EQ(titles[2].toString(), "");
  EXPECT_EQ(t.value("percent").toInt(), 80);  // "X-Large", saved and loaded back

  const int widths[4] = {448, 352, 288, 224}, heights[4] = {56, 44, 36, 28};
  const QJsonArray boxes = t.value("ink_boxes").toArray();
  ASSERT_EQ(boxes.size(), 16);
  for (int ch = 0; ch < 2; ++ch) {
    for (int size = 0; size < 4; ++size) {
      SCOPED_TRACE(ch * 10 + size);
      const QJsonArray box = boxes[ch].toArray()[size].toArray();
      ASSERT_EQ(box.size(), 4);
      const int left = box[0].toInt(), top = box[1].toInt(), right = box[2].toInt(),
                bottom = box[3].toInt();
      EXPECT_LE(std::abs(left - (widths[size] - 1 - right)), 1);
      EXPECT_LE(std::abs(top - (heights[size] - 1 - bottom)), 1);
      // 80 % of the height is the text's line height; the ink is less.
      EXPECT_GT(bottom - top + 1, heights[size] / 3);
    }
  }
  EXPECT_TRUE(boxes[2].toArray()[0].isNull());
}

}  // namespace
}  // namespace tevrano::e2e
