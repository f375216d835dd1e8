#pragma once
// A text surface for the fuzz targets that render titles: the fake's
// fixed-cell font (every character a filled block, 0.6 × size by size) at a
// fifth of its size, with fills done a row at a time, so that rendering
// sixty-four titles of garbage stays cheap while every path of the layout
// (ink wider or taller than the box, nothing visible) is still taken.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/TextSurface.h"

namespace tevrano::test {

class FuzzTextSurface : public platform::TextSurface {
 public:
  void Resize(int width, int height) override {
    width_ = std::max(0, width);
    height_ = std::max(0, height);
    // The buffer only grows: rows are read with this width's stride.
    const size_t n = size_t(width_) * size_t(height_);
    if (pixels_.size() < n) pixels_.resize(n);
    Fill(0x00FFFFFF);
  }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetFont(const platform::FontSpec& font) override { font_ = font; }
  platform::TextExtent Measure(std::string_view text) const override {
    const int size = font_.size / 5;
    const int cell = std::max(1, size * 6 / 10);
    return {static_cast<int>(text.size()) * cell, std::max(1, size)};
  }
  void Fill(uint32_t color) override { FillRect(0, 0, width_, height_, color); }
  void DrawText(int x, int y, std::string_view text) override {
    const platform::TextExtent e = Measure(text);
    const int cell = text.empty() ? 1 : e.width / static_cast<int>(text.size());
    for (size_t i = 0; i < text.size(); ++i)
      if (text[i] != ' ')
        FillRect(x + static_cast<int>(i) * cell + 1, y, cell - 1, e.height, font_.color);
  }
  const uint32_t* Pixels() const override { return pixels_.data(); }

 private:
  // The rectangle's part inside the surface: its first row filled, then copied.
  void FillRect(int x, int y, int w, int h, uint32_t color) {
    const int x0 = std::max(0, x), x1 = std::min(width_, x + w);
    const int y0 = std::max(0, y), y1 = std::min(height_, y + h);
    if (x0 >= x1 || y0 >= y1) return;
    uint32_t* first = pixels_.data() + size_t(y0) * size_t(width_) + size_t(x0);
    std::fill(first, first + (x1 - x0), color);
    for (int row = y0 + 1; row < y1; ++row)
      std::memcpy(first + size_t(row - y0) * size_t(width_), first,
                  sizeof(uint32_t) * size_t(x1 - x0));
  }

  int width_ = 0, height_ = 0;
  platform::FontSpec font_;
  std::vector<uint32_t> pixels_;
};

}  // namespace tevrano::test
