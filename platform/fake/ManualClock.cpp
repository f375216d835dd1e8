#include "platform/fake/ManualClock.h"

namespace tevrano::platform {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
static void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

LocalTimeFields ManualClock::LocalTime(int64_t t) const {
  int64_t days = t >= 0 ? t / 86400 : (t - 86399) / 86400;
  int64_t rem = t - days * 86400;
  LocalTimeFields f;
  CivilFromDays(days, f.year, f.month, f.day);
  f.hour = static_cast<int>(rem / 3600);
  f.minute = static_cast<int>(rem / 60 % 60);
  f.second = static_cast<int>(rem % 60);
  f.weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  return f;
}

}  // namespace tevrano::platform
