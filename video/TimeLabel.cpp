#include "video/TimeLabel.h"

#include <cstdio>

namespace tevrano {

size_t FormatTimeLabel(const PictureTime& t, int date_order, bool short_year, char* out,
                       size_t size) {
  if (size == 0) return 0;
  char year[8];
  if (short_year) {
    std::snprintf(year, sizeof year, "%02d", ((t.year % 100) + 100) % 100);
  } else {
    std::snprintf(year, sizeof year, "%04d", t.year < 0 ? 0 : t.year % 10000);
  }
  int n;
  switch (date_order) {
    case 1:
      n = std::snprintf(out, size, "%02d/%02d/%s %02d:%02d:%02d", t.day, t.month, year, t.hour,
                        t.minute, t.second);
      break;
    case 2:
      n = std::snprintf(out, size, "%02d/%02d/%s %02d:%02d:%02d", t.month, t.day, year, t.hour,
                        t.minute, t.second);
      break;
    default:
      n = std::snprintf(out, size, "%s/%02d/%02d %02d:%02d:%02d", year, t.month, t.day, t.hour,
                        t.minute, t.second);
      break;
  }
  if (n < 0) return 0;
  return static_cast<size_t>(n) < size ? static_cast<size_t>(n) : size - 1;
}

}  // namespace tevrano
