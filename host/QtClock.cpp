#include "host/QtClock.h"

#include <ctime>

namespace tevrano::host {

QtClock::QtClock() {
  monotonic_.start();
  // Start from the monotonic clock's own reading so ticks look like an
  // uptime counter (and wrap after 49.7 days like one).
  base_ = static_cast<uint32_t>(monotonic_.msecsSinceReference());
}

uint32_t QtClock::TickCountMs() const {
  // QElapsedTimer is thread-safe to read once started; the audio thread uses it too.
  return base_ + static_cast<uint32_t>(monotonic_.elapsed());
}

int64_t QtClock::CalendarTime() const {
  return static_cast<int64_t>(std::time(nullptr));
}

platform::LocalTimeFields QtClock::LocalTime(int64_t calendarTime) const {
  std::time_t t = static_cast<std::time_t>(calendarTime);
  std::tm tm{};
  localtime_r(&t, &tm);
  platform::LocalTimeFields f;
  f.year = tm.tm_year + 1900;
  f.month = tm.tm_mon + 1;
  f.day = tm.tm_mday;
  f.hour = tm.tm_hour;
  f.minute = tm.tm_min;
  f.second = tm.tm_sec;
  f.weekday = tm.tm_wday;
  return f;
}

}  // namespace tevrano::host
