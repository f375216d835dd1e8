#include "control/NoVideoPicture.h"

#include <algorithm>
#include <cstring>

#include "base/Form.h"
#include "control/PictureDimming.h"

namespace tevrano {

namespace {
// The text surface's background, left out when the text is laid over the
// picture: a colour the text and its shadow never have.
constexpr uint32_t kTextKey = 0x00FF00FF;
constexpr uint32_t kTextColour = 0x00FFFFFF;
constexpr uint32_t kShadowColour = 0x00101010;
constexpr int kShadowOffset = 2;
constexpr int kFontPoints = 28;

// The designed picture's brightness carried in `tint` (0x00RRGGBB).
uint32_t Tinted(uint32_t pixel, uint32_t tint) {
  const uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  const uint32_t luma = (r * 77 + g * 150 + b * 29) >> 8;
  const uint32_t tr = (tint >> 16) & 0xFF, tg = (tint >> 8) & 0xFF, tb = tint & 0xFF;
  return (luma * tr / 255) << 16 | (luma * tg / 255) << 8 | luma * tb / 255;
}
}  // namespace

void NoVideoPicture::Prepare(platform::TextSurfaceFactory& text) {
  if (prepared_) return;
  prepared_ = true;
  saved_ = std::make_unique<uint32_t[]>(static_cast<size_t>(kMaxWidth) * kMaxHeight);
  text_ = text.CreateTextSurface(kTextWidth, kTextHeight);
  const Bitmap& conn = form_.Image_Conn.picture;
  indicator_.assign(conn.Data(), conn.Data() + static_cast<size_t>(conn.Width()) * conn.Height());
  indicatorWidth_ = conn.Width();
  indicatorHeight_ = conn.Height();
}

void NoVideoPicture::Freeze() {
  Image& video = form_.Image_video;
  Bitmap& picture = video.picture;
  const int w = picture.Width(), h = picture.Height();
  const size_t count = static_cast<size_t>(w) * h;
  savedValid_ = saved_ && w <= kMaxWidth && h <= kMaxHeight && count > 0;
  if (savedValid_) {
    std::memcpy(saved_.get(), picture.Data(), count * sizeof(uint32_t));
    savedWidth_ = w;
    savedHeight_ = h;
  }
  if (count > 0) {
    DimPixels(picture.Data(), count);
    DrawLabel(picture.Data(), w, h);
    video.Invalidate();
  }
  KeepStatusLine();
}

void NoVideoPicture::KeepStatusLine() {
  Label& status = form_.Label_time;
  if (status.caption != kText) {
    const size_t n = std::min(status.caption.size(), sizeof statusBefore_ - 1);
    std::memcpy(statusBefore_, status.caption.data(), n);
    statusBefore_[n] = 0;
    status.SetCaption(kText);
  }
  status.SetVisible(true);
}

void NoVideoPicture::Thaw(bool restorePicture) {
  Bitmap& picture = form_.Image_video.picture;
  if (restorePicture && savedValid_ && picture.Width() == savedWidth_ &&
      picture.Height() == savedHeight_) {
    std::memcpy(picture.Data(), saved_.get(),
                static_cast<size_t>(savedWidth_) * savedHeight_ * sizeof(uint32_t));
    form_.Image_video.Invalidate();
  }
  savedValid_ = false;
  if (form_.Label_time.caption == kText) form_.Label_time.SetCaption(statusBefore_);
}

void NoVideoPicture::DrawLabel(uint32_t* pixels, int width, int height) {
  if (!text_) return;
  platform::FontSpec font;
  font.name = "Arial";
  font.style = platform::kFontBold;
  font.size = kFontPoints;
  font.color = kShadowColour;
  text_->SetFont(font);
  text_->Fill(kTextKey);
  const int sw = std::min(kTextWidth, text_->Width());
  const int sh = std::min(kTextHeight, text_->Height());
  const platform::TextExtent e = text_->Measure(kText);
  const int tx = std::max(0, (sw - e.width - kShadowOffset) / 2);
  const int ty = std::max(0, (sh - e.height - kShadowOffset) / 2);
  text_->DrawText(tx + kShadowOffset, ty + kShadowOffset, kText);
  font.color = kTextColour;
  text_->SetFont(font);
  text_->DrawText(tx, ty, kText);
  // Centred on the video image, clipped to it.
  const uint32_t* src = text_->Pixels();
  const int stride = text_->Width();
  const int x0 = (width - sw) / 2, y0 = (height - sh) / 2;
  for (int y = std::max(0, -y0); y < sh && y0 + y < height; ++y) {
    const uint32_t* s = src + static_cast<size_t>(y) * stride;
    uint32_t* d = pixels + static_cast<size_t>(y0 + y) * width + x0;
    for (int x = std::max(0, -x0); x < sw && x0 + x < width; ++x) {
      const uint32_t p = s[x] & 0x00FFFFFFu;
      if (p != kTextKey) d[x] = p;
    }
  }
}

void NoVideoPicture::ShowIndicator(VideoState state) {
  if (indicatorDrawn_ && state == indicatorState_) return;
  Image& conn = form_.Image_Conn;
  Bitmap& picture = conn.picture;
  indicatorDrawn_ = true;
  indicatorState_ = state;
  if (picture.Width() != indicatorWidth_ || picture.Height() != indicatorHeight_ ||
      indicator_.empty())
    return;
  uint32_t* out = picture.Data();
  const size_t count = indicator_.size();
  if (state == VideoState::kLoggedIn) {
    std::copy(indicator_.begin(), indicator_.end(), out);
  } else {
    const uint32_t tint = state == VideoState::kNoVideo ? kNoVideoTint : kConnectingTint;
    for (size_t i = 0; i < count; ++i) out[i] = Tinted(indicator_[i], tint);
  }
  conn.Invalidate();
}

}  // namespace tevrano
