// Arbitrary "VIDO" messages, stored, reordered, delivered and parsed.
#include <cstdint>
#include <vector>

#include "stream/VidoModule.h"
#include "tests/support/StreamRig.h"

using namespace tevrano;

namespace {

struct Harness : test::StreamRig {
  VidoModule vido{contexts, [this](int c, const uint8_t* p, uint32_t n, uint32_t t) {
                    stream.RoutePacket(c, p, n, t);
                  }};

  Harness() : StreamRig(7) {
    for (int i = 0; i < 2; ++i) {
      ctx[i].VideoAssembly.Allocate(RecorderContext::kVideoAssemblySize);
      ctx[i].Stream = &stream.Connection(i);
    }
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
