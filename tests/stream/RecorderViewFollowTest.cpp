// Through the whole control: what the recorder tells about its view and its
// frame rate reaches the live view and the stream.
#include <gtest/gtest.h>

#include "control/TevranoImpl1.h"
#include "tests/net/NetPeer.h"

namespace tevrano {
namespace {

using test::Answer;
using test::Bytes;
using test::Frame;
using test::Get32;
using test::Put32;

constexpr uint32_t kSession = 0x5000;

struct LoggedInControl {
  LoggedInControl() {
    control.ActiveFormCreate();
    control.PutProperty(kDispidDvrIp, Variant::Text("10.0.0.9"));
    control.PutProperty(kDispidHttpPort, Variant::Text("80"));
    control.PutProperty(kDispidDvrUk, Variant::Text("69A1B2C3.4.E5F6"));
    Tick();
    fakes.network.AcceptConnect(Cmd0());
    fakes.network.Pump();
    Tick();  // hello
    Answer(Frame(kCmdAssign, kSession));
    Answer(Frame(kCmdExchange, kSession, 0,
                 test::Message("ZELL", test::SubBody(kSession, 1, test::SystemInfo(1)))));
  }
  platform::FakeClientSocket& Cmd0() {
    return static_cast<platform::FakeClientSocket&>(*control.Net().Context(0).CommandSocket[0]);
  }
  void Tick() {
    fakes.clock.AdvanceMs(10);
    control.Timer1Timer();
    fakes.network.Pump();
  }
  // The recorder answers the frame that is out; two ticks take it and send
  // the next.
  void Answer(const Bytes& frame) {
    fakes.network.Deliver(Cmd0(), test::Answer(frame));
    Tick();
    Tick();
  }

  platform::FakePlatform fakes;
  TevranoX control{fakes.platform()};
};

// An "ICMD" set of view record 1 from another viewer: split kind, first
// channel, single channel.
Bytes LiveRecordSet(uint32_t splitKind, uint32_t firstChannel, uint32_t channel) {
  Bytes body(32 + 64, 0);
  Put32(body, 0, kSession);
  Put32(body, 4, 2);    // set
  Put32(body, 8, 256);  // view record 1
  Put32(body, 12, 0);   // the sender is in Live
  Put32(body, 16, 1);
  Put32(body, 32, splitKind);
  Put32(body, 36, firstChannel);
  Put32(body, 40, channel);
  Put32(body, 48, 704);
  Put32(body, 52, 576);
  return body;
}

TEST(RecorderViewFollow, AnotherViewersLiveLayoutIsFollowedAndNotSentBack) {
  struct Case {
    uint32_t splitKind, firstChannel, channel;
    int layout;
  } cases[] = {{1, 4, 0, 17}, {2, 9, 0, 21}, {0, 0, 5, 5}, {3, 0, 0, 22}};
  LoggedInControl f;
  ASSERT_EQ(f.control.Net().Context(0).LoggedIn, 1u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layout);
    f.Cmd0().TakeSent();
    f.Answer(Frame(kCmdExchange, kSession, 0,
                   test::Message("ICMD", LiveRecordSet(c.splitKind, c.firstChannel, c.channel))));
    f.Answer(Frame(kCmdExchange, kSession));
    EXPECT_EQ(f.control.OnScreen().Layout(), c.layout);
    EXPECT_EQ(f.control.Status().layout, c.layout);
    for (const auto& frame : test::Frames(f.Cmd0().TakeSent()))
      for (const Bytes& m : test::Messages(frame.payload))
        if (test::TagOf(m) == "ICMD")
          EXPECT_FALSE(Get32(m, 36) == 2 && Get32(m, 40) == 256) << "the layout was sent back";
  }
}

TEST(RecorderViewFollow, ALoginStartsTheFrameRateAfresh) {
  platform::FakePlatform fakes;
  TevranoX control{fakes.platform()};
  control.ActiveFormCreate();
  StreamContextLinks& links = control.Streams().Links(0);
  links.NoteRateField(600);  // a previous recorder ran NTSC
  ASSERT_FALSE(links.pal);
  RecorderNet& net = control.Net();
  net.Context(0).SessionId = kSession;
  for (auto& handOff : net.Hooks().SystemInfoArrived)
    handOff(net.Context(0), test::SystemInfo(1).data());
  EXPECT_TRUE(links.pal);
  EXPECT_EQ(links.palSource, StreamContextLinks::RateSource::Assumed);
}

}  // namespace
}  // namespace tevrano
