#include "MovieFile.h"

#include <cstring>
#include <string>

namespace tevrano::agent_test {
namespace {

void PutBe32(Bytes& out, uint32_t value) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutTag(Bytes& out, const char* tag) {
  out.insert(out.end(), tag, tag + 4);
}

// An atom of the given size whose body is a counting pattern.
Bytes FillerAtom(const char* tag, uint32_t size) {
  Bytes a;
  PutBe32(a, size);
  PutTag(a, tag);
  for (uint32_t i = 8; i < size; ++i) a.push_back(static_cast<uint8_t>(i * 7));
  return a;
}

Bytes TableAtom(const char* tag, const std::vector<uint32_t>& entries, bool with_sample_size) {
  Bytes a;
  uint32_t head = with_sample_size ? 20 : 16;
  PutBe32(a, head + 4 * static_cast<uint32_t>(entries.size()));
  PutTag(a, tag);
  PutBe32(a, 0);                        // version and flags
  if (with_sample_size) PutBe32(a, 0);  // sample size 0: the table holds them
  PutBe32(a, static_cast<uint32_t>(entries.size()));
  for (uint32_t e : entries) PutBe32(a, e);
  return a;
}

}  // namespace

uint32_t GetBe32(const Bytes& in, size_t at) {
  return (uint32_t{in.at(at)} << 24) | (uint32_t{in.at(at + 1)} << 16) |
         (uint32_t{in.at(at + 2)} << 8) | in.at(at + 3);
}

void SetBe32(Bytes& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.at(at + i) = static_cast<uint8_t>(value >> (8 * (3 - i)));
}

Movie BuildMovie(const MovieSpec& spec) {
  Movie m;
  Bytes& b = m.bytes;
  PutBe32(b, 32);
  PutTag(b, "ftyp");
  PutTag(b, "qt  ");
  PutBe32(b, 0x20050300);
  PutTag(b, "qt  ");
  b.resize(32, 0);
  PutBe32(b, 8);
  PutTag(b, "wide");
  PutBe32(b, 8 + spec.media);
  PutTag(b, "mdat");
  for (uint32_t i = 0; i < spec.media; ++i) b.push_back(static_cast<uint8_t>(i));

  Bytes mvhd;
  PutBe32(mvhd, 108);
  PutTag(mvhd, "mvhd");
  PutBe32(mvhd, 0);
  PutBe32(mvhd, spec.creation);
  PutBe32(mvhd, spec.modification);
  PutBe32(mvhd, 600);
  PutBe32(mvhd, 6000);
  PutBe32(mvhd, 0x00010000);
  mvhd.push_back(1);  // volume 1.0
  mvhd.push_back(0);
  PutTag(mvhd, "vorn");  // the reserved area: movie atom + 42
  EXPECT_EQ(mvhd.size() + 8, 42u + 4);
  mvhd.push_back(static_cast<uint8_t>(spec.format_a));
  mvhd.push_back(static_cast<uint8_t>(spec.format_b));
  mvhd.resize(108, 0);

  std::vector<uint32_t> sync = {1};
  Bytes stsc;
  PutBe32(stsc, 28);
  PutTag(stsc, "stsc");
  for (uint32_t v : {0u, 1u, 1u, 1u, 1u}) PutBe32(stsc, v);
  Bytes body = FillerAtom("tkhd", spec.filler);
  size_t stss_in_track = 8 + body.size();
  Bytes stss = TableAtom("stss", sync, false);
  body.insert(body.end(), stss.begin(), stss.end());
  body.insert(body.end(), stsc.begin(), stsc.end());
  size_t stsz_in_track = 8 + body.size();
  Bytes stsz = TableAtom("stsz", spec.sample_sizes, true);
  body.insert(body.end(), stsz.begin(), stsz.end());
  size_t stco_in_track = 8 + body.size();
  Bytes stco = TableAtom("stco", spec.chunk_offsets, false);
  body.insert(body.end(), stco.begin(), stco.end());
  uint32_t track_size =
      spec.first_track_size ? spec.first_track_size : static_cast<uint32_t>(8 + body.size());
  body.resize(track_size - 8, 0);
  Bytes track;
  PutBe32(track, track_size);
  PutTag(track, "trak");
  track.insert(track.end(), body.begin(), body.end());

  uint32_t children = 108 + static_cast<uint32_t>(track.size());
  for (uint32_t size : spec.more_tracks) children += size;
  m.moov = b.size();
  m.moov_size = spec.moov_size >= 0 ? static_cast<uint32_t>(spec.moov_size) : 8 + children;
  PutBe32(b, m.moov_size);
  PutTag(b, "moov");
  b.insert(b.end(), mvhd.begin(), mvhd.end());
  size_t track_at = b.size();
  b.insert(b.end(), track.begin(), track.end());
  for (uint32_t size : spec.more_tracks) {
    Bytes more = FillerAtom("trak", size);
    b.insert(b.end(), more.begin(), more.end());
  }
  m.stss = track_at + stss_in_track;
  m.stsz = track_at + stsz_in_track;
  m.stco = track_at + stco_in_track;
  b.resize(b.size() + spec.tail, 0xEE);
  return m;
}

}  // namespace tevrano::agent_test
