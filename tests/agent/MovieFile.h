// Movie files of the recorder's layout, built for the agent's tests: lead-in
// atoms, "mdat" at 40, then "moov" with its "mvhd" ("vorn" and two format
// bytes in the reserved area) and up to three "trak" atoms. The first track
// holds a sample table: stss, stsc, stsz, stco in that order.
#pragma once

#include <cstdint>
#include <vector>

#include "AgentHarness.h"

namespace tevrano::agent_test {

struct MovieSpec {
  uint32_t media = 1000;  // bytes of media data after the "mdat" header
  int8_t format_a = 2;
  int8_t format_b = 1;
  uint32_t creation = 0x12345678;
  uint32_t modification = 0x1234A000;
  std::vector<uint32_t> sample_sizes = {4000, 1200, 1100};
  std::vector<uint32_t> chunk_offsets = {48, 4048, 5248};
  uint32_t filler = 600;              // bytes of track 1 before its stss atom
  std::vector<uint32_t> more_tracks;  // sizes of tracks 2 and 3 (plain atoms)
  int64_t moov_size = -1;             // -1: the sum of its children
  uint32_t first_track_size = 0;      // 0: what its children need; else padded
  uint32_t tail = 672;                // signature block and padding after moov
};

struct Movie {
  Bytes bytes;
  size_t moov = 0;  // file positions
  size_t stss = 0;
  size_t stsz = 0;
  size_t stco = 0;
  uint32_t moov_size = 0;  // as written
};

Movie BuildMovie(const MovieSpec& spec);

uint32_t GetBe32(const Bytes& in, size_t at);
void SetBe32(Bytes& out, size_t at, uint32_t value);

}  // namespace tevrano::agent_test
