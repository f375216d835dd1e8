// Coming back after a lost link, with one or two command connections: the
// login always starts again on socket 0 (with the stream socket), and
// socket 1 follows only when the recorder's system information asks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/net/NetPeer.h"

namespace tevrano {
namespace {

using test::Answer;
using test::Frame;
using test::Frames;

// The ways a link is lost.
enum class Loss {
  Socket0,
  Socket1,
  Stream,
  Socket0ThenSocket1,
  Socket1ThenSocket0,
  Socket0ThenStream,
  StreamThenSocket0,
  Socket1ThenStream,
  StreamThenSocket1,
  StreamThenSocket0ThenSocket1,
  StreamThenSocket1ThenSocket0,
  Socket0ThenSocket1ThenStream,
  Socket1ThenSocket0ThenStream,
  WatchdogFirstStep,
  WatchdogSecondStep,
};

struct Case {
  const char* what;
  Loss loss;
};

const Case kCases[] = {
    {"peer closes socket 0", Loss::Socket0},
    {"peer closes socket 1", Loss::Socket1},
    {"peer closes the stream socket", Loss::Stream},
    {"socket 0, then socket 1", Loss::Socket0ThenSocket1},
    {"socket 1, then socket 0", Loss::Socket1ThenSocket0},
    {"socket 0, then the stream socket", Loss::Socket0ThenStream},
    {"the stream socket, then socket 0", Loss::StreamThenSocket0},
    {"socket 1, then the stream socket", Loss::Socket1ThenStream},
    {"the stream socket, then socket 1", Loss::StreamThenSocket1},
    {"the stream socket, socket 0, socket 1", Loss::StreamThenSocket0ThenSocket1},
    {"the stream socket, socket 1, socket 0", Loss::StreamThenSocket1ThenSocket0},
    {"socket 0, socket 1, the stream socket", Loss::Socket0ThenSocket1ThenStream},
    {"socket 1, socket 0, the stream socket", Loss::Socket1ThenSocket0ThenStream},
    {"watchdog first step", Loss::WatchdogFirstStep},
    {"watchdog second step", Loss::WatchdogSecondStep},
};

bool UsesSocket1(Loss loss) {
  return loss != Loss::Socket0 && loss != Loss::Stream && loss != Loss::Socket0ThenStream &&
         loss != Loss::StreamThenSocket0 && loss != Loss::WatchdogFirstStep &&
         loss != Loss::WatchdogSecondStep;
}

struct Reconnect : test::FreshNet {
  // Ticks of one second, then the watchdog, as the main loop runs them.
  void Seconds(int seconds) {
    for (int s = 0; s < seconds; ++s) {
      for (int t = 0; t < 100; ++t) Tick();
      net.LinkWatchdog();
      fakes.network.Pump();
    }
  }

  // The peer closes these sockets, their events queued in this order.
  void PeerCloses(std::initializer_list<platform::FakeClientSocket*> sockets) {
    for (platform::FakeClientSocket* s : sockets) fakes.network.PeerClose(*s);
    fakes.network.Pump();
  }

  void Lose(Loss loss) {
    switch (loss) {
      case Loss::Socket0:
        return PeerCloses({&Cmd(0)});
      case Loss::Socket1:
        return PeerCloses({&Cmd(1)});
      case Loss::Stream:
        return PeerCloses({&Stream()});
      case Loss::Socket0ThenSocket1:
        return PeerCloses({&Cmd(0), &Cmd(1)});
      case Loss::Socket1ThenSocket0:
        return PeerCloses({&Cmd(1), &Cmd(0)});
      case Loss::Socket0ThenStream:
        return PeerCloses({&Cmd(0), &Stream()});
      case Loss::StreamThenSocket0:
        return PeerCloses({&Stream(), &Cmd(0)});
      case Loss::Socket1ThenStream:
        return PeerCloses({&Cmd(1), &Stream()});
      case Loss::StreamThenSocket1:
        return PeerCloses({&Stream(), &Cmd(1)});
      case Loss::StreamThenSocket0ThenSocket1:
        return PeerCloses({&Stream(), &Cmd(0), &Cmd(1)});
      case Loss::StreamThenSocket1ThenSocket0:
        return PeerCloses({&Stream(), &Cmd(1), &Cmd(0)});
      case Loss::Socket0ThenSocket1ThenStream:
        return PeerCloses({&Cmd(0), &Cmd(1), &Stream()});
      case Loss::Socket1ThenSocket0ThenStream:
        return PeerCloses({&Cmd(1), &Cmd(0), &Stream()});
      case Loss::WatchdogFirstStep:
        net.Link().LastReceiveTime = fakes.clock.TickCountMs();
        Seconds(20);
        ASSERT_EQ(net.Link().WatchdogPhase, 1u);
        return;
      case Loss::WatchdogSecondStep:
        net.Link().LastReceiveTime = fakes.clock.TickCountMs();
        Seconds(20);
        ASSERT_EQ(net.Link().WatchdogPhase, 1u);
        // The recorder takes the new connections and says nothing until
        // the second step closes them.
        for (int t = 0; t < 100 && !Cmd(0).Active(); ++t) Tick();
        fakes.network.AcceptConnect(Cmd(0));
        fakes.network.AcceptConnect(Stream());
        fakes.network.Pump();
        Seconds(30);
        ASSERT_EQ(net.Link().WatchdogPhase, 0u);
        return;
    }
  }

  // Ticks until socket 0 is being connected again; the number of ticks, or
  // -1 when none came within `limit`.
  int TicksToReconnect(int attemptsBefore, int limit) {
    for (int t = 0; t <= limit; ++t) {
      if (Cmd(0).Active() && !Cmd(0).Connected() && Cmd(0).ConnectAttempts() > attemptsBefore)
        return t;
      Tick();
    }
    return -1;
  }

  // The recorder accepts and logs the viewer in with `sessionId`.
  void AnswerLogin(uint32_t sessionId, uint32_t connections) {
    fakes.network.AcceptConnect(Cmd(0));
    fakes.network.AcceptConnect(Stream());
    fakes.network.Pump();
    Cmd(0).TakeSent();
    Tick();  // Hello
    const auto hello = Frames(Cmd(0).TakeSent());
    ASSERT_FALSE(hello.empty());
    EXPECT_EQ(hello[0].command, uint32_t(kCmdHello));
    Deliver(Cmd(0), Answer(Frame(kCmdAssign, sessionId)));
    Tick();
    Deliver(Cmd(0),
            Answer(Frame(kCmdExchange, sessionId, 0,
                         test::Message(
                             "ZELL", test::SubBody(sessionId, 1, test::SystemInfo(connections))))));
    Tick();
  }
};

TEST(Reconnect, EveryLossLogsInAgainOnSocketZeroWithinOneBackOffPeriod) {
  // One back-off period: the longest wait between two connect attempts.
  const int kBackOffTicks = int(RecorderNet::kMaxConnectDelayMs / 10);
  for (uint32_t connections : {1u, 2u}) {
    for (const Case& c : kCases) {
      if (connections == 1 && UsesSocket1(c.loss)) continue;
      SCOPED_TRACE(std::to_string(connections) + " connection(s), " + c.what);
      Reconnect f;
      f.LogIn(0x5000, connections);
      ASSERT_EQ(f.C0().LoggedIn, 1u);
      ASSERT_EQ(f.Cmd(1).Active(), connections == 2);
      if (connections == 2) {
        f.fakes.network.AcceptConnect(f.Cmd(1));
        f.fakes.network.Pump();
      }
      const int attempts = f.Cmd(0).ConnectAttempts();
      const int socket1Attempts = f.Cmd(1).ConnectAttempts();

      f.Lose(c.loss);
      if (c.loss == Loss::WatchdogSecondStep) {
        EXPECT_FALSE(f.Cmd(0).Active());
      }
      const int ticks = f.TicksToReconnect(
          c.loss == Loss::WatchdogSecondStep ? f.Cmd(0).ConnectAttempts() : attempts,
          kBackOffTicks);
      ASSERT_GE(ticks, 0) << "socket 0 did not connect again";
      EXPECT_TRUE(f.Stream().Active()) << "the stream socket comes with socket 0";
      // Socket 1 waits for the recorder to ask for it.
      EXPECT_FALSE(f.Cmd(1).Active());
      EXPECT_EQ(f.C0().ConnState[1], uint32_t(kConnIdle));

      f.AnswerLogin(0x6000, connections);
      EXPECT_EQ(f.C0().LoggedIn, 1u);
      EXPECT_EQ(f.C0().SessionId, 0x6000u);
      EXPECT_EQ(f.Cmd(1).Active(), connections == 2);
      if (connections == 2) EXPECT_GT(f.Cmd(1).ConnectAttempts(), socket1Attempts);
    }
  }
}

// A second connection that the recorder never accepts leaves the session
// on socket 0 alone.
TEST(Reconnect, ASecondConnectionThatNeverComesUpKeepsTheSession) {
  Reconnect f;
  f.LogIn(0x5000, 2);
  ASSERT_TRUE(f.Cmd(1).Active());
  f.fakes.network.FailConnect(f.Cmd(1));
  f.fakes.network.Pump();
  EXPECT_FALSE(f.Cmd(1).Active());
  EXPECT_EQ(f.C0().LoggedIn, 1u);
  EXPECT_TRUE(f.Cmd(0).Connected());
  EXPECT_EQ(f.C0().ConnState[1], uint32_t(kConnIdle));
  f.Tick();
  EXPECT_EQ(f.Cmd(0).ConnectAttempts(), 1);
}

}  // namespace
}  // namespace tevrano
