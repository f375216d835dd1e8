// The conversion's entry points on processors without a vector version:
// the portable code.
#include "video/YuvToRgb.h"

namespace tevrano {

void ConvertRows(const uint8_t* luma0, const uint8_t* luma1, const uint8_t* cb, const uint8_t* cr,
                 int width, uint32_t* out0, uint32_t* out1) {
  portable::ConvertRows(luma0, luma1, cb, cr, width, out0, out1);
}

void MergeOverlayRow(const uint32_t* overlay, int width, uint32_t* video) {
  portable::MergeOverlayRow(overlay, width, video);
}

}  // namespace tevrano
