#include "ParamSetPrefix.h"

#include "BitStream.h"
#include "Bytes.h"

namespace tevrano::sim {

std::vector<uint8_t> BuildParamSetPrefix(uint32_t widthMbs, uint32_t heightMbs) {
  // NAL header 67, profile 66, constraints 0, level 30, then the fixed
  // fields up to gaps_in_frame_num_allowed (bits F2 80 minus the last 6).
  BitWriter sps;
  for (uint8_t b : {0x67, 0x42, 0x00, 0x1E}) sps.Bits(b, 8);
  sps.Ue(0);   // seq_parameter_set_id
  sps.Ue(0);   // log2_max_frame_num_minus4
  sps.Ue(0);   // pic_order_cnt_type
  sps.Ue(0);   // log2_max_pic_order_cnt_lsb_minus4
  sps.Ue(4);   // max_num_ref_frames
  sps.Bit(0);  // gaps_in_frame_num_value_allowed_flag
  sps.Ue(widthMbs - 1);
  sps.Ue(heightMbs - 1);
  sps.Bits(0b11001, 5);  // frame_mbs_only, direct_8x8, no cropping, no VUI, stop bit
  sps.PadToByte();

  std::vector<uint8_t> out(4);
  PutBe32(out.data(), uint32_t(sps.bytes().size()));
  out.insert(out.end(), sps.bytes().begin(), sps.bytes().end());
  const uint8_t pps[] = {0x00, 0x00, 0x00, 0x05, 0x68, 0xC9, 0x08, 0x38, 0x80};
  out.insert(out.end(), pps, pps + sizeof pps);
  return out;
}

}  // namespace tevrano::sim
