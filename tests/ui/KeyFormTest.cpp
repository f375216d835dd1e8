#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/ui/SkinRig.h"

namespace tevrano::ui {
namespace {

using test::SkinBuilder;

TEST(Layouts, LabelsFollowTheLayoutAndTheChannelCount) {
  struct Case {
    int layout, channels;
    const char* label;
  } cases[] = {
      {0, 16, "CH1"},          {15, 16, "CH16"},       {16, 16, "CH1 - CH4"},
      {17, 16, "CH5 - CH8"},   {18, 16, "CH9 - CH12"}, {18, 8, "CH1 - CH8"},
      {19, 16, "CH13 - CH16"}, {20, 16, "CH1 - CH9"},  {21, 16, "CH10 - CH2"},
      {22, 16, "CH1 - CH16"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LayoutLabel(c.layout, c.channels), c.label) << c.layout << "/" << c.channels;
  EXPECT_STREQ(PageLabel(0), "  Live");
  EXPECT_STREQ(PageLabel(3), "  Setup");
}

TEST(VideoArea, CellUnderThePointerSelectsItsChannel) {
  struct Case {
    const char* what;
    int layout, channels, x, y, expected;
  } cases[] = {
      {"quad 5-8, lower right", 17, 16, 600, 500, 7},
      {"quad 1-4, upper left", 16, 16, 10, 10, 0},
      {"nine from 10, bottom right", 21, 16, 700, 570, 1},
      {"nine from 1, centre", 20, 16, 352, 288, 4},
      {"sixteen, third row second column", 22, 16, 200, 300, 9},
      {"eight channels: the ninth cell keeps the view", 18, 8, 700, 570, 18},
      {"eight channels: the first cell", 18, 8, 5, 5, 0},
      {"past the last cell counts as the last", 22, 16, 5000, 5000, 15},
      {"a channel count other than 4, 8, 16 counts as 16", 17, 5, 600, 500, 7},
      {"single channel returns to the last split", 3, 16, 100, 100, 21},
  };
  for (const Case& c : cases)
    EXPECT_EQ(VideoAreaLayout(c.layout, 21, c.channels, c.x, c.y, 704, 576), c.expected) << c.what;
}

// A small key form: four page buttons, seven split keys, a repeating arrow.
SkinBuilder KeyForm() {
  SkinBuilder b = test::BackgroundAndButtonSkin(200, 300);
  test::AddPageAndSplitKeys(b);
  b.Element({.name = "Up",
             .piece = "Btn",
             .parent = "Back",
             .offset_y = 20,
             .source = "2#CS",
             .target = "Mon_Add#SD"});
  return b;
}

struct ViewCall {
  int context, channels, page, state, layout, noSend;
};

struct KeyFormFixture : test::SkinRig {
  std::vector<ViewCall> views;
  KeyFormFixture() {
    EXPECT_EQ(Load(KeyForm()), 0);
    ui.hooks.viewCommand = [this](int c, int n, int p, int s, int l, int ns) {
      views.push_back({c, n, p, s, l, ns});
    };
    ui.Skin_Redraw(1);
  }
};

// The view records start as channel 1 alone; the login only tells the keys
// what the recorder has.
TEST(KeyForm, RecorderSetUpShowsTheStartViewAndSendsNothing) {
  KeyFormFixture f;
  f.ui.SetUpRecorder(16, 0, 0);
  EXPECT_TRUE(f.views.empty());
  EXPECT_EQ(f.ui.Layout(), 0);
  EXPECT_EQ(f.ui.vars.IE_Page[0], 1);
  EXPECT_EQ(f.ui.vars.IE_CH[0], 1);
  for (int i = 1; i < 16; ++i) EXPECT_EQ(f.ui.vars.IE_CH[i], 0) << i;
  EXPECT_EQ(f.ui.LastSplitLayout(), 22);  // sixteen-way: the overview of 16 channels
  KeyFormFixture eight;
  eight.ui.SetUpRecorder(8, 0, 0);
  EXPECT_EQ(eight.ui.LastSplitLayout(), 18);
}

TEST(KeyForm, ChannelCountIsTakenOnlyAsFourEightOrSixteen) {
  KeyFormFixture f;
  f.ui.SetUpRecorder(8, 0, 0);
  EXPECT_EQ(f.ui.ChannelCount(), 8);
  f.ui.SetUpRecorder(12, 0, 0);
  EXPECT_EQ(f.ui.ChannelCount(), 8);
  f.ui.SetUpRecorder(-4, 0, 0);
  EXPECT_EQ(f.ui.ChannelCount(), 8);
  for (int i = 8; i < 16; ++i) EXPECT_EQ(f.ui.vars.IE_CH[i], -1) << i;
  f.ui.SetUpRecorder(4, 0, 0);
  for (int i = 4; i < 16; ++i) EXPECT_EQ(f.ui.vars.IE_CH[i], -1) << i;
}

TEST(KeyForm, SplitKeyChangesTheLayoutAndSendsTheView) {
  KeyFormFixture f;
  f.ui.SetUpRecorder(16, 0, 0);
  f.views.clear();
  f.Click("IE_DOING#SD", 6);  // the sixth split key: layout 21
  ASSERT_EQ(f.views.size(), 1u);
  EXPECT_EQ(f.views[0].layout, 21);
  EXPECT_EQ(f.ui.Layout(), 21);
  EXPECT_EQ(f.form.Label_time.caption, "  Live  CH10 - CH2");
  EXPECT_EQ(f.ui.Split().split_kind, 3);
  const int expected[16] = {1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(f.ui.vars.IE_CH[i], expected[i]) << i;
  // The same key again changes nothing and sends nothing.
  f.Click("IE_DOING#SD", 6);
  EXPECT_EQ(f.views.size(), 1u);
}

TEST(KeyForm, EightChannelLayout18IsLabelledAsTheFirstEight) {
  KeyFormFixture f;
  f.ui.SetUpRecorder(8, 0, 0);
  f.Click("IE_DOING#SD", 3);
  EXPECT_EQ(f.form.Label_time.caption, "  Live  CH1 - CH8");
  EXPECT_EQ(f.ui.Split().split_kind, 1);
  EXPECT_EQ(f.ui.Split().quad_group, 0);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(f.ui.vars.IE_CH[i], 1);
}

TEST(KeyForm, PagesSendTheirViewAndRememberTheLiveLayout) {
  KeyFormFixture f;
  f.ui.SetUpRecorder(16, 0, 0);
  f.Click("IE_DOING#SD", 2);  // quad 5-8
  f.views.clear();
  f.Click("IE_Page2#SD", 2);  // Playback
  ASSERT_EQ(f.views.size(), 1u);
  EXPECT_EQ(f.views[0].page, 1);
  EXPECT_EQ(f.views[0].layout, 0);  // the remembered playback channel
  EXPECT_EQ(f.views[0].state, 1);
  EXPECT_EQ(f.form.Label_time.caption, "  Playback  CH1");
  EXPECT_EQ(f.ui.vars.IE_Page[1], 1);
  EXPECT_EQ(f.ui.vars.IE_Page[0], 0);
  const int oneHot[4] = {0, 1, 0, 0};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(f.ui.vars.IE_PB_BT_En[i], oneHot[i]);

  f.Click("IE_Page2#SD", 4);  // Setup
  EXPECT_EQ(f.views.back().page, 3);
  EXPECT_EQ(f.form.Label_time.caption, "  Setup");
  for (int i = 0; i < 16; ++i) EXPECT_EQ(f.ui.vars.IE_CH[i], -1);

  f.Click("IE_Page2#SD", 1);  // back to Live: the quad comes back
  EXPECT_EQ(f.views.back().page, 0);
  EXPECT_EQ(f.views.back().layout, 17);
}

TEST(KeyForm, PageRightsFourOfferLiveAndPlaybackOnly) {
  KeyFormFixture f;
  f.ui.SetUpRecorder(16, 0, 4);
  EXPECT_EQ(f.ui.vars.IE_Page[2], -1);
  EXPECT_EQ(f.ui.vars.IE_Page[3], -1);
  f.views.clear();
  f.Click("IE_Page2#SD", 4);  // Setup is not offered: no hit
  EXPECT_TRUE(f.views.empty());
  EXPECT_EQ(f.ui.Page(), 0);
  f.Click("IE_Page2#SD", 2);
  EXPECT_EQ(f.ui.Page(), 1);
  EXPECT_EQ(f.ui.vars.IE_Page[3], -1);  // stays not offered
}

TEST(KeyForm, PlaybackButtonAppliesTheStateOnTheTransport) {
  KeyFormFixture f;
  f.ui.SetUpRecorder(16, 0, 0);
  f.Click("IE_Page2#SD", 2);
  f.views.clear();
  f.ui.vars.IE_PB_PS = 3;
  f.ui.vars.IE_PB_PS2 = 1;
  f.ui.KeyFormStep();
  ASSERT_EQ(f.views.size(), 1u);
  EXPECT_EQ(f.views[0].state, 3);
  EXPECT_EQ(f.ui.vars.IE_PB_BT_En[3], 1);
  EXPECT_EQ(f.ui.vars.IE_PB_BT_En[1], 0);
  EXPECT_EQ(f.ui.vars.IE_PB_PS2, 0);
}

TEST(KeyForm, BackupButtonStartsAndStops) {
  KeyFormFixture f;
  std::vector<int> controls;
  f.ui.hooks.backupControl = [&](int c) {
    controls.push_back(c);
    return c == 0 ? 1 : 0;
  };
  f.ui.vars.IE_ST = 1;
  f.ui.KeyFormStep();
  EXPECT_EQ(f.ui.vars.IE_ST2, 1);
  EXPECT_EQ(f.ui.vars.IE_percentage, 0);
  EXPECT_EQ(f.ui.InterfaceLevel(), 2);
  f.ui.vars.IE_ST = 1;
  f.ui.KeyFormStep();
  EXPECT_EQ(f.ui.vars.IE_ST2, 0);
  EXPECT_EQ(f.ui.InterfaceLevel(), 1);
  EXPECT_EQ(controls, (std::vector<int>{0, 1}));
}

struct VideoFixture : KeyFormFixture {
  VideoFixture() {
    ui.SetUpRecorder(16, 0, 0);
    Click("IE_DOING#SD", 2);  // quad 5-8
    views.clear();
  }
};

TEST(VideoArea, ClickOnAQuadShowsItsChannelAndAgainReturnsToTheQuad) {
  VideoFixture f;
  f.ui.VideoAreaMouseDown(600, 500);
  EXPECT_EQ(f.ui.Layout(), 7);
  EXPECT_EQ(f.ui.vars.IE_DOING, 7);
  ASSERT_EQ(f.views.size(), 1u);
  EXPECT_EQ(f.views[0].layout, 7);
  EXPECT_EQ(f.form.Label_time.caption, "  Live  CH8");
  f.ui.VideoAreaMouseDown(10, 10);
  EXPECT_EQ(f.ui.Layout(), 17);
}

TEST(VideoArea, NoChangeOutsideLiveOrBeforeTheRecorderAnswers) {
  for (const char* status : {"Connecting ...", "Disconnect !", ""}) {
    VideoFixture f;
    f.form.Label_time.SetCaption(status);
    f.ui.ThirtyThreeMsStep();
    f.ui.VideoAreaMouseDown(600, 500);
    EXPECT_EQ(f.ui.Layout(), 17) << status;
  }
  VideoFixture f;
  f.Click("IE_Page2#SD", 2);
  const int layout = f.ui.Layout();
  f.views.clear();
  f.ui.VideoAreaMouseDown(600, 500);
  EXPECT_EQ(f.ui.Layout(), layout);
  EXPECT_TRUE(f.views.empty());
}

TEST(KeyRepeat, HeldArrowRepeatsFirstOnTheTwelfthStep) {
  KeyFormFixture f;
  f.ui.SetUpRecorder(16, 0, 0);
  f.ui.ThirtyThreeMsStep();  // draws what the login changed before the press
  int steps = 0;
  f.ui.hooks.calendarStep = [&] {
    if (f.ui.vars.Mon_Add == 2) {
      ++steps;
      f.ui.vars.Mon_Add = 0;
      f.ui.HeldKey = 9999;
    }
    return true;
  };
  const auto up = f.ui.FindTarget("TevranoKeyForm", "Mon_Add#SD", 1);
  ASSERT_TRUE(up);
  f.ui.Image1MouseDown(up->x, up->y);
  EXPECT_EQ(steps, 1);
  EXPECT_EQ(f.ui.RepeatState(), 1);
  for (int step = 1; step <= 11; ++step) {
    f.ui.ThirtyThreeMsStep();
    EXPECT_EQ(steps, 1) << step;
  }
  f.ui.ThirtyThreeMsStep();  // the twelfth
  EXPECT_EQ(steps, 2);
  f.ui.ThirtyThreeMsStep();
  EXPECT_EQ(steps, 3);
  f.ui.Image1MouseUp(up->x, up->y);
  f.ui.ThirtyThreeMsStep();
  EXPECT_EQ(steps, 3);
  EXPECT_EQ(f.ui.RepeatState(), 0);
}

TEST(SpeedDomeButton, OpensAndClosesThePad) {
  KeyFormFixture f;
  std::vector<std::pair<int, int>> messages;
  f.ui.hooks.speedDomeMessage = [&](int cls, int op) { messages.emplace_back(cls, op); };
  f.ui.SpeedDomeButton();
  EXPECT_TRUE(f.form.SpeedDome.visible);
  EXPECT_TRUE(f.form.Image_SpeedDome_On.visible);
  EXPECT_FALSE(f.form.Image_SpeedDome_Off.visible);
  EXPECT_EQ(messages, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}}));
  f.ui.SpeedDomeButton();
  EXPECT_FALSE(f.form.SpeedDome.visible);
  EXPECT_FALSE(f.form.Image_SpeedDome_On.visible);
  EXPECT_TRUE(f.form.Image_SpeedDome_Off.visible);
  EXPECT_TRUE(f.form.Image_SpeedDome_Off.enabled);
}

}  // namespace
}  // namespace tevrano::ui

namespace tevrano::ui {
namespace {

// Playback entered from the backup list enters as Playback (the playback
// channel, the playback state 1) and then shows the backup view.
TEST(KeyForm, PlaybackFromTheBackupListSwitchesToTheBackupView) {
  KeyFormFixture f;
  f.ui.SetUpRecorder(16, 0, 0);
  f.views.clear();
  f.ui.vars.IE_PB_PS = 3;
  f.ui.vars.IE_Page2 = 98;
  f.ui.KeyFormStep();
  ASSERT_EQ(f.views.size(), 1u);
  EXPECT_EQ(f.views[0].page, 2);
  EXPECT_EQ(f.views[0].state, 1);
  EXPECT_EQ(f.ui.vars.IE_Page2, 2);
  EXPECT_EQ(f.ui.vars.IE_PB_PS, 1);
  EXPECT_EQ(f.ui.vars.IE_Page[2], 1);
  EXPECT_EQ(f.ui.vars.IE_Page[1], 0);
}

TEST(KeyForm, PlaybackButtonConfirmsAnOpenCalendarFirst) {
  KeyFormFixture f;
  f.ui.SetUpRecorder(16, 0, 0);
  f.Click("IE_Page2#SD", 2);
  std::vector<std::string> calls;
  f.ui.hooks.calendarConfirm = [&] { calls.push_back("confirm"); };
  f.ui.hooks.viewCommand = [&](int, int, int, int state, int, int) {
    calls.push_back("view " + std::to_string(state));
  };
  f.ui.vars.IE_Month_T = 1;
  f.ui.vars.IE_PB_PS = 2;
  f.ui.vars.IE_PB_PS2 = 1;
  f.ui.KeyFormStep();
  EXPECT_EQ(calls, (std::vector<std::string>{"confirm", "view 2"}));
  EXPECT_EQ(f.ui.vars.IE_Month_T, 0);
  EXPECT_EQ(f.ui.InterfaceLevel(), 1);
}

}  // namespace
}  // namespace tevrano::ui
