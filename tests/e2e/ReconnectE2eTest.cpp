// Coming back after the recorder drops or stalls its connections, with two
// command connections: the viewer logs in again and shows pictures soon
// after the link is back. The times are printed, never asserted; the test
// waits for the conditions in the simulator's log and the viewer's dumps.
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

// The viewer shows channel 0 alone, then writes its state and a snapshot
// every quarter of a second until the test has seen what it waits for.
std::string WatchScript(const std::string& dir, int seconds) {
  const std::string path = dir + "/watch.txt";
  std::ofstream script(path);
  script << "wait 3\nclick-target TevranoKeyForm IE_DOING#SD 1\n";
  for (int i = 0; i < seconds * 4; ++i)
    script << "dump " << dir << "/live.json\nsnapshot " << dir << "/live.png\nwait 0.25\n";
  script << "quit\n";
  return path;
}

// The viewer's last dump, or an empty object while it is being written.

QImage VideoArea(const QImage& form, const QJsonObject& dump) {
  const QJsonObject v = ComponentOf(dump, "Image_video");
  return form.copy(v.value("left").toInt(), v.value("top").toInt(), v.value("width").toInt(),
                   v.value("height").toInt());
}

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

class ReconnectE2e : public ::testing::Test {
 protected:
  // Runs the viewer against a simulator with `simArgs` whose fault event
  // `fault` (a "fault" line) ends the link and whose event `back` brings it
  // back; checks that the viewer logs in again and shows moving pictures.
  void ExpectComesBack(const QStringList& simArgs, const QString& fault, const QString& back,
                       int runSeconds) {
    ASSERT_TRUE(sim.Start(simArgs)) << sim.Output();
    const std::string dir = std::filesystem::path(sim.LogPath()).parent_path().string();
    QStringList args = RecorderArgs(sim);
    args << "--script" << QString::fromStdString(WatchScript(dir, runSeconds));
    Viewer viewer;
    ASSERT_TRUE(viewer.Start(args, "viewer"));

    auto faultLine = [](const QString& what) {
      return [what](const QJsonObject& l) {
        return l.value("event").toString() == "fault" && l.value("fault").toString() == what;
      };
    };
    const auto firstLogin =
        sim.WaitForLog([](const QJsonObject& l) { return l.value("event").toString() == "login"; },
                       std::chrono::seconds(30));
    ASSERT_TRUE(firstLogin) << "the first login";
    const auto lost = sim.WaitForLog(faultLine(fault), std::chrono::seconds(60));
    ASSERT_TRUE(lost) << "the simulator's " << fault.toStdString();
    const auto backLine = sim.WaitForLog(faultLine(back), std::chrono::seconds(90));
    ASSERT_TRUE(backLine) << "the simulator's " << back.toStdString();
    const Clock::time_point backSeen = Clock::now();
    const double backAt = backLine->value("t").toDouble();

    // A login after the link came back, on a session of its own.
    const uint32_t oldSession = uint32_t(firstLogin->value("session").toDouble());
    const auto relogin = sim.WaitForLog(
        [&](const QJsonObject& l) {
          return l.value("event").toString() == "login" && l.value("t").toDouble() >= backAt &&
                 uint32_t(l.value("session").toDouble()) != oldSession;
        },
        std::chrono::seconds(20));
    ASSERT_TRUE(relogin) << "no new login within 20 s of the link coming back";
    const uint32_t session = uint32_t(relogin->value("session").toDouble());

    // Pictures: the viewer reports the new session and its video area
    // changes from one snapshot to the next.
    QImage previous;
    bool shown = false;
    const Clock::time_point end = backSeen + std::chrono::seconds(20);
    while (!shown && Clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const QJsonObject dump = ReadDump(dir + "/live.json");
      const QJsonObject control = ControlOf(dump);
      if (control.value("logged_in").toInt() != 1 ||
          uint32_t(control.value("session_id").toDouble()) != session)
        continue;
      const QImage form(QString::fromStdString(dir + "/live.png"));
      if (form.isNull()) continue;
      const QImage video = VideoArea(form, dump);
      shown = !previous.isNull() && video != previous;
      previous = video;
    }
    const Clock::time_point shownAt = Clock::now();
    ASSERT_TRUE(shown) << "no moving pictures within 20 s of the link coming back";
    std::printf(
        "[ measured ] %s: logged in %.2f s and pictures seen %.2f s after the link came "
        "back (the pictures to within the 0.25 s of the viewer's snapshots)\n",
        back.toStdString().c_str(), relogin->value("t").toDouble() - backAt,
        Seconds(shownAt - backSeen));
  }

  Simulator sim;
};

// The simulator closes everything once and takes new connections at once.
TEST_F(ReconnectE2e, TwoConnectionsComeBackAfterADrop) {
  ExpectComesBack({"--channels", "4", "--connections", "2", "--drop-after", "8"}, "drop", "drop",
                  40);
}

// The simulator goes silent for 25 s: the watchdog's first step (after 20 s
// of silence) closes the connections and opens socket 0 again, whose login
// waits until the simulator answers.
TEST_F(ReconnectE2e, TwoConnectionsComeBackAfterAStall) {
  ExpectComesBack(
      {"--channels", "4", "--connections", "2", "--stall-after", "8", "--stall-for", "25"}, "stall",
      "stall_end", 60);
}

}  // namespace
}  // namespace tevrano::e2e
