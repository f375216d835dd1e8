#include "video/FrameLayout.h"

#include <algorithm>

namespace tevrano {

FrameLayout BuildFrameLayout(int src_width, int src_height, int limit_w, int limit_h,
                             int display_width, int display_height) {
  FrameLayout l;
  l.src_width = src_width;
  l.src_height = src_height;
  if (src_width <= 0 || src_height <= 0) return l;
  int dst_w = std::min((limit_w + 3) / 4 * 4, display_width);
  int dst_h = std::min((limit_h + 7) / 8 * 8, display_height);
  l.line_double = dst_w * 10 / src_height > 20;
  const int shown_h = l.line_double ? 2 * src_height : src_height;
  l.scaled = src_width < 640 || shown_h < 480;
  const int shown_w = l.scaled && l.line_double ? 2 * src_width : src_width;
  l.x_offset = dst_w > shown_w ? (dst_w - shown_w) / 2 : 0;
  l.y_offset = dst_h > shown_h ? (dst_h - shown_h) / 2 : 0;
  l.dst_width = shown_w;
  l.dst_height = shown_h;
  return l;
}

void DecideLineProcessing(FrameLayout& l, int mode, bool field_coded) {
  l.deinterlace = false;
  if (mode != 0 && field_coded) {
    l.deinterlace = true;
    const int h = l.src_height;
    if (h == 480 || h == 512 || h == 576) l.line_double = false;
    if (h == 240 || h == 256 || h == 288) l.deinterlace = false;
  }
  const int w = l.src_width;
  if ((w == 320 || w == 352) && (l.line_double || l.deinterlace)) {
    l.line_double = false;
    l.deinterlace = false;
  }
  if ((w == 640 || w == 704 || w == 960) && l.src_height > 288 && l.line_double) {
    l.line_double = false;
  }
}

}  // namespace tevrano
