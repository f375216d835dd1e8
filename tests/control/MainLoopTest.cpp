#include <gtest/gtest.h>

#include "control/TevranoImpl1.h"
#include "platform/fake/FakePlatform.h"
#include "tests/stream/StreamPackets.h"
#include "view/ViewRecords.h"

namespace tevrano {
namespace {

// Runs the main loop as the host does: one run, then 10 ms, again.
class MainLoopTest : public ::testing::Test {
 protected:
  MainLoopTest() { control.ActiveFormCreate(); }
  void RunFor(uint32_t ms) {
    for (uint32_t t = 0; t < ms; t += 10) {
      fakes.clock.AdvanceMs(10);
      control.Timer1Timer();
      maxPacing = std::max(maxPacing, control.MainLoop().framePacingCounter);
    }
  }
  platform::FakePlatform fakes;
  TevranoX control{fakes.platform()};
  int maxPacing = 0;
};

TEST_F(MainLoopTest, OneSecondJobFirstRunsAfterOneSecond) {
  RunFor(1000);
  EXPECT_EQ(control.MainLoop().stamps[0], 0u);
  RunFor(10);
  // The stamp is the time the job was due (one period), not the run's time.
  EXPECT_EQ(control.MainLoop().stamps[0], 100000u);
}

TEST_F(MainLoopTest, ThirtyThreeMsJobRunsAboutThirtyTimesASecond) {
  int runs = 0;
  Ticks last = control.MainLoop().stamps[2];
  for (int i = 0; i < 100; ++i) {
    RunFor(10);
    if (control.MainLoop().stamps[2] != last) ++runs, last = control.MainLoop().stamps[2];
  }
  EXPECT_GE(runs, 24);  // every fourth 10 ms run: more than 33 ms have passed
  EXPECT_LE(runs, 31);
}

TEST_F(MainLoopTest, PacingCounterNeverExceedsThree) {
  RunFor(2000);
  EXPECT_EQ(maxPacing, 3);
}

TEST_F(MainLoopTest, AfterAPauseEachJobRunsOnceNotOncePerMissedPeriod) {
  RunFor(1010);
  const Ticks before = control.MainLoop().stamps[0];
  fakes.clock.AdvanceMs(10000);
  control.Timer1Timer();
  EXPECT_NE(control.MainLoop().stamps[0], before);
  const Ticks after = control.MainLoop().stamps[0];
  control.Timer1Timer();
  EXPECT_EQ(control.MainLoop().stamps[0], after);
}

TEST_F(MainLoopTest, TicksWrapWithoutStoppingTheJobs) {
  // Start 500 ms before the 32-bit ElapsedTicks wrap (about 11.9 hours).
  platform::FakePlatform f2;
  f2.clock.SetTickCountMs(0);
  TevranoX c2(f2.platform());
  c2.ActiveFormCreate();
  f2.clock.AdvanceMs(42949672 - 500);
  c2.Timer1Timer();
  const Ticks s = c2.MainLoop().stamps[0];
  for (int i = 0; i < 120; ++i) {
    f2.clock.AdvanceMs(10);
    c2.Timer1Timer();
  }
  EXPECT_NE(c2.MainLoop().stamps[0], s);  // ran across the wrap
}

// The speaker button shows while the pointer is over it and the shown
// camera's sound is heard, and goes two seconds after the last movement.
TEST_F(MainLoopTest, SpeakerImagesShowWhileSoundIsHeardAndGoTwoSecondsAfterTheLastMovement) {
  // Camera 1's sound arrives (live, channel 1 alone). The audio thread is
  // stopped and its reading step run here, so that nothing races the test.
  control.AudioThread().Terminate();
  StreamConnection& c = control.Streams().Stream().Connection(0);
  test::PacketSpec sound;
  sound.type = 2;
  sound.payload.resize(1024 - 32);
  const std::vector<uint8_t> packet = test::TransportPacket(sound);
  ASSERT_EQ(c.AudioRing.Write(packet.data(), uint32_t(packet.size())), 0);
  control.Audio().ReadAudioPacket(c, kModeLive);
  ASSERT_TRUE(control.Audio().AudioHeard());

  SpeakerState& sp = control.Speaker();
  sp.hot = true;
  sp.lastMovement = control.ElapsedTicks();
  RunFor(1990);
  EXPECT_TRUE(sp.hot);
  EXPECT_TRUE(sp.lastShownHot);
  EXPECT_TRUE(sp.audioHeard);
  // The speaker is off: its "off" picture offers to switch it on.
  EXPECT_TRUE(control.Form().Image_Trumpet_Off.visible);
  EXPECT_FALSE(control.Form().Image_Trumpet_On.visible);
  RunFor(20);
  EXPECT_FALSE(sp.hot);
  EXPECT_FALSE(sp.lastShownHot);
  EXPECT_FALSE(control.Form().Image_Trumpet_On.visible);
  EXPECT_FALSE(control.Form().Image_Trumpet_Off.visible);
}

TEST_F(MainLoopTest, EventMarksAreRepaintedIntoTheOverlayOnlyWhenChanged) {
  RunFor(10);
  EventMark& m = control.EventMarks().Mark(0, 0);
  EXPECT_STREQ(m.name, "Alarm");
  EXPECT_STREQ(control.EventMarks().Mark(15, 3).name, "Trumpet");
  m.kind = 2;
  m.textOn = 1;
  m.textColor = 0xFF0000;
  m.fontSize = 20;
  m.x = 100;
  m.y = 50;
  control.EventMarks().MarkChanged();
  const uint32_t rev = control.Form().Image2.revision;
  RunFor(10);
  EXPECT_GT(control.Form().Image2.revision, rev);
  EXPECT_FALSE(control.EventMarks().Changed());
  const Bitmap& overlay = control.Form().Image2.picture;
  EXPECT_EQ(overlay.At(103, 55), 0xFF0000u);
  EXPECT_EQ(overlay.At(10, 10), 0x00FFFFFFu);
  const uint32_t rev2 = control.Form().Image2.revision;
  RunFor(10);
  EXPECT_EQ(control.Form().Image2.revision, rev2);
}

}  // namespace
}  // namespace tevrano
