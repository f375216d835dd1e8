#pragma once
#include <cstdint>
#include <functional>

#include "base/ByteReader.h"

namespace tevrano {
struct TSpeedDome;
struct RecorderContext;
}  // namespace tevrano

namespace tevrano::ui {

class Ui;

// The speed-dome pad `TSpeedDome`: a borderless window whose face, `Image5`,
// is the "Mouse_Preset" skin. A click on the pad writes a command number
// into "Dm_Cmd#SD"; the post-click step turns it into an "SPDM" message to
// the recorder. The pad also keeps the 100-slot preset table the recorder
// stores for it.
//
// "SPDM" body (after the 32-byte module-message header): a 32-byte
// sub-header {0 handle = the context's SessionId, 4 class, 8 operation,
// 12 payload length, 16..31 zero}, then the payload:
//   class 1 op 0 Command       512 bytes: ten words: code, five arguments,
//                               channel, parameter, preset (1-based, 0 none),
//                               direction (-2 when not used)
//   class 1 op 1 Move          512 bytes: pan speed, tilt speed, motion, channel
//   class 1 op 2 Preset table  512 bytes: the 112-byte stored table
//   class 1 op 3 Request       512 bytes, all zero
//   class 0 op 3 Open          no payload
// The recorder answers Open and Request with operation 3 and 328 bytes:
// 0 the 100 slots and the marker "Ufw3", 104 the 8 slider bytes, 112 32
// bytes of its own, 312 one dome type byte per channel.
// Runs on the control's thread; allocates nothing after construction.
class Speed_dome_form {
 public:
  static constexpr uint32_t kTag = Tag("SPDM");
  static constexpr uint32_t kSubHeader = 32;
  static constexpr uint32_t kPayload = 512;
  static constexpr uint32_t kTableSize = 112;  // 100 slots, marker, 8 slider bytes
  static constexpr uint32_t kMarkerOffset = 100;
  static constexpr uint32_t kSliderOffset = 104;
  static constexpr uint32_t kAnswerSize = 328;  // the recorder's table message
  static constexpr uint32_t kDomeTypeOffset = 312;
  static constexpr int kSlots = 100;
  static constexpr int kChannels = 16;
  static constexpr int kNoChannel = 16;
  enum Class : uint32_t { kClassOpen = 0, kClassPad = 1 };
  enum Operation : uint32_t { kCommand = 0, kMove = 1, kPresetTable = 2, kRequest = 3 };
  enum Motion : int32_t { kStopped = 0, kHeld = 4, kMoving = 5 };

  // Queues one whole module message on a recorder context; returns -1 when
  // it is refused.
  using SendMessage = std::function<int(RecorderContext&, const uint8_t* message, uint32_t n)>;

  // `context` is the recorder context the pad speaks to (context 0). An
  // empty `send` queues through the context's send ring.
  Speed_dome_form(Ui& ui, TSpeedDome& window, RecorderContext& context, SendMessage send = {});
  Speed_dome_form(const Speed_dome_form&) = delete;
  Speed_dome_form& operator=(const Speed_dome_form&) = delete;

  // Start-up: the table and the two preset arrays (mode 0, no channel),
  // then the interface's pad hooks point here.
  void Initialize();
  void Wire();

  // Opening: the window shown on top, the main form's button on, and the
  // Open message. Closing: hidden, the button off. Both also work through
  // the interface's own OpenSpeedDome / CloseSpeedDome.
  void Open();
  void Close();
  bool IsOpen() const;

  // The window's three mouse handlers (Image5's pixels): a press on an
  // element goes to the skin; a press on no element drags the window while
  // the button is held.
  void FormMouseDown(int x, int y);
  void FormMouseMove(int x, int y);
  void FormMouseUp(int x, int y);

  // After every click on the pad, and after the skin's release.
  void PostClick();
  void Release();

  // The "SPDM" receive function (body after the module header).
  void Receive(const uint8_t* body, uint32_t length);

  // Messages; each returns -1 when nothing was sent.
  int SendCommand(int32_t code, int32_t firstArgument, int32_t parameter, int32_t preset,
                  int32_t direction);
  int SendMove();
  int SendPresetTable();
  // A message without payload data: (0, 3) Open, (1, 3) Request.
  int SendEmpty(uint32_t cls, uint32_t operation);

  // ---- Inspection ----
  int32_t PanSpeed() const { return panSpeed_; }
  int32_t TiltSpeed() const { return tiltSpeed_; }
  int32_t MotionState() const { return motion_; }
  int32_t LastParameter() const { return lastParameter_; }
  int SliderMode() const { return sliderMode_; }
  int SliderPosition(int slider) const { return sliders_[slider & 1]; }
  bool PresetStoring() const { return presetStoring_; }
  bool Dragging() const { return dragging_; }
  const uint8_t* StoredTable() const { return table_; }
  uint8_t DomeType(int channel) const { return domeTypes_[channel & 15]; }

 private:
  // The channel messages carry: the single channel shown, or -1 in a split.
  int32_t Channel() const;
  int Send(uint32_t cls, uint32_t operation, const uint8_t* payload, uint32_t payloadLength,
           uint32_t declaredLength);
  void Act(int32_t command);
  void StepSpeeds(int pan, int tilt);
  void RebuildTable();
  void TableChanged();
  void OfferIoButtons();

  Ui& ui_;
  TSpeedDome& window_;
  RecorderContext& context_;
  SendMessage send_;

  int32_t panSpeed_ = 0, tiltSpeed_ = 0, motion_ = kStopped;
  int32_t lastParameter_ = 0;
  int sliderMode_ = 0;  // 0 none, 1 slider 1, 2 slider 2
  int sliders_[2] = {};
  int32_t previousMod_ = 0;
  bool presetStoring_ = false;

  bool dragging_ = false;
  int dragX_ = 0, dragY_ = 0;  // the cursor's offset in the window at the press

  uint8_t table_[kTableSize] = {};
  uint8_t recorderBytes_[32] = {};
  uint8_t domeTypes_[kChannels] = {};
  uint8_t message_[32 + kSubHeader + kPayload] = {};
  uint8_t payload_[kPayload] = {};
};

}  // namespace tevrano::ui
