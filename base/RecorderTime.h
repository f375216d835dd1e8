#pragma once
#include <cstddef>
#include <cstdint>

namespace tevrano::ui {

// Calendar fields of a recorder time (seconds since 2000-01-01 00:00:00,
// recorder local time; the year 2000 counts 365 days, 2004 … 2096 are leap
// years; a value past 2099 reads as 2099-12-31).
struct RecorderDate {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
RecorderDate UnpackRecorderTime(uint32_t seconds);

// Formats of the date-and-time element: 0 "YYYY-MM-DD HH:MM:SS",
// 1 "YYYY-MM-DD", 2 "HH:MM:SS", 3 the day of the month, 4 "YYYY-MM".
void FormatRecorderTime(uint32_t seconds, int format, char* out, size_t size);

}  // namespace tevrano::ui
