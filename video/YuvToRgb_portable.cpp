// The conversion in plain C++: every CPU's build has it, the vector
// versions hand it their row ends, and the tests compare them against it.
#include "video/YuvToRgb.h"

namespace tevrano {

namespace portable {

void ConvertRows(const uint8_t* luma0, const uint8_t* luma1, const uint8_t* cb, const uint8_t* cr,
                 int width, uint32_t* out0, uint32_t* out1) {
  for (int x = 0; x < width; ++x) {
    const ChromaOffset o = OffsetsFor(cb[x >> 1], cr[x >> 1]);
    out0[x] =
        Clamp255(luma0[x] + o.b) | Clamp255(luma0[x] + o.g) << 8 | Clamp255(luma0[x] + o.r) << 16;
    if (luma1)
      out1[x] =
          Clamp255(luma1[x] + o.b) | Clamp255(luma1[x] + o.g) << 8 | Clamp255(luma1[x] + o.r) << 16;
  }
}

void MergeOverlayRow(const uint32_t* overlay, int width, uint32_t* video) {
  for (int x = 0; x < width; ++x) {
    if (overlay[x] != kTransparentColour) video[x] = overlay[x];
  }
}

}  // namespace portable

void FillPixels(uint32_t* out, int count, uint32_t colour) {
  for (int i = 0; i < count; ++i) out[i] = colour;
}

}  // namespace tevrano
