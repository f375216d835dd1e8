// With video over the command channel both command connections are polled.
#include "tests/net/NetPeer.h"

namespace tevrano {
namespace {

using test::Answer;
using test::Frame;

TEST(VidoPoll, BothConnectionsArePolledWhenVideoComesOverThem) {
  for (uint32_t streamSocket : {0u, 1u}) {
    test::FreshNet f;
    f.LogIn(0x5000, 2);
    StoreLe32(f.net.MachTypeRecord() + RecorderNet::kMachTypeStreamSocket, streamSocket);
    f.fakes.network.AcceptConnect(f.Cmd(1));
    f.fakes.network.Pump();
    f.Cmd(0).TakeSent();
    f.Cmd(1).TakeSent();
    f.Deliver(f.Cmd(0), Answer(Frame(kCmdExchange, 0x5000)));
    f.Tick();
    EXPECT_FALSE(f.Cmd(0).TakeSent().empty()) << streamSocket;
    EXPECT_EQ(f.Cmd(1).TakeSent().empty(), streamSocket == 1) << streamSocket;
  }
}

}  // namespace
}  // namespace tevrano
