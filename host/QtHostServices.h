#pragma once
#include <deque>
#include <string>
#include <vector>

#include "platform/HostServices.h"

namespace tevrano::host {

// Message boxes, dialogs and opening folders with Qt. Headless, nothing ever
// blocks: a message box is written to stderr and takes the answer queued by
// a script (QueueAnswer) when it is one of its buttons, else its default
// button (OK, or Yes for a yes/no question); a file dialog takes the path a
// script queued for its kind (QueueFile), else it is cancelled; font dialogs
// answer cancel, and nothing is opened. Every message box is recorded, in order.
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

  struct MessageRecord {
    std::string caption;
    std::string text;
    std::string answer;  // "ok", "cancel", "yes" or "no"
  };
  const std::vector<MessageRecord>& Messages() const { return messages_; }
  // The answer (platform::kIdOk, kIdCancel, kIdYes, kIdNo) of the next
  // headless message box.
  void QueueAnswer(int answer) { answers_.push_back(answer); }
  // The path the next open or save dialog chooses, without showing it. Each
  // kind has its own queue, so any dialog of the control can be scripted.
  enum class FileDialog { kOpen, kSave };
  void QueueFile(FileDialog kind, std::string path) {
    (kind == FileDialog::kOpen ? openPaths_ : savePaths_).push_back(std::move(path));
  }

  // "Firmware (*.rom)|*.rom|All (*.*)|*.*" as Qt's "Firmware (*.rom);;All (*.*)".
  static std::string QtFilter(std::string_view filter);

 private:
  int Ask(std::string_view text, std::string_view caption, int flags);

  bool headless_;
  std::vector<MessageRecord> messages_;
  std::deque<int> answers_;
  std::deque<std::string> openPaths_, savePaths_;
};

class QtEnvironment : public platform::Environment {
 public:
  std::optional<std::string> Get(std::string_view name) const override;
  std::string HomeDir() const override;
};

}  // namespace tevrano::host
