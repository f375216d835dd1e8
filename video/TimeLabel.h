#pragma once
#include <cstddef>

#include "video/VideoContext.h"

namespace tevrano {

// The text of a time label: the date in `date_order` (1 day/month/year,
// 2 month/day/year, otherwise year/month/day) with "/" between two-digit
// fields and a four-digit year (two digits when `short_year`), a blank, then
// hour:minute:second. Writes at most `size` bytes including the terminating
// zero and returns the length.
size_t FormatTimeLabel(const PictureTime& time, int date_order, bool short_year, char* out,
                       size_t size);

}  // namespace tevrano
