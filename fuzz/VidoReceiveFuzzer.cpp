// Arbitrary "VIDO" messages, stored, reordered, delivered and parsed.
#include <cstdint>
#include <vector>

#include "base/Form.h"
#include "net/SendQueue.h"
#include "stream/VidoModule.h"
#include "platform/fake/ManualClock.h"
#include "stream/StreamSystem.h"
#include "view/ViewRecords.h"

using namespace tevrano;

namespace {

struct Harness {
  platform::ManualClock clock;
  TTevranoX form;
  int pacing = 0;
  RecorderContext ctx[2];
  ZellState zell[2];
  RecorderContext* contexts[2] = {&ctx[0], &ctx[1]};
  StreamSystem stream{clock, form, pacing};
  VidoModule vido{contexts, [this](int c, const uint8_t* p, uint32_t n, uint32_t t) {
                    stream.RoutePacket(c, p, n, t);
                  }};
  ViewState views[2];
  StreamStats stats[2];
  StreamContextLinks links[2];

  Harness() {
    for (int i = 0; i < 2; ++i) {
      ctx[i].Index = i;
      ctx[i].SessionId = 7 + i;
      ctx[i].Zell = &zell[i];
      ctx[i].VideoAssembly.Allocate(RecorderContext::kVideoAssemblySize);
      ctx[i].Stream = &stream.Connection(i);
      EmptySendRing(ctx[i]);
      views[i].Initialize();
      links[i].index = i;
      links[i].view = &views[i];
      links[i].stats = &stats[i];
      stream.Link(i, &links[i]);
    }
    stream.Connection(0).AllocateBuffers();
    stream.Hooks().decodeFrame = [](const uint8_t* d, uint32_t n, int) {
      volatile uint8_t edge = d[0] ^ d[n - 1];
      (void)edge;
    };
  }
};

}  // namespace

// Input: a control byte (connections offered), then messages, each a 2-byte
// little-endian length followed by that many body bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness* h = new Harness;
  if (size < 1) return 0;
  const uint8_t control = *data++;
  --size;
  StoreLe32(h->zell[0].SystemInfo + system_info::kConnections, control & 1 ? 2 : 1);
  h->views[0].Mode = (control >> 1) % 4;
  std::vector<uint8_t> body;
  while (size >= 2) {
    size_t n = size_t(data[0] | data[1] << 8);
    data += 2, size -= 2;
    if (n > size) n = size;
    body.assign(data, data + n);
    if (body.size() >= 4 && !(control & 0x80)) body[0] = 7, body[1] = body[2] = body[3] = 0;
    h->vido.Receive(body.data(), uint32_t(body.size()));
    data += n, size -= n;
    if (control & 0x40) h->vido.DeliverPackets(h->ctx[0]);
  }
  h->vido.DeliverPackets(h->ctx[0]);
  h->stream.ParseStreams();
  h->vido.RequestVideo(7);
  EmptySendRing(h->ctx[0]);
  return 0;
}
