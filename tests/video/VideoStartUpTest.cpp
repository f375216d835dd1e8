#include <gtest/gtest.h>

#include "control/TevranoImpl1.h"
#include "platform/fake/FakePlatform.h"
#include "video/VideoDecoder.h"

namespace tevrano {
namespace {

TEST(VideoStartUp, OpensDecodersZeroAndOneButNeverTwo) {
  platform::FakePlatform fakes;
  TevranoX control{fakes.platform()};
  control.ActiveFormCreate();
  EXPECT_TRUE(control.GetVideo().Decoder(0).Ready());
  EXPECT_TRUE(control.GetVideo().Decoder(1).Ready());
  EXPECT_FALSE(control.GetVideo().Decoder(2).IsOpen());
  EXPECT_EQ(control.Form().Label_time.caption, "Connecting ...");
}

TEST(VideoStartUp, ADecoderThatCannotBeOpenedStopsTheStartUp) {
  platform::FakePlatform fakes;
  TevranoX control{fakes.platform()};
  control.GetVideo().UseDecoder("no-such-decoder");
  control.ActiveFormCreate();
  EXPECT_EQ(control.Form().Label_time.caption, "Decode_File Err");
  EXPECT_FALSE(control.StartUpComplete());
  EXPECT_TRUE(control.Form().Timer1.enabled);  // the loop still runs
}

}  // namespace
}  // namespace tevrano
