// The recording search ("PBBA" module), the recorder's side. A viewer asks
// in two steps; every body starts with the 32-byte sub-header
//   0 key (the viewer's SessionId), 4 index (0..7), 8 type, 12 channel
//   (0-based), 16..31 zero
// and a 72-byte payload follows in requests.
//   Type 0, window: payload words 0 and 1 are the window's start and end
//     (recorder seconds). The answer (type 0) carries the two values the
//     viewer must send back; this recorder sends the window itself:
//     payload word 0 = start, word 1 = end, words 2..17 zero (72 bytes).
//   Type 1, map: payload words 0 and 1 are those two values. The answer
//     (type 1) is a 72-byte payload head
//       0 start, 4 end (echoed), 8 L = 72 + map bytes, 12 checksum = byte
//       sum of the map bytes, 16..71 zero
//     then the map: two bytes per unit of the window, n = (end - start) /
//     unit units; byte 2k is 0x01 when unit k meets a recording of the
//     channel, else 0; byte 2k + 1 is 0.
// Units by index (seconds): 0: 1, 1: 60, 2: 1440, 3: 3600, 4: 86400,
// 5: 2592000, 6: 31536000, 7: 1800. A viewer asks index 4 for the 42
// days of its calendar page and index 7 for the 48 half-hours of a day.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Bytes.h"
#include "RecordingArchive.h"

namespace tevrano::sim {

constexpr size_t kPbbaPayloadSize = 72;
// The longest window answered: the widest the viewer's table asks for
// (270 units on each side).
constexpr uint32_t kPbbaMaxUnits = 540;

struct PbbaQuery {
  uint32_t key = 0, index = 0, type = 0, channel = 0;
  uint32_t value0 = 0, value1 = 0;  // payload words 0 and 1
};

// The query in a module body; empty when the body is shorter than the
// sub-header and the two payload words.
std::optional<PbbaQuery> ReadPbbaQuery(const ByteReader& body);
// Seconds per unit of an index (0 for an index above 7).
uint32_t PbbaUnit(uint32_t index);

// The module body of the type 0 answer.
std::vector<uint8_t> PbbaWindowAnswer(const PbbaQuery& q);

struct PbbaMap {
  uint32_t units = 0;
  std::string marks;  // one '1' or '0' per unit, for the log
};
// The module body of the type 1 answer; empty (and why in error) when the
// window is not one to answer: an index above 7, an end not after its
// start, or more than kPbbaMaxUnits units.
std::vector<uint8_t> PbbaMapAnswer(const PbbaQuery& q, const RecordingArchive& archive,
                                   PbbaMap& map, std::string& error);

}  // namespace tevrano::sim
