#pragma once
#include <string>

#include "base/Form.h"
#include "base/UpdateTab.h"
#include "platform/Platform.h"
#include "update/Unit1.h"

namespace tevrano {

// The Update tab: the help text, choosing a ".rom" file and starting the
// upload dialog. Runs on the control's thread.
class UpdatePage {
 public:
  UpdatePage(TTevranoX& form, platform::Platform& platform);
  UpdatePage(const UpdatePage&) = delete;
  UpdatePage& operator=(const UpdatePage&) = delete;

  // The recorder's system information arrived (after the System tab shows
  // its OS text): the help text with the current version.
  void SystemInfoArrived();

  void Button_Updata1Click();
  void Button_Updata3Click();
  // The host's turn: the dialog's timer.
  void Poll() { dialog_.Poll(); }
  bool TimerWanted() const { return dialog_.Visible() && dialog_.Timer_Update.enabled; }

  TUpdateTab& Tab() { return tab_; }
  TForm_Update& Dialog() { return dialog_; }

  static constexpr const char* kFilter = "DVR Update file(*.rom)|*.rom";

 private:
  TTevranoX& form_;
  platform::Platform& platform_;
  TUpdateTab tab_;
  TForm_Update dialog_;
};

}  // namespace tevrano
