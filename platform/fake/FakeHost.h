#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/HostServices.h"
#include "platform/TextSurface.h"

namespace tevrano::platform {

// Records what the control asked of the host and answers from a script.
class FakeHostServices : public HostServices {
 public:
  struct MessageBoxCall {
    std::string text;
    std::string caption;
    int flags;
  };
  int MessageBox(std::string_view text, std::string_view caption, int flags) override {
    messageBoxes.push_back({std::string(text), std::string(caption), flags});
    return messageBoxAnswer;
  }
  std::optional<std::string> OpenFileDialog(std::string_view, std::string_view) override {
    return openFileAnswer;
  }
  std::optional<std::string> SaveFileDialog(std::string_view, std::string_view,
                                            std::string_view) override {
    return saveFileAnswer;
  }
  bool FontDialog(FontSpec& font) override {
    if (!fontAnswer) return false;
    font = *fontAnswer;
    return true;
  }
  void OpenFolderOrAddress(std::string_view target) override { opened.emplace_back(target); }
  // Records the picture instead of writing a file; `savePngResult` answers.
  struct SavedPng {
    std::string path;
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
  };
  bool SavePng(std::string_view path, const uint32_t* pixels, int width, int height,
               int stride) override {
    SavedPng png{std::string(path), width, height, {}};
    for (int y = 0; y < height; ++y)
      png.pixels.insert(png.pixels.end(), pixels + static_cast<size_t>(y) * stride,
                        pixels + static_cast<size_t>(y) * stride + width);
    savedPngs.push_back(std::move(png));
    return savePngResult;
  }
  std::vector<SavedPng> savedPngs;
  bool savePngResult = true;

  std::vector<MessageBoxCall> messageBoxes;
  int messageBoxAnswer = kIdOk;
  std::optional<std::string> openFileAnswer;
  std::optional<std::string> saveFileAnswer;
  std::optional<FontSpec> fontAnswer;
  std::vector<std::string> opened;
};

class FakeEnvironment : public Environment {
 public:
  std::optional<std::string> Get(std::string_view name) const override {
    auto it = variables.find(std::string(name));
    if (it == variables.end()) return std::nullopt;
    return it->second;
  }
  std::string HomeDir() const override { return home; }

  std::map<std::string, std::string> variables;
  std::string home = "/tmp/tevrano-test-home";
};

// A text surface with a fixed-cell font: every character is a filled
// 0.6 × size by size block, so measurements and pixels are predictable.
class FakeTextSurface : public TextSurface {
 public:
  FakeTextSurface(int width, int height) { Resize(width, height); }
  void Resize(int width, int height) override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetFont(const FontSpec& font) override { font_ = font; }
  TextExtent Measure(std::string_view text) const override;
  void Fill(uint32_t color) override;
  void DrawText(int x, int y, std::string_view text) override;
  const uint32_t* Pixels() const override { return pixels_.data(); }

  const FontSpec& Font() const { return font_; }
  std::vector<std::string> drawn;  // every text drawn

 private:
  int width_ = 0;
  int height_ = 0;
  FontSpec font_;
  std::vector<uint32_t> pixels_;
};

class FakeTextSurfaceFactory : public TextSurfaceFactory {
 public:
  std::unique_ptr<TextSurface> CreateTextSurface(int width, int height) override {
    return std::make_unique<FakeTextSurface>(width, height);
  }
};

}  // namespace tevrano::platform
