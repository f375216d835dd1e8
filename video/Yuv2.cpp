#include "video/Yuv2.h"

#include <algorithm>

#include "base/Form.h"
#include "video/TimeLabel.h"
#include "video/VideoContext.h"

namespace tevrano {
namespace {

constexpr int kWorkTop = 8;    // rows above the picture in the luma work buffer
constexpr int kWorkLeft = 32;  // bytes left of the picture
constexpr int kMaxLabels = 8;

}  // namespace

Yuv2::Yuv2(TTevranoX& form) : form_(form) {}

bool Yuv2::AllocateWorkBuffers() {
  return lumaWork_.Allocate(static_cast<size_t>(kWorkStride) * kWorkRows) &&
         lumaOut_.Allocate(static_cast<size_t>(kWorkStride) * 2 * kMaxHeight) &&
         cbOut_.Allocate(static_cast<size_t>(kChromaStride) * kMaxHeight) &&
         crOut_.Allocate(static_cast<size_t>(kChromaStride) * kMaxHeight) && lines_.Allocate() &&
         scaler_.Allocate();
}

bool Yuv2::Show(const YuvPlanes& p, VideoContext& context) {
  if (!Allocated() || p.width <= 0 || p.height <= 0) return false;
  // The work buffers hold at most 60 x 36 macroblocks.
  if (p.width > kMaxWidth || p.height > kMaxHeight) return false;
  const int mode = context.Mode();
  // Setup shows the settings tabs; local movie playback has no target here.
  if (mode == 3 || mode == 4) return false;
  Image& video = form_.Image_video;
  const int limit_w = std::min(video.width, 65535);
  const int limit_h = std::min(video.height, 65535);
  displayWidth_ = context.WideStream() ? 960 : 704;

  layout_ = BuildFrameLayout(p.width, p.height, limit_w, limit_h, displayWidth_, kDisplayHeight);
  DecideLineProcessing(layout_, mode, context.FieldCoded());
  RefreshTimeLabels(context, mode);
  video.SetEnabled(false);
  Draw(p);
  video.Invalidate();
  return true;
}

void Yuv2::RefreshTimeLabels(VideoContext& context, int mode) {
  Label* labels[kMaxLabels];
  const int n = context.TimeLabels(mode, labels, kMaxLabels);
  if (n <= 0) return;
  FormatTimeLabel(context.Time(), context.DateOrder(), false, labelText_, sizeof labelText_);
  for (int i = 0; i < n && i < kMaxLabels; ++i) {
    if (labels[i]) labels[i]->SetCaption(labelText_);
  }
}

void Yuv2::Draw(const YuvPlanes& p) {
  const FrameLayout& l = layout_;
  Bitmap& bitmap = form_.Image_video.picture;
  const int bitmapWidth = displayWidth_ == 960 ? 960 : 704;
  if (bitmap.Width() != bitmapWidth) {
    bitmap.SetSize(bitmapWidth, bitmap.Height() > 0 ? bitmap.Height() : kDisplayHeight);
  }
  const int W = bitmap.Width(), H = bitmap.Height();

  // The luma rows to draw: the line processor's, the scaler's or the
  // decoder's own plane.
  const uint8_t* luma = p.luma;
  int lumaStride = p.luma_stride;
  int lumaRows = p.height, lumaCols = p.width;
  uint8_t* work = lumaWork_.Data() + kWorkTop * kWorkStride + kWorkLeft;
  if (l.line_double) {
    lines_.LineDouble(p.luma, p.luma_stride, p.width, p.height, work, kWorkStride);
    luma = work, lumaStride = kWorkStride, lumaRows = 2 * p.height;
  } else if (l.deinterlace) {
    lines_.Deinterlace(p.luma, p.luma_stride, p.width, p.height, work, kWorkStride);
    luma = work, lumaStride = kWorkStride;
  }

  // Never draw outside the bitmap, and never read rows or columns the
  // picture does not have.
  const int x0 = std::min(l.x_offset, W), y0 = std::min(l.y_offset, H);
  int drawW = std::min(l.dst_width, W - x0);
  int drawH = std::min(l.dst_height, H - y0);
  if (!l.scaled) {
    drawW = std::min(drawW, lumaCols);
    drawH = std::min(drawH, lumaRows);
  }

  const uint8_t* cb = p.cb;
  const uint8_t* cr = p.cr;
  int chromaStride = p.chroma_stride;
  int chromaRows = (p.height + 1) / 2, chromaCols = (p.width + 1) / 2;
  if (l.scaled && drawW > 0 && drawH > 0) {
    const uint32_t step_x = static_cast<uint32_t>(p.width) * 4096 / l.dst_width;
    const uint32_t step_y = static_cast<uint32_t>(lumaRows) * 4096 / l.dst_height;
    scaler_.Scale(luma, lumaStride, p.width, lumaRows, lumaOut_.Data(), kWorkStride, drawW, drawH,
                  step_x, step_y);
    luma = lumaOut_.Data(), lumaStride = kWorkStride;
    // Chroma: half the columns, and the chroma rows the drawn rows use.
    const int cw = (drawW + 1) / 2;
    const int ch = l.line_double ? (drawH + 3) / 4 : (drawH + 1) / 2;
    scaler_.Scale(p.cb, p.chroma_stride, chromaCols, chromaRows, cbOut_.Data(), kChromaStride, cw,
                  ch, step_x, step_y);
    scaler_.Scale(p.cr, p.chroma_stride, chromaCols, chromaRows, crOut_.Data(), kChromaStride, cw,
                  ch, step_x, step_y);
    cb = cbOut_.Data(), cr = crOut_.Data(), chromaStride = kChromaStride;
    chromaRows = ch, chromaCols = cw;
  }
  const int chromaShift = l.line_double ? 2 : 1;

  ScanOverlayIfChanged();
  const Bitmap& overlay = form_.Image2.picture;
  const int mergeW = std::min({displayWidth_, W, overlay.Width()});
  const int mergeH = std::min({kDisplayHeight, H, overlay.Height()});
  const int barRowsEnd = std::min(H, 2 * y0 + l.dst_height);
  auto mergeRow = [&](int y) {
    if (y >= mergeH) return;
    const OverlaySpan span = overlaySpans_[y];
    const int last = std::min<int>(span.last, mergeW - 1);
    if (span.first <= last) {
      MergeOverlayRow(overlay.Row(y) + span.first, last + 1 - span.first,
                      bitmap.Row(y) + span.first);
    }
  };
  const int rightBar = std::max(0, std::min(l.x_offset, W - x0 - drawW));
  for (int y = 0; y < H;) {
    const int py = y - y0;
    if (py < 0 || py >= drawH) {
      if (y < barRowsEnd) FillPixels(bitmap.Row(y), W, kBarColour);
      mergeRow(y);
      ++y;
      continue;
    }
    // Two rows that use the same chroma row are converted together.
    const int c = std::min(py >> chromaShift, chromaRows - 1);
    const bool pair = py + 1 < drawH && std::min((py + 1) >> chromaShift, chromaRows - 1) == c;
    const ptrdiff_t chromaOffset = static_cast<ptrdiff_t>(c) * chromaStride;
    const uint8_t* luma0 = luma + static_cast<ptrdiff_t>(py) * lumaStride;
    ConvertRows(luma0, pair ? luma0 + lumaStride : nullptr, cb + chromaOffset, cr + chromaOffset,
                drawW, bitmap.Row(y) + x0, pair ? bitmap.Row(y + 1) + x0 : nullptr);
    for (int k = 0; k < (pair ? 2 : 1); ++k, ++y) {
      uint32_t* row = bitmap.Row(y);
      FillPixels(row, x0, kBarColour);
      FillPixels(row + x0 + drawW, rightBar, kBarColour);
      mergeRow(y);
    }
  }
}

void Yuv2::ScanOverlayIfChanged() {
  const Image& image = form_.Image2;
  const Bitmap& overlay = image.picture;
  if (overlayKnown_ && image.revision == overlayRevision_ && overlay.Data() == overlayPixels_ &&
      overlay.Width() == overlayWidth_ && overlay.Height() == overlayHeight_) {
    return;
  }
  const int w = std::min(overlay.Width(), 32767);
  const int h = std::min(overlay.Height(), kDisplayHeight);
  for (int y = 0; y < kDisplayHeight; ++y) {
    OverlaySpan span;
    if (y < h) {
      const uint32_t* row = overlay.Row(y);
      int first = 0, last = w - 1;
      while (first < w && row[first] == kTransparentColour) ++first;
      while (last > first && row[last] == kTransparentColour) --last;
      if (first < w) span = {static_cast<int16_t>(first), static_cast<int16_t>(last)};
    }
    overlaySpans_[y] = span;
  }
  overlayKnown_ = true;
  overlayRevision_ = image.revision;
  overlayPixels_ = overlay.Data();
  overlayWidth_ = overlay.Width();
  overlayHeight_ = overlay.Height();
}

}  // namespace tevrano
