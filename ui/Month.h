#pragma once
#include <cstdint>
#include <functional>

#include "ui/Ie_com.h"

namespace tevrano::ui {

// The playback calendar and time entry of the key form: the month grid with
// its recording marks, the 48 half-hour slots of the selected day, the time
// entry and the three times it edits (playback start, backup from and to).
// Times are recorder seconds since 2000-01-01 (base/RecorderTime.h). Runs on
// the control's thread after every key-form click.
class Month {
 public:
  struct Hooks {
    // Playback from this time was confirmed.
    std::function<void(uint32_t time)> playbackRequested;
    // The interface level (1 normal, 2 modal panel, 16 time entry dragged).
    std::function<void(int level)> setLevel;
    // A held arrow repeats (the key panel's HeldKey becomes 9999).
    std::function<void()> holdArrow;
  };

  // Cell marks.
  enum Mark : int32_t { kEmpty = 0, kRecorded = 1, kCursorEmpty = 4, kCursorRecorded = 5 };
  static constexpr uint32_t kCalendarReferenceOffset = 1900800;  // 22 days
  static constexpr uint32_t kTimeBarReferenceOffset = 45000;     // 12:30
  static constexpr int32_t kBackupMinimum = 5;                   // seconds

  explicit Month(UiVariables& vars) : v_(vars) {}
  Hooks hooks;

  // Start-up from the PC's local time (already packed as a recorder time).
  void Calendar_Init(uint32_t now);
  // The month grid for the month of `time`.
  void Calendar_Build(uint32_t time);
  // The post-click step; true when a half-hour slot, time step or day change
  // was handled (the view then stays as it is).
  bool Calendar_Step();
  // 1 playback time, 2 backup from, 3 backup to: loads that time into the
  // cursor; 0 closes.
  void Calendar_Open(int which);
  // Stores the cursor into the edited time.
  void Calendar_Confirm();

  // The recorder's marks (one flag a grid cell / a half-hour); the grid is
  // rebuilt around the shown month.
  void SetCalendarDays(const uint8_t* flags42);
  void SetTimeBarSlots(const uint8_t* flags48);

  uint32_t Cursor() const { return cursor_; }
  void SetCursor(uint32_t t) { cursor_ = t; }
  // The search's reference times: the calendar page's and the selected day's.
  uint32_t CalendarReference() const { return calendarReference_; }
  uint32_t TimeBarReference() const { return timeBarReference_; }

  // The backup range rules: an end less than 5 seconds after its start moves
  // the other end. Differences are taken in 64 bits, so an end before its
  // start counts as less than 5 seconds.
  static void KeepBackupRange(int32_t& from, int32_t& to, bool fromWasSet);

 private:
  void RefreshTimeEntry();
  void SetLevel(int level);
  static uint32_t U(int32_t v) { return static_cast<uint32_t>(v); }

  UiVariables& v_;
  uint32_t cursor_ = 0;
  uint32_t calendarReference_ = 0, timeBarReference_ = 0;
  uint8_t days_[42] = {};
  int32_t lastSlot_ = 0;
};

}  // namespace tevrano::ui
