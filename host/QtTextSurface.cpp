#include "host/QtTextSurface.h"

#include <QFontMetrics>
#include <QPainter>

namespace tevrano::host {

QtTextSurface::QtTextSurface(int width, int height) {
  Resize(width, height);
  SetFont(platform::FontSpec{});
}

void QtTextSurface::Resize(int width, int height) {
  image_ = QImage(width > 0 ? width : 0, height > 0 ? height : 0, QImage::Format_RGB32);
  image_.fill(Qt::white);
  dirty_ = true;
}

QFont QtTextSurface::ToQFont(const platform::FontSpec& spec) {
  QFont font(QString::fromStdString(spec.name));
  font.setPointSize(spec.size > 0 ? spec.size : 8);
  font.setBold(spec.style & platform::kFontBold);
  font.setItalic(spec.style & platform::kFontItalic);
  font.setUnderline(spec.style & platform::kFontUnderline);
  font.setStrikeOut(spec.style & platform::kFontStrikeOut);
  // Titles are read back as pixels: no grey fringes.
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

void QtTextSurface::SetFont(const platform::FontSpec& font) {
  spec_ = font;
  font_ = ToQFont(font);
}

platform::TextExtent QtTextSurface::Measure(std::string_view text) const {
  QFontMetrics metrics(font_);
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  return {metrics.horizontalAdvance(s), metrics.height()};
}

void QtTextSurface::Fill(uint32_t color) {
  image_.fill(QColor::fromRgb(color | 0xFF000000u));
  dirty_ = true;
}

void QtTextSurface::DrawText(int x, int y, std::string_view text) {
  if (image_.isNull()) return;
  QPainter painter(&image_);
  painter.setFont(font_);
  painter.setPen(QColor::fromRgb(spec_.color | 0xFF000000u));
  QFontMetrics metrics(font_);
  painter.drawText(x, y + metrics.ascent(),
                   QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  dirty_ = true;
}

const uint32_t* QtTextSurface::Pixels() const {
  if (dirty_) {
    const int w = image_.width(), h = image_.height();
    pixels_.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(image_.constScanLine(y));
      uint32_t* out = pixels_.data() + static_cast<size_t>(y) * w;
      for (int x = 0; x < w; ++x) out[x] = row[x] & 0x00FFFFFFu;
    }
    dirty_ = false;
  }
  return pixels_.data();
}

}  // namespace tevrano::host
