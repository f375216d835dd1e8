#include "RecorderTime.h"

#include <algorithm>
#include <cstdio>

namespace tevrano::sim {

namespace {

bool Leap(int year) {
  const int offset = year - 2000;
  return offset % 4 == 0 && offset % 100 != 0;
}

int DaysInYear(int year) {
  return Leap(year) ? 366 : 365;
}

}  // namespace

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && Leap(year) ? 29 : kDays[month - 1];
}

std::optional<uint32_t> PackRecorderDate(const RecorderDate& d) {
  if (d.year < 2000 || d.year > 2099 || d.month < 1 || d.month > 12 || d.day < 1 ||
      d.day > DaysInMonth(d.year, d.month) || d.hour < 0 || d.hour > 23 || d.minute < 0 ||
      d.minute > 59 || d.second < 0 || d.second > 59)
    return std::nullopt;
  uint32_t days = 0;
  for (int y = 2000; y < d.year; ++y) days += uint32_t(DaysInYear(y));
  for (int m = 1; m < d.month; ++m) days += uint32_t(DaysInMonth(d.year, m));
  days += uint32_t(d.day - 1);
  return days * 86400u + uint32_t(d.hour) * 3600u + uint32_t(d.minute) * 60u + uint32_t(d.second);
}

RecorderDate UnpackRecorderTime(uint32_t t) {
  RecorderDate d;
  uint32_t days = t / 86400;
  const uint32_t rest = t % 86400;
  while (d.year < 2099 && days >= uint32_t(DaysInYear(d.year)))
    days -= uint32_t(DaysInYear(d.year++));
  while (d.month < 12 && days >= uint32_t(DaysInMonth(d.year, d.month)))
    days -= uint32_t(DaysInMonth(d.year, d.month++));
  d.day = int(std::min<uint32_t>(days, uint32_t(DaysInMonth(d.year, d.month)) - 1)) + 1;
  d.hour = int(rest / 3600);
  d.minute = int(rest / 60 % 60);
  d.second = int(rest % 60);
  return d;
}

std::string FormatRecorderTime(uint32_t t) {
  const RecorderDate d = UnpackRecorderTime(t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", d.year, d.month, d.day, d.hour,
                d.minute, d.second);
  return buf;
}

std::optional<uint32_t> ParseRecorderTime(const std::string& text) {
  // Exactly 19 characters: digits with '-', 'T' and ':' in their places.
  static const char kShape[] = "dddd-dd-ddTdd:dd:dd";
  if (text.size() != 19) return std::nullopt;
  for (size_t i = 0; i < 19; ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return std::nullopt;
  }
  auto number = [&](size_t at, size_t n) {
    int v = 0;
    for (size_t i = 0; i < n; ++i) v = v * 10 + (text[at + i] - '0');
    return v;
  };
  RecorderDate d;
  d.year = number(0, 4);
  d.month = number(5, 2);
  d.day = number(8, 2);
  d.hour = number(11, 2);
  d.minute = number(14, 2);
  d.second = number(17, 2);
  return PackRecorderDate(d);
}

uint32_t LocalMinuteOf(uint32_t t) {
  const RecorderDate d = UnpackRecorderTime(t);
  std::tm local{};
  local.tm_year = d.year - 1900;
  local.tm_mon = d.month - 1;
  local.tm_mday = d.day;
  local.tm_hour = d.hour;
  local.tm_min = d.minute;
  local.tm_sec = 0;
  local.tm_isdst = -1;
  const std::time_t unix = std::mktime(&local);
  return unix < 0 ? 0 : uint32_t(unix / 60);
}

}  // namespace tevrano::sim

namespace tevrano::sim {

uint32_t RecorderTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  RecorderDate d;
  d.year = std::clamp(local.tm_year + 1900, 2000, 2099);
  d.month = local.tm_mon + 1;
  d.day = std::min(local.tm_mday, DaysInMonth(d.year, d.month));
  d.hour = local.tm_hour;
  d.minute = local.tm_min;
  d.second = std::min(local.tm_sec, 59);
  return PackRecorderDate(d).value_or(0);
}

}  // namespace tevrano::sim
