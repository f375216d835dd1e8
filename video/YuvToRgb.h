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

// The offsets of one chroma row, spread to the pixels they serve (each
// sample serves two neighbouring pixels) and split into the part to add and
// the part to subtract, each 0..255, so that a pixel is two saturating byte
// operations per component: clamp(y + o) == (y +sat max(o, 0)) -sat max(-o, 0).
// Computed once per chroma row and shared by the rows that use it.
struct ChromaRow {
  static constexpr int kMaxSamples = 512;
  static constexpr int kMaxPixels = 2 * kMaxSamples;
  alignas(64) uint8_t addR[kMaxPixels];
  alignas(64) uint8_t subR[kMaxPixels];
  alignas(64) uint8_t addG[kMaxPixels];
  alignas(64) uint8_t subG[kMaxPixels];
  alignas(64) uint8_t addB[kMaxPixels];
  alignas(64) uint8_t subB[kMaxPixels];
};
// `samples` <= ChromaRow::kMaxSamples; fills 2 * `samples` pixels.
void ComputeChromaRow(const uint8_t* cb, const uint8_t* cr, int samples, ChromaRow& row);

// Converts `width` pixels of one luma row; pixel x uses the offsets of
// chroma sample x / 2.
void ConvertRow(const uint8_t* luma, const ChromaRow& chroma, int width, uint32_t* out);

void FillPixels(uint32_t* out, int count, uint32_t colour);

// Copies every overlay pixel that is not exactly kTransparentColour over the
// video pixel under it.
void MergeOverlayRow(const uint32_t* overlay, int width, uint32_t* video);

}  // namespace tevrano
