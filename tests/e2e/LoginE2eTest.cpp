#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <thread>

#include "tests/e2e/E2eHarness.h"

namespace tevrano::e2e {
namespace {

using std::chrono::seconds;

bool Is(const QJsonObject& line, const char* event) {
  return line.value("event").toString() == event;
}

int Count(const std::vector<QJsonObject>& log, const std::function<bool(const QJsonObject&)>& p) {
  int n = 0;
  for (const QJsonObject& line : log) n += p(line) ? 1 : 0;
  return n;
}

// Waits until the simulator's log holds at least `n` lines for which `p`
// holds; true when it did within `timeout`.
bool WaitForCount(const Simulator& sim, const std::function<bool(const QJsonObject&)>& p, int n,
                  seconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  do {
    if (Count(sim.Log(), p) >= n) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  } while (std::chrono::steady_clock::now() < end);
  return false;
}

bool IsPollOnSocketZero(const QJsonObject& l) {
  return Is(l, "frame") && l.value("command").toInt() == 5 && l.value("socket").toInt() == 0;
}

TEST(LoginE2e, ViewerLogsInAndSaysSoInTheDump) {
  Simulator sim;
  ASSERT_TRUE(sim.Start()) << sim.Output();
  Viewer viewer;
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(viewer.Start(RecorderArgs(sim), "login"));
  auto login = sim.WaitForLog([](const QJsonObject& l) { return Is(l, "login"); }, seconds(60));
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  ASSERT_TRUE(login.has_value()) << sim.Output();
  std::printf("login took %lld ms from the viewer's start (log polled every 100 ms)\n",
              static_cast<long long>(took.count()));

  // Polls keep coming after the login; the run ends once ten have come.
  EXPECT_TRUE(WaitForCount(sim, IsPollOnSocketZero, 10, seconds(60))) << sim.Output();
  viewer.Terminate();
  ViewerResult r = viewer.Finish();
  ASSERT_TRUE(r.finished) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(ControlOf(r.dump).value("logged_in").toInt(), 1);
  EXPECT_NE(ControlOf(r.dump).value("session_id").toDouble(), 0);
  EXPECT_EQ(ControlOf(r.dump).value("login_state").toInt(), 4);
  EXPECT_TRUE(ComponentOf(r.dump, "Image_Conn").value("visible").toBool());
  EXPECT_FALSE(ComponentOf(r.dump, "Image_Disconn").value("visible").toBool());

  const auto log = sim.Log();
  for (const QJsonObject& l : log)
    if (Is(l, "frame") && l.value("command").toInt() == 0) {
      std::printf("login took %.0f ms from the viewer's Hello (recorder's clock)\n",
                  (login->value("t").toDouble() - l.value("t").toDouble()) * 1000);
      break;
    }
  EXPECT_GE(Count(log,
                  [](const QJsonObject& l) {
                    return Is(l, "frame") && l.value("command").toInt() == 0 &&
                           l.value("credentials_ok").toBool() &&
                           l.value("user").toString() == "1234";
                  }),
            1);
  EXPECT_GE(Count(log,
                  [](const QJsonObject& l) {
                    return Is(l, "module") && l.value("tag").toString() == "ZELL" &&
                           l.value("type").toInt() == 0 && l.value("kind").toInt() == 1 &&
                           l.value("length").toInt() == 320;
                  }),
            1);
  EXPECT_GE(Count(log,
                  [](const QJsonObject& l) {
                    return Is(l, "module") && l.value("tag").toString() == "ICTL" &&
                           l.value("name").toString() == "Zell_Mach_Type_Data_W" &&
                           l.value("size").toInt() == 960;
                  }),
            1);
  EXPECT_GE(Count(log, IsPollOnSocketZero), 10);
}

TEST(LoginE2e, TwoConnectionsOpenCommandSocketOne) {
  Simulator sim;
  ASSERT_TRUE(sim.Start({"--connections", "2"})) << sim.Output();
  Viewer viewer;
  ASSERT_TRUE(viewer.Start(RecorderArgs(sim), "two"));
  // Socket 1 opens once the system information allows two connections; it
  // carries polls only while socket 0 waits for an answer, so its connection
  // (after the login, besides the stream socket) is what shows it.
  auto login = sim.WaitForLog([](const QJsonObject& l) { return Is(l, "login"); }, seconds(60));
  ASSERT_TRUE(login.has_value()) << sim.Output();
  const double loggedInAt = login->value("t").toDouble();
  auto second = sim.WaitForLog(
      [loggedInAt](const QJsonObject& l) {
        return Is(l, "connect") && l.value("t").toDouble() >= loggedInAt;
      },
      seconds(60));
  EXPECT_TRUE(second.has_value()) << sim.Output();
  viewer.Terminate();
  ViewerResult r = viewer.Finish();
  ASSERT_TRUE(r.finished) << r.output;
  EXPECT_EQ(ControlOf(r.dump).value("logged_in").toInt(), 1);
}

TEST(LoginE2e, ViewerLogsInAgainAfterTheRecorderRestarts) {
  Simulator sim;
  ASSERT_TRUE(sim.Start()) << sim.Output();
  const int port = sim.Port();
  // No time limit: the run ends when the test has seen the second login.
  Viewer viewer;
  ASSERT_TRUE(viewer.Start(RecorderArgs(sim), "restart"));
  auto first = sim.WaitForLog([](const QJsonObject& l) { return Is(l, "login"); }, seconds(60));
  ASSERT_TRUE(first.has_value()) << sim.Output();
  sim.Stop();
  ASSERT_TRUE(sim.Start({}, port)) << sim.Output();
  const auto restarted = std::chrono::steady_clock::now();
  // The new recorder's log starts afresh: any login in it is a new one. (Its
  // session number may equal the first one's: both come from the clock.)
  auto again = sim.WaitForLog([&](const QJsonObject& l) { return Is(l, "login"); }, seconds(60));
  ASSERT_TRUE(again.has_value()) << sim.Output();
  std::printf("logged in again %lld ms after the restarted recorder accepted connections\n",
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - restarted)
                                         .count()));
  // The recorder logs the login as it answers; a poll of the new session
  // shows that the viewer took the answer. Then the run ends.
  const double loggedInAt = again->value("t").toDouble();
  auto poll = sim.WaitForLog(
      [&](const QJsonObject& l) {
        return Is(l, "frame") && l.value("command").toInt() == 5 &&
               l.value("t").toDouble() > loggedInAt;
      },
      seconds(60));
  ASSERT_TRUE(poll.has_value()) << sim.Output();
  viewer.Terminate();
  ViewerResult r = viewer.Finish();
  ASSERT_TRUE(r.finished) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(ControlOf(r.dump).value("logged_in").toInt(), 1);
}

TEST(LoginE2e, AWaitForALoginThatNeverComesFailsTheScriptWithItsLine) {
  const std::string script = TestOutputDir() + "/wait.txt";
  Simulator sim;
  ASSERT_TRUE(sim.Start({"--refuse"})) << sim.Output();
  std::ofstream(script) << "# the recorder refuses every login\nwait-until logged-in 2\nquit\n";
  QStringList args = RecorderArgs(sim);
  args << "--script" << QString::fromStdString(script);
  ViewerResult r = RunViewer(args, "wait_refused");
  ASSERT_TRUE(r.finished) << r.output;
  EXPECT_EQ(r.exitCode, 2) << r.output;
  EXPECT_NE(r.output.find("wait.txt:2: wait-until logged-in: not within 2 s"), std::string::npos)
      << r.output;
}

TEST(LoginE2e, ARefusingRecorderIsAskedAgainWithoutACrash) {
  Simulator sim;
  ASSERT_TRUE(sim.Start({"--refuse"})) << sim.Output();
  auto refused = [](const QJsonObject& l) { return Is(l, "refused"); };
  Viewer viewer;
  ASSERT_TRUE(viewer.Start(RecorderArgs(sim), "refused"));
  // The run ends once the recorder has refused the viewer twice.
  EXPECT_TRUE(WaitForCount(sim, refused, 2, seconds(60))) << sim.Output();
  viewer.Terminate();
  ViewerResult r = viewer.Finish();
  ASSERT_TRUE(r.finished) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(ControlOf(r.dump).value("logged_in").toInt(), 0);
  EXPECT_GE(Count(sim.Log(), refused), 2);
}

TEST(LoginE2e, WrongCredentialsAreRefused) {
  Simulator sim;
  ASSERT_TRUE(sim.Start()) << sim.Output();
  Viewer viewer;
  ASSERT_TRUE(viewer.Start(RecorderArgs(sim, "1111", "2222"), "wrong"));
  // The run ends once the recorder has refused the credentials.
  EXPECT_TRUE(WaitForCount(
      sim, [](const QJsonObject& l) { return Is(l, "refused"); }, 1, seconds(60)))
      << sim.Output();
  viewer.Terminate();
  ViewerResult r = viewer.Finish();
  ASSERT_TRUE(r.finished) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(ControlOf(r.dump).value("logged_in").toInt(), 0);
  const auto log = sim.Log();
  EXPECT_GE(Count(log, [](const QJsonObject& l) { return Is(l, "refused"); }), 1);
  EXPECT_EQ(Count(log, [](const QJsonObject& l) { return Is(l, "login"); }), 0);
}

}  // namespace
}  // namespace tevrano::e2e
