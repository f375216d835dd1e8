#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "control/NoVideoPicture.h"
#include "control/PictureDimming.h"
#include "control/TevranoApi.h"
#include "control/TevranoImpl1.h"
#include "control/VideoState.h"
#include "platform/fake/FakePlatform.h"
#include "tests/support/TestStream.h"
#include "tests/video/AllocationCounter.h"

namespace tevrano {
namespace {

using Change = VideoStateMonitor::Change;

// A logged-in viewer of a sixteen-camera recorder showing camera 1 live.
VideoStateInputs LiveView() {
  VideoStateInputs in;
  in.loggedIn = true;
  in.recorderKnown = true;
  in.mode = 0;
  in.page = 0;
  in.layout = 0;
  in.channelCount = 16;
  in.playbackState = 1;
  return in;
}

TEST(VideoStateMonitor, PicturesAreExpectedOnlyWhereAViewShouldShowThem) {
  struct Case {
    const char* what;
    void (*change)(VideoStateInputs&);
    bool expected;
  };
  const Case cases[] = {
      {"live, camera 1", [](VideoStateInputs&) {}, true},
      {"live, sixteen-way", [](VideoStateInputs& in) { in.layout = 22; }, true},
      {"live, quad 13-16 of a sixteen-camera recorder",
       [](VideoStateInputs& in) { in.layout = 19; }, true},
      {"live, quad 5-8 of a four-camera recorder: every cell empty",
       [](VideoStateInputs& in) { in.layout = 17, in.channelCount = 4; }, false},
      {"live, camera 9 of an eight-camera recorder",
       [](VideoStateInputs& in) { in.layout = 8, in.channelCount = 8; }, false},
      {"live, 1-8 of an eight-camera recorder",
       [](VideoStateInputs& in) { in.layout = 18, in.channelCount = 8; }, true},
      {"live, sixteen-way of a four-camera recorder: some cells empty",
       [](VideoStateInputs& in) { in.layout = 22, in.channelCount = 4; }, true},
      {"live, nine-way 10-16 and 1-2 of a four-camera recorder",
       [](VideoStateInputs& in) { in.layout = 21, in.channelCount = 4; }, true},
      {"playback paused", [](VideoStateInputs& in) { in.mode = 1, in.page = 1; }, false},
      {"playback playing",
       [](VideoStateInputs& in) { in.mode = 1, in.page = 1, in.playbackState = 2; }, true},
      {"playback backwards",
       [](VideoStateInputs& in) { in.mode = 1, in.page = 1, in.playbackState = 0; }, true},
      {"playback of a camera the recorder lacks",
       [](VideoStateInputs& in) {
         in.mode = 1, in.page = 1, in.playbackState = 2, in.playbackChannel = 5,
         in.channelCount = 4;
       },
       false},
      {"backup page", [](VideoStateInputs& in) { in.mode = 2, in.page = 2; }, false},
      {"setup page", [](VideoStateInputs& in) { in.mode = 3, in.page = 3; }, false},
      {"settings tabs over the live view", [](VideoStateInputs& in) { in.settingsShown = true; },
       false},
      {"picture held (FREEZE)", [](VideoStateInputs& in) { in.pictureHeld = true; }, false},
      {"recorder never known", [](VideoStateInputs& in) { in.recorderKnown = false; }, false},
      {"live page while the view is still in playback",
       [](VideoStateInputs& in) { in.mode = 1, in.playbackState = 2; }, false},
      {"link lost after the recorder was known", [](VideoStateInputs& in) { in.loggedIn = false; },
       true},
  };
  for (const Case& c : cases) {
    VideoStateInputs in = LiveView();
    c.change(in);
    EXPECT_EQ(VideoStateMonitor::ExpectsPictures(in), c.expected) << c.what;
  }
}

// Steps the monitor as the main loop does, every 10 ms, with a picture every
// `pictureEveryMs` (0: none), the last one in the span's last run.
struct Timeline {
  VideoStateMonitor monitor;
  VideoStateInputs in = LiveView();
  std::vector<Change> changes;

  explicit Timeline(uint32_t startMs = 1000) { in.nowMs = startMs; }
  void Run(uint32_t ms, uint32_t pictureEveryMs = 0) {
    for (uint32_t t = 0; t < ms; t += 10) {
      in.nowMs += 10;
      // The last run of the span draws a picture.
      const uint32_t period = pictureEveryMs / 10;
      if (period && (t / 10) % period == period - 1) ++in.picturesShown;
      if (const Change c = monitor.Step(in); c != Change::kNone) changes.push_back(c);
    }
  }
};

TEST(VideoStateMonitor, FiveSecondsWithoutAPictureIsNoVideoAndOnePictureEndsIt) {
  Timeline t;
  t.Run(2000, 40);
  EXPECT_EQ(t.monitor.State(), VideoState::kLoggedIn);
  t.Run(4990);
  EXPECT_FALSE(t.monitor.Frozen());
  EXPECT_EQ(t.monitor.SecondsWithoutPicture(t.in.nowMs), 4u);
  t.Run(20);
  EXPECT_TRUE(t.monitor.Frozen());
  EXPECT_EQ(t.monitor.State(), VideoState::kNoVideo);
  EXPECT_STREQ(VideoStateText(t.monitor.State()), "no video");
  t.Run(60000);
  EXPECT_EQ(t.monitor.SecondsWithoutPicture(t.in.nowMs), 65u);
  EXPECT_EQ(t.changes, std::vector<Change>{Change::kFroze});  // once, not once a run
  // One picture clears it at once.
  ++t.in.picturesShown;
  t.in.nowMs += 10;
  EXPECT_EQ(t.monitor.Step(t.in), Change::kPicturesBack);
  EXPECT_EQ(t.monitor.State(), VideoState::kLoggedIn);
  EXPECT_EQ(t.monitor.SecondsWithoutPicture(t.in.nowMs), 0u);
}

TEST(VideoStateMonitor, TheStatesReadConnectingLoggedInAndNoVideo) {
  Timeline t;
  t.in.loggedIn = false;
  t.Run(100);
  EXPECT_STREQ(VideoStateText(t.monitor.State()), "connecting");
  t.in.loggedIn = true;
  t.Run(100, 40);
  EXPECT_STREQ(VideoStateText(t.monitor.State()), "logged in");
  t.Run(6000);
  EXPECT_STREQ(VideoStateText(t.monitor.State()), "no video");
  // The link goes: the picture stays frozen, the link is what the state says.
  t.in.loggedIn = false;
  t.Run(10);
  EXPECT_TRUE(t.monitor.Frozen());
  EXPECT_STREQ(VideoStateText(t.monitor.State()), "connecting");
}

TEST(VideoStateMonitor, AViewThatShouldShowNoPicturesNeverFreezes) {
  Timeline t;
  t.in.mode = 1, t.in.page = 1;  // playback, paused
  t.Run(60000);
  t.in.mode = 3, t.in.page = 3;  // setup
  t.Run(60000);
  t.in.mode = 0, t.in.page = 0, t.in.layout = 17, t.in.channelCount = 4;
  t.Run(60000);
  EXPECT_TRUE(t.changes.empty());
  EXPECT_EQ(t.monitor.State(), VideoState::kLoggedIn);
}

TEST(VideoStateMonitor, AViewChangeGivesTheNewViewItsOwnFiveSeconds) {
  Timeline t;
  t.Run(1000, 40);
  t.Run(4000);
  t.in.layout = 22;  // four seconds after the last picture
  t.Run(4900);
  EXPECT_FALSE(t.monitor.Frozen());
  t.Run(200);
  EXPECT_TRUE(t.monitor.Frozen());
  // Frozen, a further view change keeps it so until a picture comes.
  t.in.layout = 16;
  t.Run(1000);
  EXPECT_TRUE(t.monitor.Frozen());
}

TEST(VideoStateMonitor, PausingAFrozenPlaybackEndsItAndPlayingCountsAfresh) {
  Timeline t;
  t.in.mode = 1, t.in.page = 1, t.in.playbackState = 2;
  t.Run(1000, 40);
  t.Run(5100);
  ASSERT_TRUE(t.monitor.Frozen());
  t.in.playbackState = 1;
  t.Run(10);
  EXPECT_EQ(t.changes.back(), Change::kNoLongerExpected);
  EXPECT_EQ(t.monitor.State(), VideoState::kLoggedIn);
  t.Run(30000);
  t.in.playbackState = 3;
  t.Run(4900);
  EXPECT_FALSE(t.monitor.Frozen());
  t.Run(200);
  EXPECT_TRUE(t.monitor.Frozen());
}

TEST(VideoStateMonitor, TheTickCounterWrappingChangesNothing) {
  Timeline t(0xFFFFFFFFu - 2000);
  t.Run(1000, 40);
  t.Run(4900);  // across the wrap
  EXPECT_FALSE(t.monitor.Frozen());
  t.Run(200);
  EXPECT_TRUE(t.monitor.Frozen());
  EXPECT_EQ(t.monitor.SecondsWithoutPicture(t.in.nowMs), 5u);
}

TEST(PictureDimming, EachComponentBecomesThreeEighthsOfItself) {
  std::vector<uint32_t> pixels;
  for (uint32_t v : {0u, 1u, 7u, 8u, 60u, 128u, 200u, 255u})
    for (uint32_t top : {0u, 0xFFu}) pixels.push_back(top << 24 | v << 16 | (255 - v) << 8 | v / 2);
  std::vector<uint32_t> dimmed = pixels;
  DimPixels(dimmed.data(), dimmed.size());
  for (size_t i = 0; i < pixels.size(); ++i) {
    for (int shift : {0, 8, 16}) {
      const uint32_t c = pixels[i] >> shift & 0xFF;
      EXPECT_EQ(dimmed[i] >> shift & 0xFF, c / 4 + c / 8) << std::hex << pixels[i];
    }
    EXPECT_EQ(dimmed[i] >> 24, 0u);
  }
}

// The control itself: a logged-in viewer showing camera 1 live, fed with
// decoded pictures, its main loop run every 10 ms on the stepped clock.
class VideoStateControlTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kDesignedGreen = 0x0020C040;

  VideoStateControlTest() {
    control.ActiveFormCreate();
    TTevranoX& form = control.Form();
    // The indicator as designed (the test has no data folder).
    form.Image_Conn.picture.SetSize(8, 12);
    form.Image_Conn.picture.Fill(kDesignedGreen);
    control.Net().Context(0).LoggedIn = 1;
    control.OnScreen().SetUpRecorder(16, 0, 0);
    for (int kind = 0; kind < 2; ++kind)
      control.Streams().Stream().RegisterPictureOutput(0, "127.0.0.2", 8000, 0, kind,
                                                       &form.Image_video, &form.Label_time, 0, 0);
    units = test::EncodeStream(352, 288, 50,
                               [](int i) { return test::MovingSquare(352, 288, i, 100, 90, 170); });
  }
  void Run(uint32_t ms, bool pictures = false) {
    for (uint32_t t = 0; t < ms; t += 10) {
      if (pictures && t % 40 == 0) {
        const test::TestUnit& u = units[next++ % units.size()];
        control.GetVideo().Video_Decode_Frame(u.bytes.data(), uint32_t(u.bytes.size()), 0);
      }
      fakes.clock.AdvanceMs(10);
      control.Timer1Timer();
    }
  }
  std::string Caption() { return control.Form().Label_time.caption; }
  const Bitmap& Video() { return control.Form().Image_video.picture; }
  std::string State() {
    TevranoScriptingView view{};
    TevranoX_GetScriptingView(reinterpret_cast<TevranoXHandle*>(&control), &view);
    return view.videoState;
  }

  platform::FakePlatform fakes;
  TevranoX control{fakes.platform()};
  std::vector<test::TestUnit> units;
  size_t next = 0;
};

TEST_F(VideoStateControlTest, AFrozenPictureIsDimmedLabelledAndSaidUntilPicturesComeBack) {
  Run(2000, true);
  ASSERT_GT(control.GetVideo().PicturesShown(), 10u);
  EXPECT_EQ(State(), "logged in");
  const std::string timeLabel = Caption();
  EXPECT_NE(timeLabel, NoVideoPicture::kText);
  EXPECT_EQ(control.Form().Image_Conn.picture.At(4, 6), kDesignedGreen);
  const Bitmap before = Video();

  Run(4900);
  EXPECT_EQ(State(), "logged in");
  EXPECT_EQ(Caption(), timeLabel);
  Run(200);
  EXPECT_EQ(State(), "no video");
  EXPECT_EQ(Caption(), NoVideoPicture::kText);
  EXPECT_TRUE(control.Form().Label_time.visible);
  // Dimmed in place, outside the label in the middle.
  const int w = Video().Width(), h = Video().Height();
  for (const auto& [x, y] : {std::pair{0, 0}, {w / 2, 40}, {w - 1, h - 1}, {40, h / 2}}) {
    const uint32_t p = before.At(x, y);
    uint32_t dim = p;
    DimPixels(&dim, 1);
    EXPECT_EQ(Video().At(x, y), dim) << x << "," << y;
  }
  // The label: white text over the middle of the picture.
  int white = 0;
  for (int y = h / 2 - 40; y < h / 2 + 40; ++y)
    for (int x = w / 2 - 160; x < w / 2 + 160; ++x) white += Video().At(x, y) == 0x00FFFFFF;
  EXPECT_GT(white, 100);
  // The indicator turns amber.
  const uint32_t amber = control.Form().Image_Conn.picture.At(4, 6);
  EXPECT_NE(amber, kDesignedGreen);
  EXPECT_GT(amber >> 16 & 0xFF, amber & 0xFF);

  // Many seconds on, nothing more is drawn and nothing allocated per run.
  const uint32_t revision = control.Form().Image_video.revision;
  {
    test::AllocationCounter counter;
    for (int i = 0; i < 300; ++i) {
      fakes.clock.AdvanceMs(10);
      control.Timer1Timer();
    }
    EXPECT_EQ(counter.Count(), 0u);
  }
  EXPECT_EQ(control.Form().Image_video.revision, revision);

  // A picture ends it at once: the new picture, its time label, green again.
  Run(10, true);
  EXPECT_EQ(State(), "logged in");
  EXPECT_NE(Caption(), NoVideoPicture::kText);
  white = 0;
  for (int y = h / 2 - 40; y < h / 2 + 40; ++y)
    for (int x = w / 2 - 160; x < w / 2 + 160; ++x) white += Video().At(x, y) == 0x00FFFFFF;
  EXPECT_EQ(white, 0);
  // The new picture (its square moved on), not the one saved at the freeze.
  ASSERT_EQ(Video().Width(), before.Width());
  EXPECT_NE(std::memcmp(Video().Data(), before.Data(),
                        size_t(before.Width()) * before.Height() * sizeof(uint32_t)),
            0);
  EXPECT_EQ(control.Form().Image_Conn.picture.At(4, 6), kDesignedGreen);
}

TEST_F(VideoStateControlTest, TheSettingsTabsOverAFrozenPictureGiveItBackAsItWas) {
  Run(1000, true);
  const Bitmap before = Video();
  const std::string timeLabel = Caption();
  Run(5100);
  ASSERT_EQ(State(), "no video");
  control.Form().PageControl1.SetVisible(true);
  Run(10);
  EXPECT_EQ(State(), "logged in");
  EXPECT_EQ(Caption(), timeLabel);
  ASSERT_EQ(Video().Width(), before.Width());
  EXPECT_EQ(std::memcmp(Video().Data(), before.Data(),
                        size_t(before.Width()) * before.Height() * sizeof(uint32_t)),
            0);
  Run(30000);
  EXPECT_EQ(State(), "logged in");
}

// The link goes while the picture is frozen: the state says "connecting",
// the picture stays dimmed under its label until the pictures come back
// after the new login.
TEST_F(VideoStateControlTest, ALostLinkKeepsTheFrozenPictureUntilPicturesComeBack) {
  Run(1000, true);
  Run(5100);
  ASSERT_EQ(State(), "no video");
  const uint32_t revision = control.Form().Image_video.revision;
  control.Net().Context(0).LoggedIn = 0;
  Run(3000);
  EXPECT_EQ(State(), "connecting");
  EXPECT_EQ(Caption(), NoVideoPicture::kText);
  EXPECT_EQ(control.Form().Image_video.revision, revision);
  control.Net().Context(0).LoggedIn = 1;
  Run(10);
  EXPECT_EQ(State(), "no video");
  Run(10, true);
  EXPECT_EQ(State(), "logged in");
  EXPECT_NE(Caption(), NoVideoPicture::kText);
}

TEST_F(VideoStateControlTest, AHeldPictureIsNotAFrozenOne) {
  Run(1000, true);
  control.GetVideo().HoldPicture(true);
  Run(20000, true);
  EXPECT_EQ(State(), "logged in");
  EXPECT_NE(Caption(), NoVideoPicture::kText);
}

TEST_F(VideoStateControlTest, BeforeTheLoginTheStateIsConnectingAndTheIndicatorGrey) {
  control.Net().Context(0).LoggedIn = 0;
  Run(10);
  EXPECT_EQ(State(), "connecting");
  const uint32_t grey = control.Form().Image_Conn.picture.At(4, 6);
  EXPECT_NE(grey, kDesignedGreen);
  EXPECT_EQ(grey >> 16 & 0xFF, grey & 0xFF);
  EXPECT_EQ(grey >> 8 & 0xFF, grey & 0xFF);
}

}  // namespace
}  // namespace tevrano
