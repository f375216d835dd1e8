// Rewrites the slices of a Baseline CAVLC encoder's stream so that they
// decode with the viewer-built parameter sets (ParamSetPrefix.h) instead of
// the encoder's own: frame_num in 4 bits, picture order count type 0 with
// a 4-bit LSB stepping by 2 per frame, slice QP relative to 26, the number
// of active references always given explicitly, no deblocking fields.
// Only what the slice header says changes; the slice data bits are copied.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace tevrano::sim {

// What the slice header syntax depends on in the source parameter sets.
struct SourceParams {
  int log2MaxFrameNum = 4;
  int pocType = 2;
  int log2MaxPocLsb = 4;
  bool deltaPicOrderAlwaysZero = true;
  bool bottomFieldPicOrderPresent = false;
  bool redundantPicCntPresent = false;
  bool weightedPred = false;
  bool cabac = false;
  bool deblockingControlPresent = true;
  uint32_t defaultActiveRefs = 1;
  int initQp = 26;
};

// Parses the source SPS and PPS (NAL units without start codes, header
// byte included). Empty when they are not Baseline-compatible.
std::optional<SourceParams> ParseSourceParams(const std::vector<uint8_t>& spsNal,
                                              const std::vector<uint8_t>& ppsNal);

std::vector<uint8_t> UnescapeRbsp(const uint8_t* data, size_t size);
std::vector<uint8_t> EscapeRbsp(const std::vector<uint8_t>& rbsp);

// Rewrites one slice NAL unit (type 1 or 5, header byte included).
// idrPicId replaces the IDR's id. Empty when the slice uses something the
// target sets cannot express (B/SP slices, weighted prediction, CABAC,
// deblocking other than the default).
std::vector<uint8_t> RewriteSlice(const uint8_t* nal, size_t size, const SourceParams& src,
                                  uint32_t idrPicId);

}  // namespace tevrano::sim
