#include "base/RecorderTime.h"

#include <cstdio>

namespace tevrano::ui {

namespace {
bool Leap(int year) {
  return RecorderLeapYear(year);
}
int DaysInMonth(int year, int month) {
  return RecorderDaysInMonth(year, month);
}
}  // namespace

bool RecorderLeapYear(int year) {
  const int offset = year - 2000;
  return offset % 4 == 0 && offset % 100 != 0;
}

int RecorderDaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 31;
  return month == 2 && RecorderLeapYear(year) ? 29 : kDays[month - 1];
}

uint32_t PackRecorderTime(int year, int month, int day, int hour, int minute, int second) {
  year = year < 2000 ? 2000 : year > 2099 ? 2099 : year;
  month = month < 1 ? 1 : month > 12 ? 12 : month;
  day = day < 1 ? 1 : day > 32 ? 32 : day;
  uint64_t days = 0;
  for (int y = 2000; y < year; ++y) days += RecorderLeapYear(y) ? 366 : 365;
  for (int m = 1; m < month; ++m) days += RecorderDaysInMonth(year, m);
  days += day - 1;
  auto nonNegative = [](int v) { return v < 0 ? 0 : uint64_t(v); };
  uint64_t t =
      days * 86400 + nonNegative(hour) * 3600 + nonNegative(minute) * 60 + nonNegative(second);
  // 2099-12-32 and large fields stay inside the 32-bit range.
  return t > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(t);
}

RecorderDate UnpackRecorderTime(uint32_t seconds) {
  RecorderDate d;
  uint32_t days = seconds / 86400;
  const uint32_t rest = seconds % 86400;
  d.hour = static_cast<int>(rest / 3600);
  d.minute = static_cast<int>(rest / 60 % 60);
  d.second = static_cast<int>(rest % 60);
  while (d.year < 2099) {
    const uint32_t inYear = Leap(d.year) ? 366 : 365;
    if (days < inYear) break;
    days -= inYear;
    ++d.year;
  }
  while (d.month < 12 && days >= static_cast<uint32_t>(DaysInMonth(d.year, d.month))) {
    days -= DaysInMonth(d.year, d.month);
    ++d.month;
  }
  const int last = DaysInMonth(d.year, d.month);
  d.day = days + 1 > static_cast<uint32_t>(last) ? last : static_cast<int>(days) + 1;
  return d;
}

void FormatRecorderTime(uint32_t seconds, int format, char* out, size_t size) {
  const RecorderDate d = UnpackRecorderTime(seconds);
  switch (format) {
    case 1:
      std::snprintf(out, size, "%04d-%02d-%02d", d.year, d.month, d.day);
      break;
    case 2:
      std::snprintf(out, size, "%02d:%02d:%02d", d.hour, d.minute, d.second);
      break;
    case 3:
      std::snprintf(out, size, "%d", d.day);
      break;
    case 4:
      std::snprintf(out, size, "%04d-%02d", d.year, d.month);
      break;
    default:
      std::snprintf(out, size, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour,
                    d.minute, d.second);
  }
}

}  // namespace tevrano::ui
