#pragma once
#include <QElapsedTimer>

#include "platform/Clock.h"

namespace tevrano::host {

// The machine's clocks: a monotonic millisecond counter for ticks and the C
// library's calendar and local time.
class QtClock : public platform::Clock {
 public:
  QtClock();
  uint32_t TickCountMs() const override;
  int64_t CalendarTime() const override;
  platform::LocalTimeFields LocalTime(int64_t calendarTime) const override;

 private:
  QElapsedTimer monotonic_;
  uint32_t base_ = 0;  // start value of the tick count, like an uptime counter
};

}  // namespace tevrano::host
