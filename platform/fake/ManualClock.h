#pragma once
#include "platform/Clock.h"

namespace tevrano::platform {

// A clock that never moves by itself: tests step it.
class ManualClock : public Clock {
 public:
  uint32_t TickCountMs() const override { return tickMs_; }
  int64_t CalendarTime() const override { return calendar_ + tickMs_ / 1000 - startTickMs_ / 1000; }
  LocalTimeFields LocalTime(int64_t calendarTime) const override;

  void AdvanceMs(uint32_t ms) { tickMs_ += ms; }
  void SetTickCountMs(uint32_t ms) { tickMs_ = startTickMs_ = ms; }
  // Calendar time at the current tick (local time is taken as UTC).
  void SetCalendarTime(int64_t seconds) {
    calendar_ = seconds;
    startTickMs_ = tickMs_;
  }

 private:
  uint32_t tickMs_ = 1000;
  uint32_t startTickMs_ = 1000;
  int64_t calendar_ = 1780000000;  // a fixed day in 2026
};

}  // namespace tevrano::platform
