#include "PlaybackSearch.h"

#include <algorithm>

#include "Wire.h"

namespace tevrano::sim {

std::optional<PbbaQuery> ReadPbbaQuery(const ByteReader& body) {
  if (!body.Has(0, kSubHeaderSize + 8)) return std::nullopt;
  PbbaQuery q;
  q.key = body.Le32Or(0, 0);
  q.index = body.Le32Or(4, 0);
  q.type = body.Le32Or(8, 0);
  q.channel = body.Le32Or(12, 0);
  q.value0 = body.Le32Or(kSubHeaderSize, 0);
  q.value1 = body.Le32Or(kSubHeaderSize + 4, 0);
  return q;
}

uint32_t PbbaUnit(uint32_t index) {
  static const uint32_t kUnits[8] = {1, 60, 1440, 3600, 86400, 2592000, 31536000, 1800};
  return index < 8 ? kUnits[index] : 0;
}

std::vector<uint8_t> PbbaWindowAnswer(const PbbaQuery& q) {
  std::vector<uint8_t> payload(kPbbaPayloadSize, 0);
  PutLe32(&payload[0], q.value0);
  PutLe32(&payload[4], q.value1);
  return BuildSubHeaderBody(q.key, q.index, payload, {0, q.channel});
}

std::vector<uint8_t> PbbaMapAnswer(const PbbaQuery& q, const RecordingArchive& archive,
                                   PbbaMap& map, std::string& error) {
  map = {};
  const uint32_t unit = PbbaUnit(q.index);
  if (unit == 0) {
    error = "index above 7";
    return {};
  }
  if (q.value1 <= q.value0) {
    error = "window end not after its start";
    return {};
  }
  const uint64_t units = (uint64_t(q.value1) - q.value0) / unit;
  if (units == 0 || units > kPbbaMaxUnits) {
    error = "window of " + std::to_string(units) + " units";
    return {};
  }
  map.units = uint32_t(units);
  std::vector<uint8_t> payload(kPbbaPayloadSize + 2 * units, 0);
  uint32_t sum = 0;
  for (uint32_t k = 0; k < map.units; ++k) {
    const uint64_t from = uint64_t(q.value0) + uint64_t(k) * unit;
    const uint64_t to = std::min<uint64_t>(from + unit, 0xFFFFFFFFull);
    const bool recorded =
        int(q.channel) >= 0 && archive.Recorded(int(q.channel), uint32_t(from), uint32_t(to));
    payload[kPbbaPayloadSize + 2 * k] = recorded ? 1 : 0;
    sum += recorded ? 1 : 0;
    map.marks += recorded ? '1' : '0';
  }
  PutLe32(&payload[0], q.value0);
  PutLe32(&payload[4], q.value1);
  PutLe32(&payload[8], uint32_t(payload.size()));
  PutLe32(&payload[12], sum);
  return BuildSubHeaderBody(q.key, q.index, payload, {1, q.channel});
}

}  // namespace tevrano::sim
