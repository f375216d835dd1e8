#include <gtest/gtest.h>

#include <cstring>

#include "tests/net/NetPeer.h"

namespace tevrano {
namespace {

using test::Answer;
using test::Bytes;
using test::Frame;
using test::Frames;
using test::Message;
using test::Messages;
using test::SubBody;

class LoginTest : public test::NetFixture {};

TEST_F(LoginTest, HelloAssignZellHelloAndSystemInfoLogIn) {
  PutProperties();
  Connect();
  EXPECT_TRUE(form.Image_Conn.visible);
  EXPECT_FALSE(form.Image_Disconn.visible);
  Tick();
  auto hello = Frames(Cmd(0).TakeSent());
  ASSERT_EQ(hello.size(), 1u);
  EXPECT_EQ(hello[0].command, uint32_t(kCmdHello));
  EXPECT_EQ(hello[0].total, 64u);
  EXPECT_EQ(hello[0].sessionId, 0u);
  // "%X" of the calendar time, then the user "1" and password "2345" scrambled.
  char time[16];
  std::snprintf(time, sizeof time, "%X.", uint32_t(fakes.clock.CalendarTime()));
  EXPECT_EQ(hello[0].credentials.rfind(time, 0), 0u) << hello[0].credentials;
  EXPECT_EQ(hello[0].credentials.size(), std::strlen(time) + 6);
  EXPECT_EQ(C0().LoginState, uint32_t(kLoginHelloSent));

  Deliver(Cmd(0), Answer(Frame(kCmdAssign, 0x5000)));
  Tick();
  EXPECT_EQ(C0().LoginState, uint32_t(kLoginAssigned));
  EXPECT_EQ(C0().SessionId, 0x5000u);
  auto exchange = Frames(Cmd(0).TakeSent());
  ASSERT_EQ(exchange.size(), 1u);
  EXPECT_EQ(exchange[0].command, uint32_t(kCmdExchange));
  auto zell = Messages(exchange[0].payload);
  ASSERT_EQ(zell.size(), 1u);
  EXPECT_EQ(test::TagOf(zell[0]), "ZELL");
  ASSERT_EQ(zell[0].size(), 32u + 32u + 256u);
  EXPECT_EQ(test::Get32(zell[0], 32), 0x5000u);  // sub-header: SessionId, type 0
  EXPECT_EQ(test::Get32(zell[0], 36), 0u);
  uint8_t hello256[256];
  RecorderNet::BuildHelloRecord(hello256);
  EXPECT_EQ(std::memcmp(zell[0].data() + 64, hello256, 256), 0);
  EXPECT_EQ(test::Get32(zell[0], 64), 1u);
  EXPECT_EQ(zell[0][64 + 9], 1);
  EXPECT_EQ(zell[0][64 + 10] | zell[0][64 + 11] << 8, 0x0811);

  Deliver(Cmd(0), Answer(Frame(kCmdExchange, 0x5000, 0,
                               Message("ZELL", SubBody(0x5000, 1, test::SystemInfo(1))))));
  Tick();
  EXPECT_EQ(C0().LoggedIn, 1u);
  EXPECT_EQ(C0().Zell->SystemInfo[12 + 31], 0);  // texts cut to 31 characters
  EXPECT_FALSE(form.Tab(6)->visible);
  // The poll after login carries the machine-type item.
  auto items = Frames(Cmd(0).TakeSent());
  ASSERT_EQ(items.size(), 1u);
  auto ictl = Messages(items[0].payload);
  ASSERT_EQ(ictl.size(), 1u);
  EXPECT_EQ(test::TagOf(ictl[0]), "ICTL");
  EXPECT_EQ(ictl[0].size(), 1280u);
  EXPECT_STREQ(reinterpret_cast<const char*>(ictl[0].data() + 68), "Zell_Mach_Type_Data_W");
}

TEST(LoginAnswers, AnswersSplitAtEveryByteBoundaryAreTakenOnceWhole) {
  const Bytes answer = Answer(Frame(kCmdAssign, 0x5000));
  for (size_t split = 1; split < answer.size(); ++split) {
    test::FreshNet f;
    f.PutProperties();
    f.Connect();
    f.Tick();  // Hello
    f.Deliver(f.Cmd(0), Bytes(answer.begin(), answer.begin() + split));
    f.Tick();
    ASSERT_EQ(f.C0().LoginState, uint32_t(kLoginHelloSent)) << split;
    ASSERT_EQ(f.C0().AwaitingAnswer[0], 1u) << split;
    f.Deliver(f.Cmd(0), Bytes(answer.begin() + split, answer.end()));
    f.Tick();
    ASSERT_EQ(f.C0().LoginState, uint32_t(kLoginAssigned)) << split;
    ASSERT_EQ(f.C0().SessionId, 0x5000u) << split;
    ASSERT_EQ(f.C0().CommandReceiveBuffer[0].Fill, 0u) << split;
  }
}

TEST_F(LoginTest, PollsCarryTheQueuedMessagesInBatches) {
  LogIn();
  struct Case {
    std::vector<uint32_t> queued;
    std::vector<size_t> payloads;  // one per poll
  };
  const Case cases[] = {{{1000, 600}, {1000, 600}}, {{600, 600}, {1200, 0}}};
  for (const Case& c : cases) {
    Deliver(Cmd(0), Answer(Frame(kCmdExchange, 0x5000)));
    net.TakeAnswers();
    Cmd(0).TakeSent();
    for (uint32_t n : c.queued) {
      Bytes m = Message("TEST", Bytes(n - 32, uint8_t(n)));
      ASSERT_EQ(net.QueueMessage(C0(), m.data(), n), 0);
    }
    for (size_t expected : c.payloads) {
      Tick();
      auto sent = Frames(Cmd(0).TakeSent());
      ASSERT_EQ(sent.size(), 1u);
      EXPECT_EQ(sent[0].command, uint32_t(kCmdExchange));
      EXPECT_EQ(sent[0].payload.size(), expected);
      Deliver(Cmd(0), Answer(Frame(kCmdExchange, 0x5000)));
    }
    net.TakeAnswers();
  }
}

TEST_F(LoginTest, TwoAnswersInOneReadAreTakenOnTwoTicks) {
  LogIn();
  Cmd(0).TakeSent();
  const Bytes two =
      test::Concat({Answer(Frame(kCmdExchange, 0x5000)), Answer(Frame(kCmdExchange, 0x5000))});
  Deliver(Cmd(0), two);
  net.TakeAnswers();
  EXPECT_EQ(C0().CommandReceiveBuffer[0].Fill, two.size() / 2);
  net.TakeAnswers();
  EXPECT_EQ(C0().CommandReceiveBuffer[0].Fill, 0u);
}

TEST_F(LoginTest, ContentLengthZeroClearsAwaitingAnswerOnly) {
  LogIn();
  ASSERT_EQ(C0().AwaitingAnswer[0], 1u);
  Deliver(Cmd(0), Bytes{'H', 'T', 'T',  'P',  '/', '1', '.', '1', ' ',  '2',  '0',  '0', ' ',
                        'O', 'K', '\r', '\n', 'C', 'o', 'n', 't', 'e',  'n',  't',  '-', 'L',
                        'e', 'n', 'g',  't',  'h', ':', ' ', '0', '\r', '\n', '\r', '\n'});
  net.TakeAnswers();
  EXPECT_EQ(C0().AwaitingAnswer[0], 0u);
  EXPECT_EQ(C0().LoggedIn, 1u);
  EXPECT_EQ(C0().CommandReceiveBuffer[0].Fill, 0u);
}

TEST_F(LoginTest, BadFramesAreDroppedButStillClearAwaitingAnswer) {
  Bytes unmarked = Frame(kCmdAssign, 9);
  std::memcpy(unmarked.data() + 4, "XXXX", 4);
  Bytes tooLong = Frame(kCmdAssign, 9);
  test::Put32(tooLong, 0, 200);
  Bytes otherContext = Frame(kCmdAssign, 9, /*context=*/7);
  const Bytes cases[] = {Bytes(63, 0), unmarked, tooLong, otherContext};
  PutProperties();
  Connect();
  for (const Bytes& body : cases) {
    C0().LoginState = kLoginNone;
    Tick();
    ASSERT_EQ(C0().AwaitingAnswer[0], 1u);
    Deliver(Cmd(0), Answer(body));
    net.TakeAnswers();
    EXPECT_EQ(C0().AwaitingAnswer[0], 0u);
    EXPECT_EQ(C0().SessionId, 0u);
    EXPECT_EQ(C0().LoginState, uint32_t(kLoginHelloSent));
    EXPECT_EQ(net.Context(1).SessionId, 0u);
  }
}

TEST_F(LoginTest, AssignWithANumberAlreadyCarriedSendsHelloAgain) {
  net.Context(1).SessionId = 0x5000;
  PutProperties();
  Connect();
  Tick();
  Cmd(0).TakeSent();
  Deliver(Cmd(0), Answer(Frame(kCmdAssign, 0x5000)));
  net.TakeAnswers();
  EXPECT_EQ(C0().SessionId, 0x5000u);
  EXPECT_EQ(C0().LoggedIn, 0u);
  EXPECT_EQ(C0().LoginState, uint32_t(kLoginHelloSent));  // 0, then the new Hello
  auto again = Frames(Cmd(0).TakeSent());
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].command, uint32_t(kCmdHello));
  EXPECT_EQ(again[0].sessionId, 0x5000u);
}

TEST_F(LoginTest, PeerHelloGetsAFreshNumberAndAnAssign) {
  PutProperties();
  Connect();
  Tick();
  Cmd(0).TakeSent();
  net.Context(0).LoggedIn = 1;  // context 1 is the first not logged in
  const uint32_t now = uint32_t(fakes.clock.CalendarTime());
  net.Context(0).SessionId = now;  // offset 0 is taken: the number is now + 1
  Deliver(Cmd(0), Answer(Frame(kCmdHello, 0)));
  net.TakeAnswers();
  EXPECT_EQ(net.Context(1).LoggedIn, 1u);
  EXPECT_EQ(net.Context(1).SessionId, now + 1);
  auto assign = Frames(Cmd(0).TakeSent());
  ASSERT_EQ(assign.size(), 1u);
  EXPECT_EQ(assign[0].command, uint32_t(kCmdAssign));
  EXPECT_EQ(assign[0].sessionId, now + 1);
}

TEST_F(LoginTest, PeerZellHelloOfKindOneIsAnsweredWithOurSystemInfo) {
  LogIn();
  Cmd(0).TakeSent();
  Bytes hello(256, 0);
  test::Put32(hello, 0, 1);
  Deliver(Cmd(0),
          Answer(Frame(kCmdExchange, 0x5000, 0, Message("ZELL", SubBody(0x5000, 0, hello)))));
  Tick();
  EXPECT_EQ(C0().Zell->Kind, 1u);
  EXPECT_EQ(net.FirstKindOneContext(), 0u);
  auto sent = Frames(Cmd(0).TakeSent());
  ASSERT_EQ(sent.size(), 1u);
  auto zell = Messages(sent[0].payload);
  ASSERT_EQ(zell.size(), 1u);
  EXPECT_EQ(test::Get32(zell[0], 36), 1u);
  EXPECT_STREQ(reinterpret_cast<const char*>(zell[0].data() + 64 + 12), "[OS] 2.9.2_138ED");
  EXPECT_STREQ(reinterpret_cast<const char*>(zell[0].data() + 64 + 108), "[N] 7104");
}

TEST_F(LoginTest, RefusalWithBytesFollowingResetsWithoutUnderflow) {
  LogIn();
  const Bytes refusal = Answer(Frame(kCmdExchange, 0x5000, 0, Message("ZELL", SubBody(0x5000, 2))));
  Deliver(Cmd(0), test::Concat({refusal, Answer(Frame(kCmdExchange, 0x5000))}));
  net.TakeAnswers();
  EXPECT_EQ(C0().CommandReceiveBuffer[0].Fill, 0u);
  EXPECT_EQ(C0().LoggedIn, 0u);
  EXPECT_EQ(C0().SessionId, 0u);
  EXPECT_FALSE(Cmd(0).Active());
  fakes.network.Pump();
  EXPECT_EQ(C0().ConnState[0], uint32_t(kConnReconnectWanted));
}

TEST_F(LoginTest, ShortSystemInfoIsIgnored) {
  PutProperties();
  Connect();
  Tick();
  Deliver(Cmd(0), Answer(Frame(kCmdAssign, 0x5000)));
  Tick();
  Deliver(Cmd(0), Answer(Frame(kCmdExchange, 0x5000, 0,
                               Message("ZELL", SubBody(0x5000, 1, Bytes(100, 0))))));
  Tick();
  EXPECT_EQ(C0().LoggedIn, 0u);
}

TEST(LoginSystemInfo, TwoConnectionsOpenCommandSocketOneAndOneDoesNot) {
  for (uint32_t connections : {1u, 2u}) {
    test::FreshNet f;
    f.LogIn(0x5000, connections);
    EXPECT_EQ(f.C0().LoggedIn, 1u);
    EXPECT_EQ(f.Cmd(1).ConnectAttempts(), connections == 2 ? 1 : 0);
    if (connections == 2) {
      EXPECT_EQ(f.Cmd(1).Host(), "192.168.1.20");
      EXPECT_EQ(f.Cmd(1).Port(), 80);
      EXPECT_EQ(f.Cmd(1).ReceiveBufferSize(), 16384);
      EXPECT_EQ(f.Cmd(1).SendBufferSize(), 294912);
    }
  }
}

TEST(LoginFaults, AnAnswerThatIsNotHttpClosesTheSocketAndReconnects) {
  const char* garbage[] = {"GET / HTTP/1.0\r\n\r\n", "HTTP/1.1 500 Oops\r\n\r\n",
                           "HTTP/1.1 200 OK\r\nContent-Length: 900000\r\n\r\n",
                           "HTTP/1.1 200 OK\r\nNo-Length: 1\r\n\r\n"};
  for (const char* text : garbage) {
    test::FreshNet f;
    f.LogIn();
    f.Deliver(f.Cmd(0), Bytes(text, text + std::strlen(text)));
    f.net.TakeAnswers();
    EXPECT_EQ(f.C0().CommandReceiveBuffer[0].Fill, 0u) << text;
    f.fakes.network.Pump();
    EXPECT_EQ(f.C0().ConnState[0], uint32_t(kConnReconnectWanted)) << text;
    EXPECT_EQ(f.C0().LoggedIn, 0u) << text;
    f.Tick();
    EXPECT_EQ(f.Cmd(0).ConnectAttempts(), 2) << text;  // connecting again
  }
}

TEST_F(LoginTest, AFullReceiveBufferTakesNoMoreAndIsRecovered) {
  LogIn();
  Bytes header = {'H', 'T', 'T', 'P', '/', '1', '.',  '1', ' ',
                  '2', '0', '0', ' ', 'O', 'K', '\r', '\n'};
  header.resize(ReceiveBuffer::kSize + 100, 'y');  // a header that never ends
  Deliver(Cmd(0), header);
  EXPECT_EQ(C0().CommandReceiveBuffer[0].Fill, ReceiveBuffer::kSize);
  EXPECT_EQ(Cmd(0).BytesWaiting(), 100);
  net.TakeAnswers();
  EXPECT_EQ(C0().CommandReceiveBuffer[0].Fill, 0u);
  EXPECT_FALSE(Cmd(0).Active());
}

TEST_F(LoginTest, AnAnswerThatNeverComesFreesTheSocketAfterSixtySeconds) {
  LogIn();
  ASSERT_EQ(C0().AwaitingAnswer[0], 1u);
  Cmd(0).TakeSent();
  fakes.clock.AdvanceMs(59980);
  Tick();
  EXPECT_TRUE(Cmd(0).TakeSent().empty());
  Tick();  // 60 s: cleared, and the poll goes out in the same step
  EXPECT_EQ(Frames(Cmd(0).TakeSent()).size(), 1u);
}

}  // namespace
}  // namespace tevrano
