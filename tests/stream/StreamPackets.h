#pragma once
// Builds stream packets the way a recorder sends them, for the tests.
#include <cstdint>
#include <vector>

namespace tevrano::test {

struct PacketSpec {
  uint32_t type = 1;  // 1 video, 2 audio
  uint32_t channel = 0;
  uint32_t sequence = 1;  // transport per-channel sequence
  uint32_t intervalMs = 40;
  uint32_t seconds = 1000;
  uint32_t frame = 0;
  uint32_t widthMb = 44, heightMb = 36;
  bool key = true;
  uint32_t kind = 0;  // stream kind
  uint32_t subChannel = 0;
  uint32_t resolution = 0;
  uint32_t rateField = 500;  // 20000 / 500 = 40 ms
  uint32_t timeOffset = 0;
  uint32_t extraPackets = 0;
  uint32_t sequence10 = 0;
  uint32_t tag = 0;
  uint32_t recorderValue = 0;
  uint32_t deliveryType = 0;
  uint32_t lagSeconds = 0, lagFrame = 0;  // transport offsets 36 and 40
  int32_t lengthOverride = -1;            // frame header length field, -1 = computed
  int32_t totalOverride = -1;             // transport total, -1 = computed
  std::vector<uint8_t> payload;           // empty: one NAL unit of 20 bytes
};

inline void StoreLe32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = uint8_t(x >> (8 * i));
}

// One NAL unit with its 4-byte big-endian length.
inline std::vector<uint8_t> Nal(uint8_t header, uint32_t size, uint8_t fill = 0x5A) {
  std::vector<uint8_t> v{uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8),
                         uint8_t(size)};
  v.push_back(header);
  for (uint32_t i = 1; i < size; ++i) v.push_back(fill);
  return v;
}

inline std::vector<uint8_t> FrameBytes(const PacketSpec& s) {
  std::vector<uint8_t> payload = s.payload;
  if (payload.empty()) payload = Nal(s.key ? 0x65 : 0x41, 20);
  const size_t bytes = (32 + payload.size() + 63) / 64 * 64;
  std::vector<uint8_t> v(bytes, 0);
  StoreLe32(v, 0, 0x03000000);
  StoreLe32(v, 4, s.seconds);
  v[8] = uint8_t(s.frame);
  v[11] = uint8_t(s.type << 6);
  v[12] = uint8_t(s.heightMb);
  v[13] = uint8_t(s.widthMb);
  v[14] = uint8_t((s.subChannel << 4) | (s.resolution << 2));
  v[15] = uint8_t(s.extraPackets | ((s.key ? 0 : 1) << 4));
  const uint32_t length = s.lengthOverride >= 0 ? uint32_t(s.lengthOverride) : uint32_t(bytes / 64);
  v[18] = uint8_t(length), v[19] = uint8_t(length >> 8);
  StoreLe32(v, 20, (s.rateField << 5) | (s.kind << 29));
  v[26] = uint8_t(s.sequence10 << 6), v[27] = uint8_t(s.sequence10 >> 2);
  StoreLe32(v, 28, s.timeOffset);
  std::copy(payload.begin(), payload.end(), v.begin() + 32);
  return v;
}

inline std::vector<uint8_t> TransportPacket(const PacketSpec& s) {
  std::vector<uint8_t> frame = FrameBytes(s);
  std::vector<uint8_t> v(128, 0);
  StoreLe32(v, 0, s.totalOverride >= 0 ? uint32_t(s.totalOverride) : uint32_t(128 + frame.size()));
  StoreLe32(v, 8, s.intervalMs);
  StoreLe32(v, 12, s.sequence);
  StoreLe32(v, 20, s.channel);
  StoreLe32(v, 24, s.recorderValue);
  StoreLe32(v, 32, s.sequence);
  StoreLe32(v, 36, s.lagSeconds);
  StoreLe32(v, 40, s.lagFrame);
  StoreLe32(v, 48, s.deliveryType);
  StoreLe32(v, 52, s.tag);
  v.insert(v.end(), frame.begin(), frame.end());
  return v;
}

}  // namespace tevrano::test
