#pragma once
#include <cstdint>
#include <string_view>

namespace tevrano::ui {

// The state variables that skin elements bind to by name. Every variable is a
// 32-bit signed integer or a fixed array of them; the rest of the control
// reads and writes them by field, the skins only through the binding table.
struct UiVariables {
  // Pages and views.
  int32_t IE_Page[4] = {};  // page buttons: 1 selected, 0 not, -1 not allowed
  int32_t IE_Page2 = 0;     // requested page: 0 Live, 1 Playback, 2 Backup, 3 Setup
  int32_t IE_Page3 = 0;     // page change pending
  int32_t IE_M_CH = 16;     // the recorder's channel count
  int32_t IE_DOING = 0;     // requested layout
  int32_t IE_CH[16] = {};   // channel keys: 1 shown, 0 not, -1 absent
  int32_t IE_CH2[16] = {};  // split-position marks
  int32_t IE_CH_S = 0;      // "IE_CH#SD"
  int32_t IE_CH2_S = 0;     // "IE_CH2#SD"
  int32_t IE_Logo = 0;
  int32_t IE_PB_PS = 1;         // playback button (playback state requested)
  int32_t IE_PB_PS2 = 0;        // apply the playback button
  int32_t IE_PB_BT_En[4] = {};  // transport buttons, one-hot at the playback state
  int32_t IE_SET_T = 0;         // calendar toggle request: 1, 2, 3
  int32_t IE_Month_T = 0;       // calendar open for: 1 playback, 2 backup from, 3 to
  int32_t IE_OK = 0;
  int32_t IE_CL = 0;
  int32_t IE_ST = 0;          // backup start/stop button
  int32_t IE_ST2 = 0;         // backup running (1, 2) or not (0)
  int32_t IE_percentage = 0;  // backup progress 0..100
  int32_t IE_Data[48] = {};   // half-hour marks of the selected day
  int32_t IE_ST3 = 0;         // selected half-hour slot 1..48, 0 none

  // Calendar and time entry.
  int32_t Mon_P_N_T = 0, Mon_B_F_T = 0, Mon_B_T_T = 0;  // recorder times (s since 2000)
  int32_t Mon_Day[42] = {};                             // midnight of each grid cell
  int32_t Mon_Data[42] = {};                            // cell marks 0, 1, 4, 5
  int32_t Mon_Y = 2000, Mon_M = 1;
  int32_t Mon_h = 0, Mon_m2 = 0, Mon_s = 0;
  int32_t Mon_Time = 0;
  int32_t Mon_Add = 0, Mon_Sub = 0;  // 1 month, 2 hour, 3 minute, 4 second
  int32_t Mon_HHMMSS = 0;
  int32_t Mon_POS[42] = {};
  int32_t Mon_HMS_C = 0;
  int32_t Day_change = 0;
  int32_t Mon_Cmd = 0;
  int32_t Motion_C = 0, Schedule_C = 0;

  // Speed-dome pad.
  int32_t Dm_Cmd = -1;  // command number, -1 none
  int32_t Dm_Pre = 0;   // selected preset, 0-based
  int32_t Dm_Ch = 16;   // selected channel 0..15, 16 none
  int32_t Dm_SCh[100] = {};
  int32_t Dm_SPre[100] = {};
  int32_t MOD = 0, MOD2 = 0, MOD3 = 0, MOD4 = 0;
  int32_t Cent_X = 0, Cent_Y = 0;
  int32_t A_Pan = 0, A_See = 0;
  int32_t SD_Mouse = 0, SD_Bar = 0;
  int32_t SD_IO[5] = {};  // "SD_IO1#SDC" .. "SD_IO5#SDC", each a scalar
  int32_t A_Num = 0;      // preset page offset, 0 or 50

  // Alarms and channels.
  int32_t Alarm_En[16] = {};
  int32_t Alarm_En_Pos = 0;
  int32_t AlmO_En[16] = {};
  int32_t CH[16] = {};
  int32_t CH_Idx = 0;
  int32_t Record[16] = {};
  int32_t Sys_State = 0;

  // Keys: a press writes the key variable; IO_ flags say whether a key is offered.
  // clang-format off
  enum Key {
    kSplit, kSeq, kFW, kPB, kFF, kList, kDelete, kOSD,
    kSPreset, kGPreset, kHelp, kFreeze, kCapture, kF5, kSPD_Mode, kKeyCount
  };
  int32_t Keys[kKeyCount] = {};
  enum Io {
    kIoSplit, kIoSeq, kIoMenu, kIoFW, kIoPB, kIoFF, kIoList, kIoDelete, kIoOSD,
    kIoSPreset, kIoGPreset, kIoHelp, kIoFreeze, kIoCapture, kIoF5, kIoSPD_Mode, kIoCount
  };
  // clang-format on
  int32_t IO[kIoCount] = {};
  int32_t Key_Tag = 0, Key_Code = 0;

  // Target of every name the table does not know; nothing reads it.
  int32_t spare[100] = {};
};

// A bound variable: `length` entries at `data` (1 for a scalar). Reads and
// writes outside the length do nothing, so an item number from a skin can
// never reach past the variable.
struct Binding {
  int32_t* data = nullptr;
  int length = 0;

  bool Bound() const { return data != nullptr; }
  int32_t Get(int index) const { return data && index >= 0 && index < length ? data[index] : 0; }
  void Set(int index, int32_t value) const {
    if (data && index >= 0 && index < length) data[index] = value;
  }
  bool InRange(int index) const { return data && index >= 0 && index < length; }
};

// The fixed table of binding names over one set of variables.
class BindingTable {
 public:
  static constexpr int kEntries = 105;
  explicit BindingTable(UiVariables& vars);

  // Exact name comparison, first match wins; an unknown name gives the spare.
  Binding Skin_Lookup(std::string_view name) const;
  std::string_view Name(int index) const { return entries_[index].name; }

 private:
  struct Entry {
    const char* name;
    Binding binding;
  };
  Entry entries_[kEntries];
  Binding spare_;
};

}  // namespace tevrano::ui
