// Live video end to end: the headless viewer shows the simulator's pictures
// over the stream socket and over the command channel, through picture-size
// changes, garbage in the stream and a dropped connection.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/e2e/E2eHarness.h"

namespace tevrano::e2e {
namespace {

// Channel 0's colour (200, 40, 40) in the simulator's pictures, as drawn.
const Rgb kChannel0 = ShownColour(200, 40, 40);
constexpr double kTolerance = 8;

// The centre of the video image in a snapshot of the whole form.
Rgb VideoCentre(const QImage& form, const QJsonObject& dump) {
  const QJsonObject video = ComponentOf(dump, "Image_video");
  const int cx = video.value("left").toInt() + video.value("width").toInt() / 2;
  const int cy = video.value("top").toInt() + video.value("height").toInt() / 2;
  return MeanColour(form, cx, cy, 64, 64);
}

// The video image's pixels of a snapshot.
QImage VideoArea(const QImage& form, const QJsonObject& dump) {
  const QJsonObject v = ComponentOf(dump, "Image_video");
  return form.copy(v.value("left").toInt(), v.value("top").toInt(), v.value("width").toInt(),
                   v.value("height").toInt());
}

std::string Describe(const Rgb& c) {
  return std::to_string(int(c.r)) + "," + std::to_string(int(c.g)) + "," + std::to_string(int(c.b));
}

// The key of channel 1 on the key panel, clicked once the recorder accepted
// the viewer and streams (its view is then in place): the single view of
// channel 0; then its first picture.
constexpr const char* kChannel1Click =
    "wait-until logged-in\nwait-until picture\nclick-target TevranoKeyForm IE_DOING#SD 1\n"
    "wait-until picture\n";
constexpr int kClickDone = 3;

// A viewer script that shows channel 0 alone and takes snapshots at about
// the given seconds after start-up (counting the click as done at
// kClickDone), each of a picture drawn since the previous one.
std::string SnapshotScript(const std::string& dir, const std::vector<int>& seconds) {
  const std::string path = dir + "/snapshots.txt";
  std::ofstream script(path);
  script << kChannel1Click;
  int at = kClickDone;
  for (size_t i = 0; i < seconds.size(); ++i) {
    script << "wait " << seconds[i] - at << "\n";
    script << "wait-until picture\n";
    script << "snapshot " << dir << "/shot" << i << ".png\n";
    at = seconds[i];
  }
  script << "quit\n";
  return path;
}

// The colours of channels 0 to 3 as drawn.
const Rgb kQuadColours[4] = {ShownColour(200, 40, 40), ShownColour(40, 160, 40),
                             ShownColour(40, 60, 200), ShownColour(210, 190, 40)};

// Checks the centres of the four cells of a quad view.
void ExpectQuad(const QImage& form, const QJsonObject& dump) {
  const QJsonObject v = ComponentOf(dump, "Image_video");
  const int left = v.value("left").toInt(), top = v.value("top").toInt();
  const int w = v.value("width").toInt(), h = v.value("height").toInt();
  for (int cell = 0; cell < 4; ++cell) {
    const int cx = left + w / 4 + (cell % 2) * w / 2;
    const int cy = top + h / 4 + (cell / 2) * h / 2;
    const Rgb c = MeanColour(form, cx, cy, 40, 40);
    EXPECT_TRUE(Near(c, kQuadColours[cell], kTolerance)) << "cell " << cell << ": " << Describe(c);
  }
}

class LiveVideoE2e : public ::testing::Test {
 protected:
  // Shows channel 0 alone from a simulator started with `simArgs` until
  // `seconds` after start-up.
  ViewerResult Watch(const QStringList& simArgs, int seconds) {
    return WatchScript(simArgs, std::string(kChannel1Click) + "wait " +
                                    std::to_string(seconds - kClickDone) + "\n");
  }
  // Runs the viewer with a script that takes snapshots at `seconds`.
  ViewerResult WatchWithShots(const QStringList& simArgs, const std::vector<int>& seconds) {
    EXPECT_TRUE(sim.Start(simArgs)) << sim.Output();
    // The simulator's log lies in the test's output folder.
    dir = std::filesystem::path(sim.LogPath()).parent_path().string();
    const std::string script = SnapshotScript(dir, seconds);
    QStringList args = RecorderArgs(sim);
    args << "--script" << QString::fromStdString(script);
    return RunViewer(args, "viewer");
  }
  // Runs the viewer with a script of commands, ended by quit.
  ViewerResult WatchScript(const QStringList& simArgs, const std::string& commands) {
    EXPECT_TRUE(sim.Start(simArgs)) << sim.Output();
    dir = std::filesystem::path(sim.LogPath()).parent_path().string();
    const std::string path = dir + "/script.txt";
    std::ofstream(path) << commands << "quit\n";
    QStringList args = RecorderArgs(sim);
    args << "--script" << QString::fromStdString(path);
    return RunViewer(args, "viewer");
  }
  QImage ShotAt(size_t i) const {
    return QImage(QString::fromStdString(dir + "/shot" + std::to_string(i) + ".png"));
  }

  Simulator sim;
  std::string dir;
};

TEST_F(LiveVideoE2e, OneChannelOverTheStreamSocketShowsTheChannelColour) {
  ViewerResult r = Watch({"--channels", "4"}, 5);
  ASSERT_TRUE(r.finished) << r.output;
  ASSERT_FALSE(r.snapshot.isNull());
  EXPECT_EQ(ControlOf(r.dump).value("view_mode").toInt(), 0);
  const Rgb centre = VideoCentre(r.snapshot, r.dump);
  EXPECT_TRUE(Near(centre, kChannel0, kTolerance)) << Describe(centre);
}

// The quad key of channels 1-4 on the key panel (after the 16 channel keys),
// clicked once the recorder accepted the viewer and streams; the four cells
// then arrive.
constexpr const char* kQuadClick =
    "wait-until logged-in\nwait-until picture\nclick-target TevranoKeyForm IE_DOING#SD 17\n"
    "wait-until picture\n"
    "wait 4\n";

TEST_F(LiveVideoE2e, AQuadShowsTheFourChannelsInTheirCells) {
  ViewerResult r = WatchScript({"--channels", "4"}, kQuadClick);
  ASSERT_TRUE(r.finished) << r.output;
  ASSERT_FALSE(r.snapshot.isNull());
  EXPECT_EQ(ControlOf(r.dump).value("layout").toInt(), 16);
  ExpectQuad(r.snapshot, r.dump);
}

TEST_F(LiveVideoE2e, AQuadOverTwoCommandConnectionsShowsTheFourChannels) {
  ViewerResult r =
      WatchScript({"--channels", "4", "--stream-socket", "no", "--connections", "2"}, kQuadClick);
  ASSERT_TRUE(r.finished) << r.output;
  ASSERT_FALSE(r.snapshot.isNull());
  ExpectQuad(r.snapshot, r.dump);
}

// Over the command channel, with one or two connections: the channel's
// colour, and pictures that keep coming (the moving square moves; its loop
// lasts 2 s, so the snapshots are 3 s apart).
TEST_F(LiveVideoE2e, OneChannelOverTwoCommandConnectionsKeepsComing) {
  ViewerResult r =
      WatchWithShots({"--channels", "4", "--stream-socket", "no", "--connections", "2"}, {5, 8});
  ASSERT_TRUE(r.finished) << r.output;
  const QImage a = ShotAt(0), b = ShotAt(1);
  ASSERT_FALSE(a.isNull());
  ASSERT_FALSE(b.isNull());
  const Rgb centre = VideoCentre(b, r.dump);
  EXPECT_TRUE(Near(centre, kChannel0, kTolerance)) << Describe(centre);
  EXPECT_NE(VideoArea(a, r.dump), VideoArea(b, r.dump)) << "the picture froze";
}

TEST_F(LiveVideoE2e, OneChannelOverOneCommandConnectionKeepsComing) {
  ViewerResult r = WatchWithShots({"--channels", "4", "--stream-socket", "no"}, {5, 8});
  ASSERT_TRUE(r.finished) << r.output;
  const QImage a = ShotAt(0), b = ShotAt(1);
  ASSERT_FALSE(b.isNull());
  const Rgb centre = VideoCentre(b, r.dump);
  EXPECT_TRUE(Near(centre, kChannel0, kTolerance)) << Describe(centre);
  EXPECT_NE(VideoArea(a, r.dump), VideoArea(b, r.dump)) << "the picture froze";
}

TEST_F(LiveVideoE2e, APictureSizeChangeInTheStreamKeepsThePictureRight) {
  // 704x576 for 3 s, then 352x288, then back.
  ViewerResult r = WatchWithShots(
      {"--channels", "4", "--resolution-cycle", "704x576,352x288", "--cycle-seconds", "3"},
      {4, 5, 7, 8, 10, 11});
  ASSERT_TRUE(r.finished) << r.output;
  for (size_t i = 0; i < 6; ++i) {
    const QImage shot = ShotAt(i);
    ASSERT_FALSE(shot.isNull()) << i;
    const Rgb centre = VideoCentre(shot, r.dump);
    EXPECT_TRUE(Near(centre, kChannel0, kTolerance)) << "shot " << i << ": " << Describe(centre);
  }
}

TEST_F(LiveVideoE2e, FramesSplitIntoSeveralPacketsAreShown) {
  ViewerResult r = Watch({"--channels", "4", "--split-frames", "1000"}, 5);
  ASSERT_TRUE(r.finished) << r.output;
  const Rgb centre = VideoCentre(r.snapshot, r.dump);
  EXPECT_TRUE(Near(centre, kChannel0, kTolerance)) << Describe(centre);
}

TEST_F(LiveVideoE2e, GarbageInTheStreamDoesNotStopThePictures) {
  ViewerResult r = WatchWithShots({"--channels", "4", "--garbage-every", "7"}, {5, 7, 10});
  ASSERT_TRUE(r.finished) << r.output;
  const QImage a = ShotAt(1), b = ShotAt(2);
  ASSERT_FALSE(a.isNull());
  ASSERT_FALSE(b.isNull());
  EXPECT_TRUE(Near(VideoCentre(b, r.dump), kChannel0, kTolerance))
      << Describe(VideoCentre(b, r.dump));
  EXPECT_NE(VideoArea(a, r.dump), VideoArea(b, r.dump)) << "the moving square moved";
}

TEST_F(LiveVideoE2e, ThePictureComesBackAfterTheRecorderDropsTheConnections) {
  ViewerResult r = WatchWithShots({"--channels", "4", "--drop-after", "5"}, {4, 16, 19});
  ASSERT_TRUE(r.finished) << r.output;
  int starts = 0;
  for (const QJsonObject& line : sim.Log())
    starts += line.value("event").toString() == "stream_start";
  EXPECT_GE(starts, 2) << "the viewer asked for the stream again";
  const QImage a = ShotAt(1), b = ShotAt(2);
  ASSERT_FALSE(b.isNull());
  EXPECT_TRUE(Near(VideoCentre(b, r.dump), kChannel0, kTolerance))
      << Describe(VideoCentre(b, r.dump));
  EXPECT_NE(VideoArea(a, r.dump), VideoArea(b, r.dump)) << "pictures arrive again";
}

}  // namespace
}  // namespace tevrano::e2e
