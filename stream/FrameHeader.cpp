#include "stream/FrameHeader.h"

namespace tevrano {

bool FrameHeader::Parse(ByteReader& r, FrameHeader& out) {
  ByteReader b;
  if (!r.Sub(kSize, b)) return false;
  FrameHeader h;
  uint8_t frame = 0, typeByte = 0, height = 0, width = 0, flags14 = 0, flags15 = 0;
  uint16_t length64 = 0, sequence = 0;
  uint32_t word20 = 0;
  b.Le32(h.magic);       // 0
  b.Le32(h.seconds);     // 4
  b.U8(frame);           // 8
  b.Skip(2);             // 9
  b.U8(typeByte);        // 11
  b.U8(height);          // 12
  b.U8(width);           // 13
  b.U8(flags14);         // 14
  b.U8(flags15);         // 15
  b.Skip(2);             // 16
  b.Le16(length64);      // 18
  b.Le32(word20);        // 20 (byte 23 is its top byte)
  b.Skip(2);             // 24
  b.Le16(sequence);      // 26
  b.Le32(h.timeOffset);  // 28
  h.frame = frame;
  h.type = typeByte >> 6;
  h.heightMb = height;
  h.widthMb = width;
  h.flag0 = flags14 & 1;
  h.resolution = (flags14 >> 2) & 3;
  h.subChannel = flags14 >> 4;
  h.extraPackets = flags15 & 0x0F;
  h.frameType = (flags15 >> 4) & 3;
  h.length64 = length64;
  h.rateField = (word20 >> 5) & 0x1FFFF;
  h.streamKind = (word20 >> 29) & 3;
  h.flag31 = word20 >> 31;
  h.sequence10 = sequence >> 6;
  out = h;
  return true;
}

bool FrameHeader::Valid() const {
  if (magic != kMagic || (type != kVideo && type != kAudio) || length64 == 0) return false;
  if (type == kVideo && (seconds == 0 || widthMb == 0 || heightMb == 0)) return false;
  return true;
}

bool TransportHeader::Parse(ByteReader& r, TransportHeader& out) {
  ByteReader b;
  if (!r.Sub(kSize, b)) return false;
  TransportHeader t;
  b.Le32At(kTotalOffset, t.total);
  b.Le32At(kIntervalOffset, t.intervalMs);
  b.Le32At(kSequenceOffset, t.sequence);
  b.Le32At(kChannelOffset, t.channel);
  b.Le32At(kRecorderValueOffset, t.recorderValue);
  b.Le32At(kDeliveryOffset, t.delivery);
  b.Le32At(kSecondsOffset, t.seconds);
  b.Le32At(kFrameOffset, t.frame);
  b.Le32At(kValue44Offset, t.value44);
  b.Le32At(kDeliveryTypeOffset, t.deliveryType);
  b.Le32At(kTagOffset, t.tag);
  out = t;
  return true;
}

}  // namespace tevrano
