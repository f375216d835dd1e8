#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/ByteReader.h"

namespace tevrano {

// The 32-byte header that starts every stream packet (magic 00 00 00 03).
struct FrameHeader {
  static constexpr uint32_t kSize = 32;
  static constexpr uint32_t kMagic = 0x03000000;  // bytes 00 00 00 03
  static constexpr int kVideo = 1;
  static constexpr int kAudio = 2;

  uint32_t magic = 0;
  uint32_t seconds = 0;       // offset 4; low 24 bits count seconds for frame numbering
  uint32_t frame = 0;         // offset 8: frame number within the second
  uint32_t type = 0;          // offset 11 bits 6-7: 1 video, 2 audio
  uint32_t heightMb = 0;      // offset 12: height in 16-line units
  uint32_t widthMb = 0;       // offset 13: width in 16-pixel units
  uint32_t flag0 = 0;         // offset 14 bit 0
  uint32_t resolution = 0;    // offset 14 bits 2-3 (1 = field coded)
  uint32_t subChannel = 0;    // offset 14 bits 4-7
  uint32_t extraPackets = 0;  // offset 15 bits 0-3: packets of this frame after the first
  uint32_t frameType = 0;     // offset 15 bits 4-5: 0 I-frame
  uint32_t length64 = 0;      // offset 18: packet length in 64-byte units, header included
  uint32_t rateField = 0;     // offset 20 bits 5-21: frame interval = 20000 / field ms
  uint32_t streamKind = 0;    // offset 23 bits 5-6: 0 live, 1 playback, 3 file playback
  uint32_t flag31 = 0;        // offset 23 bit 7
  uint32_t sequence10 = 0;    // offset 26 bits 6-15
  uint32_t timeOffset = 0;    // offset 28: seconds added for display and recording

  // Reads the 32 header bytes from `r` into `out`. False, with `out` and
  // the reader's position as they were, when fewer than 32 bytes are left.
  static bool Parse(ByteReader& r, FrameHeader& out);
  // The same over the first 32 bytes of `bytes`.
  // The header at the start of `bytes`; an empty header (not Valid()) when
  // fewer than 32 bytes are there.
  static FrameHeader Of(std::span<const uint8_t> bytes) {
    FrameHeader h;
    Parse(bytes, h);
    return h;
  }
  static bool Parse(std::span<const uint8_t> bytes, FrameHeader& out) {
    ByteReader r(bytes);
    return Parse(r, out);
  }

  bool IsKeyFrame() const { return frameType == 0; }
  uint32_t PacketBytes() const { return length64 * 64; }
  // Magic, type 1 or 2, nonzero length; video also needs seconds, width, height.
  bool Valid() const;
};

// The 128-byte header in front of each packet in transport framing.
struct TransportHeader {
  static constexpr uint32_t kSize = 128;
  static constexpr uint32_t kMaxTotal = 0x40000;  // totals must stay below this

  // Byte offsets of the little-endian words read from the header; the
  // bytes between them and after the last are not used.
  static constexpr size_t kTotalOffset = 0;           // packet length
  static constexpr size_t kIntervalOffset = 8;        // live frame interval
  static constexpr size_t kSequenceOffset = 12;       // per-channel sequence number
  static constexpr size_t kChannelOffset = 20;        // channel
  static constexpr size_t kRecorderValueOffset = 24;  // a value of the recorder's
  static constexpr size_t kDeliveryOffset = 32;       // delivery sequence number
  static constexpr size_t kSecondsOffset = 36;        // position for the live lag
  static constexpr size_t kFrameOffset = 40;          // frame number
  static constexpr size_t kValue44Offset = 44;        // another value of the recorder's
  static constexpr size_t kDeliveryTypeOffset = 48;   // video or audio
  static constexpr size_t kTagOffset = 52;            // connection tag

  uint32_t total = 0;          // packet length including these 128 bytes
  uint32_t intervalMs = 0;     // live frame interval
  uint32_t sequence = 0;       // per-channel sequence number
  uint32_t channel = 0;        // 0..16
  uint32_t recorderValue = 0;  // kept in the stream statistics
  uint32_t delivery = 0;       // delivery sequence number
  uint32_t seconds = 0;        // position for the live lag
  uint32_t frame = 0;          // frame number, with `seconds` for the live lag
  uint32_t value44 = 0;        // kept with the channel's pacing state
  uint32_t deliveryType = 0;   // 2 audio, else video
  uint32_t tag = 0;            // connection tag, 0 = any

  // Reads the 128 header bytes from `r` into `out`. False, with `out` and
  // the reader's position as they were, when fewer than 128 bytes are left.
  static bool Parse(ByteReader& r, TransportHeader& out);
  // The header at the start of `bytes`; all zero when fewer than 128 bytes
  // are there.
  static TransportHeader Of(std::span<const uint8_t> bytes) {
    TransportHeader t;
    Parse(bytes, t);
    return t;
  }
  static bool Parse(std::span<const uint8_t> bytes, TransportHeader& out) {
    ByteReader r(bytes);
    return Parse(r, out);
  }
  // The header the parser makes for a packet in marker framing.
  static TransportHeader ForMarkerPacket(const FrameHeader& frame) {
    TransportHeader t;
    t.total = frame.PacketBytes() + kSize;
    return t;
  }
};

}  // namespace tevrano
