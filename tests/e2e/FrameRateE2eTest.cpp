// A recorder that runs NTSC (30 frames a second): the viewer takes the rate
// from the stream and shows its pictures, moving, in the channel's colour.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/e2e/E2eHarness.h"

namespace tevrano::e2e {
namespace {

TEST(FrameRateE2e, AThirtyFrameRecorderShowsMovingPictures) {
  Simulator sim;
  ASSERT_TRUE(sim.Start({"--channels", "4", "--fps", "30", "--resolution", "704x480"}))
      << sim.Output();
  const std::string dir = std::filesystem::path(sim.LogPath()).parent_path().string();
  const std::string path = dir + "/script.txt";
  std::ofstream(path) << "wait-until logged-in\nwait-until picture\n"
                         "click-target TevranoKeyForm IE_DOING#SD 1\nwait 3\nsnapshot "
                      << dir << "/a.png\nwait 1.5\nsnapshot " << dir << "/b.png\nquit\n";
  QStringList args = RecorderArgs(sim);
  args << "--script" << QString::fromStdString(path);
  ViewerResult r = RunViewer(args, "viewer");
  ASSERT_TRUE(r.finished) << r.output;
  const QImage a(QString::fromStdString(dir + "/a.png")), b(QString::fromStdString(dir + "/b.png"));
  ASSERT_FALSE(a.isNull());
  ASSERT_FALSE(b.isNull());
  const QJsonObject v = ComponentOf(r.dump, "Image_video");
  const QRect area(v.value("left").toInt(), v.value("top").toInt(), v.value("width").toInt(),
                   v.value("height").toInt());
  EXPECT_NE(a.copy(area), b.copy(area)) << "the pictures move";
  // Channel 0's colour (200, 40, 40) as drawn: red well above green and blue.
  const Rgb centre = MeanColour(b, area.center().x(), area.center().y(), 64, 64);
  EXPECT_GT(centre.r, centre.g + 80);
  EXPECT_GT(centre.r, centre.b + 80);
  bool thirty = false;
  for (const QJsonObject& line : sim.Log()) thirty |= line.value("fps").toInt() == 30;
  EXPECT_TRUE(thirty) << "the simulator ran at 30 frames a second";
}

}  // namespace
}  // namespace tevrano::e2e
