#include "control/EventMarks.h"

#include <algorithm>
#include <cstring>

namespace tevrano {

namespace {
constexpr const char* kMarkNames[EventMarkTable::kMarksPerChannel] = {"Alarm", "Motion", "Vloss",
                                                                      "Trumpet"};

// Copies `src` (its top-left part of w × h) to (x, y) of `dst`, clipped.
void Blit(Bitmap& dst, int x, int y, const uint32_t* src, int srcStride, int w, int h,
          bool skipWhite) {
  const int x0 = std::max(0, x), y0 = std::max(0, y);
  const int x1 = std::min(dst.Width(), x + w), y1 = std::min(dst.Height(), y + h);
  for (int row = y0; row < y1; ++row) {
    const uint32_t* s = src + static_cast<size_t>(row - y) * srcStride + (x0 - x);
    uint32_t* d = dst.Row(row) + x0;
    for (int col = 0; col < x1 - x0; ++col) {
      const uint32_t p = s[col] & 0x00FFFFFF;
      if (!skipWhite || p != 0x00FFFFFF) d[col] = p;
    }
  }
}
}  // namespace

void EventMarkTable::Initialize() {
  for (auto& channel : marks_) {
    for (int m = 0; m < kMarksPerChannel; ++m) {
      EventMark& mark = channel[m];
      mark = EventMark{};
      std::strncpy(mark.name, kMarkNames[m], sizeof mark.name - 1);
      mark.pictureSource = -1;
    }
  }
  changed_ = true;
}

void EventMarkTable::Redraw(Bitmap& overlay, const Bitmap* const* pictures, int pictureCount,
                            platform::TextSurface* text) const {
  overlay.Fill(0x00FFFFFF);
  for (int m = 0; m < kMarksPerChannel; ++m) {
    for (int c = 0; c < kChannels; ++c) {
      const EventMark& mark = marks_[c][m];
      if (mark.kind == 1 && mark.pictureOn == 1 && pictures && mark.pictureSource >= 0 &&
          mark.pictureSource < pictureCount && pictures[mark.pictureSource]) {
        const Bitmap& pic = *pictures[mark.pictureSource];
        Blit(overlay, mark.x, mark.y, pic.Data(), pic.Width(), std::min<int>(mark.width, pic.Width()),
             std::min<int>(mark.height, pic.Height()), false);
      } else if (mark.kind == 2 && mark.textOn == 1 && text) {
        platform::FontSpec font;
        font.name = "Arial";
        font.style = platform::kFontBold;
        font.size = mark.fontSize > 0 ? mark.fontSize : 12;
        font.color = static_cast<uint32_t>(mark.textColor) & 0x00FFFFFF;
        text->SetFont(font);
        text->Fill(0x00FFFFFF);
        text->DrawText(0, 0, mark.name);
        Blit(overlay, mark.x, mark.y, text->Pixels(), text->Width(),
             std::min(kTextAreaWidth, text->Width()), std::min(kTextAreaHeight, text->Height()),
             true);
      }
    }
  }
}

}  // namespace tevrano
