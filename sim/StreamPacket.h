// Stream packets as the recorder pushes them.
//
// FrameHeader (32 bytes, little-endian): 0 magic 00 00 00 03; 4 seconds of
// recorder time; 8 frame number within the second; 11 bits 6-7 type
// (1 video, 2 audio); 12 height and 13 width in macroblocks; 14 bits 2-3
// resolution code, bits 4-7 sub-channel; 15 bits 0-3 packets of the frame
// after this one, bits 4-5 frame type (0 I); 18 u16 packet length in 64-byte
// units, header included; 20 u32 bits 5-21 frame-rate field (interval ms =
// 20000 / field); 23 bits 5-6 StreamKind; 26 u16 bits 6-15 10-bit packet
// counter; 28 time offset. Packets are padded with zeros to 64 bytes.
//
// TransportHeader (128 bytes, in front of the FrameHeader when packets go
// over the command channel): 0 total length; 8 frame interval ms; 12
// sequence within the channel; 20 channel; 32 delivery sequence; 36 seconds
// and 40 frame of the packet; 48 delivery type (2 audio, 1 video).
#pragma once

#include <cstdint>
#include <ctime>
#include <vector>

namespace tevrano::sim {

constexpr size_t kStreamFrameHeaderSize = 32;
constexpr size_t kTransportHeaderSize = 128;

struct FrameHeaderFields {
  uint32_t seconds = 0;
  uint32_t frame = 0;
  uint32_t type = 1;  // 1 video, 2 audio
  uint32_t widthMbs = 0, heightMbs = 0;
  uint32_t resolutionCode = 0;
  uint32_t subChannel = 0;
  uint32_t morePackets = 0;
  bool key = false;
  uint32_t rateField = 500;  // 25 fps
  uint32_t streamKind = 0;   // live
  uint32_t counter = 0;      // 10 bits
  uint32_t timeOffset = 0;   // offset 28: seconds added for display and recording
};

// Appends header + payload + zero padding; returns the packet's length.
size_t AppendMarkerPacket(std::vector<uint8_t>& out, const FrameHeaderFields& h,
                          const uint8_t* payload, size_t size);

struct TransportFields {
  uint32_t intervalMs = 40;
  uint32_t channelSequence = 0;
  uint32_t channel = 0;
  uint32_t deliverySequence = 0;
  uint32_t seconds = 0, frame = 0;
  uint32_t deliveryType = 1;
};

// A 128-byte TransportHeader for a packet of markerLength bytes.
void AppendTransportHeader(std::vector<uint8_t>& out, const TransportFields& t,
                           size_t markerLength);

// Recorder time: seconds since 2000-01-01 00:00:00 local time, the year
// 2000 counted with 365 days.
uint32_t PackRecorderTime(const std::tm& local);

// The frame-rate field for a rate: 20000 / interval in ms.
inline uint32_t RateField(int fps) {
  return uint32_t(fps) * 20;
}

}  // namespace tevrano::sim
