#include "update/UpdatePage.h"

#include "update/FirmwareImage.h"

namespace tevrano {

namespace {
constexpr int kMbIconStop = 0x10;
constexpr int kMbIconExclamation = 0x30;

constexpr const char* kHelpLines[] = {
    "  * Before updating system OS, please make sure the product model and OS ",
    "    version are correct. Follow the steps below to update OS:",
    "  * Download the up to date OS version and release note from website ",
    "    https://support.tevrano.example/firmware",
    "Read the release notes carefully to make ",
    "    sure you need to update the OS.",
    "  * Before updating system OS, back up all disk data on the server to avoid ",
    "    any potential data loss during system update.",
    "  * Click the [Browse...] button to select the correct OS version for system ",
    "    update. Click the [OS UPDATE] button to update OS.",
    "  * Note: System update may take several minutes to complete depending on the network ",
    "    connection status, please wait patiently, The system will inform you when system ",
    "    update is completed.",
};
}  // namespace

UpdatePage::UpdatePage(TTevranoX& form, platform::Platform& platform)
    : form_(form), platform_(platform), dialog_(form, platform) {
  tab_.Place(form_);
  tab_.Button_Updata1.onClick = [this] { Button_Updata1Click(); };
  tab_.Button_Updata3.onClick = [this] { Button_Updata3Click(); };
}

void UpdatePage::SystemInfoArrived() {
  std::string text = " \r\n  * OS Update \r\n  * Current OS version: ";
  text += form_.Label_System1.caption;
  for (const char* line : kHelpLines) {
    text += "\r\n";
    text += line;
  }
  tab_.Memo_Update.SetText(text);
}

void UpdatePage::Button_Updata1Click() {
  const std::optional<std::string> chosen = platform_.host.OpenFileDialog(kFilter, "");
  if (chosen) tab_.LabeledEdit_Updata3.SetText(*chosen);
}

void UpdatePage::Button_Updata3Click() {
  if (tab_.LabeledEdit_Updata3.text.empty()) {
    platform_.host.MessageBox("Plese select the file !", "No file",
                              platform::kMbOk | kMbIconExclamation);
    return;
  }
  // Only a recorder image (its version marker present, not empty) is offered;
  // nothing is sent for any other file.
  const firmware::ImageInfo info =
      firmware::ReadImageInfo(platform_.files, tab_.LabeledEdit_Updata3.text);
  if (!info.opened || info.size <= 0 || !info.marker) {
    platform_.host.MessageBox(
        info.opened ? "Not a DVR OS update file !" : "Can not open the file !", "File error",
        platform::kMbOk | kMbIconStop);
    return;
  }
  form_.PageControl1.SetEnabled(false);
  form_.Image_video.SetEnabled(false);
  dialog_.ShowModal(tab_.LabeledEdit_Updata3.text);
}

}  // namespace tevrano
