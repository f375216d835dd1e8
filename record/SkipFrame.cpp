// Empty predicted frames for missing frame slots, and the frame_num fields
// that keep a movie's frames numbered without gaps.
#include "record/SkipFrame.h"

#include <cstring>

#include "base/ByteReader.h"

namespace tevrano::record {
namespace {

// Most significant bit first, into a fixed buffer.
struct BitWriter {
  uint8_t* out;
  size_t size;
  size_t bit = 0;
  void Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i, ++bit) {
      if (bit / 8 >= size) return;
      if ((value >> i) & 1) out[bit / 8] |= uint8_t(0x80 >> (bit % 8));
    }
  }
  void Ue(uint32_t v) {
    const uint64_t x = uint64_t(v) + 1;
    int k = 0;
    while ((x >> (k + 1)) != 0) ++k;
    Put(0, k);
    Put(uint32_t(x), k + 1);
  }
};

struct BitReader {
  const uint8_t* in;
  size_t size;
  size_t bit = 0;
  bool ok = true;
  uint32_t Get(int bits) {
    uint32_t v = 0;
    for (int i = 0; i < bits; ++i, ++bit) {
      if (bit / 8 >= size) {
        ok = false;
        return 0;
      }
      v = v << 1 | ((in[bit / 8] >> (7 - bit % 8)) & 1);
    }
    return v;
  }
  uint32_t Ue() {
    int zeros = 0;
    while (ok && Get(1) == 0) {
      if (++zeros > 31) {
        ok = false;
        return 0;
      }
    }
    return ok ? (uint32_t((uint64_t(1) << zeros) - 1 + Get(zeros))) : 0;
  }
};

// Slice headers are read from the first bytes of a NAL unit only; an
// emulation-prevention byte there would shift the bits, so such a unit is
// left alone.
constexpr size_t kHeaderBytes = 8;

bool HeaderBytesPlain(const uint8_t* body, size_t n) {
  const size_t end = n < kHeaderBytes ? n : kHeaderBytes;
  for (size_t i = 2; i < end; ++i)
    if (body[i] == 3 && body[i - 1] == 0 && body[i - 2] == 0) return false;
  return true;
}

// Finds frame_num of a slice NAL body (NAL header first): its bit position
// and the slice type. False for other units or unreadable headers.
bool LocateFrameNum(const uint8_t* body, size_t n, size_t& bitPos, uint32_t& sliceType) {
  if (n < 2) return false;
  const uint32_t nalType = body[0] & 0x1F;
  if (nalType != 1 && nalType != 5) return false;
  if (!HeaderBytesPlain(body, n)) return false;
  BitReader r{body + 1, n - 1 < kHeaderBytes ? n - 1 : kHeaderBytes};
  r.Ue();  // first_mb_in_slice
  sliceType = r.Ue();
  r.Ue();  // pic_parameter_set_id
  bitPos = 8 + r.bit;
  r.Get(4);
  return r.ok;
}

}  // namespace

SkipFrame MakeSkipFrame(uint32_t widthMb, uint32_t heightMb, uint32_t frameNum) {
  SkipFrame f;
  std::memset(f.bytes, 0, sizeof f.bytes);
  StoreBe32(f.bytes, SkipFrame::kSize - 4);
  f.bytes[4] = 0x41;  // reference picture, non-IDR slice
  BitWriter w{f.bytes + 5, SkipFrame::kSize - 5};
  const uint32_t k = frameNum & 15;
  w.Ue(0);          // first_mb_in_slice
  w.Ue(5);          // slice_type: P, every slice of the picture
  w.Ue(0);          // pic_parameter_set_id
  w.Put(k, 4);      // frame_num
  w.Put(2 * k, 4);  // pic_order_cnt_lsb, rising with the frame number
  w.Put(1, 1);      // num_ref_idx_active_override_flag: one reference,
  w.Ue(0);          // the frame before (num_ref_idx_l0_active_minus1 0)
  w.Put(0, 1);      // ref_pic_list_modification_flag_l0
  w.Put(0, 1);      // adaptive_ref_pic_marking_mode_flag
  w.Ue(0);          // slice_qp_delta (se 0)
  const uint64_t mbs = uint64_t(widthMb ? widthMb : 1) * (heightMb ? heightMb : 1);
  w.Ue(uint32_t(mbs > 0xFFFFFFFEu ? 0xFFFFFFFEu : mbs));  // mb_skip_run: all of them
  w.Put(1, 1);                                            // rbsp_stop_one_bit; the rest stays zero
  return f;
}

int PatchFrameNum(uint8_t* sample, size_t size, uint32_t frameNum) {
  int patched = 0;
  NalLengthWalker walker(sample, size);
  std::span<const uint8_t> body;
  while (walker.Next(body)) {
    size_t bitPos = 0;
    uint32_t sliceType = 0;
    if (!LocateFrameNum(body.data(), body.size(), bitPos, sliceType)) continue;
    if (sliceType % 5 != 0) continue;  // P slices only
    uint8_t* unit = sample + (body.data() - sample);
    for (int i = 0; i < 4; ++i) {
      const size_t b = bitPos + size_t(i);
      const uint8_t mask = uint8_t(0x80 >> (b % 8));
      if ((frameNum >> (3 - i)) & 1)
        unit[b / 8] |= mask;
      else
        unit[b / 8] &= uint8_t(~mask);
    }
    ++patched;
  }
  return patched;
}

int ReadFrameNum(const uint8_t* sample, size_t size) {
  NalLengthWalker walker(sample, size);
  std::span<const uint8_t> body;
  while (walker.Next(body)) {
    size_t bitPos = 0;
    uint32_t sliceType = 0;
    if (!LocateFrameNum(body.data(), body.size(), bitPos, sliceType)) continue;
    BitReader r{body.data(), body.size()};
    r.bit = bitPos;
    const uint32_t v = r.Get(4);
    return r.ok ? int(v) : -1;
  }
  return -1;
}

}  // namespace tevrano::record
