// Arbitrary "ICMD" message bodies from the recorder.
#include <cstdint>

#include "base/Form.h"
#include "net/SendQueue.h"
#include "platform/fake/ManualClock.h"
#include "stream/StreamSystem.h"
#include "view/IcmdModule.h"

using namespace tevrano;

namespace {

struct Harness {
  platform::ManualClock clock;
  TTevranoX form;
  int pacing = 0;
  RecorderContext ctx[2];
  ZellState zell[2];
  RecorderContext* contexts[2] = {&ctx[0], &ctx[1]};
  IcmdModule icmd{contexts};
  StreamSystem stream{clock, form, pacing};
  StreamStats stats[2];
  StreamContextLinks links[2];

  Harness() {
    for (int i = 0; i < 2; ++i) {
      ctx[i].Index = i;
      ctx[i].SessionId = 0x01000000u + i;
      ctx[i].LoggedIn = 1;
      ctx[i].Zell = &zell[i];
      zell[i].Kind = 1 + i;
      EmptySendRing(ctx[i]);
      links[i].view = &icmd.View(i);
      links[i].stats = &stats[i];
      stream.Link(i, &links[i]);
    }
    stream.Connection(0).AllocateBuffers();
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
