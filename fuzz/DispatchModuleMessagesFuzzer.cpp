// A payload of module messages from the recorder, dispatched to the
// registered modules ("ZELL", "ICTL", "RK9P") of a logged-in context.
#include <cstdint>
#include <memory>

#include "tests/support/NetRig.h"

using namespace tevrano;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static test::NetRig* rig = new test::NetRig();  // built once, reset per input
  rig->Reset();
  rig->net.DispatchModuleMessages(test::NetRig::kSession, data, static_cast<uint32_t>(size));
  // What the modules queued must still make well-formed polls.
  for (int i = 0; i < 4; ++i) {
    rig->net.Context(0).AwaitingAnswer[0] = 0;
    rig->net.PollRecorder(rig->net.Context(0));
  }
  return 0;
}
