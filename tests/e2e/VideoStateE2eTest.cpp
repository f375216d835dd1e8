// A frozen picture the user can see: the recorder stalls for a while (its
// connections stay open, nothing comes), the viewer says "no video" and dims
// the last picture under "No video"; the recorder comes back, the viewer says
// "logged in" and shows the live picture again. The script waits on the
// viewer's own state; nothing here depends on how long anything takes.
#include <gtest/gtest.h>

#include <QFile>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/e2e/E2eHarness.h"

namespace tevrano::e2e {
namespace {

// Channel 0's colour (200, 40, 40) as drawn, and dimmed to 3/8.
const Rgb kChannel0 = ShownColour(200, 40, 40);
const Rgb kChannel0Dimmed = {kChannel0.r * 3 / 8, kChannel0.g * 3 / 8, kChannel0.b * 3 / 8};
constexpr double kTolerance = 8;

std::string Describe(const Rgb& c) {
  return std::to_string(int(c.r)) + "," + std::to_string(int(c.g)) + "," + std::to_string(int(c.b));
}

// The flat centre of the picture above the "No video" label, and the label's
// box: in the snapshot of the whole form.
struct VideoSpots {
  int cx = 0, cy = 0;
  explicit VideoSpots(const QJsonObject& dump) {
    const QJsonObject v = ComponentOf(dump, "Image_video");
    cx = v.value("left").toInt() + v.value("width").toInt() / 2;
    cy = v.value("top").toInt() + v.value("height").toInt() / 2;
  }
  Rgb AboveLabel(const QImage& form) const { return MeanColour(form, cx, cy - 56, 40, 16); }
  // Pixels of the label's white text, within the flat centre of the picture.
  int WhiteInLabel(const QImage& form) const {
    int n = 0;
    for (int y = cy - 30; y < cy + 30; ++y)
      for (int x = cx - 80; x < cx + 80; ++x) n += form.pixel(x, y) == qRgb(255, 255, 255);
    return n;
  }
};

TEST(VideoStateE2e, AStalledRecorderShowsNoVideoUntilItsPicturesComeBack) {
  Simulator sim;
  // Stalled for less than the 20 s after which the link watchdog reconnects,
  // so the session lives through it.
  ASSERT_TRUE(sim.Start({"--channels", "4", "--stall-after", "12", "--stall-for", "14"}))
      << sim.Output();
  const std::string dir = std::filesystem::path(sim.LogPath()).parent_path().string();
  const std::string script = dir + "/video_state.txt";
  std::ofstream(script) << "wait-until logged-in\n"
                           "wait-until picture\n"
                           "click-target TevranoKeyForm IE_DOING#SD 1\n"
                           "wait-until picture\n"
                           "wait-until picture\n"
                        << "dump " << dir << "/flowing.json\n"
                        << "snapshot " << dir << "/flowing.png\n"
                        << "wait-until video-state no-video 40\n"
                        << "dump " << dir << "/stalled.json\n"
                        << "snapshot " << dir << "/stalled.png\n"
                        << "wait-until video-state logged-in 40\n"
                        << "wait-until picture\n"
                        << "dump " << dir << "/back.json\n"
                        << "snapshot " << dir << "/back.png\n"
                        << "quit\n";
  QStringList args = RecorderArgs(sim);
  args << "--script" << QString::fromStdString(script);
  const ViewerResult r = RunViewer(args, "viewer");
  ASSERT_TRUE(r.finished) << r.output;
  ASSERT_EQ(r.exitCode, 0) << r.output;

  // Pictures flowing: logged in, the camera's colour.
  const QJsonObject flowing = ReadDump(dir + "/flowing.json");
  const QImage flowingShot(QString::fromStdString(dir + "/flowing.png"));
  ASSERT_FALSE(flowingShot.isNull());
  EXPECT_EQ(ControlOf(flowing).value("video_state").toString(), "logged in");
  const VideoSpots spots(flowing);
  EXPECT_TRUE(Near(spots.AboveLabel(flowingShot), kChannel0, kTolerance))
      << Describe(spots.AboveLabel(flowingShot));

  // The stall: "no video" with the seconds since the last picture, the status
  // line says so, the picture is dimmed with the label over it.
  const QJsonObject stalled = ReadDump(dir + "/stalled.json");
  const QImage stalledShot(QString::fromStdString(dir + "/stalled.png"));
  ASSERT_FALSE(stalledShot.isNull());
  EXPECT_EQ(ControlOf(stalled).value("video_state").toString(), "no video");
  EXPECT_GE(ControlOf(stalled).value("seconds_without_picture").toInt(), 5);
  EXPECT_EQ(ControlOf(stalled).value("logged_in").toInt(), 1);
  EXPECT_EQ(ComponentOf(stalled, "Label_time").value("caption").toString(), "No video");
  EXPECT_TRUE(ComponentOf(stalled, "Image_Conn").value("visible").toBool());
  EXPECT_TRUE(Near(spots.AboveLabel(stalledShot), kChannel0Dimmed, kTolerance))
      << Describe(spots.AboveLabel(stalledShot));
  EXPECT_GT(spots.WhiteInLabel(stalledShot), 200);
  const auto stallLine = sim.WaitForLog(
      [](const QJsonObject& l) {
        return l.value("event").toString() == "fault" && l.value("fault").toString() == "stall";
      },
      std::chrono::seconds(1));
  EXPECT_TRUE(stallLine) << "the simulator never stalled";

  // Back: "logged in", a normal picture, the status line shows its time.
  const QJsonObject back = ReadDump(dir + "/back.json");
  const QImage backShot(QString::fromStdString(dir + "/back.png"));
  ASSERT_FALSE(backShot.isNull());
  EXPECT_EQ(ControlOf(back).value("video_state").toString(), "logged in");
  EXPECT_EQ(ControlOf(back).value("seconds_without_picture").toInt(), 0);
  EXPECT_NE(ComponentOf(back, "Label_time").value("caption").toString(), "No video");
  EXPECT_TRUE(Near(spots.AboveLabel(backShot), kChannel0, kTolerance))
      << Describe(spots.AboveLabel(backShot));
  EXPECT_EQ(spots.WhiteInLabel(backShot), 0);
}

}  // namespace
}  // namespace tevrano::e2e
