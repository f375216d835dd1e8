#pragma once
#include <cstdint>

namespace tevrano {

// Where and how one decoded picture is drawn into the video image.
struct FrameLayout {
  int src_width = 0, src_height = 0;  // decoded size (pixels)
  bool line_double = false;           // shown with twice its lines
  bool deinterlace = false;           // processed as two interleaved fields
  bool scaled = false;                // goes through the bilinear scaler
  int dst_width = 0, dst_height = 0;  // size of the drawn picture
  int x_offset = 0, y_offset = 0;     // left/right bar width, top/bottom bar height
};

// The layout rule: from the decoded size, the target's limits (its width and
// height) and the video area (`display_width` x `display_height`).
FrameLayout BuildFrameLayout(int src_width, int src_height, int limit_w, int limit_h,
                             int display_width, int display_height);

// Which line processing the picture gets in view `mode` (0 Live, 1 Playback,
// ...) of a stream that is field-coded or not. The drawn sizes stay as the
// layout rule made them.
void DecideLineProcessing(FrameLayout& layout, int mode, bool field_coded);

}  // namespace tevrano
