// The key row's actions as the control wires them, the title pictures of the
// start-up and the rhythm of the 33 ms job.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/StartedControl.h"

namespace tevrano {
namespace {

using Started = test::StartedOnDisk;

// The built key panel binds every key to a name of the table: PTZ included
// (it was bound to a name the table does not hold, so it did nothing).
TEST(KeyActions, BuiltKeyPanelReachesEveryKeyItOffers) {
  Started s;
  s.LogIn(16);
  ASSERT_TRUE(s.Click("SPD_Mode#SD"));  // PTZ on channel 1 alone opens the pad
  EXPECT_TRUE(s.form.SpeedDome.visible);
  ASSERT_TRUE(s.Click("SPD_Mode#SD"));
  EXPECT_FALSE(s.form.SpeedDome.visible);
  ASSERT_TRUE(s.Click("Key_Split#SD"));  // SPLIT: the sixteen-way view
  EXPECT_EQ(s.control.Status().layout, 22);
  ASSERT_TRUE(s.Click("Key_PB#SD"));  // PLAY: the Playback page
  EXPECT_EQ(s.control.Status().page, 1);
  EXPECT_EQ(s.control.Status().viewMode, 1);
}

TEST(KeyActions, FreezeHoldsThePictureAndAnotherViewLetsItGo) {
  Started s;
  s.LogIn(16);
  ASSERT_TRUE(s.Click("Key_Freeze#SD"));
  EXPECT_TRUE(s.control.GetVideo().PictureHeld());
  ASSERT_TRUE(s.Click("Key_Freeze#SD"));
  EXPECT_FALSE(s.control.GetVideo().PictureHeld());
  ASSERT_TRUE(s.Click("Key_Freeze#SD"));
  ASSERT_TRUE(s.Click("Key_Split#SD"));
  EXPECT_FALSE(s.control.GetVideo().PictureHeld());
}

// SNAP: the video area as a PNG in DVR_Backup of the user's home.
TEST(KeyActions, SnapSavesTheVideoAreaIntoTheBackupFolder) {
  struct Case {
    bool writable;
    const char* label1Prefix;
  } cases[] = {{true, "/home/viewer/DVR_Backup/snap_ch01_2026"},
               {false, "Cannot write /home/viewer/DVR_Backup/snap_ch01_2026"}};
  for (const Case& c : cases) {
    Started s;
    s.fakes.environment.home = "/home/viewer";
    s.fakes.host.savePngResult = c.writable;
    s.fakes.clock.SetCalendarTime(1796904000);  // 2026-12-10 in the fake's local time
    s.LogIn(16);
    Bitmap& video = s.form.Image_video.picture;
    video.Fill(0x00123456);
    video.Row(10)[20] = 0x00ABCDEF;
    ASSERT_TRUE(s.Click("Key_Capture#SD"));
    ASSERT_EQ(s.fakes.host.savedPngs.size(), 1u);
    const auto& png = s.fakes.host.savedPngs[0];
    EXPECT_EQ(png.width, video.Width());
    EXPECT_EQ(png.height, video.Height());
    EXPECT_EQ(png.pixels[10 * png.width + 20], 0x00ABCDEFu);
    EXPECT_EQ(png.pixels[0], 0x00123456u);
    EXPECT_EQ(png.path.rfind("/home/viewer/DVR_Backup/snap_ch01_", 0), 0u) << png.path;
    EXPECT_EQ(png.path.substr(png.path.size() - 4), ".png");
    EXPECT_EQ(s.form.Label1.caption.rfind(c.label1Prefix, 0), 0u) << s.form.Label1.caption;
  }
}

TEST(StartUp, TitlePicturesAreNamedAndNeverShown) {
  Started s;
  for (int i = 0; i < 7; ++i) {
    const std::string name = "Paint_Str_Side_Image" + std::to_string(i);
    Component* c = s.form.Find(name);
    ASSERT_NE(c, nullptr) << name;
    ASSERT_EQ(c->kind, ComponentKind::Image);
    const Image& image = *static_cast<Image*>(c);
    EXPECT_EQ(&image, s.control.TitlePicture(i));
    EXPECT_FALSE(image.visible) << name;
    EXPECT_FALSE(image.enabled) << name;
    EXPECT_TRUE(image.transparent) << name;
    const bool large = i == 5 || i == 6;
    EXPECT_EQ(image.width, large ? 704 : 0) << name;
    EXPECT_EQ(image.height, large ? 576 : 0) << name;
    EXPECT_EQ(image.picture.Width(), large ? 704 : 0) << name;
    if (large) {
      EXPECT_EQ(image.picture.At(0, 0), 0x00FFFFFFu) << name;
    }
  }
}

// A held time arrow of the calendar repeats through the control's own
// wiring (the calendar marks the arrow held): first on the twelfth run of
// the 33 ms job after the press, then on every run, until the release. The
// month arrow does not repeat.
TEST(KeyActions, HeldCalendarTimeArrowRepeatsAndTheMonthArrowDoesNot) {
  Started s;
  s.LogIn(16);
  ASSERT_TRUE(s.Click("Key_PB#SD"));
  ASSERT_TRUE(s.Click("IE_SET_T#SD"));  // the calendar for the playback time
  ASSERT_EQ(s.ui.vars.IE_Month_T, 1);
  const auto hoursUp = s.control.FindSkinTarget("TevranoKeyForm", "TimeUp", 1);
  ASSERT_TRUE(hoursUp);
  s.Tick(40);  // draws what the calendar changed before the press
  const int hour = s.ui.vars.Mon_h;
  auto stepped = [&] { return (s.ui.vars.Mon_h - hour + 24) % 24; };
  auto runs = [&] { return s.control.MainLoop().thirtyThreeMsRuns; };
  auto holdFor = [&](uint64_t n) {
    const uint64_t until = runs() + n;
    while (runs() < until) s.Tick(10);
  };
  s.form.Image1.onMouseDown(hoursUp->x, hoursUp->y);
  EXPECT_EQ(stepped(), 1);
  EXPECT_EQ(s.ui.HeldKey, 9999);
  holdFor(11);
  EXPECT_EQ(stepped(), 1) << "no repeat before the twelfth run";
  holdFor(1);
  EXPECT_EQ(stepped(), 2) << "the first repeat";
  holdFor(3);
  EXPECT_EQ(stepped(), 5);
  s.form.Image1.onMouseUp(hoursUp->x, hoursUp->y);
  holdFor(20);
  EXPECT_EQ(stepped(), 5) << "the release ends the repeat";

  const auto nextMonth = s.control.FindSkinTarget("TevranoKeyForm", "MonNext", 1);
  ASSERT_TRUE(nextMonth);
  s.Tick(40);
  s.form.Image1.onMouseDown(nextMonth->x, nextMonth->y);
  EXPECT_EQ(s.ui.HeldKey, 0);
  EXPECT_EQ(s.ui.RepeatState(), 0);
  const int32_t firstCell = s.ui.vars.Mon_Day[0];
  holdFor(30);
  EXPECT_EQ(s.ui.vars.Mon_Day[0], firstCell) << "the month arrow stepped again";
  s.form.Image1.onMouseUp(nextMonth->x, nextMonth->y);
}

// The 33 ms job keeps its own rhythm on the 10 ms loop: its twelfth run (the
// first repeat of a held calendar arrow) comes at 0.4 s, not at 0.48 s.
TEST(MainLoopRhythm, TwelfthThirtyThreeMsStepFallsAtAboutFourTenthsOfASecond) {
  Started s;
  int ms = 0;
  while (s.control.MainLoop().thirtyThreeMsRuns < 12 && ms < 1000) {
    s.Tick(10);
    ms += 10;
  }
  EXPECT_EQ(ms, 400);
  // And about thirty runs a second over a long stretch.
  const uint64_t before = s.control.MainLoop().thirtyThreeMsRuns;
  for (int i = 0; i < 1000; ++i) s.Tick(10);
  EXPECT_EQ(s.control.MainLoop().thirtyThreeMsRuns - before, 303u);
}

}  // namespace
}  // namespace tevrano
