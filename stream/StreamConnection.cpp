#include "stream/StreamConnection.h"

#include "stream/FrameHeader.h"

namespace tevrano {

void StreamConnection::AllocateBuffers() {
  MainRing.Allocate(kBufferSize);
  AudioRing.Allocate(kBufferSize);
  if (!FrameBuffer) FrameBuffer = std::make_unique<uint8_t[]>(kBufferSize);
}

namespace {

// True when the four bytes at ring offset `i` (from ReadPos) are 00 00 00 03.
bool MagicAt(const ByteRing& ring, uint32_t i) {
  return ring.PeekByte(i + 3) == 3 && ring.PeekByte(i) == 0 && ring.PeekByte(i + 1) == 0 &&
         ring.PeekByte(i + 2) == 0;
}

// Length of the header at ReadPos in bytes, 0 when it cannot be a packet.
uint32_t PlausiblePacketBytes(const ByteRing& ring) {
  const uint32_t length64 = ring.PeekByte(18) | ring.PeekByte(19) << 8;
  const uint32_t bytes = length64 * 64;
  return bytes >= FrameHeader::kSize && bytes <= kMaxMarkerPacket ? bytes : 0;
}

}  // namespace

int FindFrameHeader(ByteRing& ring) {
  if (!ring.Allocated() || ring.Empty()) return kRingEmpty;
  const uint32_t used = ring.Used();
  if (used < 4) return kPacketIncomplete;
  uint32_t start = 0;
  if (MagicAt(ring, 0)) {
    if (used < FrameHeader::kSize) return kPacketIncomplete;
    const uint32_t bytes = PlausiblePacketBytes(ring);
    if (bytes != 0) return bytes <= used ? kPacketReady : kPacketIncomplete;
    start = 1;  // a header no packet can have: look for the next magic
  }
  // Scan across the wrap point; the last three bytes may begin a magic that
  // is still arriving, so they are kept.
  for (uint32_t i = start; i + 4 <= used; ++i) {
    if (MagicAt(ring, i)) {
      ring.Skip(i);
      return kGarbageSkipped;
    }
  }
  uint32_t keep = 0;
  while (keep < 3 && keep < used && ring.PeekByte(used - 1 - keep) == 0) ++keep;
  ring.Skip(used - keep);
  return kGarbageSkipped;
}

}  // namespace tevrano
