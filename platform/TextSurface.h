#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tevrano::platform {

enum FontStyle : int { kFontBold = 1, kFontItalic = 2, kFontUnderline = 4, kFontStrikeOut = 8 };

struct FontSpec {
  std::string name = "MS Sans Serif";
  int charset = 1;      // DEFAULT_CHARSET
  int style = 0;        // FontStyle bits
  int size = 8;         // points
  uint32_t color = 0;   // 0x00RRGGBB
};

struct TextExtent {
  int width = 0;
  int height = 0;
};

// An off-screen 32-bit canvas with a font: channel titles and event-mark words
// are drawn here and read back as pixels (0x00RRGGBB, rows top to bottom).
class TextSurface {
 public:
  virtual ~TextSurface() = default;
  virtual void Resize(int width, int height) = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetFont(const FontSpec& font) = 0;
  virtual TextExtent Measure(std::string_view text) const = 0;
  virtual void Fill(uint32_t color) = 0;
  virtual void DrawText(int x, int y, std::string_view text) = 0;
  virtual const uint32_t* Pixels() const = 0;
};

class TextSurfaceFactory {
 public:
  virtual ~TextSurfaceFactory() = default;
  virtual std::unique_ptr<TextSurface> CreateTextSurface(int width, int height) = 0;
};

}  // namespace tevrano::platform
