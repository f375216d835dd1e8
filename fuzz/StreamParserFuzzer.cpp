// Arbitrary bytes in a stream ring, parsed in either framing and any view
// mode: FindFrameHeader and ParsePacket must stay inside their buffers and
// keep the ring consistent.
#include <cstdint>
#include <cstdlib>

#include "tests/support/StreamRig.h"

using namespace tevrano;

namespace {

// Only connection 0 is fed; its view and statistics are the rig's first.
struct Harness : test::StreamRig {
  ViewState& view = views[0];
  Harness() : StreamRig(1) {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness* h = new Harness;
  if (size < 4) return 0;
  StreamConnection& c = h->stream.Connection(0);
  // Control bytes: framing, mode, ring position, pacing.
  const uint8_t control = data[0];
  h->stream.StreamState() = control & 1 ? 3 : 0;
  h->view.Mode = (control >> 1) % 5;
  h->view.PlaybackControl = control & 0x10 ? 2 : 0;
  h->view.Playback.Channel = data[1] & 15;
  h->links[0].modelN6 = control & 0x20;
  const uint32_t start = (uint32_t(data[2]) << 14) | (uint32_t(data[3]) << 6);
  data += 4, size -= 4;

  h->stream.ResetView(c, 0);
  c.AssemblyMissing = 0;
  // Move both ring positions to `start` so that packets cross the wrap point.
  static uint8_t scratch[StreamConnection::kBufferSize / 2];
  for (uint32_t moved = 0; moved < start;) {
    const uint32_t step = start - moved < sizeof scratch ? start - moved : sizeof scratch;
    c.MainRing.Write(scratch, step);
    c.MainRing.Read(scratch, step);
    moved += step;
  }
  const uint32_t n = uint32_t(size < c.MainRing.UsableFree() ? size : c.MainRing.UsableFree());
  if (n) c.MainRing.Write(data, n);
  for (int pass = 0; pass < 64 && !c.MainRing.Empty(); ++pass) {
    h->clock.AdvanceMs(10);
    h->pacing = 3;
    c.FirstPresentedChannel = -1;
    for (int i = 0; i < 4; ++i)
      if (h->stream.ParsePacket(c) == 1) break;
    if (c.MainRing.Used() >= c.MainRing.Size()) std::abort();
  }
  FindFrameHeader(c.MainRing);
  return 0;
}
