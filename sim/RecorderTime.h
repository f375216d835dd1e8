// Recorder time: unsigned 32-bit seconds since 2000-01-01 00:00:00 of the
// recorder's local time, years 2000 to 2099. The year 2000 counts 365 days
// (its February has 28); 2004, 2008 ... 2096 are leap years.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace tevrano::sim {

struct RecorderDate {
  int year = 2000, month = 1, day = 1;  // month 1..12, day 1..31
  int hour = 0, minute = 0, second = 0;
};

// Days of a month of the recorder's calendar.
int DaysInMonth(int year, int month);
// Fields to seconds; a date outside 2000..2099 or not in the calendar is
// refused.
std::optional<uint32_t> PackRecorderDate(const RecorderDate& d);
// Seconds to fields (values beyond 2099 stay in 2099).
RecorderDate UnpackRecorderTime(uint32_t t);
// "YYYY-MM-DDTHH:MM:SS".
std::string FormatRecorderTime(uint32_t t);
// Reads "YYYY-MM-DDTHH:MM:SS" exactly; empty when malformed or not a
// recorder date.
std::optional<uint32_t> ParseRecorderTime(const std::string& text);
// The recorder's time now: the local clock.
uint32_t RecorderTimeNow();
// The calendar minute (Unix time / 60) whose local clock reads as the
// recorder time: for drawing a recorder time with the live clock's text.
uint32_t LocalMinuteOf(uint32_t t);

}  // namespace tevrano::sim
