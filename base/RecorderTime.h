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

// Packs calendar fields into a recorder time. The year is clamped to
// 2000 … 2099, the month to 1 … 12 and the day to 1 … 32 (a day beyond the
// month's end runs into the next month); negative hours, minutes and
// seconds count as 0, so the result never wraps below 2000-01-01.
uint32_t PackRecorderTime(int year, int month, int day, int hour = 0, int minute = 0,
                          int second = 0);

// Whether a year counts 366 days in the recorder's calendar.
bool RecorderLeapYear(int year);
// Days of a month (1 … 12) of a year in the recorder's calendar.
int RecorderDaysInMonth(int year, int month);

// 2099-12-31 23:59:59, the last recorder time a user may type.
constexpr uint32_t kLastRecorderTime = 3155673599u;

// Formats of the date-and-time element: 0 "YYYY-MM-DD HH:MM:SS",
// 1 "YYYY-MM-DD", 2 "HH:MM:SS", 3 the day of the month, 4 "YYYY-MM".
void FormatRecorderTime(uint32_t seconds, int format, char* out, size_t size);

}  // namespace tevrano::ui
