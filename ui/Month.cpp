// The playback calendar: month grid, marks, time entry and the times it edits.
#include "ui/Month.h"

#include <cstring>

#include "base/RecorderTime.h"

namespace tevrano::ui {

namespace {
constexpr uint32_t kDay = 86400;
constexpr int32_t kNone = -1;  // "Mon_Cmd#SD" and the day cells: nothing picked / no day
uint32_t DayStart(uint32_t t) {
  return t - t % kDay;
}
}  // namespace

void Month::SetLevel(int level) {
  if (hooks.setLevel) hooks.setLevel(level);
}

void Month::Calendar_Init(uint32_t now) {
  if (now > kLastRecorderTime) now = kLastRecorderTime;
  cursor_ = now;
  v_.Mon_Time = v_.Mon_P_N_T = v_.Mon_B_F_T = static_cast<int32_t>(now);
  v_.Mon_B_T_T = static_cast<int32_t>(now + kBackupMinimum);
  v_.Mon_Cmd = kNone;
  Calendar_Build(now);
  RefreshTimeEntry();
}

void Month::Calendar_Build(uint32_t time) {
  if (time > kLastRecorderTime) time = kLastRecorderTime;
  const RecorderDate d = UnpackRecorderTime(time);
  v_.Mon_Y = d.year;
  v_.Mon_M = d.month;
  v_.Mon_Time = static_cast<int32_t>(time);
  const uint32_t first = PackRecorderTime(d.year, d.month, 1);
  const uint32_t w = first / kDay % 7;
  // The first row always ends the previous month. Before 2000-01-01 there
  // are no days: those cells hold -1 (hidden, not clickable), as do cells
  // past 2099-12-31.
  const int64_t start = int64_t(first) - int64_t(w == 0 ? 7 : w) * kDay;
  const uint32_t today = DayStart(time);
  for (int i = 0; i < 42; ++i) {
    const int64_t cell = start + int64_t(i) * kDay;
    const bool exists = cell >= 0 && cell <= int64_t(kLastRecorderTime);
    v_.Mon_Day[i] = exists ? static_cast<int32_t>(uint32_t(cell)) : kNone;
    int32_t mark = days_[i] ? kRecorded : kEmpty;
    if (exists && uint32_t(cell) == today) mark = days_[i] ? kCursorRecorded : kCursorEmpty;
    v_.Mon_Data[i] = mark;
  }
  calendarReference_ = static_cast<uint32_t>(start + kCalendarReferenceOffset);
  timeBarReference_ = today + kTimeBarReferenceOffset;
}

void Month::RefreshTimeEntry() {
  const uint32_t inDay = cursor_ % kDay;
  v_.Mon_h = static_cast<int32_t>(inDay / 3600);
  v_.Mon_m2 = static_cast<int32_t>(inDay / 60 % 60);
  v_.Mon_s = static_cast<int32_t>(inDay % 60);
  v_.IE_ST3 = static_cast<int32_t>(inDay / 1800) + 1;
  lastSlot_ = v_.IE_ST3;
}

void Month::Calendar_Open(int which) {
  if (which < 1 || which > 3) return;
  const int32_t times[3] = {v_.Mon_P_N_T, v_.Mon_B_F_T, v_.Mon_B_T_T};
  cursor_ = U(times[which - 1]);
  if (cursor_ > kLastRecorderTime) cursor_ = kLastRecorderTime;
  v_.Mon_Cmd = kNone;
  Calendar_Build(cursor_);
  RefreshTimeEntry();
}

void Month::KeepBackupRange(int32_t& from, int32_t& to, bool fromWasSet) {
  const int64_t f = U(from), t = U(to);
  if (t - f >= kBackupMinimum) return;
  if (fromWasSet) {
    const int64_t end = f + kBackupMinimum;
    to = static_cast<int32_t>(uint32_t(end > int64_t(0xFFFFFFFFu) ? 0xFFFFFFFFu : end));
    if (end > int64_t(0xFFFFFFFFu)) from = static_cast<int32_t>(U(to) - kBackupMinimum);
  } else if (t >= kBackupMinimum) {
    from = static_cast<int32_t>(uint32_t(t - kBackupMinimum));
  } else {
    // An end within the first 5 seconds of 2000: the range starts at 0.
    from = 0;
    to = kBackupMinimum;
  }
}

void Month::Calendar_Confirm() {
  const int32_t c = static_cast<int32_t>(cursor_);
  switch (v_.IE_Month_T) {
    case 1:
      v_.Mon_P_N_T = c;
      if (hooks.playbackRequested) hooks.playbackRequested(cursor_);
      break;
    case 2:
      v_.Mon_B_F_T = c;
      KeepBackupRange(v_.Mon_B_F_T, v_.Mon_B_T_T, true);
      break;
    case 3:
      v_.Mon_B_T_T = c;
      KeepBackupRange(v_.Mon_B_F_T, v_.Mon_B_T_T, false);
      break;
    default:
      break;
  }
}

bool Month::Calendar_Step() {
  UiVariables& v = v_;
  if (v.IE_Month_T < 1 || v.IE_Month_T > 3) {
    // Closed: its commands mean nothing; confirm and cancel just close.
    v.Mon_Add = v.Mon_Sub = 0;
    v.Mon_Cmd = kNone;
    if (v.IE_OK || v.IE_CL) {
      v.IE_OK = v.IE_CL = 0;
      v.IE_Month_T = 0;
      SetLevel(1);
    }
    return false;
  }
  bool busy = false, monthStep = false, timeStep = false;
  static constexpr uint32_t kStep[5] = {0, 0, 3600, 60, 1};
  auto stepMonth = [&](int delta) {
    const RecorderDate d = UnpackRecorderTime(cursor_);
    int year = d.year, month = d.month + delta;
    if (month > 12) month = 1, ++year;
    if (month < 1) month = 12, --year;
    if (year < 2000 || year > 2099) return;  // refused: outside the recorder's years
    cursor_ = PackRecorderTime(year, month, 1) + cursor_ % kDay;
    monthStep = true;
  };
  auto stepTime = [&](int32_t command, bool up) {
    const uint32_t s = kStep[command];
    if (up ? cursor_ <= kLastRecorderTime - s : cursor_ >= s)
      cursor_ = up ? cursor_ + s : cursor_ - s;
    SetLevel(2);
    if (hooks.holdArrow) hooks.holdArrow();
    timeStep = true;
    busy = true;
  };

  if (v.IE_ST3 >= 1 && v.IE_ST3 <= 48 && v.IE_ST3 != lastSlot_) {
    // 1. A half-hour slot: the time entry goes to its start; the bar drags.
    const int k = v.IE_ST3 - 1;
    cursor_ = DayStart(cursor_) + uint32_t(k / 2) * 3600 + (k % 2 ? 1800 : 0);
    SetLevel(16);
    timeStep = true;
    busy = true;
  } else if (v.Mon_Add == -1 && v.Mon_Sub == -1) {
    // 4. A refresh.
    v.Mon_Add = v.Mon_Sub = 0;
    timeStep = true;
    busy = true;
  } else if (v.Mon_Add >= 1 && v.Mon_Add <= 4) {
    // 2. Forward: a month, an hour, a minute, a second.
    if (v.Mon_Add == 1)
      stepMonth(1);
    else
      stepTime(v.Mon_Add, true);
    v.Mon_Add = 0;
  } else if (v.Mon_Sub >= 1 && v.Mon_Sub <= 4) {
    // 3. Back.
    if (v.Mon_Sub == 1)
      stepMonth(-1);
    else
      stepTime(v.Mon_Sub, false);
    v.Mon_Sub = 0;
  } else if (v.Mon_Cmd != kNone) {
    // 5. A day was picked: the time entry opens for it at 00:00:00.
    const uint32_t day = DayStart(U(v.Mon_Cmd));
    v.Mon_Cmd = kNone;
    if (day <= kLastRecorderTime) {
      cursor_ = day;
      monthStep = true;
      timeStep = true;
      busy = true;
      if (!v.IE_OK && !v.IE_CL) SetLevel(16);
    }
  }

  if (monthStep) Calendar_Build(cursor_);
  if (timeStep) RefreshTimeEntry();
  if (v.IE_OK == 1) {
    Calendar_Build(cursor_);
    Calendar_Confirm();
    v.IE_Month_T = 0;
    SetLevel(1);
    busy = true;
  } else if (v.IE_CL == 1) {
    v.IE_Month_T = 0;
    SetLevel(1);
    busy = true;
  }
  v.IE_OK = v.IE_CL = 0;
  Calendar_Build(cursor_);
  return busy;
}

void Month::SetCalendarDays(const uint8_t* flags42) {
  std::memcpy(days_, flags42, sizeof days_);
  Calendar_Build(U(v_.Mon_Time));
}

void Month::SetTimeBarSlots(const uint8_t* flags48) {
  for (int i = 0; i < 48; ++i) v_.IE_Data[i] = flags48[i] ? 1 : 0;
}

}  // namespace tevrano::ui
