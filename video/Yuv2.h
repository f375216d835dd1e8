#pragma once
#include <cstdint>

#include "video/AlignedBuffer.h"
#include "video/BilinearScaler.h"
#include "video/FrameLayout.h"
#include "video/LineProcessor.h"
#include "video/YuvToRgb.h"

namespace tevrano {

class TTevranoX;
class VideoContext;

// One decoded 4:2:0 picture, planes in place.
struct YuvPlanes {
  const uint8_t* luma = nullptr;
  const uint8_t* cb = nullptr;
  const uint8_t* cr = nullptr;
  int luma_stride = 0, chroma_stride = 0;
  int width = 0, height = 0;
};

// The frame display: draws a decoded picture into the form's video image,
// centred with grey bars, line-doubled, deinterlaced or enlarged as its size
// and the view ask, converted to 32-bit RGB, with the overlay layer `Image2`
// laid over it (pure white 0x00FFFFFF is transparent). Work buffers are made
// once for the largest picture (960 x 576, 60 x 36 macroblocks); larger
// pictures are refused. Main thread only.
class Yuv2 {
 public:
  static constexpr int kMaxWidth = 960;
  static constexpr int kMaxHeight = 576;
  static constexpr int kDisplayHeight = 576;
  // Luma work buffer: rows of kWorkStride bytes, the picture 8 rows down and
  // 32 bytes in, room for twice the largest picture's rows.
  static constexpr int kWorkStride = 1024;
  static constexpr int kWorkRows = 2 * kMaxHeight + 16;
  static constexpr int kChromaStride = 512;

  explicit Yuv2(TTevranoX& form);

  bool AllocateWorkBuffers();
  bool Allocated() const { return static_cast<bool>(lumaWork_); }

  // Draws `p` for the stream `context` describes (steps 2 to 10 of showing a
  // picture; the caller has checked the picture, the slot and the output).
  // Returns true when the video image was drawn.
  bool Show(const YuvPlanes& p, VideoContext& context);

  // The layout of the last picture drawn (after the line-processing choice).
  const FrameLayout& LastLayout() const { return layout_; }
  int DisplayWidth() const { return displayWidth_; }
  LineProcessor& Lines() { return lines_; }

 private:
  void RefreshTimeLabels(VideoContext& context, int mode);
  void Draw(const YuvPlanes& p);
  void ScanOverlayIfChanged();

  // Where `Image2` has pixels that are not transparent, per row: columns
  // first..last (none when first > last). Rescanned when the image's
  // revision, size or storage changes (its writers Invalidate it), so that
  // rows without marks cost nothing when the overlay is laid over the video.
  struct OverlaySpan {
    int16_t first = 0, last = -1;
  };
  OverlaySpan overlaySpans_[kDisplayHeight];
  bool overlayKnown_ = false;
  uint32_t overlayRevision_ = 0;
  const uint32_t* overlayPixels_ = nullptr;
  int overlayWidth_ = 0, overlayHeight_ = 0;

  TTevranoX& form_;
  FrameLayout layout_;
  int displayWidth_ = 704;
  AlignedBuffer lumaWork_;
  AlignedBuffer lumaOut_;
  AlignedBuffer cbOut_, crOut_;
  LineProcessor lines_;
  BilinearScaler scaler_;
  char labelText_[32] = {};
};

}  // namespace tevrano
