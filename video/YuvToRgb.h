#pragma once
#include <cstdint>

namespace tevrano {

// The colour of the bars around a picture.
constexpr uint32_t kBarColour = 0xFF3C3C3C;
// The overlay pixel value that lets the video show through.
constexpr uint32_t kTransparentColour = 0x00FFFFFF;

// Offsets that a chroma sample (u = Cb, v = Cr) adds to the luma of the
// pixels it serves; no black-level offset, no scaling of the luma.
struct ChromaOffset {
  int r, g, b;
};
constexpr ChromaOffset OffsetsFor(int u, int v) {
  return {((v * 292) >> 8) - 146, 125 - ((v * 149 + u * 101) >> 8), ((u * 516) >> 8) - 258};
}
constexpr uint32_t Clamp255(int x) {
  return x < 0 ? 0u : x > 255 ? 255u : static_cast<uint32_t>(x);
}
// One pixel: B | G << 8 | R << 16, top byte 0.
constexpr uint32_t YuvPixel(int y, int u, int v) {
  const ChromaOffset o = OffsetsFor(u, v);
  return Clamp255(y + o.b) | Clamp255(y + o.g) << 8 | Clamp255(y + o.r) << 16;
}

// Converts `width` pixels of one or two luma rows that share one chroma row
// (`luma1`/`out1` null for one row): pixel x uses chroma sample x / 2. The
// chroma offsets are computed once for both rows and applied to each pixel
// as two saturating byte operations per component:
// clamp(y + o) == (y +sat max(o, 0)) -sat max(-o, 0).
void ConvertRows(const uint8_t* luma0, const uint8_t* luma1, const uint8_t* cb, const uint8_t* cr,
                 int width, uint32_t* out0, uint32_t* out1);

void FillPixels(uint32_t* out, int count, uint32_t colour);

// Copies every overlay pixel that is not exactly kTransparentColour over the
// video pixel under it.
void MergeOverlayRow(const uint32_t* overlay, int width, uint32_t* video);

// The same in plain C++ (YuvToRgb_portable.cpp). The entry points above come
// from the file the build chose for the processor (video/x86_64/ or
// video/generic/) and give exactly these pixels.
namespace portable {
void ConvertRows(const uint8_t* luma0, const uint8_t* luma1, const uint8_t* cb, const uint8_t* cr,
                 int width, uint32_t* out0, uint32_t* out1);
void MergeOverlayRow(const uint32_t* overlay, int width, uint32_t* video);
}  // namespace portable

}  // namespace tevrano
