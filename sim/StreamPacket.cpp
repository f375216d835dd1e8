#include "StreamPacket.h"

#include <cstring>

#include "Bytes.h"

namespace tevrano::sim {

size_t AppendMarkerPacket(std::vector<uint8_t>& out, const FrameHeaderFields& h,
                          const uint8_t* payload, size_t size) {
  const size_t units = (kStreamFrameHeaderSize + size + 63) / 64;
  const size_t length = units * 64;
  const size_t at = out.size();
  out.resize(at + length, 0);
  uint8_t* p = &out[at];
  p[3] = 0x03;
  PutLe32(p + 4, h.seconds);
  p[8] = uint8_t(h.frame);
  p[11] = uint8_t((h.type & 3) << 6);
  p[12] = uint8_t(h.heightMbs);
  p[13] = uint8_t(h.widthMbs);
  p[14] = uint8_t(((h.resolutionCode & 3) << 2) | ((h.subChannel & 15) << 4));
  p[15] = uint8_t((h.morePackets & 15) | ((h.key ? 0 : 1) << 4));
  PutLe16(p + 18, uint16_t(units));
  PutLe32(p + 20, ((h.rateField & 0x1FFFF) << 5) | ((h.streamKind & 3) << 29));
  PutLe16(p + 26, uint16_t((h.counter & 0x3FF) << 6));
  PutLe32(p + 28, h.timeOffset);
  if (size) std::memcpy(p + kStreamFrameHeaderSize, payload, size);
  return length;
}

void AppendTransportHeader(std::vector<uint8_t>& out, const TransportFields& t,
                           size_t markerLength) {
  const size_t at = out.size();
  out.resize(at + kTransportHeaderSize, 0);
  uint8_t* p = &out[at];
  PutLe32(p + 0, uint32_t(kTransportHeaderSize + markerLength));
  PutLe32(p + 8, t.intervalMs);
  PutLe32(p + 12, t.channelSequence);
  PutLe32(p + 20, t.channel);
  PutLe32(p + 32, t.deliverySequence);
  PutLe32(p + 36, t.seconds);
  PutLe32(p + 40, t.frame);
  PutLe32(p + 48, t.deliveryType);
}

uint32_t PackRecorderTime(const std::tm& local) {
  int year = local.tm_year + 1900;
  if (year < 2000) return 0;
  uint32_t days = 0;
  for (int y = 2000; y < year; ++y) {
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    days += (leap && y != 2000) ? 366 : 365;
  }
  days += uint32_t(local.tm_yday);
  return days * 86400 + uint32_t(local.tm_hour) * 3600 + uint32_t(local.tm_min) * 60 +
         uint32_t(local.tm_sec);
}

}  // namespace tevrano::sim
