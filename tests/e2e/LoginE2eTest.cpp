#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>

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

TEST(LoginE2e, ViewerLogsInAndSaysSoInTheDump) {
  Simulator sim;
  ASSERT_TRUE(sim.Start()) << sim.Output();
  Viewer viewer;
  QStringList args = RecorderArgs(sim);
  args << "--run-for"
       << "4";
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(viewer.Start(args, "login"));
  auto login = sim.WaitForLog([](const QJsonObject& l) { return Is(l, "login"); }, seconds(60));
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  ASSERT_TRUE(login.has_value()) << sim.Output();
  std::printf("login took %lld ms from the viewer's start (log polled every 100 ms)\n",
              static_cast<long long>(took.count()));

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
  // Polls keep coming after the login.
  EXPECT_GE(Count(log,
                  [](const QJsonObject& l) {
                    return Is(l, "frame") && l.value("command").toInt() == 5 &&
                           l.value("socket").toInt() == 0;
                  }),
            10);
}

TEST(LoginE2e, TwoConnectionsOpenCommandSocketOne) {
  Simulator sim;
  ASSERT_TRUE(sim.Start({"--connections", "2"})) << sim.Output();
  Viewer viewer;
  QStringList args = RecorderArgs(sim);
  args << "--run-for"
       << "4";
  ASSERT_TRUE(viewer.Start(args, "two"));
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
  QStringList args = RecorderArgs(sim);
  args << "--run-for"
       << "4";
  ViewerResult r = RunViewer(args, "refused");
  ASSERT_TRUE(r.finished) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(ControlOf(r.dump).value("logged_in").toInt(), 0);
  EXPECT_GE(Count(sim.Log(), [](const QJsonObject& l) { return Is(l, "refused"); }), 2);
}

TEST(LoginE2e, WrongCredentialsAreRefused) {
  Simulator sim;
  ASSERT_TRUE(sim.Start()) << sim.Output();
  QStringList args = RecorderArgs(sim, "1111", "2222");
  args << "--run-for"
       << "3";
  ViewerResult r = RunViewer(args, "wrong");
  ASSERT_TRUE(r.finished) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(ControlOf(r.dump).value("logged_in").toInt(), 0);
  const auto log = sim.Log();
  EXPECT_GE(Count(log, [](const QJsonObject& l) { return Is(l, "refused"); }), 1);
  EXPECT_EQ(Count(log, [](const QJsonObject& l) { return Is(l, "login"); }), 0);
}

}  // namespace
}  // namespace tevrano::e2e
