#include "stream/FrameHeader.h"

namespace tevrano {

FrameHeader FrameHeader::Parse(const uint8_t* p) {
  FrameHeader h;
  h.magic = LoadLe32(p);
  h.seconds = LoadLe32(p + 4);
  h.frame = p[8];
  h.type = p[11] >> 6;
  h.heightMb = p[12];
  h.widthMb = p[13];
  h.flag0 = p[14] & 1;
  h.resolution = (p[14] >> 2) & 3;
  h.subChannel = p[14] >> 4;
  h.extraPackets = p[15] & 0x0F;
  h.frameType = (p[15] >> 4) & 3;
  h.length64 = LoadLe16(p + 18);
  h.rateField = (LoadLe32(p + 20) >> 5) & 0x1FFFF;
  h.streamKind = (p[23] >> 5) & 3;
  h.flag31 = p[23] >> 7;
  h.sequence10 = LoadLe16(p + 26) >> 6;
  h.timeOffset = LoadLe32(p + 28);
  return h;
}

bool FrameHeader::Valid() const {
  if (magic != kMagic || (type != kVideo && type != kAudio) || length64 == 0) return false;
  if (type == kVideo && (seconds == 0 || widthMb == 0 || heightMb == 0)) return false;
  return true;
}

TransportHeader TransportHeader::Parse(const uint8_t* p) {
  TransportHeader t;
  t.total = LoadLe32(p);
  t.intervalMs = LoadLe32(p + 8);
  t.sequence = LoadLe32(p + 12);
  t.channel = LoadLe32(p + 20);
  t.recorderValue = LoadLe32(p + 24);
  t.delivery = LoadLe32(p + 32);
  t.seconds = LoadLe32(p + 36);
  t.frame = LoadLe32(p + 40);
  t.value44 = LoadLe32(p + 44);
  t.deliveryType = LoadLe32(p + 48);
  t.tag = LoadLe32(p + 52);
  return t;
}

}  // namespace tevrano
