#include "SliceRewriter.h"

#include "BitStream.h"
#include "ParamSetPrefix.h"

namespace tevrano::sim {

std::vector<uint8_t> UnescapeRbsp(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out;
  out.reserve(size);
  int zeros = 0;
  for (size_t i = 0; i < size; ++i) {
    if (zeros >= 2 && data[i] == 0x03) {
      zeros = 0;
      continue;
    }
    zeros = data[i] == 0 ? zeros + 1 : 0;
    out.push_back(data[i]);
  }
  return out;
}

std::vector<uint8_t> EscapeRbsp(const std::vector<uint8_t>& rbsp) {
  std::vector<uint8_t> out;
  out.reserve(rbsp.size() + rbsp.size() / 64 + 4);
  int zeros = 0;
  for (uint8_t b : rbsp) {
    if (zeros >= 2 && b <= 0x03) {
      out.push_back(0x03);
      zeros = 0;
    }
    zeros = b == 0 ? zeros + 1 : 0;
    out.push_back(b);
  }
  return out;
}

std::optional<SourceParams> ParseSourceParams(const std::vector<uint8_t>& spsNal,
                                              const std::vector<uint8_t>& ppsNal) {
  if (spsNal.size() < 4 || ppsNal.size() < 2) return std::nullopt;
  SourceParams p;
  std::vector<uint8_t> sps = UnescapeRbsp(spsNal.data() + 1, spsNal.size() - 1);
  BitReader s(sps.data(), sps.size());
  uint32_t profile = s.Bits(8);
  s.Bits(16);                                               // constraint flags, level
  s.Ue();                                                   // seq_parameter_set_id
  if (profile != 66 && profile != 77) return std::nullopt;  // no chroma_format fields
  p.log2MaxFrameNum = int(s.Ue()) + 4;
  p.pocType = int(s.Ue());
  if (p.pocType == 0) {
    p.log2MaxPocLsb = int(s.Ue()) + 4;
  } else if (p.pocType == 1) {
    p.deltaPicOrderAlwaysZero = s.Bit();
    s.Se();
    s.Se();
    uint32_t n = s.Ue();
    if (n > 255) return std::nullopt;
    for (uint32_t i = 0; i < n; ++i) s.Se();
  }
  s.Ue();  // max_num_ref_frames
  s.Bit();
  s.Ue();
  s.Ue();
  if (s.Bit() != 1) return std::nullopt;  // frame_mbs_only
  if (!s.ok() || p.log2MaxFrameNum > 16 || p.log2MaxPocLsb > 16) return std::nullopt;

  std::vector<uint8_t> pps = UnescapeRbsp(ppsNal.data() + 1, ppsNal.size() - 1);
  BitReader r(pps.data(), pps.size());
  r.Ue();
  r.Ue();
  p.cabac = r.Bit();
  p.bottomFieldPicOrderPresent = r.Bit();
  if (r.Ue() != 0) return std::nullopt;  // slice groups
  p.defaultActiveRefs = r.Ue() + 1;
  r.Ue();
  p.weightedPred = r.Bit();
  r.Bits(2);
  p.initQp = 26 + r.Se();
  r.Se();
  r.Se();
  p.deblockingControlPresent = r.Bit();
  r.Bit();
  p.redundantPicCntPresent = r.Bit();
  if (!r.ok()) return std::nullopt;
  return p;
}

namespace {

// Position just past the last slice data bit: the RBSP stop bit is the last
// 1 bit of the unit.
size_t StopBitPosition(const std::vector<uint8_t>& rbsp) {
  for (size_t i = rbsp.size(); i-- > 0;) {
    if (rbsp[i] == 0) continue;
    for (int bit = 0; bit < 8; ++bit)
      if (rbsp[i] & (1 << bit)) return i * 8 + (7 - bit);
  }
  return 0;
}

}  // namespace

std::vector<uint8_t> RewriteSlice(const uint8_t* nal, size_t size, const SourceParams& src,
                                  uint32_t idrPicId) {
  if (size < 2 || src.cabac) return {};
  const uint8_t header = nal[0];
  const int nalType = header & 0x1F;
  const int refIdc = (header >> 5) & 3;
  if (nalType != 1 && nalType != 5) return {};
  std::vector<uint8_t> rbsp = UnescapeRbsp(nal + 1, size - 1);
  BitReader in(rbsp.data(), rbsp.size());
  BitWriter out;

  out.Ue(in.Ue());  // first_mb_in_slice
  uint32_t sliceType = in.Ue();
  out.Ue(sliceType);
  const uint32_t kind = sliceType % 5;  // 0 P, 1 B, 2 I, 3 SP, 4 SI
  if (kind != 0 && kind != 2) return {};
  in.Ue();
  out.Ue(0);  // pic_parameter_set_id
  uint32_t frameNum = in.Bits(src.log2MaxFrameNum);
  out.Bits(frameNum & ((1u << kLog2MaxFrameNum) - 1), kLog2MaxFrameNum);
  if (nalType == 5) {
    in.Ue();
    out.Ue(idrPicId);
  }
  if (src.pocType == 0) {
    in.Bits(src.log2MaxPocLsb);
    if (src.bottomFieldPicOrderPresent) in.Se();
  } else if (src.pocType == 1 && !src.deltaPicOrderAlwaysZero) {
    in.Se();
    if (src.bottomFieldPicOrderPresent) in.Se();
  }
  // Every frame is a reference frame and there are no B-frames, so the
  // frame's place in its group of pictures is frame_num.
  out.Bits((2 * frameNum) & ((1u << kLog2MaxPocLsb) - 1), kLog2MaxPocLsb);
  if (src.redundantPicCntPresent && in.Ue() != 0) return {};

  if (kind == 0) {
    uint32_t active = src.defaultActiveRefs;
    if (in.Bit()) active = in.Ue() + 1;
    if (active == 0 || active > 16) return {};
    out.Bit(1);  // num_ref_idx_active_override_flag: the target default is 4
    out.Ue(active - 1);
    uint32_t modify = in.Bit();
    out.Bit(modify);
    for (int guard = 0; modify && guard < 64; ++guard) {
      uint32_t idc = in.Ue();
      out.Ue(idc);
      if (idc == 3) break;
      if (idc > 3 || !in.ok()) return {};
      out.Ue(in.Ue());
    }
    if (src.weightedPred) return {};
  }
  if (refIdc != 0) {
    if (nalType == 5) {
      out.Bits(in.Bits(2), 2);  // no_output_of_prior_pics, long_term_reference
    } else {
      uint32_t adaptive = in.Bit();
      out.Bit(adaptive);
      for (int guard = 0; adaptive && guard < 64; ++guard) {
        uint32_t op = in.Ue();
        out.Ue(op);
        if (op == 0) break;
        if (op > 6 || !in.ok()) return {};
        if (op != 5) out.Ue(in.Ue());  // operation 5 has no operand
        if (op == 3) out.Ue(in.Ue());
      }
    }
  }
  int qp = src.initQp + in.Se();
  out.Se(qp - kPpsInitQp);
  if (src.deblockingControlPresent) {
    uint32_t idc = in.Ue();
    if (idc != 0) return {};
    if (in.Se() != 0 || in.Se() != 0) return {};
  }
  if (!in.ok()) return {};

  // Slice data: copied bit for bit up to the stop bit.
  size_t end = StopBitPosition(rbsp);
  if (end < in.position()) return {};
  for (size_t n = end - in.position(); n >= 32; n -= 32) out.Bits(in.Bits(32), 32);
  while (in.position() < end) out.Bit(in.Bit());
  out.TrailingBits();

  std::vector<uint8_t> result{header};
  std::vector<uint8_t> escaped = EscapeRbsp(out.bytes());
  result.insert(result.end(), escaped.begin(), escaped.end());
  return result;
}

}  // namespace tevrano::sim
