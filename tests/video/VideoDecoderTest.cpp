#include <gtest/gtest.h>

#include <cstring>
#include <span>
#include <vector>

#include "base/ByteReader.h"
#include "base/Form.h"
#include "tests/support/TestStream.h"
#include "video/AllocationCounter.h"
#include "video/FakeVideoContext.h"
#include "video/Video.h"
#include "video/VideoDecoder.h"
#include "video/Yuv2.h"

namespace tevrano {
namespace {

using test::EncodeStream;
using test::FakeVideoContext;
using test::MovingSquare;
using test::TestUnit;

// A started video subsystem: decoders 0 and 1 open, buffers made, slot 0
// drawing into the form's video image.
struct OpenVideo {
  TTevranoX form;
  Video video{form};
  FakeVideoContext context;
  std::vector<int> markerHeights;
  OpenVideo() {
    form.Image_video.picture.SetSize(704, 576);
    form.Image2.picture.SetSize(704, 576);
    form.Image2.picture.Fill(0x00FFFFFF);
    EXPECT_EQ(video.Video_Decoder_Open(0), 0);
    EXPECT_EQ(video.Video_Decoder_Open(1), 0);
    EXPECT_TRUE(video.AllocateFrameBuffers());
    video.SetContext(0, &context);
    video.SetMarkerRefresh([this](int h) { markerHeights.push_back(h); });
  }
  void Feed(const TestUnit& u, int slot = 0) {
    if (u.keyFrame) context.keyFrameFlag = true;
    video.Video_Decode_Frame(u.bytes.data(), static_cast<uint32_t>(u.bytes.size()), slot);
  }
  uint32_t Centre() const { return form.Image_video.picture.At(352, 288); }
};

// Pictures from the test encoder, made once for all tests.
const std::vector<TestUnit>& Stream704x576() {
  static const auto units =
      EncodeStream(704, 576, 60, [](int i) { return MovingSquare(704, 576, i); });
  return units;
}
const std::vector<TestUnit>& Stream352x288() {
  static const auto units =
      EncodeStream(352, 288, 30, [](int i) { return MovingSquare(352, 288, i, 150, 60, 200); });
  return units;
}

TEST(VideoDecoder, EveryUnitOfARealStreamIsDrawnInTheSameCall) {
  OpenVideo v;
  const auto& units = Stream704x576();
  ASSERT_TRUE(units.front().keyFrame);
  for (size_t i = 0; i < units.size(); ++i) {
    v.Feed(units[i]);
    // No delay: a unit goes in and its picture is drawn before the call ends.
    ASSERT_EQ(v.video.PicturesShown(), i + 1) << "unit " << i;
  }
  const auto& stats = v.video.Decoder(0).GetStats();
  EXPECT_EQ(stats.picturesOut, units.size());
  EXPECT_EQ(stats.picturesDropped, 0u);
  EXPECT_EQ(v.video.Decoder(0).Pool().Refusals(), 0);
  EXPECT_LE(v.video.Decoder(0).Pool().Created(), PicturePool::kBuffers);
  // The background luma 90 with neutral chroma is drawn grey.
  const uint32_t px = v.form.Image_video.picture.At(20, 20);
  EXPECT_NEAR(int(px & 0xFF), 90 - 1, 4);
  EXPECT_EQ(v.markerHeights.size(), units.size());
}

TEST(VideoDecoder, RepeatedParameterSetsAreGivenToTheDecoderOnce) {
  OpenVideo v;
  const auto& units = Stream704x576();  // I-frames at 0, 25 and 50, each with SPS and PPS
  for (const auto& u : units) v.Feed(u);
  EXPECT_EQ(v.video.Decoder(0).RepeatedParameterSets(), 4u);
  EXPECT_EQ(v.video.PicturesShown(), units.size());
  // A different stream brings new ones, and the first stream's come back.
  for (int i = 0; i < 3; ++i) v.Feed(Stream352x288()[i]);
  v.Feed(units[0]);
  EXPECT_EQ(v.video.Decoder(0).RepeatedParameterSets(), 4u);
  EXPECT_EQ(v.video.PicturesShown(), units.size() + 4);
}

TEST(VideoDecoder, PlanesAreAlignedTo64Bytes) {
  OpenVideo v;
  v.Feed(Stream704x576()[0]);
  const VideoPicture& p = v.video.Decoder(0).Picture();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p.planes[i]) % 64, 0u) << i;
    EXPECT_EQ(p.strides[i] % 64, 0) << i;
  }
  EXPECT_EQ(p.width, 704);
  EXPECT_EQ(p.height, 576);
}

TEST(VideoDecoder, NothingHappensWithoutUsableInput) {
  OpenVideo v;
  const auto& key = Stream704x576()[0];
  v.video.Video_Decode_Frame(nullptr, 100, 0);
  v.video.Video_Decode_Frame(key.bytes.data(), 0, 0);
  v.video.Video_Decode_Frame(key.bytes.data(), uint32_t(key.bytes.size()), 3);
  EXPECT_EQ(v.video.Decoder(0).GetStats().unitsIn, 0u);
  EXPECT_TRUE(v.markerHeights.empty());
  // Slot 2 is never opened: the call returns without effect.
  v.video.Video_Decode_Frame(key.bytes.data(), uint32_t(key.bytes.size()), 2);
  EXPECT_FALSE(v.video.Decoder(2).IsOpen());
  EXPECT_EQ(v.video.PicturesShown(), 0u);
}

TEST(VideoDecoder, DecodingWaitsForTheFrameBuffers) {
  TTevranoX form;
  Video video{form};
  FakeVideoContext context;
  video.SetContext(0, &context);
  ASSERT_EQ(video.Video_Decoder_Open(0), 0);
  const auto& key = Stream704x576()[0];
  video.Video_Decode_Frame(key.bytes.data(), uint32_t(key.bytes.size()), 0);
  EXPECT_EQ(video.Decoder(0).GetStats().unitsIn, 0u);
}

TEST(VideoDecoder, AMissingDecoderFailsToOpen) {
  TTevranoX form;
  Video video{form};
  video.UseDecoder("no-such-decoder");
  EXPECT_EQ(video.Video_Decoder_Open(0), -1);
  EXPECT_EQ(video.Video_Decoder_Open(7), -1);
}

TEST(VideoDecoder, APFrameFirstGivesNothingUntilAnIFrame) {
  OpenVideo v;
  const auto& units = Stream704x576();
  for (int i = 1; i < 5; ++i) v.Feed(units[i]);
  EXPECT_EQ(v.video.PicturesShown(), 0u);
  v.Feed(units[25]);  // the second I-frame
  EXPECT_EQ(v.video.PicturesShown(), 1u);
  v.Feed(units[26]);
  EXPECT_EQ(v.video.PicturesShown(), 2u);
}

TEST(VideoDecoder, ResolutionChangeIsDrawnWithoutReopening) {
  OpenVideo v;
  const auto& big = Stream704x576();
  const auto& small = Stream352x288();
  for (int i = 0; i < 5; ++i) v.Feed(big[i]);
  for (int i = 0; i < 5; ++i) v.Feed(small[i]);
  EXPECT_EQ(v.video.Decoder(0).outWidth, 352);
  EXPECT_EQ(v.video.Display().LastLayout().src_width, 352);
  EXPECT_TRUE(v.video.Display().LastLayout().scaled);
  // Luma 150, Cb 60, Cr 200 is a red colour; enlarged to fill the area.
  const uint32_t px = v.form.Image_video.picture.At(20, 20);
  EXPECT_GT(int(px >> 16 & 0xFF), 200);
  for (int i = 25; i < 30; ++i) v.Feed(big[i]);
  EXPECT_EQ(v.video.Decoder(0).outWidth, 704);
  EXPECT_EQ(v.video.PicturesShown(), 15u);
}

TEST(VideoDecoder, EveryIFrameReestablishesTheOutputSize) {
  OpenVideo v;
  const auto& units = Stream704x576();
  v.Feed(units[0]);
  v.Feed(units[1]);
  EXPECT_TRUE(v.video.Decoder(0).configured);
  v.context.keyFrameFlag = true;
  VideoDecoder& d = v.video.Decoder(0);
  d.configured = false;
  v.Feed(units[2]);
  EXPECT_TRUE(d.configured);
  EXPECT_FALSE(v.context.keyFrameFlag);  // taken by the decode call
}

TEST(VideoDecoder, TrailingPaddingAndOverlongLengthsAreCutOff) {
  const uint8_t unit[] = {0, 0, 0, 2, 0x65, 0x88, 0, 0, 0, 3, 1, 2, 3, 0xAA, 0xBB};
  EXPECT_EQ(VideoDecoder::WholeNalBytes(unit, sizeof unit), 13u);
  const uint8_t overlong[] = {0, 0, 0, 2, 0x65, 0x88, 0x7F, 0xFF, 0xFF, 0xFF, 1};
  EXPECT_EQ(VideoDecoder::WholeNalBytes(overlong, sizeof overlong), 6u);
  EXPECT_EQ(VideoDecoder::WholeNalBytes(overlong, 3), 0u);
  // A real unit padded to a multiple of 64 bytes, as the stream carries it,
  // still decodes.
  OpenVideo v;
  TestUnit padded = Stream704x576()[0];
  padded.bytes.resize((padded.bytes.size() + 63) / 64 * 64 + 64, 0);
  v.Feed(padded);
  EXPECT_EQ(v.video.PicturesShown(), 1u);
}

TEST(VideoDecoder, APictureWithACorruptSliceIsNotDrawn) {
  OpenVideo v;
  const auto& units = Stream704x576();
  for (int i = 0; i < 3; ++i) v.Feed(units[i]);
  const uint32_t before = v.form.Image_video.picture.At(100, 100);
  const uint64_t shown = v.video.PicturesShown();
  // Damage the slice data of the next P-frame in its middle.
  TestUnit broken = units[3];
  for (size_t i = broken.bytes.size() / 3; i < broken.bytes.size() * 2 / 3; ++i)
    broken.bytes[i] ^= 0x5A;
  v.Feed(broken);
  EXPECT_EQ(v.video.PicturesShown(), shown);
  EXPECT_EQ(v.form.Image_video.picture.At(100, 100), before);
  EXPECT_NE(v.video.SliceError(), 0);
  // The next I-frame is drawn normally.
  v.Feed(units[25]);
  EXPECT_EQ(v.video.SliceError(), 0);
  EXPECT_EQ(v.video.PicturesShown(), shown + 1);
}

TEST(VideoDecoder, APictureWhoseLastSliceFailsIsNotDrawn) {
  test::EncoderOptions fourSlices;
  fourSlices.slices = 4;
  const auto units = EncodeStream(
      704, 576, 4, [](int i) { return MovingSquare(704, 576, i); }, fourSlices);
  OpenVideo v;
  v.Feed(units[0]);
  v.Feed(units[1]);
  ASSERT_EQ(v.video.PicturesShown(), 2u);
  // Find the last NAL unit of the next P-frame and damage its slice data.
  TestUnit broken = units[2];
  size_t pos = 0, last = 0;
  while (pos + 4 <= broken.bytes.size()) {
    last = pos;
    const size_t n = size_t(broken.bytes[pos]) << 24 | size_t(broken.bytes[pos + 1]) << 16 |
                     size_t(broken.bytes[pos + 2]) << 8 | broken.bytes[pos + 3];
    pos += 4 + n;
  }
  for (size_t i = last + 7; i < broken.bytes.size(); ++i) broken.bytes[i] = 0xFF;
  v.Feed(broken);
  EXPECT_EQ(v.video.PicturesShown(), 2u);
  EXPECT_NE(v.video.SliceError(), 0);
}

// The units of `unit` up to and including its first slice: the parameter
// sets and the top slice of a picture, as when the packets carrying the
// later slices are lost.
TestUnit FirstSliceOnly(const TestUnit& unit) {
  TestUnit cut;
  cut.keyFrame = unit.keyFrame;
  NalLengthWalker walker(unit.bytes.data(), unit.bytes.size());
  std::span<const uint8_t> body;
  while (walker.Next(body)) {
    const std::span<const uint8_t> whole = walker.LastWithPrefix();
    cut.bytes.insert(cut.bytes.end(), whole.begin(), whole.end());
    const int type = NalUnitType(body);
    if (type == kNalIdr || type == kNalSlice) break;
  }
  return cut;
}

TEST(VideoDecoder, AnIFrameMissingItsLaterSlicesShowsNothingOfAnOlderPicture) {
  test::EncoderOptions fourSlices;
  fourSlices.slices = 4;
  const auto bright = EncodeStream(
      704, 576, 12, [](int i) { return MovingSquare(704, 576, i, 200); }, fourSlices);
  const auto dark = EncodeStream(
      704, 576, 2, [](int i) { return MovingSquare(704, 576, i, 50); }, fourSlices);
  OpenVideo v;
  for (const auto& u : bright) v.Feed(u);  // every pool buffer in use held luma 200
  ASSERT_EQ(v.video.PicturesShown(), bright.size());
  const uint32_t shown = v.form.Image_video.picture.At(20, 500);

  const TestUnit cut = FirstSliceOnly(dark[0]);
  ASSERT_LT(cut.bytes.size(), dark[0].bytes.size());
  v.Feed(cut);
  // The top quarter came; the decoder fills the macroblocks of the lost
  // slices from it, never from the buffer's older picture.
  const VideoPicture& p = v.video.Decoder(0).Picture();
  ASSERT_EQ(p.height, 576);
  for (int y = 144; y < 576; y += 16)
    for (int x = 0; x < 704; x += 32)
      ASSERT_NEAR(p.planes[0][y * p.strides[0] + x], 50, 8) << x << "," << y;
  // Such a picture is not drawn: the older one stays on the screen.
  EXPECT_EQ(v.video.PicturesShown(), bright.size());
  EXPECT_EQ(v.form.Image_video.picture.At(20, 500), shown);
  EXPECT_NE(v.video.SliceError(), 0);
}

TEST(VideoDecoder, PicturesLargerThanTheWorkBuffersAreRefused) {
  OpenVideo v;
  const auto units = EncodeStream(1024, 576, 2, [](int i) { return MovingSquare(1024, 576, i); });
  for (const auto& u : units) v.Feed(u);
  EXPECT_EQ(v.video.PicturesShown(), 0u);
  EXPECT_GT(v.video.Decoder(0).Pool().Refusals(), 0);
  // The slot goes on with pictures it can hold.
  const auto& good = Stream704x576();
  v.Feed(good[0]);
  EXPECT_EQ(v.video.PicturesShown(), 1u);
}

TEST(VideoDecoder, DecodingAndDrawingAllocateNothingInTheControl) {
  OpenVideo v;
  v.video.SetMarkerRefresh(nullptr);
  const auto& units = Stream704x576();
  for (int i = 0; i < 5; ++i) v.Feed(units[i]);
  test::AllocationCounter counter;  // counts every C++ allocation
  for (size_t i = 5; i < units.size(); ++i) v.Feed(units[i]);
  EXPECT_EQ(counter.Count(), 0u);
  EXPECT_EQ(v.video.PicturesShown(), units.size());
}

TEST(VideoDecoder, TheTwoSlotsDecodeIndependently) {
  OpenVideo v;
  FakeVideoContext second;
  v.video.SetContext(1, &second);
  const auto& big = Stream704x576();
  const auto& small = Stream352x288();
  for (int i = 0; i < 4; ++i) {
    v.Feed(big[i], 0);
    v.Feed(small[i], 1);
  }
  EXPECT_EQ(v.video.Decoder(0).GetStats().picturesOut, 4u);
  EXPECT_EQ(v.video.Decoder(1).GetStats().picturesOut, 4u);
  EXPECT_EQ(v.video.Decoder(1).outWidth, 352);
  EXPECT_EQ(v.video.Decoder(0).outWidth, 704);
}

}  // namespace
}  // namespace tevrano
