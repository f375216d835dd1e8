// The test pictures of the simulator's cameras.
//
// Every channel's picture is a flat field of the channel's own colour with
// the channel number (1-based) large in the top-left quarter, a white square
// that slides to and fro along the lower band, and the recorder's start-up
// time in small figures at the bottom. The centre region, from 3/8 to 5/8 of
// the width and of the height, always holds the flat colour only, so that a
// test can check a viewer's picture there. The split views (channel 16) are
// grids of 2 x 2, 3 x 3 or 4 x 4 cells separated by 2-pixel black lines;
// each cell is its channel's picture drawn at the cell's size (so the centre
// of each cell holds that channel's colour); cells of channels the recorder
// does not have are dark grey (40, 40, 40).
//
// Channel colours (RGB, channel numbers 0-based as on the wire; the pictures
// carry them as full-range BT.601 YCbCr, so a viewer converting without
// black-level offset gets them back within a few steps):
//
//   ch  R   G   B        ch  R   G   B
//    0 200  40  40        8 100 160  30
//    1  40 160  40        9  30 110 110
//    2  40  60 200       10 200 100 130
//    3 210 190  40       11  90  70  40
//    4  40 180 190       12  60  90 140
//    5 180  50 180       13 150 150 150
//    6 230 130  30       14 150 200 120
//    7 120  60 170       15 230 180 140
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tevrano::sim {

struct Rgb {
  uint8_t r, g, b;
};

inline constexpr Rgb kChannelColours[16] = {
    {200, 40, 40},  {40, 160, 40},   {40, 60, 200},   {210, 190, 40},
    {40, 180, 190}, {180, 50, 180},  {230, 130, 30},  {120, 60, 170},
    {100, 160, 30}, {30, 110, 110},  {200, 100, 130}, {90, 70, 40},
    {60, 90, 140},  {150, 150, 150}, {150, 200, 120}, {230, 180, 140},
};
inline constexpr Rgb kAbsentChannelColour = {40, 40, 40};

struct Yuv {
  uint8_t y, u, v;
};
// Full-range BT.601 conversion, rounded.
Yuv ToYuv(Rgb c);

// A planar 4:2:0 picture (width and height even).
struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> y, u, v;
  Picture(int w, int h)
      : width(w), height(h), y(size_t(w) * h), u(size_t(w / 2) * (h / 2)), v(u.size()) {}
};

// Split kinds of the live view record: 1 four, 2 nine, 3 sixteen cells.
int SplitCells(int splitKind);

// Draws frame `frame` of a loop of `loopFrames` frames.
void DrawChannelPicture(Picture& pic, int channel, int frame, int loopFrames,
                        const std::string& timeText);
// The channels of a split view start at firstChannel and wrap after 15;
// channels at or above channelCount are drawn as absent.
void DrawSplitPicture(Picture& pic, int splitKind, int firstChannel, int channelCount, int frame,
                      int loopFrames, const std::string& timeText);

}  // namespace tevrano::sim
