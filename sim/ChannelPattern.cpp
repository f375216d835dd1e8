#include "ChannelPattern.h"

#include <algorithm>
#include <cmath>

#include "Font5x7.h"

namespace tevrano::sim {

Yuv ToYuv(Rgb c) {
  auto clamp = [](double v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); };
  double r = c.r, g = c.g, b = c.b;
  return {clamp(0.299 * r + 0.587 * g + 0.114 * b),
          clamp(128 - 0.168736 * r - 0.331264 * g + 0.5 * b),
          clamp(128 + 0.5 * r - 0.418688 * g - 0.081312 * b)};
}

int SplitCells(int splitKind) {
  switch (splitKind) {
    case 1:
      return 2;
    case 2:
      return 3;
    case 3:
      return 4;
    default:
      return 1;
  }
}

namespace {

struct Rect {
  int x, y, w, h;
};

void Fill(Picture& pic, Rect r, Yuv c) {
  int x0 = std::max(0, r.x), y0 = std::max(0, r.y);
  int x1 = std::min(pic.width, r.x + r.w), y1 = std::min(pic.height, r.y + r.h);
  for (int y = y0; y < y1; ++y)
    std::fill_n(&pic.y[size_t(y) * pic.width + x0], std::max(0, x1 - x0), c.y);
  const int cw = pic.width / 2;
  for (int y = y0 / 2; y < (y1 + 1) / 2; ++y)
    for (int x = x0 / 2; x < (x1 + 1) / 2; ++x) {
      pic.u[size_t(y) * cw + x] = c.u;
      pic.v[size_t(y) * cw + x] = c.v;
    }
}

// Text with its top-left corner at (x, y), each font pixel s x s.
void Text(Picture& pic, int x, int y, int s, const std::string& text, Yuv c) {
  for (char ch : text) {
    if (const uint8_t* g = Glyph5x7(ch)) {
      for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
          if (g[row] & (0x10 >> col)) Fill(pic, {x + col * s, y + row * s, s, s}, c);
    }
    x += 6 * s;
  }
}

void DrawCell(Picture& pic, Rect r, int channel, bool present, int frame, int loopFrames,
              const std::string& timeText) {
  const Yuv white = ToYuv({235, 235, 235}), black = ToYuv({16, 16, 16});
  if (!present) {
    Fill(pic, r, ToYuv(kAbsentChannelColour));
    return;
  }
  Fill(pic, r, ToYuv(kChannelColours[channel & 15]));

  // The channel number, within the top quarter.
  int s = std::max(1, r.h / 28);
  std::string number = std::to_string(channel + 1);
  int tx = r.x + r.w / 16, ty = r.y + r.h / 16;
  Text(pic, tx + std::max(1, s / 4), ty + std::max(1, s / 4), s, number, black);
  Text(pic, tx, ty, s, number, white);

  // A square sliding to and fro once per loop along the band below 3/4.
  int box = std::max(2, r.h / 8);
  double phase = loopFrames > 0 ? double(frame % loopFrames) / loopFrames : 0;
  double tri = phase < 0.5 ? phase * 2 : 2 - phase * 2;
  int bx = r.x + int(tri * std::max(0, r.w - box));
  Fill(pic, {bx, r.y + r.h * 3 / 4, box, box}, white);
  Fill(pic, {bx + box / 4, r.y + r.h * 3 / 4 + box / 4, box / 2, box / 2}, black);

  // Recorder time and the frame within the loop, in the bottom band.
  int ts = std::max(1, r.h / 144);
  if (7 * ts + 2 < r.h / 8) {
    std::string line = timeText + " " + std::to_string(frame % loopFrames);
    Text(pic, r.x + r.w / 16, r.y + r.h - 9 * ts, ts, line, white);
  }
}

}  // namespace

void DrawChannelPicture(Picture& pic, int channel, int frame, int loopFrames,
                        const std::string& timeText) {
  DrawCell(pic, {0, 0, pic.width, pic.height}, channel, true, frame, loopFrames, timeText);
}

void DrawSplitPicture(Picture& pic, int splitKind, int firstChannel, int channelCount, int frame,
                      int loopFrames, const std::string& timeText) {
  const int n = SplitCells(splitKind);
  Fill(pic, {0, 0, pic.width, pic.height}, ToYuv({0, 0, 0}));
  for (int row = 0; row < n; ++row)
    for (int col = 0; col < n; ++col) {
      int x0 = col * pic.width / n, x1 = (col + 1) * pic.width / n;
      int y0 = row * pic.height / n, y1 = (row + 1) * pic.height / n;
      // 1-pixel black margin on each inner side: 2-pixel lines between cells.
      Rect r{x0 + (col > 0), y0 + (row > 0), x1 - x0 - (col > 0) - (col < n - 1),
             y1 - y0 - (row > 0) - (row < n - 1)};
      int channel = (firstChannel + row * n + col) % 16;
      DrawCell(pic, r, channel, channel < channelCount, frame, loopFrames, timeText);
    }
}

}  // namespace tevrano::sim
