// Arbitrary "ICMD" message bodies from the recorder.
#include <cstdint>

#include "tests/support/StreamRig.h"
#include "view/IcmdModule.h"

using namespace tevrano;

namespace {

struct Harness : test::StreamRig {
  IcmdModule icmd{contexts};

  Harness() : StreamRig(0x01000000u) {
    for (int i = 0; i < 2; ++i) {
      ctx[i].LoggedIn = 1;
      zell[i].Kind = 1 + i;
      UseView(i, icmd.View(i));
    }
    icmd.GetHooks().setViewMode = [this](ViewState& v, uint32_t mode) {
      stream.SetViewMode(v, mode);
    };
    icmd.GetHooks().liveViewChanged = [](const LiveRecord&) {};
    icmd.GetHooks().receiveSettingsPage = [](ViewState&, uint32_t, const uint8_t* page,
                                             uint32_t n) {
      volatile uint8_t last = n ? page[n - 1] : 0;
      (void)last;
      return true;
    };
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness* h = new Harness;
  // The body lies in a buffer of exactly its size, as a module's copy would.
  uint8_t* body = new uint8_t[size ? size : 1];
  for (size_t i = 0; i < size; ++i) body[i] = data[i];
  // Most inputs should name a context.
  if (size >= 4 && (body[3] & 0x80)) body[0] = body[1] = body[2] = 0, body[3] = 1;
  h->icmd.Receive(body, uint32_t(size));
  delete[] body;
  for (RecorderContext& c : h->ctx) EmptySendRing(c);
  return 0;
}
