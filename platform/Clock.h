#pragma once
#include <cstdint>

namespace tevrano::platform {

// Calendar fields of a local time, as the C library's broken-down time.
struct LocalTimeFields {
  int year = 2000;  // full year, e.g. 2026
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 0;  // 0 = Sunday
};

// The control's only source of time. Called on the control's thread (the
// audio thread reads TickCountMs too, so implementations are thread-safe).
class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds of a monotonic tick counter; wraps at 2^32 like GetTickCount.
  virtual uint32_t TickCountMs() const = 0;
  // Calendar time: seconds since 1970-01-01 00:00:00 UTC.
  virtual int64_t CalendarTime() const = 0;
  // Local-time conversion of a calendar time.
  virtual LocalTimeFields LocalTime(int64_t calendarTime) const = 0;
};

}  // namespace tevrano::platform
