// Answers from the recorder: the HTTP framing, then the CommandFrame
// inside, then whatever its command leads to. The input is delivered to
// command socket 0 in pieces whose sizes come from its first byte.
#include <cstdint>
#include <cstring>
#include <memory>

#include "net/CommandFrame.h"
#include "tests/support/NetRig.h"

using namespace tevrano;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // Both the bare pieces and the whole connection see the input.
  ScanAnswer(data, static_cast<uint32_t>(size), static_cast<uint32_t>(size));
  ReceivedFrame frame;
  ReadCommandFrame(data, static_cast<uint32_t>(size), frame);

  static test::NetRig* rig = new test::NetRig();  // built once, reset per input
  rig->Reset();
  platform::ClientSocket& cmd0 = *rig->net.Context(0).CommandSocket[0];
  const size_t piece = 1 + data[0] % 97;
  for (size_t at = 1; at < size; at += piece) {
    const size_t n = size - at < piece ? size - at : piece;
    rig->network.Deliver(cmd0, data + at, n);
    rig->fakes.clock.AdvanceMs(10);
    rig->net.TakeAnswers();
    rig->net.PollRecorder(rig->net.Context(0));
    rig->network.Pump();
    if (!cmd0.Connected()) {  // dropped: reconnect and log in again
      rig->net.ConnectWanted();
      rig->network.Accept(cmd0);
    }
  }
  for (int i = 0; i < 8; ++i) {
    rig->net.TakeAnswers();
    rig->net.PollRecorder(rig->net.Context(0));
    rig->network.Pump();
  }
  // The body on its own, as a frame handed over by the framing.
  rig->net.HandleCommandFrame(data, static_cast<uint32_t>(size));
  return 0;
}
