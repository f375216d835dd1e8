#include <gtest/gtest.h>

#include "control/TevranoImpl1.h"
#include "tests/net/NetPeer.h"

namespace tevrano {
namespace {

using test::Answer;
using test::Bytes;
using test::Frame;
using test::Frames;

class ConnectionsTest : public test::NetFixture {};

TEST_F(ConnectionsTest, SocketsCarryTheirIdentities) {
  for (int r = 0; r < 2; ++r) {
    EXPECT_EQ(net.Context(r).CommandSocket[0]->Tag, r);
    EXPECT_EQ(net.Context(r).CommandSocket[1]->Tag, 2 + r);
    EXPECT_EQ(net.Context(r).StreamSocket[0]->Tag, 255);
    EXPECT_EQ(net.Context(r).StreamSocket[1]->Tag, 255);
  }
}

TEST_F(ConnectionsTest, ConnectOpensCommandAndStreamSocketsWithTheirBufferSizes) {
  PutProperties("192.168.1.20", " 8080x");
  Tick();
  EXPECT_EQ(Cmd(0).Host(), "192.168.1.20");
  EXPECT_EQ(Cmd(0).Port(), 8080);
  EXPECT_EQ(Cmd(0).ReceiveBufferSize(), 16384);
  EXPECT_EQ(Cmd(0).SendBufferSize(), 294912);
  EXPECT_EQ(Stream().Port(), 8080);
  EXPECT_EQ(Stream().ReceiveBufferSize(), 262144);
  EXPECT_EQ(Stream().SendBufferSize(), 262144);
  EXPECT_EQ(Cmd(1).ConnectAttempts(), 0);
  EXPECT_EQ(C0().ConnState[0], uint32_t(kConnConnecting));
  EXPECT_EQ(form.LabeledEdit_System1.text, "192.168.1.20");
  EXPECT_EQ(form.LabeledEdit_System2.text, " 8080x");
  EXPECT_STREQ(C0().UserName, "1");
  EXPECT_STREQ(C0().Password, "2345");
  // StreamState says "connected" only once the stream socket is.
  EXPECT_EQ(net.Link().StreamState, 0u);
  fakes.network.AcceptConnect(Stream());
  fakes.network.Pump();
  EXPECT_EQ(net.Link().StreamState, 1u);
}

TEST_F(ConnectionsTest, TheLoopbackAddressGetsOnlyTheStreamSocket) {
  PutProperties("127.0.0.1");
  for (int i = 0; i < 3; ++i) Tick();
  EXPECT_EQ(Cmd(0).ConnectAttempts(), 0);
  EXPECT_EQ(C0().ConnState[0], uint32_t(kConnReconnectWanted));
  EXPECT_EQ(Stream().ConnectAttempts(), 1);
  EXPECT_EQ(Stream().Host(), "127.0.0.1");
}

TEST_F(ConnectionsTest, StreamReadsTakeAtMost256KiBPerEvent) {
  std::vector<uint32_t> fed;
  net.Hooks().FeedStream = [&](const uint8_t*, uint32_t n) { fed.push_back(n); };
  PutProperties();
  Connect();
  fakes.network.Deliver(Stream(), Bytes(300000, 7));
  fakes.network.Pump();
  ASSERT_EQ(fed.size(), 1u);
  fakes.network.Pump();  // the rest is offered again
  ASSERT_EQ(fed.size(), 2u);
  EXPECT_EQ(fed[0], 262144u);
  EXPECT_EQ(fed[1], 300000u - 262144u);
  EXPECT_NE(net.Link().LastReceiveTime, 0u);
}

TEST_F(ConnectionsTest, LosingTheStreamSocketResetsBothContextsAndReconnects) {
  int lost = 0;
  net.Hooks().StreamLost = [&] { ++lost; };
  LogIn();
  net.Context(1).SessionId = 99;
  fakes.network.PeerClose(Stream());
  fakes.network.Pump();
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(C0().LoggedIn, 0u);
  EXPECT_EQ(C0().SessionId, 0u);
  EXPECT_EQ(net.Context(1).SessionId, 0u);
  EXPECT_FALSE(Cmd(0).Active());
  EXPECT_EQ(C0().ConnState[0], uint32_t(kConnReconnectWanted));
  EXPECT_TRUE(form.Image_Disconn.visible);
  EXPECT_NE(net.Modules().Find(Tag("RK9P")), nullptr);
  Tick();
  EXPECT_EQ(Cmd(0).ConnectAttempts(), 2);
  EXPECT_EQ(Stream().ConnectAttempts(), 2);
}

TEST_F(ConnectionsTest, AStreamSocketErrorClosesItAndCountsAsItsLoss) {
  LogIn();
  fakes.network.FailConnect(Stream(), 10054);
  fakes.network.Pump();
  EXPECT_FALSE(Stream().Active());
  EXPECT_EQ(net.Link().StreamState, 0u);
  EXPECT_EQ(C0().LoggedIn, 0u);
  EXPECT_EQ(C0().ConnState[0], uint32_t(kConnReconnectWanted));
  Tick();
  EXPECT_EQ(Stream().ConnectAttempts(), 2);
}

TEST_F(ConnectionsTest, ARefusedConnectIsRetriedNextTickThenBacksOff) {
  PutProperties();
  Tick();
  std::vector<int> ticksBetween;
  int last = 0, ticks = 0;
  while (ticksBetween.size() < 12 && ticks < 2000) {
    if (Cmd(0).Active() && Cmd(0).ConnectAttempts() > last) {
      ticksBetween.push_back(ticks);
      last = Cmd(0).ConnectAttempts();
      ticks = 0;
      fakes.network.FailConnect(Cmd(0));
      fakes.network.Pump();
    }
    Tick();
    ++ticks;
  }
  ASSERT_EQ(ticksBetween.size(), 12u);
  EXPECT_EQ(ticksBetween[1], 1);  // the first retry comes on the next tick
  for (size_t i = 2; i < ticksBetween.size(); ++i) EXPECT_GE(ticksBetween[i], ticksBetween[i - 1]);
  EXPECT_GE(ticksBetween.back(), 90);   // about a second between late attempts
  EXPECT_LE(ticksBetween.back(), 102);  // and never much more
}

TEST_F(ConnectionsTest, ALoginResetsTheBackOff) {
  PutProperties();
  Tick();
  for (int i = 0; i < 6; ++i) {
    fakes.network.FailConnect(Cmd(0));
    fakes.network.Pump();
    for (int t = 0; t < 100 && !Cmd(0).Active(); ++t) Tick();
  }
  EXPECT_GT(C0().ConnectFailures[0], 3u);
  fakes.network.AcceptConnect(Cmd(0));
  fakes.network.AcceptConnect(Stream());
  fakes.network.Pump();
  Tick();
  Deliver(Cmd(0), Answer(Frame(kCmdAssign, 0x5000)));
  Tick();
  Deliver(Cmd(0),
          Answer(Frame(kCmdExchange, 0x5000, 0,
                       test::Message("ZELL", test::SubBody(0x5000, 1, test::SystemInfo(1))))));
  Tick();
  ASSERT_EQ(C0().LoggedIn, 1u);
  const int attempts = Cmd(0).ConnectAttempts();
  fakes.network.PeerClose(Cmd(0));
  fakes.network.Pump();
  Tick();
  EXPECT_EQ(Cmd(0).ConnectAttempts(), attempts + 1);
}

TEST_F(ConnectionsTest, CommandSocketOneTouchesOnlyItsOwnState) {
  LogIn(0x5000, 2);
  ASSERT_TRUE(Cmd(1).Active());
  Cmd(1).SetActive(false);  // its disconnect event is not delivered yet
  uint8_t message[40] = {40};
  ASSERT_EQ(net.QueueMessage(C0(), message, 40), 0);
  C0().CommandReceiveBuffer[0].Fill = 5;
  C0().ConnState[1] = kConnReconnectWanted;
  const int streamAttempts = Stream().ConnectAttempts();
  net.ConnectRecorder(0, 1);
  EXPECT_EQ(Cmd(1).ConnectAttempts(), 2);
  EXPECT_EQ(C0().ConnState[1], uint32_t(kConnConnecting));
  EXPECT_EQ(C0().CommandReceiveBuffer[0].Fill, 5u);
  EXPECT_EQ(C0().SendRing->Used(), 40u);
  EXPECT_EQ(Stream().ConnectAttempts(), streamAttempts);
  EXPECT_TRUE(Stream().Connected());
}

TEST_F(ConnectionsTest, TheStreamRequestGoesOutOnceTheModelSaysStreamSocket) {
  LogIn();
  StoreLe32(net.MachTypeRecord() + RecorderNet::kMachTypeStreamSocket, 1);
  Cmd(0).TakeSent();
  Deliver(Cmd(0), Answer(Frame(kCmdExchange, 0x5000)));
  Tick();
  auto request = Frames(Stream().TakeSent());
  ASSERT_EQ(request.size(), 1u);
  EXPECT_EQ(request[0].total, 320u);
  EXPECT_EQ(request[0].command, uint32_t(kCmdExchange));
  EXPECT_EQ(request[0].sessionId, 0u);
  EXPECT_EQ(request[0].socket, 2u);
  const Bytes& r = request[0].payload;
  EXPECT_EQ(test::Get32(r, 0), 256u);
  EXPECT_EQ(test::TagOf(r), "RK9P");
  EXPECT_EQ(std::string(r.begin() + 32, r.begin() + 36), "GVDO");
  EXPECT_EQ(test::Get32(r, 8), uint32_t('G' + 'V' + 'D' + 'O'));
  EXPECT_EQ(net.Link().StreamState, 2u);
  EXPECT_NE(net.Link().LastReceiveTime, 0u);  // the watchdog is armed
}

TEST_F(ConnectionsTest, WithoutAStreamSocketEveryPollAsksForVideo) {
  std::vector<uint32_t> requests;
  net.Hooks().RequestVideo = [&](uint32_t sessionId) { requests.push_back(sessionId); };
  LogIn();
  Deliver(Cmd(0), Answer(Frame(kCmdExchange, 0x5000)));
  Tick();
  Deliver(Cmd(0), Answer(Frame(kCmdExchange, 0x5000)));
  Tick();
  EXPECT_EQ(requests, (std::vector<uint32_t>{0x5000, 0x5000}));
}

// The watchdog, run once a second as the main loop does.
class WatchdogTest : public test::NetFixture {
 public:
  WatchdogTest() {
    net.Hooks().AudioOn = [this] { return audioOn; };
    net.Hooks().SwitchAudioOff = [this] { audioOn = false, ++offs; };
    net.Hooks().SwitchAudioOn = [this] { audioOn = true, ++ons; };
  }
  // Seconds of silence; returns how many contexts resets of all were seen.
  void Silence(int seconds) {
    for (int s = 0; s < seconds; ++s) {
      for (int t = 0; t < 100; ++t) Tick();
      net.LinkWatchdog();
      fakes.network.Pump();
    }
  }
  bool audioOn = true;
  int offs = 0, ons = 0;
};

TEST_F(WatchdogTest, TwentySecondsOfSilenceCloseAndThirtyMoreResetEverything) {
  LogIn();
  net.Link().LastReceiveTime = fakes.clock.TickCountMs();
  Silence(19);
  EXPECT_EQ(net.Link().WatchdogPhase, 0u);
  EXPECT_TRUE(Cmd(0).Active());
  Silence(1);
  EXPECT_EQ(net.Link().WatchdogPhase, 1u);
  EXPECT_EQ(offs, 1);
  EXPECT_EQ(net.Link().AudioWasOn, 1u);
  EXPECT_EQ(C0().LoggedIn, 0u);
  // Closed and reconnecting; the closing itself did not run the second step.
  Tick();
  EXPECT_EQ(Cmd(0).ConnectAttempts(), 2);
  EXPECT_EQ(net.Link().WatchdogPhase, 1u);
  Silence(29);
  EXPECT_EQ(net.Link().WatchdogPhase, 1u);
  EXPECT_EQ(ons, 0);
  Silence(1);
  EXPECT_EQ(net.Link().WatchdogPhase, 0u);
  EXPECT_EQ(ons, 1);
  EXPECT_EQ(net.Link().AudioWasOn, 0u);
  EXPECT_EQ(C0().ConnState[0], uint32_t(kConnReconnectWanted));
}

TEST_F(WatchdogTest, ALoginThatStallsFromTheFirstConnectionIsEnded) {
  PutProperties();
  Connect();
  Tick();  // Hello; the recorder never answers
  ASSERT_EQ(C0().LoginState, uint32_t(kLoginHelloSent));
  Silence(20);
  EXPECT_EQ(net.Link().WatchdogPhase, 1u);
  Tick();
  EXPECT_EQ(Cmd(0).ConnectAttempts(), 2);
}

TEST(ConnectBackOff, AHighTickCountDoesNotHoldBackTheFirstConnect) {
  test::FreshNet f;
  f.fakes.clock.SetTickCountMs(0xF0000000u);
  f.PutProperties();
  f.Tick();
  EXPECT_EQ(f.Cmd(0).ConnectAttempts(), 1);
}

TEST_F(WatchdogTest, TheSecondStepAlsoRestartsSocketsThatReconnectedSilently) {
  LogIn();
  net.Link().LastReceiveTime = fakes.clock.TickCountMs();
  Silence(20);
  Tick();
  fakes.network.AcceptConnect(Cmd(0));  // the recorder takes the connection, then says nothing
  fakes.network.AcceptConnect(Stream());
  fakes.network.Pump();
  ASSERT_TRUE(Cmd(0).Connected());
  Silence(30);
  EXPECT_EQ(net.Link().WatchdogPhase, 0u);
  EXPECT_FALSE(Cmd(0).Active());
  Tick();
  EXPECT_EQ(Cmd(0).ConnectAttempts(), 3);
  EXPECT_EQ(C0().ConnState[0], uint32_t(kConnConnecting));
}

TEST_F(WatchdogTest, UnarmedItDoesNothing) {
  PutProperties();
  Silence(40);
  EXPECT_EQ(net.Link().WatchdogPhase, 0u);
  EXPECT_EQ(offs, 0);
}

TEST_F(WatchdogTest, DataAfterTheFirstStepKeepsThePhaseForTheNextFiring) {
  LogIn();
  net.Link().LastReceiveTime = fakes.clock.TickCountMs();
  Silence(20);
  ASSERT_EQ(net.Link().WatchdogPhase, 1u);
  net.Link().LastReceiveTime = fakes.clock.TickCountMs();  // data arrived
  Silence(19);
  EXPECT_EQ(net.Link().WatchdogPhase, 1u);
  Silence(1);
  EXPECT_EQ(net.Link().WatchdogPhase, 0u);
}

// Through the control: nothing connects before three property puts.
TEST(ConnectGate, TheThirdPutOfAnyPropertyLetsTheNextTickConnect) {
  platform::FakePlatform fakes;
  TevranoX control(fakes.platform());
  control.ActiveFormCreate();
  auto& cmd0 = static_cast<platform::FakeClientSocket&>(*control.Net().Context(0).CommandSocket[0]);
  const Variant ip = Variant::Text("10.0.0.9");
  for (int put = 1; put <= 3; ++put) {
    control.PutProperty(kDispidDvrIp, ip);
    fakes.clock.AdvanceMs(10);
    control.Timer1Timer();
    EXPECT_EQ(cmd0.ConnectAttempts(), put == 3 ? 1 : 0) << put;
  }
  EXPECT_EQ(control.Form().Label_time.caption, "Connecting ...");
  EXPECT_EQ(control.Status().loginState, 0);
}

// Through the control's main loop, the status the host reports follows the login.
TEST(ControlStatus, ReportsTheLoginOfContextZero) {
  platform::FakePlatform fakes;
  TevranoX control(fakes.platform());
  control.ActiveFormCreate();
  for (int dispid : {kDispidDvrIp, kDispidHttpPort, kDispidDvrUk})
    control.PutProperty(dispid, Variant::Text(dispid == kDispidDvrIp ? "10.0.0.9" : "80"));
  auto& cmd0 = static_cast<platform::FakeClientSocket&>(*control.Net().Context(0).CommandSocket[0]);
  auto tick = [&] {
    fakes.clock.AdvanceMs(10);
    control.Timer1Timer();
    fakes.network.Pump();
  };
  tick();
  fakes.network.AcceptConnect(cmd0);
  fakes.network.Pump();
  EXPECT_TRUE(control.Form().Image_Conn.visible);
  tick();
  EXPECT_EQ(control.Status().loginState, 3);
  fakes.network.Deliver(cmd0, Answer(Frame(kCmdAssign, 0x5000)));
  tick();
  tick();
  EXPECT_EQ(control.Status().loginState, 4);
  EXPECT_EQ(control.Status().sessionId, 0x5000u);
  fakes.network.Deliver(
      cmd0, Answer(Frame(kCmdExchange, 0x5000, 0,
                         test::Message("ZELL", test::SubBody(0x5000, 1, test::SystemInfo(1))))));
  tick();
  tick();
  EXPECT_EQ(control.Status().loggedIn, 1);
}

}  // namespace
}  // namespace tevrano
