// Several minutes of video over two command connections (no stream socket),
// through a dropped link and layout changes: the pictures never stop for
// good. Label e2e-long, outside the default run (scripts/test -L e2e-long).
#include <gtest/gtest.h>

#include <QFile>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/e2e/E2eHarness.h"

namespace tevrano::e2e {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRunSeconds = 240;

// Channel 0 alone; a quad from 100 s to 130 s; state and snapshot every
// quarter of a second.
std::string Script(const std::string& dir) {
  const std::string path = dir + "/long.txt";
  std::ofstream script(path);
  script << "wait 3\nclick-target TevranoKeyForm IE_DOING#SD 1\n";
  for (int quarter = 3 * 4; quarter < kRunSeconds * 4; ++quarter) {
    if (quarter == 100 * 4) script << "click-target TevranoKeyForm IE_DOING#SD 17\n";
    if (quarter == 130 * 4) script << "click-target TevranoKeyForm IE_DOING#SD 1\n";
    script << "dump " << dir << "/live.json\nsnapshot " << dir << "/live.png\nwait 0.25\n";
  }
  script << "quit\n";
  return path;
}

// Waits up to `limit` for the viewer's video area to change between two
// snapshots while it reports a login.
bool PicturesMove(const std::string& dir, std::chrono::seconds limit) {
  QImage previous;
  const Clock::time_point end = Clock::now() + limit;
  while (Clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const QJsonObject dump = ReadDump(dir + "/live.json");
    if (ControlOf(dump).value("logged_in").toInt() != 1) continue;
    const QImage form(QString::fromStdString(dir + "/live.png"));
    if (form.isNull()) continue;
    const QJsonObject v = ComponentOf(dump, "Image_video");
    const QImage video = form.copy(v.value("left").toInt(), v.value("top").toInt(),
                                   v.value("width").toInt(), v.value("height").toInt());
    if (!previous.isNull() && video != previous) return true;
    previous = video;
  }
  return false;
}

TEST(CommandChannelLongE2e, PicturesKeepComingForMinutesOverTwoConnections) {
  Simulator sim;
  ASSERT_TRUE(sim.Start(
      {"--channels", "4", "--stream-socket", "no", "--connections", "2", "--drop-after", "60"}))
      << sim.Output();
  const std::string dir = std::filesystem::path(sim.LogPath()).parent_path().string();
  QStringList args = RecorderArgs(sim);
  args << "--script" << QString::fromStdString(Script(dir));
  Viewer viewer;
  ASSERT_TRUE(viewer.Start(args, "viewer"));

  const Clock::time_point start = Clock::now();
  int checks = 0, stills = 0;
  // Every 10 s until shortly before the end, the pictures must be moving.
  for (int at = 10; at < kRunSeconds - 10; at += 10) {
    std::this_thread::sleep_until(start + std::chrono::seconds(at));
    ++checks;
    if (!PicturesMove(dir, std::chrono::seconds(8))) {
      ++stills;
      ADD_FAILURE() << "no moving pictures at about " << at << " s";
    }
  }
  int logins = 0;
  for (const QJsonObject& line : sim.Log()) logins += line.value("event").toString() == "login";
  std::printf("[ measured ] %d checks, %d without moving pictures, %d logins\n", checks, stills,
              logins);
  EXPECT_GE(logins, 2) << "the viewer logged in again after the drop";
}

}  // namespace
}  // namespace tevrano::e2e
