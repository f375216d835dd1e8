#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tevrano {

// A 32-bit picture (0x00RRGGBB per pixel, rows top to bottom, no padding), the
// pixel store of every image of the form.
class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int width, int height) { SetSize(width, height); }

  // Resizes and clears to black; allocates only when the size grows.
  void SetSize(int width, int height) {
    width_ = width < 0 ? 0 : width;
    height_ = height < 0 ? 0 : height;
    pixels_.assign(static_cast<size_t>(width_) * height_, 0);
  }
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return pixels_.empty(); }
  uint32_t* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
  const uint32_t* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
  uint32_t* Data() { return pixels_.data(); }
  const uint32_t* Data() const { return pixels_.data(); }
  uint32_t At(int x, int y) const { return Row(y)[x]; }
  void Fill(uint32_t color) {
    for (auto& p : pixels_) p = color;
  }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
};

}  // namespace tevrano
