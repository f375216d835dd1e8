// Backup packets and a small reader of written movies for the record tests.
#pragma once
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "base/ByteReader.h"

namespace tevrano::record::test {

struct PacketSpec {
  uint32_t seconds = 100000;
  uint32_t frame = 0;
  bool key = false;
  uint32_t widthMb = 2, heightMb = 2;
  uint32_t extraPackets = 0;
  uint32_t timeOffset = 0;
  uint32_t channel = 0;
  uint32_t resolution = 0;
};

// A 32-byte FrameHeader for `type` (1 video, 2 audio) and a packet of
// `packetBytes` (a multiple of 64).
inline void PutHeader(uint8_t* p, const PacketSpec& s, int type, uint32_t packetBytes) {
  std::memset(p, 0, 32);
  p[3] = 3;
  StoreLe32(p + 4, s.seconds);
  p[8] = uint8_t(s.frame);
  p[11] = uint8_t(type << 6);
  p[12] = uint8_t(s.heightMb);
  p[13] = uint8_t(s.widthMb);
  p[14] = uint8_t((s.resolution & 3) << 2 | (s.channel & 15) << 4);
  p[15] = uint8_t((s.extraPackets & 15) | (s.key ? 0 : 1) << 4);
  StoreLe16(p + 18, uint16_t(packetBytes / 64));
  StoreLe32(p + 20, (1000u << 5) | (1u << 29));
  StoreLe32(p + 28, s.timeOffset);
}

// A video packet: header, the NAL units (4-byte lengths), zero padding to 64.
inline std::vector<uint8_t> VideoPacket(const PacketSpec& s,
                                        const std::vector<std::vector<uint8_t>>& nals) {
  size_t n = 32;
  for (const auto& u : nals) n += 4 + u.size();
  n = (n + 63) / 64 * 64;
  std::vector<uint8_t> p(n, 0);
  PutHeader(p.data(), s, 1, uint32_t(n));
  size_t at = 32;
  for (const auto& u : nals) {
    StoreBe32(p.data() + at, uint32_t(u.size()));
    std::memcpy(p.data() + at + 4, u.data(), u.size());
    at += 4 + u.size();
  }
  return p;
}

// An audio packet of `samples` 16-bit little-endian samples (a multiple of
// 32), each with high byte `value`, and 32 bytes more (as the recorder
// sends them: the writer takes whole 64-byte blocks after the header).
inline std::vector<uint8_t> AudioPacket(const PacketSpec& s, uint32_t samples, uint8_t value) {
  const uint32_t n = 64 + samples * 2;
  std::vector<uint8_t> p(n, 0);
  PutHeader(p.data(), s, 2, n);
  for (uint32_t i = 0; i < samples; ++i) p[32 + 2 * i + 1] = value;
  return p;
}

// H.264 bits, most significant first.
struct Bits {
  std::vector<uint8_t> bytes;
  size_t bit = 0;
  void Put(uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i, ++bit) {
      if (bit / 8 >= bytes.size()) bytes.push_back(0);
      if ((v >> i) & 1) bytes[bit / 8] |= uint8_t(0x80 >> (bit % 8));
    }
  }
  void Ue(uint32_t v) {
    const uint64_t x = uint64_t(v) + 1;
    int k = 0;
    while ((x >> (k + 1)) != 0) ++k;
    Put(0, k);
    Put(uint32_t(x), k + 1);
  }
  void Align() {
    while (bit % 8) Put(0, 1);
  }
};

// A real IDR slice (every macroblock I_PCM, grey) for a picture of
// widthMb x heightMb, decodable with the parameter sets the writer builds.
inline std::vector<uint8_t> IdrSlice(uint32_t widthMb, uint32_t heightMb, uint8_t grey = 0x80) {
  Bits b;
  b.Put(0x65, 8);
  b.Ue(0);      // first_mb_in_slice
  b.Ue(7);      // I, every slice
  b.Ue(0);      // pps
  b.Put(0, 4);  // frame_num
  b.Ue(0);      // idr_pic_id
  b.Put(0, 4);  // pic_order_cnt_lsb
  b.Put(0, 1);  // no_output_of_prior_pics
  b.Put(0, 1);  // long_term_reference
  b.Ue(0);      // slice_qp_delta
  for (uint32_t i = 0; i < widthMb * heightMb; ++i) {
    b.Ue(25);  // I_PCM
    b.Align();
    for (int k = 0; k < 384; ++k) b.Put(grey, 8);
  }
  b.Put(1, 1);
  b.Align();
  return b.bytes;
}

// A P slice (type 1 NAL) with all macroblocks skipped and frame_num `fn`.
inline std::vector<uint8_t> PSlice(uint32_t widthMb, uint32_t heightMb, uint32_t fn,
                                   uint32_t sliceType = 5) {
  Bits b;
  b.Put(0x41, 8);
  b.Ue(0);
  b.Ue(sliceType);
  b.Ue(0);
  b.Put(fn & 15, 4);
  b.Put((2 * fn) & 15, 4);
  if (sliceType % 5 == 0) {
    b.Put(1, 1);  // one reference picture
    b.Ue(0);
    b.Put(0, 1);
  }
  b.Put(0, 1);
  b.Ue(0);
  if (sliceType % 5 == 0) b.Ue(widthMb * heightMb);
  b.Put(1, 1);
  b.Align();
  return b.bytes;
}

// An atom found in a movie: where it starts and its size.
struct Atom {
  size_t at = 0;
  uint32_t size = 0;
};

// Finds the first atom of the path ("moov/trak/mdia/...") below `from`
// (the children of the atom at `from`, or the file's top level).
inline std::optional<Atom> FindAtom(const std::vector<uint8_t>& f, const std::string& path,
                                    size_t begin = 0, size_t end = SIZE_MAX, int index = 0) {
  if (end == SIZE_MAX) end = f.size();
  const size_t slash = path.find('/');
  const std::string head = path.substr(0, slash);
  // Sample descriptions carry 8 bytes before their entries.
  size_t at = begin;
  int seen = 0;
  while (at + 8 <= end) {
    const uint32_t size = LoadBe32(f.data() + at);
    if (size < 8 || at + size > end) return std::nullopt;
    if (std::memcmp(f.data() + at + 4, head.data(), 4) == 0) {
      if (slash == std::string::npos) {
        if (seen++ == index) return Atom{at, size};
      } else {
        size_t child = at + 8;
        if (head == "stsd") child += 8;
        if (head == "avc1") child += 78;
        return FindAtom(f, path.substr(slash + 1), child, at + size, index);
      }
    }
    at += size;
  }
  return std::nullopt;
}

}  // namespace tevrano::record::test
