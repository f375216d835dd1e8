#include <gtest/gtest.h>

#include <vector>

#include "base/Form.h"
#include "tests/support/TestStream.h"
#include "video/AllocationCounter.h"
#include "video/FakeVideoContext.h"
#include "video/Video.h"
#include "video/Yuv2.h"
#include "video/YuvToRgb.h"

namespace tevrano {
namespace {

using test::FakeVideoContext;
using test::TestPicture;

constexpr uint32_t kGrey = 0xFF3C3C3C;
constexpr uint32_t kUntouched = 0x00ABCDEF;

// The display of slot 0 with its buffers made and the video image filled
// with a colour no picture produces.
struct Display {
  TTevranoX form;
  Video video{form};
  FakeVideoContext context;
  Display() {
    form.Image_video.picture.SetSize(704, 576);
    form.Image2.picture.SetSize(704, 576);
    form.Image2.picture.Fill(0x00FFFFFF);
    EXPECT_TRUE(video.AllocateFrameBuffers());
    form.Image_video.picture.Fill(kUntouched);
    video.SetContext(0, &context);
  }
  void Show(const TestPicture& p) {
    video.Video_Show_Picture(p.y.data(), p.u.data(), p.v.data(), p.width, p.width / 2, p.width,
                             p.height);
  }
  const Bitmap& Image() const { return form.Image_video.picture; }
};

TEST(Yuv2, A704x576PictureIsDrawnOneToOneWithoutBars) {
  Display d;
  TestPicture p(704, 576, 100, 90, 170);
  p.y[0] = 10;
  p.y[575 * 704 + 703] = 250;
  d.Show(p);
  EXPECT_EQ(d.Image().At(0, 0), YuvPixel(10, 90, 170));
  EXPECT_EQ(d.Image().At(703, 575), YuvPixel(250, 90, 170));
  EXPECT_EQ(d.Image().At(352, 288), YuvPixel(100, 90, 170));
  EXPECT_FALSE(d.form.Image_video.enabled);
}

TEST(Yuv2, EachPairOfRowsTakesItsOwnChromaRow) {
  Display d;
  TestPicture p(704, 576, 100, 128, 128);
  for (int x = 0; x < 352; ++x) p.v[1 * 352 + x] = 220;  // chroma row 1 only
  d.Show(p);
  EXPECT_EQ(d.Image().At(10, 1), YuvPixel(100, 128, 128));
  EXPECT_EQ(d.Image().At(10, 2), YuvPixel(100, 128, 220));
  EXPECT_EQ(d.Image().At(10, 3), YuvPixel(100, 128, 220));
  EXPECT_EQ(d.Image().At(10, 4), YuvPixel(100, 128, 128));
}

TEST(Yuv2, A704x480PictureGets48RowGreyBarsAboveAndBelow) {
  Display d;
  d.Show(TestPicture(704, 480, 100, 128, 128));
  for (int y : {0, 47, 528, 575}) EXPECT_EQ(d.Image().At(300, y), kGrey) << y;
  for (int y : {48, 527}) EXPECT_EQ(d.Image().At(300, y), YuvPixel(100, 128, 128)) << y;
}

TEST(Yuv2, A704x288PictureIsLineDoubledTo576Rows) {
  Display d;
  TestPicture p(704, 288, 40, 128, 128);
  for (int x = 0; x < 704; ++x) p.y[287 * 704 + x] = 200;  // last source row
  d.Show(p);
  EXPECT_TRUE(d.video.Display().LastLayout().line_double);
  EXPECT_EQ(d.Image().At(100, 0), YuvPixel(40, 128, 128));
  EXPECT_EQ(d.Image().At(100, 572), YuvPixel(40, 128, 128));
  EXPECT_EQ(d.Image().At(100, 573), YuvPixel(120, 128, 128));  // between 40 and 200
  EXPECT_EQ(d.Image().At(100, 574), YuvPixel(200, 128, 128));
  EXPECT_EQ(d.Image().At(100, 575), YuvPixel(200, 128, 128));  // last row repeated
}

TEST(Yuv2, A352x288PictureIsEnlargedBilinearlyToTheWholeArea) {
  Display d;
  d.context.mode = 1;
  d.context.fieldCoded = true;  // still never line-processed
  TestPicture p(352, 288, 50, 128, 128);
  for (int y = 0; y < 288; ++y)
    for (int x = 176; x < 352; ++x) p.y[y * 352 + x] = 150;
  d.Show(p);
  const FrameLayout& l = d.video.Display().LastLayout();
  EXPECT_TRUE(l.scaled);
  EXPECT_FALSE(l.line_double || l.deinterlace);
  EXPECT_EQ(d.Image().At(0, 0), YuvPixel(50, 128, 128));
  EXPECT_EQ(d.Image().At(349, 575), YuvPixel(50, 128, 128));
  EXPECT_EQ(d.Image().At(351, 300), YuvPixel(100, 128, 128));  // halfway sample
  EXPECT_EQ(d.Image().At(352, 300), YuvPixel(150, 128, 128));
  EXPECT_EQ(d.Image().At(703, 575), YuvPixel(150, 128, 128));
}

TEST(Yuv2, AWidePictureFillsTheWideAreaAndTheNarrowOverlayStaysInItsWidth) {
  Display d;
  d.context.wide = true;
  d.form.Image2.picture.Row(10)[703] = 0x00FF0000;
  d.form.Image2.Invalidate();
  d.Show(TestPicture(960, 576, 120, 128, 128));
  ASSERT_EQ(d.Image().Width(), 960);
  EXPECT_EQ(d.Image().At(703, 10), 0x00FF0000u);
  EXPECT_EQ(d.Image().At(704, 10), YuvPixel(120, 128, 128));
  EXPECT_EQ(d.Image().At(959, 575), YuvPixel(120, 128, 128));
}

TEST(Yuv2, AHalfWidePictureIsLineDoubledAndEnlargedToTheWideArea) {
  Display d;
  d.context.wide = true;
  TestPicture p(480, 288, 50, 100, 200);
  for (int y = 0; y < 288; ++y)
    for (int x = 240; x < 480; ++x) p.y[y * 480 + x] = 150;
  for (int y = 72; y < 144; ++y)
    for (int x = 0; x < 240; ++x) p.u[y * 240 + x] = 30;  // bottom half: another colour
  d.Show(p);
  const FrameLayout& l = d.video.Display().LastLayout();
  EXPECT_TRUE(l.line_double && l.scaled);
  ASSERT_EQ(d.Image().Width(), 960);
  EXPECT_EQ(d.Image().At(0, 0), YuvPixel(50, 100, 200));
  EXPECT_EQ(d.Image().At(470, 100), YuvPixel(50, 100, 200));
  EXPECT_EQ(d.Image().At(959, 100), YuvPixel(150, 100, 200));
  EXPECT_EQ(d.Image().At(959, 575), YuvPixel(150, 30, 200));
}

TEST(Yuv2, APictureWiderThanTheImageIsClippedToIt) {
  Display d;  // the narrow area while a 960-wide picture arrives
  d.Show(TestPicture(960, 576, 120, 128, 128));
  EXPECT_EQ(d.Image().Width(), 704);
  EXPECT_EQ(d.Image().At(703, 575), YuvPixel(120, 128, 128));
}

TEST(Yuv2, WidthsThatAreNotAMultipleOf32DrawAllTheirColumns) {
  Display d;
  TestPicture p(688, 576, 60, 128, 128);
  for (int y = 0; y < 576; ++y) p.y[y * 688 + 687] = 230;
  d.Show(p);
  EXPECT_EQ(d.video.Display().LastLayout().x_offset, 8);
  EXPECT_EQ(d.Image().At(7, 100), kGrey);
  EXPECT_EQ(d.Image().At(8, 100), YuvPixel(60, 128, 128));
  EXPECT_EQ(d.Image().At(8 + 687, 100), YuvPixel(230, 128, 128));
  EXPECT_EQ(d.Image().At(8 + 688, 100), kGrey);
  EXPECT_EQ(d.Image().At(703, 100), kGrey);
}

TEST(Yuv2, OverlayWhiteWithTopByteZeroLetsTheVideoThrough) {
  Display d;
  uint32_t* row = d.form.Image2.picture.Row(200);
  row[10] = 0xFFFFFFFF;
  row[11] = 0x000000FF;
  d.form.Image2.Invalidate();
  d.Show(TestPicture(704, 576, 100, 128, 128));
  EXPECT_EQ(d.Image().At(9, 200), YuvPixel(100, 128, 128));
  EXPECT_EQ(d.Image().At(10, 200), 0xFFFFFFFFu);
  EXPECT_EQ(d.Image().At(11, 200), 0x000000FFu);
}

TEST(Yuv2, OverlayChangesShowOnTheNextPicture) {
  Display d;
  d.Show(TestPicture(704, 576, 100, 128, 128));
  // A mark drawn between two pictures, then taken away again.
  d.form.Image2.picture.Row(300)[600] = 0x00FF0000;
  d.form.Image2.Invalidate();
  d.Show(TestPicture(704, 576, 100, 128, 128));
  EXPECT_EQ(d.Image().At(600, 300), 0x00FF0000u);
  d.form.Image2.picture.Fill(0x00FFFFFF);
  d.form.Image2.Invalidate();
  d.Show(TestPicture(704, 576, 100, 128, 128));
  EXPECT_EQ(d.Image().At(600, 300), YuvPixel(100, 128, 128));
}

TEST(Yuv2, NothingIsDrawnInSetupWithoutOutputOrWithAFailedSlice) {
  struct Case {
    const char* name;
    int mode;
    bool output;
  } cases[] = {{"Setup", 3, true}, {"FilePlayback", 4, true}, {"no output", 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Display d;
    d.context.mode = c.mode;
    d.context.pictureOutput = c.output;
    d.Show(TestPicture(704, 576, 100, 128, 128));
    EXPECT_EQ(d.Image().At(5, 5), kUntouched);
    EXPECT_EQ(d.video.PicturesShown(), 0u);
  }
  Display d;
  TestPicture tooTall(704, 592, 100, 128, 128);
  d.Show(tooTall);
  TestPicture empty(0, 0, 0, 0, 0);
  d.video.Video_Show_Picture(nullptr, nullptr, nullptr, 0, 0, 0, 576);
  EXPECT_EQ(d.Image().At(5, 5), kUntouched);
}

TEST(Yuv2, TimeLabelsShowThePictureTimeInTheDateOrder) {
  struct Case {
    int order;
    const char* text;
  } cases[] = {{0, "2026/03/07 04:05:09"},
               {1, "07/03/2026 04:05:09"},
               {2, "03/07/2026 04:05:09"},
               {9, "2026/03/07 04:05:09"}};
  for (const Case& c : cases) {
    Display d;
    d.context.label = &d.form.Label_time;
    d.context.time = {2026, 3, 7, 4, 5, 9};
    d.context.dateOrder = c.order;
    d.Show(TestPicture(704, 576, 100, 128, 128));
    EXPECT_EQ(d.form.Label_time.caption, c.text);
  }
}

// A still interlaced picture: the fields differ (even rows dark, odd rows
// bright), as in a recording of a combed scene.
TestPicture Combed() {
  TestPicture p(704, 576, 40, 128, 128);
  for (int y = 1; y < 576; y += 2)
    for (int x = 0; x < 704; ++x) p.y[y * 704 + x] = 200;
  return p;
}

TEST(Yuv2, PlaybackOfAFieldCodedStreamDeinterlacesAndWeavesStillBlocks) {
  Display d;
  d.context.mode = 1;
  d.context.fieldCoded = true;
  const TestPicture p = Combed();
  d.Show(p);
  EXPECT_TRUE(d.video.Display().LastLayout().deinterlace);
  // First picture: the second field is rebuilt from the first.
  EXPECT_EQ(d.Image().At(300, 101), YuvPixel(40, 128, 128));
  // The first difference is against nothing, the second carries the
  // previous picture's second field: still from the third picture on, and
  // still twice by the fourth.
  d.Show(p);
  d.Show(p);
  EXPECT_EQ(d.Image().At(300, 101), YuvPixel(40, 128, 128));
  d.Show(p);
  // Still for two pictures: the second field's own pixels come back.
  EXPECT_EQ(d.video.Display().LastLayout().deinterlace, true);
  EXPECT_EQ(d.Image().At(300, 101), YuvPixel(200, 128, 128));
  EXPECT_EQ(d.Image().At(300, 100), YuvPixel(40, 128, 128));
}

TEST(Yuv2, LiveViewDrawsTheSameStreamWithoutDeinterlacing) {
  Display d;
  d.context.fieldCoded = true;
  d.Show(Combed());
  EXPECT_FALSE(d.video.Display().LastLayout().deinterlace);
  EXPECT_EQ(d.Image().At(300, 101), YuvPixel(200, 128, 128));
}

TEST(Yuv2, DrawingAllocatesNothing) {
  const TestPicture pictures[] = {TestPicture(704, 576, 100, 128, 128),
                                  TestPicture(704, 288, 100, 128, 128),
                                  TestPicture(352, 288, 100, 128, 128), Combed()};
  Display d;
  d.context.label = &d.form.Label_time;
  d.context.mode = 1;
  d.context.fieldCoded = true;
  d.context.wide = true;
  d.Show(pictures[0]);  // first picture: the label's text and the wide area
  d.context.wide = false;
  d.Show(pictures[0]);
  test::AllocationCounter counter;
  for (int round = 0; round < 3; ++round) {
    for (const auto& p : pictures) d.Show(p);
    d.context.wide = !d.context.wide;
  }
  EXPECT_EQ(counter.Count(), 0u);
}

}  // namespace
}  // namespace tevrano
