#pragma once
#include "platform/HostServices.h"

namespace tevrano::host {

// Message boxes, dialogs and opening folders with Qt. Headless, nothing ever
// blocks: a message box is written to stderr and answered OK (Yes for a
// yes/no question), file and font dialogs answer cancel, and nothing is opened.
class QtHostServices : public platform::HostServices {
 public:
  explicit QtHostServices(bool headless) : headless_(headless) {}
  int MessageBox(std::string_view text, std::string_view caption, int flags) override;
  std::optional<std::string> OpenFileDialog(std::string_view filter,
                                            std::string_view initialDir) override;
  std::optional<std::string> SaveFileDialog(std::string_view filter, std::string_view initialDir,
                                            std::string_view fileName) override;
  bool FontDialog(platform::FontSpec& font) override;
  void OpenFolderOrAddress(std::string_view target) override;
  bool SavePng(std::string_view path, const uint32_t* pixels, int width, int height,
               int stride) override;

  // "Firmware (*.rom)|*.rom|All (*.*)|*.*" as Qt's "Firmware (*.rom);;All (*.*)".
  static std::string QtFilter(std::string_view filter);

 private:
  bool headless_;
};

class QtEnvironment : public platform::Environment {
 public:
  std::optional<std::string> Get(std::string_view name) const override;
  std::string HomeDir() const override;
};

}  // namespace tevrano::host
