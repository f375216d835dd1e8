// The key row, the split keys offered per channel count, the login gate,
// hostile values written by a skin, and the pad's close and highlights.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "tests/ui/SkinRig.h"

namespace tevrano::ui {
namespace {

using test::SkinBuilder;

// The fifteen keys of the row, as the binding table names them.
struct KeyName {
  const char* io;
  const char* key;
};
constexpr KeyName kKeys[] = {
    {"IO_Split#SDC", "Key_Split#SD"},     {"IO_Seq#SDC", "Key_Seq#SD"},
    {"IO_FW#SDC", "Key_FW#SD"},           {"IO_PB#SDC", "Key_PB#SD"},
    {"IO_FF#SDC", "Key_FF#SD"},           {"IO_List#SDC", "Key_List#SD"},
    {"IO_Delete#SDC", "Key_Delete#SD"},   {"IO_OSD#SDC", "Key_OSD#SD"},
    {"IO_SPreset#SDC", "Key_SPreset#SD"}, {"IO_GPreset#SDC", "Key_GPreset#SD"},
    {"IO_Help#SDC", "Key_Help#SD"},       {"IO_Freeze#SDC", "Key_Freeze#SD"},
    {"IO_Capture#SDC", "Key_Capture#SD"}, {"IO_F5#SDC", "Key_F5#SD"},
    {"IO_SPD_Mode#SDC", "SPD_Mode#SD"},
};

// A 300-pixel key form: pages, the seven split keys, a row of the fifteen
// keys, and an element that writes `pageConstant` into the requested page.
SkinBuilder KeyRowForm(const std::string& pageConstant = "") {
  SkinBuilder b = test::BackgroundAndButtonSkin(300, 320);
  test::AddPageAndSplitKeys(b);
  for (int k = 0; k < 15; ++k)
    b.Element({.name = "K" + std::to_string(k),
               .piece = "Btn",
               .parent = "Back",
               .offset_x = -140 + 20 * k,
               .offset_y = 10,
               .source = kKeys[k].io,
               .target = kKeys[k].key});
  if (!pageConstant.empty())
    b.Element({.name = "BadPage",
               .piece = "Btn",
               .parent = "Back",
               .offset_x = 120,
               .offset_y = -20,
               .source = pageConstant,
               .target = "IE_Page2#SD"});
  return b;
}

struct ViewCall {
  int page, state, layout;
};

struct Form : test::SkinRig {
  std::vector<ViewCall> views;
  std::vector<bool> freezes;
  int snapshots = 0;
  explicit Form(const SkinBuilder& b = KeyRowForm()) {
    EXPECT_EQ(Load(b), 0);
    ui.hooks.viewCommand = [this](int, int, int page, int state, int layout, int) {
      views.push_back({page, state, layout});
    };
    ui.hooks.freezePicture = [this](bool hold) { freezes.push_back(hold); };
    ui.hooks.snapshot = [this] { ++snapshots; };
    form.Label_time.SetCaption("Connecting ...");
    ui.Skin_Redraw(1);
  }
  void Key(int k) { Click(kKeys[k].key, 1); }
};

// A page number written by a skin constant is latched only when it is a page:
// before, the latched number indexed the four page buttons on the next login
// and wrote over the variables behind them (page 6 became the channel count).
TEST(HostileSkin, PageNumbersOutsideTheFourPagesAreIgnored) {
  for (const char* constant :
       {"4#CS", "5#CS", "6#CS", "7#CS", "-1#CS", "-5#CS", "99#CS", "123456#CS", "99999999999#CS"}) {
    Form f(KeyRowForm(constant));
    f.ui.SetUpRecorder(16, 0, 0);
    f.Click("IE_Page2#SD", 5);  // the fifth item of that target: BadPage
    f.Click("IE_Page2#SD", 5);
    f.ui.SetUpRecorder(16, 0, 0);
    EXPECT_EQ(f.ui.ChannelCount(), 16) << constant;
    EXPECT_EQ(f.ui.Page(), 0) << constant;
    EXPECT_EQ(f.ui.vars.IE_Page2, 0) << constant;
    EXPECT_EQ(f.ui.vars.IE_Page3, 0) << constant;
    EXPECT_EQ(f.ui.vars.IE_Page[0], 1) << constant;
    for (int p = 1; p < 4; ++p) EXPECT_EQ(f.ui.vars.IE_Page[p], 0) << constant;
    // A real page still works afterwards.
    f.Click("IE_Page2#SD", 2);
    EXPECT_EQ(f.ui.Page(), 1) << constant;
  }
}

TEST(HostileSkin, ConstantsAndThePresetPageAreClamped) {
  struct Case {
    const char* name;
    int value;
  } constants[] = {
      {"16#CS", 16},
      {"-1#CS", -1},
      {"Ch3#CS", 3},
      {"999999999999#CS", kConstantLimit},
      {"-99999999999#CS", -kConstantLimit},
      {"2147483648#CS", kConstantLimit},
  };
  for (const Case& c : constants) {
    SkinName n;
    std::strncpy(n.text, c.name, sizeof n.text - 1);
    EXPECT_EQ(ConstantSource(n), c.value) << c.name;
  }
  TTevranoX form;
  Ui ui(form);
  struct Paging {
    int32_t a_num;
    int offset;
  } pages[] = {{0, 0}, {50, 50}, {-7, 0}, {INT32_MIN, 0}, {INT32_MAX, kMaxItems}};
  for (const Paging& p : pages) {
    ui.vars.A_Num = p.a_num;
    EXPECT_EQ(ui.PagingOffset(), p.offset) << p.a_num;
  }
}

// Before the recorder has accepted the viewer, a key changes nothing: the
// status line keeps "Connecting ...", no view is sent, and the video area
// stays closed to clicks.
TEST(LoginGate, KeysBeforeTheLoginShowAndSendNothing) {
  struct Case {
    const char* binding;
    int item;
  } cases[] = {{"IE_Page2#SD", 2}, {"IE_DOING#SD", 2}, {"IE_DOING#SD", 7}};
  for (const Case& c : cases) {
    Form f;
    f.Click(c.binding, c.item);
    EXPECT_EQ(f.form.Label_time.caption, "Connecting ...") << c.binding << c.item;
    EXPECT_TRUE(f.views.empty()) << c.binding << c.item;
    EXPECT_EQ(f.ui.Page(), 0);
    f.ui.VideoAreaMouseDown(10, 10);
    EXPECT_EQ(f.ui.Layout(), 0) << c.binding << c.item;
    EXPECT_TRUE(f.views.empty());
    // Once logged in the same click works.
    f.ui.SetUpRecorder(16, 0, 0);
    f.Click(c.binding, c.item);
    EXPECT_FALSE(f.views.empty()) << c.binding << c.item;
    EXPECT_NE(f.form.Label_time.caption, "Connecting ...");
  }
}

// Only the layouts of the recorder's channel count are offered.
TEST(SplitKeys, OnlyTheLayoutsOfTheChannelCountAreOffered) {
  struct Case {
    int channels;
    std::vector<int> offered;
  } cases[] = {
      {4, {16}},
      {8, {16, 17, 18}},
      {16, {16, 17, 18, 19, 20, 21, 22}},
  };
  for (const Case& c : cases) {
    Form f;
    f.ui.SetUpRecorder(c.channels, 0, 0);
    for (int layout = 16; layout <= 22; ++layout) {
      const bool offered = std::find(c.offered.begin(), c.offered.end(), layout) != c.offered.end();
      EXPECT_EQ(LayoutOffered(layout, c.channels), offered) << c.channels << "/" << layout;
      auto t = f.ui.FindTarget("TevranoKeyForm", "IE_DOING#SD", layout - 16 + 1);
      ASSERT_TRUE(t);
      const SkinHit hit = f.ui.Skin_Hit(t->x, t->y, "TevranoKeyForm");
      EXPECT_EQ(hit.element >= 0, offered) << c.channels << "/" << layout;
      f.views.clear();
      f.Click("IE_DOING#SD", layout - 16 + 1);
      if (!offered) {
        EXPECT_TRUE(f.views.empty()) << c.channels << "/" << layout;
        EXPECT_NE(f.ui.Layout(), layout);
      } else {
        EXPECT_EQ(f.ui.Layout(), layout);
      }
    }
    for (int ch = 0; ch < 16; ++ch) EXPECT_EQ(LayoutOffered(ch, c.channels), ch < c.channels);
  }
}

// Which keys are offered, per page and layout; the others show greyed.
TEST(KeyRow, OfferedKeysFollowThePageAndTheLayout) {
  using V = UiVariables;
  struct Case {
    const char* what;
    int page, layout;
    std::vector<int> offered;  // IO indexes
  } cases[] = {
      {"live, one channel",
       0,
       3,
       {V::kIoSplit, V::kIoPB, V::kIoFreeze, V::kIoCapture, V::kIoSPD_Mode}},
      {"live, split", 0, 17, {V::kIoSplit, V::kIoPB, V::kIoFreeze, V::kIoCapture}},
      {"playback", 1, 3, {V::kIoPB, V::kIoFW, V::kIoFF, V::kIoFreeze, V::kIoCapture}},
      {"backup", 2, 3, {V::kIoPB}},
      {"setup", 3, 3, {V::kIoPB}},
  };
  for (const Case& c : cases) {
    Form f;
    f.ui.SetUpRecorder(16, 0, 0);
    f.ui.View_Set(c.layout, c.page);
    for (int io = 0; io < V::kIoCount; ++io) {
      const bool offered = std::find(c.offered.begin(), c.offered.end(), io) != c.offered.end();
      EXPECT_EQ(f.ui.vars.IO[io], offered ? 1 : 0) << c.what << ", io " << io;
    }
  }
  Form before;  // nothing is offered before the login
  for (int io = 0; io < V::kIoCount; ++io) EXPECT_EQ(before.ui.vars.IO[io], 0) << io;
}

TEST(KeyRow, SplitStepsThroughTheOfferedLayouts) {
  struct Case {
    int channels;
    std::vector<int> steps;  // layouts after each press, from channel 1 alone
  } cases[] = {
      {16, {22, 16, 17, 18, 19, 20, 21, 22, 16}},
      {8, {18, 16, 17, 18, 16}},
      {4, {16, 16}},
  };
  for (const Case& c : cases) {
    Form f;
    f.ui.SetUpRecorder(c.channels, 0, 0);
    for (size_t i = 0; i < c.steps.size(); ++i) {
      f.Key(UiVariables::kSplit);
      EXPECT_EQ(f.ui.Layout(), c.steps[i]) << c.channels << " press " << i;
    }
  }
}

TEST(KeyRow, PlayFreezeSnapAndPtzAct) {
  Form f;
  f.ui.SetUpRecorder(16, 0, 0);
  // PTZ on one live channel opens the pad (and asks the dome for its table).
  std::vector<std::pair<int, int>> messages;
  f.ui.hooks.speedDomeMessage = [&](int cls, int op) { messages.emplace_back(cls, op); };
  f.Key(UiVariables::kSPD_Mode);
  EXPECT_TRUE(f.form.SpeedDome.visible);
  EXPECT_EQ(messages, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}}));
  f.Key(UiVariables::kSPD_Mode);
  EXPECT_FALSE(f.form.SpeedDome.visible);
  // FREEZE holds and lets go; another view lets go too.
  f.Key(UiVariables::kFreeze);
  EXPECT_TRUE(f.ui.Frozen());
  f.Key(UiVariables::kFreeze);
  EXPECT_FALSE(f.ui.Frozen());
  f.Key(UiVariables::kFreeze);
  f.Key(UiVariables::kSplit);
  EXPECT_FALSE(f.ui.Frozen());
  EXPECT_EQ(f.freezes, (std::vector<bool>{true, false, true, false}));
  // PTZ is not offered on a split: the press does nothing.
  f.Key(UiVariables::kSPD_Mode);
  EXPECT_FALSE(f.form.SpeedDome.visible);
  // SNAP saves a picture, once per press.
  f.Key(UiVariables::kCapture);
  EXPECT_EQ(f.snapshots, 1);
  // PLAY goes to Playback; there it plays forwards (state 2).
  f.views.clear();
  f.Key(UiVariables::kPB);
  EXPECT_EQ(f.ui.Page(), 1);
  ASSERT_FALSE(f.views.empty());
  EXPECT_EQ(f.views.back().page, 1);
  f.Key(UiVariables::kPB);
  EXPECT_EQ(f.ui.PlaybackState(), 2);
  EXPECT_EQ(f.views.back().state, 2);
  f.Key(UiVariables::kFF);
  EXPECT_EQ(f.ui.PlaybackState(), 3);
  f.Key(UiVariables::kFW);
  EXPECT_EQ(f.ui.PlaybackState(), 0);
  // A greyed key does nothing.
  const size_t sent = f.views.size();
  f.Key(UiVariables::kSeq);
  f.Key(UiVariables::kHelp);
  EXPECT_EQ(f.views.size(), sent);
  EXPECT_EQ(f.ui.Page(), 1);
}

// A small pad: a background, a close button (command 3) and a steering key.
SkinBuilder Pad() {
  SkinBuilder b = test::BackgroundAndButtonSkin(200, 300);
  b.FillRect(300, 30, 40, 10, 0x8040);  // the buttons: a mid grey
  b.Element({.name = "Close",
             .piece = "Btn",
             .parent = "Back",
             .offset_x = 80,
             .offset_y = -20,
             .source = "3#CS",
             .target = "Dm_Cmd#SD"});
  b.Element({.name = "Right",
             .piece = "Btn",
             .parent = "Back",
             .source = "11#CS",
             .target = "Dm_Cmd#SD"});
  return b;
}

struct PadForm : test::SkinRig {
  std::vector<int> padCommands;
  PadForm() {
    EXPECT_EQ(Load(KeyRowForm()), 0);
    EXPECT_EQ(Load(Pad(), "Mouse_Preset_t.YUV2"), 0);
    ui.hooks.padPostClick = [this] { padCommands.push_back(ui.vars.Dm_Cmd); };
    ui.SetUpRecorder(16, 0, 0);
    ui.OpenSpeedDome();
    ui.Skin_Redraw(1);
  }
  Ui::Target At(const char* name) {
    for (int i = 0; i < ui.ElementTotal(); ++i) {
      const SkinElement& e = ui.Element(i);
      if (e.created && std::string(e.name.text) == name) {
        Ui::Target t;
        ui.ItemCenter(e, 0, t.x, t.y);
        return t;
      }
    }
    ADD_FAILURE() << name;
    return {};
  }
  uint32_t Red(const Ui::Target& t) { return form.SpeedDome.Image5.picture.At(t.x, t.y) >> 16; }
};

TEST(Pad, CloseButtonClosesThePad) {
  PadForm f;
  ASSERT_TRUE(f.form.SpeedDome.visible);
  const auto right = f.At("Right");
  f.ui.Skin_Mouse(1, right.x, right.y, "Mouse_Preset");
  f.ui.Skin_Mouse(0, right.x, right.y, "Mouse_Preset");
  EXPECT_EQ(f.padCommands, std::vector<int>{11});  // other commands are the pad's
  EXPECT_TRUE(f.form.SpeedDome.visible);
  const auto close = f.At("Close");
  f.ui.Skin_Mouse(1, close.x, close.y, "Mouse_Preset");
  f.ui.Skin_Mouse(0, close.x, close.y, "Mouse_Preset");
  EXPECT_FALSE(f.form.SpeedDome.visible);
  EXPECT_EQ(f.ui.vars.Dm_Cmd, -1);
  EXPECT_FALSE(f.form.Image_SpeedDome_On.visible);
  EXPECT_TRUE(f.form.Image_SpeedDome_Off.visible);
  EXPECT_EQ(f.padCommands, std::vector<int>{11});
}

// Normal, under the pointer (25 % lighter) and pressed (50 % lighter).
TEST(Pad, HoverAndPressedItemsAreDrawnLighter) {
  PadForm f;
  const auto right = f.At("Right");
  const uint32_t normal = f.Red(right);
  f.ui.PadMouseMove(right.x, right.y);
  f.ui.ThirtyThreeMsStep();
  const uint32_t hover = f.Red(right);
  f.ui.Skin_Mouse(1, right.x, right.y, "Mouse_Preset");
  const uint32_t pressed = f.Red(right);
  EXPECT_LT(normal, hover);
  EXPECT_LT(hover, pressed);
  f.ui.Skin_Mouse(0, right.x, right.y, "Mouse_Preset");
  EXPECT_EQ(f.Red(right), hover);  // released, still under the pointer
  f.ui.PadMouseLeave();
  f.ui.ThirtyThreeMsStep();
  EXPECT_EQ(f.Red(right), normal);
}

TEST(KeyPanel, HoverEndsWhenThePointerLeavesThePanel) {
  PadForm f;
  auto t = f.ui.FindTarget("TevranoKeyForm", "IE_Page2#SD", 2);
  ASSERT_TRUE(t);
  f.ui.Image1MouseMove(t->x, t->y);
  f.ui.ThirtyThreeMsStep();
  EXPECT_GE(f.ui.HoveredElement(), 0);
  const uint32_t lit = f.form.Image1.picture.At(t->x, t->y);
  f.ui.Image1MouseLeave();
  EXPECT_EQ(f.ui.HoveredElement(), -1);
  f.ui.ThirtyThreeMsStep();
  EXPECT_NE(f.form.Image1.picture.At(t->x, t->y), lit);
}

}  // namespace
}  // namespace tevrano::ui
