// The speed-dome pad: its window, its post-click and release steps and the
// "SPDM" messages.
#include "ui/Speed_dome_form.h"

#include <algorithm>
#include <cstring>

#include "base/Form.h"
#include "net/ModuleTable.h"
#include "net/RecorderContext.h"
#include "net/SendQueue.h"
#include "ui/Ui.h"

namespace tevrano::ui {

namespace {
constexpr std::string_view kSkin = "Mouse_Preset";
constexpr char kMarker[4] = {'U', 'f', 'w', '3'};
constexpr int32_t kNoDirection = -2;
constexpr int32_t kMaxSpeed = 6, kSpeedStep = 2;

// The I/O buttons each dome type offers (1 offered, 0 not): type 0 none,
// type 1 the first three, type 2 all five; other types none.
constexpr int32_t kIoButtons[3][5] = {{0, 0, 0, 0, 0}, {1, 1, 1, 0, 0}, {1, 1, 1, 1, 1}};

int32_t StepToward(int32_t speed, int direction) {
  const int32_t target = direction > 0 ? kMaxSpeed : direction < 0 ? -kMaxSpeed : 0;
  if (speed < target) return std::min(speed + kSpeedStep, target);
  if (speed > target) return std::max(speed - kSpeedStep, target);
  return speed;
}
}  // namespace

Speed_dome_form::Speed_dome_form(Ui& ui, TSpeedDome& window, RecorderContext& context,
                                 SendMessage send)
    : ui_(ui), window_(window), context_(context), send_(std::move(send)) {
  if (!send_)
    send_ = [](RecorderContext& c, const uint8_t* m, uint32_t n) { return QueueMessage(c, m, n); };
}

void Speed_dome_form::Initialize() {
  // The arrays start empty whatever the table holds: the recorder's table
  // message fills them.
  UiVariables& v = ui_.vars;
  for (int i = 0; i < kSlots; ++i) {
    v.Dm_SCh[i] = kNoChannel;
    v.Dm_SPre[i] = 0;
  }
}

void Speed_dome_form::Wire() {
  ui_.hooks.padPostClick = [this] { PostClick(); };
  ui_.hooks.padRelease = [this] { Release(); };
  ui_.hooks.speedDomeMessage = [this](int cls, int operation) {
    SendEmpty(static_cast<uint32_t>(cls), static_cast<uint32_t>(operation));
  };
}

void Speed_dome_form::Open() {
  ui_.OpenSpeedDome();
  OfferIoButtons();
  ui_.Skin_Redraw(1);
}

void Speed_dome_form::Close() {
  dragging_ = false;
  ui_.CloseSpeedDome();
}

bool Speed_dome_form::IsOpen() const {
  return window_.visible;
}

// ---- Mouse ----

void Speed_dome_form::FormMouseDown(int x, int y) {
  if (ui_.Skin_Hit(x, y, kSkin).element < 0) {
    dragging_ = true;
    dragX_ = x, dragY_ = y;
    return;
  }
  ui_.Skin_Mouse(1, x, y, kSkin);
}

void Speed_dome_form::FormMouseMove(int x, int y) {
  if (dragging_) {
    // (x, y) are the window's pixels: the cursor on the screen is at
    // left + x; the window follows it, keeping the offset of the press.
    const int left = window_.left + x - dragX_, top = window_.top + y - dragY_;
    if (left != window_.left || top != window_.top) {
      window_.left = left;
      window_.top = top;
      ++window_.revision;
    }
    return;
  }
  ui_.PadMouseMove(x, y);  // the hover highlight, and a drag along a slider
}

void Speed_dome_form::FormMouseUp(int x, int y) {
  if (dragging_) {
    dragging_ = false;
    return;
  }
  ui_.Skin_Mouse(0, x, y, kSkin);
}

// ---- Post-click and release ----

void Speed_dome_form::PostClick() {
  UiVariables& v = ui_.vars;
  if (v.MOD3 != 0) {
    sliderMode_ = 1;
    sliders_[0] = v.MOD3 - 1;
  } else if (v.MOD4 != 0) {
    sliderMode_ = 2;
    sliders_[1] = v.MOD4 - 1;
  } else if (v.Dm_Cmd >= 0 && sliderMode_ == 0) {
    Act(v.Dm_Cmd);
    v.Dm_Cmd = -1;
  }
  if (v.MOD == previousMod_) v.MOD = 0;
  previousMod_ = v.MOD;
}

void Speed_dome_form::Act(int32_t command) {
  UiVariables& v = ui_.vars;
  const int32_t preset = v.Dm_Pre + 1;
  switch (command) {
    case 0:
      // Go to a preset: on the camera chosen for it, shown alone in Live.
      if (v.Dm_Ch == kNoChannel || v.Dm_Ch < 0 || v.Dm_Ch > kNoChannel) return;
      if (Channel() != v.Dm_Ch) {
        v.IE_DOING = v.Dm_Ch;
        ui_.View_Set(v.Dm_Ch, 0);
      }
      if (SendCommand(5, 0, 0, preset, kNoDirection) < 0) return;
      TableChanged();
      return;
    case 1:
      // Set: the slot now holds the camera shown.
      if (SendCommand(4, 0, 0, preset, kNoDirection) < 0) return;
      if (v.Dm_Pre >= 0 && v.Dm_Pre < kSlots) {
        v.Dm_SCh[v.Dm_Pre] = Channel();
        v.Dm_SPre[v.Dm_Pre] = 1;
      }
      TableChanged();
      return;
    case 2:
      // Clear: the slot holds no camera.
      if (SendCommand(13, 0, 0, preset, kNoDirection) < 0) return;
      if (v.Dm_Pre >= 0 && v.Dm_Pre < kSlots) {
        v.Dm_SCh[v.Dm_Pre] = kNoChannel;
        v.Dm_SPre[v.Dm_Pre] = 0;
      }
      TableChanged();
      return;
    case 3:
      Close();
      return;
    case 4:
      ui_.SetInterfaceLevel(2);
      return;
    case 5:
      SendCommand(3, 1, 3, 0, 1);
      return;
    case 6:
      SendCommand(3, 1, 3, 0, -1);
      return;
    case 7:
      return StepSpeeds(-1, 0);
    case 8:
      return StepSpeeds(-1, 1);
    case 9:
      return StepSpeeds(0, 1);
    case 10:
      return StepSpeeds(1, 1);
    case 11:
      return StepSpeeds(1, 0);
    case 12:
      return StepSpeeds(1, -1);
    case 13:
      return StepSpeeds(0, -1);
    case 14:
      return StepSpeeds(-1, -1);
    case 15:
      if (lastParameter_ == 6)
        SendCommand(0, 0, -1, 0, kNoDirection);
      else
        SendCommand(11, 0, 6, 0, kNoDirection);
      return;
    case 16:
      if (lastParameter_ == 7)
        SendCommand(0, 0, -1, 0, kNoDirection);
      else
        SendCommand(12, 0, 7, 0, kNoDirection);
      return;
    case 17:
      SendCommand(9, 0, 0, 0, kNoDirection);
      return;
    case 18:
      SendCommand(10, 0, 0, 0, kNoDirection);
      return;
    case 21:
      v.A_Num = v.A_Num == 0 ? 50 : 0;
      return;
    default:
      return;  // 19, 20 and anything outside 0..21
  }
}

// Each click in a direction steps both speeds by 2 toward it (an axis the
// direction does not use steps back toward 0), within -6..6.
void Speed_dome_form::StepSpeeds(int pan, int tilt) {
  panSpeed_ = StepToward(panSpeed_, pan);
  tiltSpeed_ = StepToward(tiltSpeed_, tilt);
  if (motion_ != kHeld) motion_ = kMoving;
  SendMove();
}

void Speed_dome_form::Release() {
  UiVariables& v = ui_.vars;
  if (sliderMode_ != 0) {
    const int slider = sliderMode_ - 1;
    table_[kSliderOffset + slider] = static_cast<uint8_t>(sliders_[slider] + 1);
    if (presetStoring_) SendPresetTable();
    sliderMode_ = 0;
    v.MOD3 = v.MOD4 = 0;
  }
  if (v.MOD2 != 0) {
    if (v.MOD2 == 4) ui_.SetInterfaceLevel(1);
    if (v.MOD2 < 7 || v.MOD2 > 21) {
      SendCommand(0, 0, -1, 0, kNoDirection);
      motion_ = kStopped;
    }
    v.MOD2 = 0;
    ui_.RequestRedraw();
  }
}

// ---- The preset table ----

void Speed_dome_form::RebuildTable() {
  const UiVariables& v = ui_.vars;
  for (int i = 0; i < kSlots; ++i)
    table_[i] = static_cast<uint8_t>((v.Dm_SCh[i] & 63) | (v.Dm_SPre[i] & 3) << 6);
  std::memcpy(table_ + kMarkerOffset, kMarker, 4);
}

void Speed_dome_form::TableChanged() {
  RebuildTable();
  if (presetStoring_) SendPresetTable();
}

void Speed_dome_form::Receive(const uint8_t* body, uint32_t length) {
  ByteReader r(body, length);
  uint32_t handle = 0, cls = 0, operation = 0, payloadLength = 0;
  r.Le32(handle), r.Le32(cls), r.Le32(operation), r.Le32(payloadLength);
  if (!r.Ok() || operation != kRequest || !r.Seek(kSubHeader)) return;
  if (handle != context_.SessionId) return;
  // Taken only when the message holds the whole table message.
  if (payloadLength < kAnswerSize) return;
  ByteReader data;
  if (!r.Sub(kAnswerSize, data)) return;
  uint8_t answer[kAnswerSize];
  data.Bytes(answer, kAnswerSize);

  UiVariables& v = ui_.vars;
  const bool marked = std::memcmp(answer + kMarkerOffset, kMarker, 4) == 0;
  for (int i = 0; i < kSlots; ++i) {
    const int ch = answer[i] & 63;
    v.Dm_SCh[i] = marked && ch < kChannels ? ch : kNoChannel;
    v.Dm_SPre[i] = marked && (answer[i] >> 6) == 1 ? 1 : 0;
  }
  std::memcpy(table_, answer, kTableSize);
  sliders_[0] = answer[kSliderOffset] - 1;
  sliders_[1] = answer[kSliderOffset + 1] - 1;
  std::memcpy(recorderBytes_, answer + kTableSize, sizeof recorderBytes_);
  std::memcpy(domeTypes_, answer + kDomeTypeOffset, sizeof domeTypes_);
  presetStoring_ = true;
  OfferIoButtons();
  ui_.RequestRedraw();
  if (ui_.Page() == 0 && ui_.Layout() < 16 && !IsOpen()) Open();
  ui_.Skin_Redraw(1);
}

void Speed_dome_form::OfferIoButtons() {
  const int32_t ch = Channel();
  const uint8_t type = ch >= 0 ? domeTypes_[ch] : 0;
  const int32_t* offered = kIoButtons[type < 3 ? type : 0];
  for (int i = 0; i < 5; ++i) ui_.vars.SD_IO[i] = offered[i];
}

// ---- Messages ----

int32_t Speed_dome_form::Channel() const {
  const int layout = ui_.Layout();
  return layout >= 0 && layout < kChannels ? layout : -1;
}

int Speed_dome_form::Send(uint32_t cls, uint32_t operation, const uint8_t* payload,
                          uint32_t payloadLength, uint32_t declaredLength) {
  const uint32_t total = kModuleHeaderSize + kSubHeader + declaredLength;
  if (declaredLength > kPayload || payloadLength > declaredLength) return -1;
  std::memset(message_, 0, total);
  ByteWriter w(message_ + kModuleHeaderSize, kSubHeader + declaredLength);
  w.Le32(context_.SessionId);
  w.Le32(cls);
  w.Le32(operation);
  w.Le32(declaredLength);
  w.Seek(kSubHeader);
  if (payloadLength) w.Bytes(payload, payloadLength);
  FinishModuleMessage(message_, total, kTag);
  return send_(context_, message_, total);
}

int Speed_dome_form::SendCommand(int32_t code, int32_t firstArgument, int32_t parameter,
                                 int32_t preset, int32_t direction) {
  const int32_t channel = Channel();
  if (channel < 0) return -1;  // no single camera shown: nothing to steer
  const int32_t words[10] = {code, firstArgument, 0,         0,      0,
                             0,    channel,       parameter, preset, direction};
  for (int i = 0; i < 10; ++i) StoreLe32(payload_ + 4 * i, static_cast<uint32_t>(words[i]));
  lastParameter_ = parameter;
  return Send(kClassPad, kCommand, payload_, 40, kPayload);
}

int Speed_dome_form::SendMove() {
  const int32_t channel = Channel();
  if (channel < 0) return -1;
  const int32_t words[4] = {panSpeed_, tiltSpeed_, motion_, channel};
  for (int i = 0; i < 4; ++i) StoreLe32(payload_ + 4 * i, static_cast<uint32_t>(words[i]));
  return Send(kClassPad, kMove, payload_, 16, kPayload);
}

int Speed_dome_form::SendPresetTable() {
  return Send(kClassPad, kPresetTable, table_, kTableSize, kPayload);
}

int Speed_dome_form::SendEmpty(uint32_t cls, uint32_t operation) {
  return Send(cls, operation, nullptr, 0, cls == kClassOpen ? 0 : kPayload);
}

}  // namespace tevrano::ui
