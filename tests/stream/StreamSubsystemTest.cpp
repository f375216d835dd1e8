#include "control/StreamSubsystem.h"

#include <gtest/gtest.h>

#include "base/Form.h"
#include "control/TevranoImpl1.h"
#include "platform/fake/FakePlatform.h"
#include "platform/fake/ManualClock.h"
#include "tests/stream/StreamPackets.h"
#include "tests/support/StartedControl.h"

namespace tevrano {
namespace {

TEST(RecorderTimeTest, PicturesCarryRecorderTimeWithYear2000Of365Days) {
  platform::ManualClock clock;
  TTevranoX form;
  int pacing = 0;
  StreamSystem stream(clock, form, pacing);
  StreamVideoContext video(stream, 0);
  struct Case {
    uint32_t seconds;
    PictureTime t;
  } cases[] = {
      {0, {2000, 1, 1, 0, 0, 0}},
      {59 * 86400 + 3661, {2000, 3, 1, 1, 1, 1}},  // no 29 February in 2000
      {365 * 86400, {2001, 1, 1, 0, 0, 0}},
      {(365 * 4 + 31 + 28) * 86400u, {2004, 2, 29, 0, 0, 0}},
      {0xFFFFFFFF, {2099, 12, 31, 6, 28, 15}},
  };
  for (const Case& c : cases) {
    stream.Connection(0).Timestamp = c.seconds;
    const PictureTime t = video.Time();
    EXPECT_EQ(t.year, c.t.year) << c.seconds;
    EXPECT_EQ(t.month, c.t.month) << c.seconds;
    EXPECT_EQ(t.day, c.t.day) << c.seconds;
    EXPECT_EQ(t.hour, c.t.hour) << c.seconds;
    EXPECT_EQ(t.minute, c.t.minute) << c.seconds;
    EXPECT_EQ(t.second, c.t.second) << c.seconds;
  }
}

TEST(ViewRecordsTest, LayoutOfALiveRecord) {
  struct Case {
    uint32_t split, first, channel;
    int layout;
  } cases[] = {{0, 0, 7, 7},  {1, 0, 0, 16}, {1, 12, 0, 19}, {2, 0, 0, 20},
               {2, 9, 0, 21}, {3, 0, 0, 22}, {0, 0, 99, 0}};
  for (const Case& c : cases) {
    LiveRecord r{};
    r.SplitKind = c.split, r.FirstChannel = c.first, r.Channel = c.channel;
    EXPECT_EQ(LayoutOf(r), c.layout);
  }
}

using test::StartedControl;

TEST(StreamSubsystemTest, StartUpRegistersIcmdAndVidoAfterZellAndLinksTheStreams) {
  StartedControl s;
  ModuleTable& modules = s.control.Net().Modules();
  EXPECT_EQ(modules.Entry(0).Tag, 0x4C4C455Au);  // "ZELL"
  EXPECT_EQ(modules.Entry(1).Tag, IcmdModule::kTag);
  EXPECT_EQ(modules.Entry(2).Tag, VidoModule::kTag);
  RecorderContext& c = s.control.Net().Context(0);
  EXPECT_EQ(c.Stream, &s.control.Streams().Stream().Connection(0));
  ASSERT_NE(c.View, nullptr);
  EXPECT_EQ(c.View->Live.Width, 704u);
  EXPECT_TRUE(c.Stream->MainRing.Allocated());
  EXPECT_EQ(s.control.Status().viewMode, 0);
}

// The view mode comes from the view records; page and layout from the
// on-screen interface (Playback reports its own channel, and layout 18 of an
// eight-channel recorder stays 18 although the records carry 20).
TEST(StreamSubsystemTest, StatusReportsTheViewOfContextZero) {
  struct Case {
    int channels, layout, page, viewMode;
  } cases[] = {
      {16, 6, 1, 1},
      {16, 21, 0, 0},
      {8, 18, 0, 0},
      {16, 3, 2, 2},
  };
  for (const Case& c : cases) {
    StartedControl s;
    ui::Ui& ui = s.control.OnScreen();
    ui.SetUpRecorder(c.channels, 0, 0);
    ui.View_Set(17, 0);  // Live shows another layout first
    ui.View_Set(c.layout, c.page);
    const ControlStatus st = s.control.Status();
    EXPECT_EQ(st.viewMode, c.viewMode) << c.layout;
    EXPECT_EQ(st.page, c.page) << c.layout;
    EXPECT_EQ(st.layout, c.layout) << c.layout;
  }
}

TEST(StreamSubsystemTest, StreamBytesFromTheSocketAreParsedInTheMainLoop) {
  StartedControl s;
  StreamSystem& stream = s.control.Streams().Stream();
  s.control.Net().Link().StreamState = 2;
  auto packet = test::FrameBytes(test::PacketSpec{});
  s.control.Net().Hooks().FeedStream(packet.data(), uint32_t(packet.size()));
  EXPECT_EQ(s.control.Net().Link().StreamState, 3u);
  s.control.Timer1Timer();
  EXPECT_TRUE(stream.Connection(0).MainRing.Empty());
  EXPECT_TRUE(stream.Picture().keyFrameSeen);
  EXPECT_EQ(stream.Picture().width, 704u);
}

TEST(StreamSubsystemTest, TheDecoderSlotsReadTheirStreamThroughTheVideoContext) {
  StartedControl s;
  StreamSystem& stream = s.control.Streams().Stream();
  StreamVideoContext video(stream, 0);
  EXPECT_FALSE(video.HasPictureOutput());
  TTevranoX& form = s.control.Form();
  ASSERT_EQ(stream.RegisterPictureOutput(0, "10.0.0.9", 80, 0, 0, &form.Image_video,
                                         &form.Label_time, 0, 0),
            0);
  ASSERT_EQ(
      stream.RegisterPictureOutput(0, "10.0.0.9", 80, 3, 1, &form.Image_video, &form.Label1, 0, 0),
      0);
  EXPECT_TRUE(video.HasPictureOutput());
  Label* labels[4] = {};
  ASSERT_EQ(video.TimeLabels(0, labels, 4), 1);
  EXPECT_EQ(labels[0], &form.Label_time);
  ASSERT_EQ(video.TimeLabels(1, labels, 4), 1);
  EXPECT_EQ(labels[0], &form.Label1);

  stream.Connection(0).KeyFrameInBuffer = 1;
  EXPECT_TRUE(video.TakeKeyFrameFlag());
  EXPECT_FALSE(video.TakeKeyFrameFlag());
  stream.Connection(0).Timestamp = 365 * 86400 + 3600;
  EXPECT_EQ(video.Time().year, 2001);
  EXPECT_EQ(video.Time().hour, 1);
}

}  // namespace
}  // namespace tevrano
