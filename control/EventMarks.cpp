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

void EventMarkTable::TakeEventMarkers(const ui::Alarm_list& alarms) {
  for (int c = 0; c < kChannels; ++c) {
    for (int k = 0; k < ui::Alarm_list::kKinds; ++k) {
      const ui::Alarm_list::Marker& m = alarms.MarkerOf(c, k);
      EventMark& mark = marks_[c][k];
      mark.kind = 2;
      mark.textOn = m.state == 2 ? 1 : 0;
      mark.textColor = static_cast<int32_t>(m.color);
      mark.fontSize = m.fontSize;
      mark.x = static_cast<int16_t>(m.x);
      mark.y = static_cast<int16_t>(m.y);
      mark.width = static_cast<int16_t>(m.width);
      mark.height = static_cast<int16_t>(m.height);
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
        Blit(overlay, mark.x, mark.y, pic.Data(), pic.Width(),
             std::min<int>(mark.width, pic.Width()), std::min<int>(mark.height, pic.Height()),
             false);
      } else if (mark.kind == 2 && mark.textOn == 1 && text) {
        platform::FontSpec font;
        font.name = "Arial";
        font.style = platform::kFontBold;
        font.size = mark.fontSize > 0 ? mark.fontSize : 12;
        font.color = static_cast<uint32_t>(mark.textColor) & 0x00FFFFFF;
        text->SetFont(font);
        text->Fill(0x00FFFFFF);
        const int areaW = std::min(kTextAreaWidth, text->Width());
        const int areaH = std::min(kTextAreaHeight, text->Height());
        if (mark.width > 0 && mark.height > 0) {
          // A word wider or taller than its rectangle spreads evenly on both
          // sides of it (within the text area) rather than losing its end.
          const platform::TextExtent e = text->Measure(mark.name);
          const int w = std::min(std::max<int>(mark.width, e.width), areaW);
          const int h = std::min(std::max<int>(mark.height, e.height), areaH);
          text->DrawText(std::max(0, (w - e.width) / 2), std::max(0, (h - e.height) / 2),
                         mark.name);
          Blit(overlay, mark.x - (w - mark.width) / 2, mark.y - (h - mark.height) / 2,
               text->Pixels(), text->Width(), w, h, true);
        } else {
          text->DrawText(0, 0, mark.name);
          Blit(overlay, mark.x, mark.y, text->Pixels(), text->Width(), areaW, areaH, true);
        }
      }
    }
  }
}

}  // namespace tevrano
