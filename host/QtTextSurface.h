#pragma once
#include <QFont>
#include <QImage>
#include <vector>

#include "platform/TextSurface.h"

namespace tevrano::host {

// An off-screen canvas drawn with QPainter on a QImage. Pixels() hands out a
// copy without Qt's alpha byte (0x00RRGGBB), refreshed after each change.
class QtTextSurface : public platform::TextSurface {
 public:
  QtTextSurface(int width, int height);
  void Resize(int width, int height) override;
  int Width() const override { return image_.width(); }
  int Height() const override { return image_.height(); }
  void SetFont(const platform::FontSpec& font) override;
  platform::TextExtent Measure(std::string_view text) const override;
  void Fill(uint32_t color) override;
  // (x, y) is the top left corner of the text line, as GDI's TextOut takes it.
  void DrawText(int x, int y, std::string_view text) override;
  const uint32_t* Pixels() const override;

  static QFont ToQFont(const platform::FontSpec& font);

 private:
  QImage image_;
  platform::FontSpec spec_;
  QFont font_;
  mutable std::vector<uint32_t> pixels_;
  mutable bool dirty_ = true;
};

class QtTextSurfaceFactory : public platform::TextSurfaceFactory {
 public:
  std::unique_ptr<platform::TextSurface> CreateTextSurface(int width, int height) override {
    return std::make_unique<QtTextSurface>(width, height);
  }
};

}  // namespace tevrano::host
