// Mouse on the key panel and the video area, key repeat and the speed-dome
// button of the main form.
#include "base/Form.h"
#include "ui/Ui.h"

namespace tevrano::ui {

namespace {
constexpr const char* kKeyForm = "TevranoKeyForm";
constexpr const char* kPad = "Mouse_Preset";
constexpr int kRepeatWait = 10;  // 33 ms steps counted before a held key repeats
}  // namespace

void Ui::Image1MouseDown(int x, int y) {
  mouseIsDown_ = 1;
  // Until the recorder has accepted the viewer a press changes nothing: no
  // page or layout is shown or sent before the login.
  if (redrawPending_ || !recorderReady_) return;
  pressed_ = Skin_Hit(x, y, kKeyForm);
  pressX_ = repeatX_ = x;
  pressY_ = repeatY_ = y;
  Skin_Mouse(1, x, y, kKeyForm);
  if (HeldKey != 0) repeatState_ = 1;
}

void Ui::Image1MouseMove(int x, int y) {
  hovered_ = Skin_Hit(x, y, kKeyForm);
  if (mouseIsDown_ == 1) Skin_Drag(x, y, kKeyForm);
}

void Ui::Image1MouseLeave() {
  if (hovered_.skin >= 0 && hovered_.skin == FindSkin(kKeyForm)) hovered_ = SkinHit{};
}

void Ui::PadMouseMove(int x, int y) {
  hovered_ = Skin_Hit(x, y, kPad);
  Skin_Drag(x, y, kPad);
}

void Ui::PadMouseLeave() {
  if (hovered_.skin >= 0 && hovered_.skin == FindSkin(kPad)) hovered_ = SkinHit{};
}

void Ui::Image1MouseUp(int x, int y) {
  mouseIsDown_ = 0;
  Skin_Mouse(0, x, y, kKeyForm);
  repeatState_ = 0;
  HeldKey = 0;
}

// A held calendar arrow repeats on the twelfth step after the press, then on
// every step; the pointer's hover is redrawn after.
void Ui::ThirtyThreeMsStep() {
  if (repeatState_ != 0 && HeldKey == 9999) {
    if (repeatState_ == 1) {
      repeatState_ = 2;
      repeatCount_ = 0;
    } else if (repeatState_ == 2) {
      if (++repeatCount_ >= kRepeatWait) repeatState_ = 3;
    } else if (lastMouseSkin_ >= 0) {
      Skin_Mouse(1, repeatX_, repeatY_, skins_[lastMouseSkin_].file_name);
    }
  }
  Skin_Redraw(0);
}

// A click on a split view shows the channel of the cell alone; a click on a
// single channel returns to the split last used. Live only, and only once
// the recorder is connected.
void Ui::VideoAreaMouseDown(int x, int y) {
  if (page_ != 0 || !recorderReady_) return;
  const std::string& status = form_.Label_time.caption;
  if (status.empty() || status == "Connecting ..." || status == "Disconnect !") return;
  const Image& area = form_.Image_Trumpet_BG;
  const int next =
      VideoAreaLayout(layout_, lastSplit_, vars.IE_M_CH, x, y, area.width, area.height);
  if (next == layout_) return;
  if (layout_ >= 16) vars.IE_CH2_S = next;  // the split position the single view came from
  vars.IE_DOING = next;
  View_Set(next, page_);
  KeyFormStep(true);
  redrawPending_ = true;
  Skin_Redraw(1);
}

void Ui::SpeedDomeButton() {
  if (!form_.Image_SpeedDome_On.visible) {
    OpenSpeedDome();
    if (hooks.speedDomeMessage) hooks.speedDomeMessage(1, 3);
  } else {
    CloseSpeedDome();
  }
}

void Ui::OpenSpeedDome() {
  TSpeedDome& pad = form_.SpeedDome;
  pad.visible = true;
  ++pad.revision;
  form_.Image_SpeedDome_On.SetVisible(true);
  form_.Image_SpeedDome_On.SetEnabled(true);
  form_.Image_SpeedDome_Off.SetVisible(false);
  form_.Image_SpeedDome_Off.SetEnabled(false);
  form_.Image_SpeedDome_Disabled.SetVisible(false);
  if (hooks.speedDomeMessage) hooks.speedDomeMessage(0, 3);
  redrawPending_ = true;
}

void Ui::HideSpeedDomeWindow() {
  if (!form_.SpeedDome.visible) return;
  form_.SpeedDome.visible = false;
  ++form_.SpeedDome.revision;
}

void Ui::CloseSpeedDome() {
  TSpeedDome& pad = form_.SpeedDome;
  if (!pad.visible) return;
  pad.visible = false;
  ++pad.revision;
  form_.Image_SpeedDome_On.SetVisible(false);
  form_.Image_SpeedDome_On.SetEnabled(false);
  form_.Image_SpeedDome_Off.SetVisible(true);
  form_.Image_SpeedDome_Off.SetEnabled(true);
  form_.Image_SpeedDome_Disabled.SetVisible(false);
}

}  // namespace tevrano::ui
