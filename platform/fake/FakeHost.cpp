#include "platform/fake/FakeHost.h"

#include <algorithm>

namespace tevrano::platform {

void FakeTextSurface::Resize(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  pixels_.assign(static_cast<size_t>(width_) * height_, 0x00FFFFFF);
}

TextExtent FakeTextSurface::Measure(std::string_view text) const {
  const int cell = std::max(1, font_.size * 6 / 10);
  return {static_cast<int>(text.size()) * cell, std::max(1, font_.size)};
}

void FakeTextSurface::Fill(uint32_t color) { std::fill(pixels_.begin(), pixels_.end(), color); }

void FakeTextSurface::DrawText(int x, int y, std::string_view text) {
  drawn.emplace_back(text);
  const TextExtent e = Measure(text);
  const int cell = text.empty() ? 1 : e.width / static_cast<int>(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ') continue;
    for (int row = y; row < y + e.height; ++row) {
      for (int col = x + static_cast<int>(i) * cell + 1; col < x + (static_cast<int>(i) + 1) * cell; ++col) {
        if (row >= 0 && row < height_ && col >= 0 && col < width_)
          pixels_[static_cast<size_t>(row) * width_ + col] = font_.color;
      }
    }
  }
}

}  // namespace tevrano::platform
