#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/TextSurface.h"

namespace tevrano::platform {

// Message-box buttons and answers (the Windows values, which callers compare).
enum MessageBoxFlags : int { kMbOk = 0, kMbOkCancel = 1, kMbYesNo = 4, kMbIconInformation = 0x40 };
enum MessageBoxAnswer : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// What the control asks of its host's user interface. Called on the control's
// thread; dialogs are modal and return when the user has answered.
class HostServices {
 public:
  virtual ~HostServices() = default;
  virtual int MessageBox(std::string_view text, std::string_view caption, int flags) = 0;
  // filter as "Firmware (*.rom)|*.rom"; nullopt when cancelled.
  virtual std::optional<std::string> OpenFileDialog(std::string_view filter,
                                                    std::string_view initialDir) = 0;
  virtual std::optional<std::string> SaveFileDialog(std::string_view filter,
                                                    std::string_view initialDir,
                                                    std::string_view fileName) = 0;
  // Lets the user change font; false when cancelled.
  virtual bool FontDialog(FontSpec& font) = 0;
  // Opens a folder in the file manager or an address in the browser.
  virtual void OpenFolderOrAddress(std::string_view target) = 0;
  // Writes 0x00RRGGBB pixels (`stride` pixels a row) as a PNG file at `path`,
  // creating its folder when missing; false when it cannot be written.
  virtual bool SavePng(std::string_view path, const uint32_t* pixels, int width, int height,
                       int stride) = 0;
};

// Files and environment of the machine the control runs on.
class Environment {
 public:
  virtual ~Environment() = default;
  virtual std::optional<std::string> Get(std::string_view name) const = 0;
  virtual std::string HomeDir() const = 0;
};

}  // namespace tevrano::platform
