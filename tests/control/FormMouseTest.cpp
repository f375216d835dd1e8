#include <gtest/gtest.h>

#include <vector>

#include "tests/support/StartedControl.h"

namespace tevrano {
namespace {

using Started = test::StartedOnDisk;

TEST(FormMouse, LoginHandsTheChannelCountAndPageRightsToTheKeyPanel) {
  Started s;
  s.control.PutProperty(kDispidHttpPage, Variant::Text("4"));
  s.LogIn(8);
  EXPECT_EQ(s.control.OnScreen().ChannelCount(), 8);
  EXPECT_EQ(s.control.OnScreen().vars.IE_Page[3], -1);
  EXPECT_EQ(s.control.Status().layout, 0);  // the start view: channel 1 alone
}

TEST(FormMouse, SpeakerClickFlipsAudioAndHandsOnTheToggle) {
  Started s;
  std::vector<int> styles;
  s.control.OnScreen().hooks.speakerToggle = [&](int style) { styles.push_back(style); };
  s.form.Image_Trumpet_Off.onClick();
  EXPECT_TRUE(s.control.Speaker().enabled);
  EXPECT_TRUE(s.control.Speaker().previousEnabled);
  s.form.Image_Trumpet_On.onClick();
  EXPECT_FALSE(s.control.Speaker().enabled);
  EXPECT_EQ(styles, (std::vector<int>{0, 1}));
}

TEST(FormMouse, SpeakerShowsOnlyOverASingleLiveChannelWithAudio) {
  Started s;
  s.LogIn(16);
  s.form.Label_time.SetCaption("2026/12/10 12:00:00");  // the recorder's time shows
  s.Tick(40);
  s.form.Image_Trumpet_BG.onMouseDown(10, 10);  // single channel → the sixteen-way view
  EXPECT_EQ(s.control.Status().layout, 22);
  s.control.Speaker().audioHeard = true;
  s.form.Image_Trumpet_BG.onMouseMove(10, 10);
  s.Tick(40);
  EXPECT_TRUE(s.control.Speaker().hot);
  EXPECT_FALSE(s.form.Image_Trumpet_Off.visible);
  EXPECT_FALSE(s.form.Image_Trumpet_On.visible);

  s.form.Image_Trumpet_BG.onMouseDown(10, 10);  // first cell alone
  EXPECT_EQ(s.control.OnScreen().Layout(), 0);
  s.form.Image_Trumpet_BG.onMouseMove(10, 10);
  s.Tick(40);
  EXPECT_TRUE(s.form.Image_Trumpet_Off.visible);
  // Two seconds without movement: the button hides again.
  for (int i = 0; i < 25; ++i) s.Tick(100);
  EXPECT_FALSE(s.control.Speaker().hot);
  EXPECT_FALSE(s.form.Image_Trumpet_Off.visible);
}

TEST(FormMouse, SpeedDomeButtonOpensThePadWindow) {
  Started s;
  s.form.Image_SpeedDome_Off.onMouseDown(1, 1);
  EXPECT_TRUE(s.form.SpeedDome.visible);
  s.form.Image_SpeedDome_On.onMouseDown(1, 1);
  EXPECT_FALSE(s.form.SpeedDome.visible);
}

// With the skins our tool built: a scripted click on the key panel lands on
// the element and changes the page.
TEST(FormMouse, ClickOnTheKeyPanelChangesThePage) {
  Started s;
  // The build makes the skins before the tests: a missing skin is a failure.
  ASSERT_TRUE(s.disk.Open(s.control.SystemFolder() + "/TevranoKeyForm_02030330.YUV2",
                          platform::FileMode::kRead))
      << "skins not built in " << s.control.SystemFolder();
  s.LogIn(16);
  s.Tick(40);
  const auto target = s.control.FindSkinTarget("TevranoKeyForm", "IE_Page2#SD", 2);
  ASSERT_TRUE(target);
  s.form.Image1.onMouseDown(target->x, target->y);
  s.form.Image1.onMouseUp(target->x, target->y);
  EXPECT_EQ(s.control.OnScreen().Page(), 1);
  EXPECT_EQ(s.control.Status().page, 1);
}

}  // namespace
}  // namespace tevrano
