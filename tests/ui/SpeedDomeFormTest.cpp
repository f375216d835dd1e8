#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "base/Form.h"
#include "net/ModuleTable.h"
#include "net/RecorderContext.h"
#include "platform/posix/PosixFileSystem.h"
#include "ui/Speed_dome_form.h"
#include "ui/Ui.h"

namespace tevrano::ui {
namespace {

constexpr uint32_t kSession = 0x5150;

// One "SPDM" message as sent, decoded.
struct Sent {
  uint32_t handle, cls, operation, length;
  std::vector<uint8_t> payload;
  int32_t Word(int i) const { return static_cast<int32_t>(LoadLe32(payload.data() + 4 * i)); }
};

class SpeedDomeFormTest : public ::testing::Test {
 protected:
  SpeedDomeFormTest() {
    context.SessionId = kSession;
    pad.Initialize();
    pad.Wire();
    ui.SetUpRecorder(16, 0, 0);  // a 16-channel recorder accepted the viewer
    ui.View_Set(2, 0);           // camera 3 alone, Live
  }

  // Loads the pad skin the build made; false when it is not there.
  bool LoadBuiltSkin() {
    return ui.Skin_Load(files, TEVRANO_BUILD_DATA_DIR, 0, 3, 0, "Mouse_Preset_02030330.YUV2") >= 0;
  }
  void Click(int command) {
    ui.vars.Dm_Cmd = command;
    pad.PostClick();
  }
  std::vector<uint8_t> TableAnswer(bool marker, std::vector<uint8_t> slots = {}) {
    std::vector<uint8_t> body(32 + 328, 0);
    StoreLe32(body.data(), kSession);
    StoreLe32(body.data() + 4, 0);
    StoreLe32(body.data() + 8, 3);
    StoreLe32(body.data() + 12, 328);
    uint8_t* data = body.data() + 32;
    std::memset(data, 0x3F, 100);
    for (size_t i = 0; i < slots.size(); ++i) data[i] = slots[i];
    if (marker) std::memcpy(data + 100, "Ufw3", 4);
    data[104] = 4, data[105] = 7;
    data[312 + 2] = 2;
    return body;
  }

  TTevranoX form;
  Ui ui{form};
  RecorderContext context;
  std::vector<Sent> sent;
  Speed_dome_form pad{ui, form.SpeedDome, context,
                      [this](RecorderContext& c, const uint8_t* m, uint32_t n) {
                        EXPECT_EQ(&c, &context);
                        EXPECT_EQ(LoadLe32(m), n);
                        EXPECT_EQ(LoadLe32(m + 4), Speed_dome_form::kTag);
                        const uint8_t* b = m + kModuleHeaderSize;
                        EXPECT_EQ(LoadLe32(m + 8), ModuleChecksum(b, n - kModuleHeaderSize));
                        sent.push_back({LoadLe32(b), LoadLe32(b + 4), LoadLe32(b + 8),
                                        LoadLe32(b + 12), std::vector<uint8_t>(b + 32, m + n)});
                        return 0;
                      }};
  platform::PosixFileSystem files;
};

TEST_F(SpeedDomeFormTest, RightThreeTimesGivesPanSpeedTwoFourSixAndAFourthKeepsSix) {
  std::vector<int> pans;
  for (int i = 0; i < 4; ++i) {
    Click(11);
    pans.push_back(pad.PanSpeed());
  }
  EXPECT_EQ(pans, (std::vector<int>{2, 4, 6, 6}));
  ASSERT_EQ(sent.size(), 4u);
  for (const Sent& s : sent) {
    EXPECT_EQ(s.cls, 1u);
    EXPECT_EQ(s.operation, 1u);
    EXPECT_EQ(s.length, 512u);
    EXPECT_EQ(s.payload.size(), 512u);
    EXPECT_EQ(s.Word(1), 0);  // tilt
    EXPECT_EQ(s.Word(2), 5);  // moving
    EXPECT_EQ(s.Word(3), 2);  // the channel shown
  }
  EXPECT_EQ(sent[2].Word(0), 6);
  EXPECT_EQ(ui.vars.Dm_Cmd, -1);
}

TEST_F(SpeedDomeFormTest, LeftDownFromRestGivesMinusTwoMinusTwo) {
  Click(14);
  EXPECT_EQ(pad.PanSpeed(), -2);
  EXPECT_EQ(pad.TiltSpeed(), -2);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].Word(0), -2);
  EXPECT_EQ(sent[0].Word(1), -2);
}

TEST_F(SpeedDomeFormTest, EveryDirectionStepsItsAxes) {
  struct Case {
    int command, pan, tilt;
  } cases[] = {{7, -2, 0}, {8, -2, 2},  {9, 0, 2},   {10, 2, 2},
               {11, 2, 0}, {12, 2, -2}, {13, 0, -2}, {14, -2, -2}};
  for (const Case& c : cases) {
    Speed_dome_form fresh{ui, form.SpeedDome, context,
                          [](RecorderContext&, const uint8_t*, uint32_t) { return 0; }};
    ui.vars.Dm_Cmd = c.command;
    fresh.PostClick();
    EXPECT_EQ(fresh.PanSpeed(), c.pan) << c.command;
    EXPECT_EQ(fresh.TiltSpeed(), c.tilt) << c.command;
    EXPECT_EQ(fresh.MotionState(), 5) << c.command;
  }
}

TEST_F(SpeedDomeFormTest, Command21TwiceReturnsToPageZero) {
  Click(21);
  EXPECT_EQ(ui.vars.A_Num, 50);
  Click(21);
  EXPECT_EQ(ui.vars.A_Num, 0);
  EXPECT_TRUE(sent.empty());
}

TEST_F(SpeedDomeFormTest, CommandsSendTheirCodes) {
  struct Case {
    int command;
    int32_t code, first, parameter, preset, direction;
  } cases[] = {
      {1, 4, 0, 0, 8, -2},   {2, 13, 0, 0, 8, -2},  {5, 3, 1, 3, 0, 1},    {6, 3, 1, 3, 0, -1},
      {15, 11, 0, 6, 0, -2}, {15, 0, 0, -1, 0, -2}, {16, 12, 0, 7, 0, -2}, {16, 0, 0, -1, 0, -2},
      {17, 9, 0, 0, 0, -2},  {18, 10, 0, 0, 0, -2},
  };
  ui.vars.Dm_Pre = 7;
  for (const Case& c : cases) {
    sent.clear();
    Click(c.command);
    ASSERT_EQ(sent.size(), 1u) << c.command;
    const Sent& s = sent[0];
    EXPECT_EQ(s.handle, kSession);
    EXPECT_EQ(s.cls, 1u);
    EXPECT_EQ(s.operation, 0u);
    EXPECT_EQ(s.Word(0), c.code) << c.command;
    EXPECT_EQ(s.Word(1), c.first) << c.command;
    for (int i = 2; i <= 5; ++i) EXPECT_EQ(s.Word(i), 0);
    EXPECT_EQ(s.Word(6), 2) << c.command;
    EXPECT_EQ(s.Word(7), c.parameter) << c.command;
    EXPECT_EQ(s.Word(8), c.preset) << c.command;
    EXPECT_EQ(s.Word(9), c.direction) << c.command;
  }
}

TEST_F(SpeedDomeFormTest, CommandsOutsideTheTableDoNothing) {
  for (int command : {19, 20, 22, 100}) Click(command);
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(ui.vars.Dm_Cmd, -1);
}

TEST_F(SpeedDomeFormTest, GoToPresetWithoutAChannelSendsNothing) {
  ui.vars.Dm_Ch = 16;
  Click(0);
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(ui.Layout(), 2);
}

TEST_F(SpeedDomeFormTest, GoToPresetShowsItsChannelAloneFirst) {
  ui.View_Set(22, 0);
  ui.vars.Dm_Ch = 9;
  ui.vars.Dm_Pre = 0;
  Click(0);
  EXPECT_EQ(ui.Layout(), 9);
  ASSERT_EQ(sent.size(), 1u);  // no table yet: storing waits for the recorder's
  EXPECT_EQ(sent[0].Word(0), 5);
  EXPECT_EQ(sent[0].Word(6), 9);
  EXPECT_EQ(sent[0].Word(8), 1);
}

TEST_F(SpeedDomeFormTest, NothingIsSteeredInASplitView) {
  ui.View_Set(16, 0);
  Click(11);
  Click(5);
  EXPECT_TRUE(sent.empty());
}

TEST_F(SpeedDomeFormTest, TheRecordersTableFillsThePresetsAndEnablesStoring) {
  std::vector<uint8_t> body = TableAnswer(true, {0x02, 0x45, 0x3F, 0x8A, 0x11});
  pad.Receive(body.data(), static_cast<uint32_t>(body.size()));
  EXPECT_TRUE(pad.PresetStoring());
  EXPECT_EQ(ui.vars.Dm_SCh[0], 2);
  EXPECT_EQ(ui.vars.Dm_SPre[0], 0);
  EXPECT_EQ(ui.vars.Dm_SCh[1], 5);
  EXPECT_EQ(ui.vars.Dm_SPre[1], 1);
  EXPECT_EQ(ui.vars.Dm_SCh[2], 16);  // 63: no channel
  EXPECT_EQ(ui.vars.Dm_SCh[3], 10);
  EXPECT_EQ(ui.vars.Dm_SPre[3], 0);  // top bits 2
  EXPECT_EQ(ui.vars.Dm_SCh[4], 16);  // 17 is no channel
  EXPECT_EQ(pad.SliderPosition(0), 3);
  EXPECT_EQ(pad.SliderPosition(1), 6);
  EXPECT_EQ(pad.DomeType(2), 2);
  EXPECT_TRUE(pad.IsOpen());                                   // Live, one camera shown
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ui.vars.SD_IO[i], 1);  // dome type 2 of camera 3

  // Setting a preset now stores the table with its marker.
  sent.clear();
  ui.vars.Dm_Pre = 4;
  ui.vars.Dm_SCh[4] = 2;
  ui.vars.Dm_SPre[4] = 1;
  Click(1);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].operation, 2u);
  EXPECT_EQ(sent[1].payload[4], 0x42);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(sent[1].payload.data()) + 100, 4), "Ufw3");
}

TEST_F(SpeedDomeFormTest, ATableWithoutMarkerEmptiesThePresets) {
  std::vector<uint8_t> body = TableAnswer(false, {0x02, 0x45});
  pad.Receive(body.data(), static_cast<uint32_t>(body.size()));
  EXPECT_EQ(ui.vars.Dm_SCh[0], 16);
  EXPECT_EQ(ui.vars.Dm_SPre[1], 0);
  EXPECT_TRUE(pad.PresetStoring());
}

TEST_F(SpeedDomeFormTest, AShortOrForeignTableMessageIsNotUsed) {
  std::vector<uint8_t> body = TableAnswer(true, {0x02});
  for (uint32_t n : {0u, 31u, 32u, 32u + 327u}) pad.Receive(body.data(), n);
  std::vector<uint8_t> lying = body;
  StoreLe32(lying.data() + 12, 100);  // says it holds less than the table
  pad.Receive(lying.data(), static_cast<uint32_t>(lying.size()));
  std::vector<uint8_t> foreign = body;
  StoreLe32(foreign.data(), kSession + 1);
  pad.Receive(foreign.data(), static_cast<uint32_t>(foreign.size()));
  EXPECT_FALSE(pad.PresetStoring());
  EXPECT_EQ(ui.vars.Dm_SCh[0], 16);
  EXPECT_FALSE(pad.IsOpen());
}

TEST_F(SpeedDomeFormTest, ReleaseOfASteeringKeyStopsAndASliderStoresItsPosition) {
  std::vector<uint8_t> body = TableAnswer(true);
  pad.Receive(body.data(), static_cast<uint32_t>(body.size()));
  sent.clear();
  ui.vars.MOD2 = 1;
  pad.Release();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].Word(0), 0);
  EXPECT_EQ(sent[0].Word(7), -1);
  EXPECT_EQ(pad.MotionState(), 0);
  EXPECT_EQ(ui.vars.MOD2, 0);

  sent.clear();
  ui.vars.MOD2 = 9;  // 7..21: no stop
  pad.Release();
  EXPECT_TRUE(sent.empty());

  ui.vars.MOD3 = 6;
  pad.PostClick();
  EXPECT_EQ(pad.SliderMode(), 1);
  ui.vars.Dm_Cmd = 11;  // no command while a slider is dragged
  pad.PostClick();
  EXPECT_TRUE(sent.empty());
  ui.vars.Dm_Cmd = -1;
  pad.Release();
  EXPECT_EQ(pad.SliderMode(), 0);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].operation, 2u);
  EXPECT_EQ(sent[0].payload[104], 6);
}

TEST_F(SpeedDomeFormTest, OpenAndRequestMessagesHaveTheirClassAndLength) {
  ui.SpeedDomeButton();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].cls, 0u);
  EXPECT_EQ(sent[0].operation, 3u);
  EXPECT_EQ(sent[0].length, 0u);
  EXPECT_TRUE(sent[0].payload.empty());
  EXPECT_EQ(sent[1].cls, 1u);
  EXPECT_EQ(sent[1].operation, 3u);
  EXPECT_EQ(sent[1].length, 512u);
  EXPECT_TRUE(pad.IsOpen());
  Click(3);
  EXPECT_FALSE(pad.IsOpen());
  EXPECT_TRUE(form.Image_SpeedDome_Off.visible);
}

TEST_F(SpeedDomeFormTest, APressOnAnEmptyPartOfThePadDragsTheWindow) {
  if (!LoadBuiltSkin()) GTEST_SKIP() << "pad skin not built";
  pad.Open();
  // An empty spot of the pad's face: no element takes it.
  int ex = -1, ey = -1;
  for (int y = 2; y < 300 && ex < 0; y += 3)
    for (int x = 2; x < 580 && ex < 0; x += 3)
      if (ui.Skin_Hit(x, y, "Mouse_Preset").element < 0) ex = x, ey = y;
  ASSERT_GE(ex, 0);
  // The spot the end-to-end test presses on is empty too.
  EXPECT_LT(ui.Skin_Hit(4, 150, "Mouse_Preset").element, 0) << "first empty " << ex << "," << ey;
  form.SpeedDome.left = 100;
  form.SpeedDome.top = 50;
  pad.FormMouseDown(ex, ey);
  EXPECT_TRUE(pad.Dragging());
  pad.FormMouseMove(ex + 30, ey + 12);  // the window moves under the cursor
  EXPECT_EQ(form.SpeedDome.left, 130);
  EXPECT_EQ(form.SpeedDome.top, 62);
  pad.FormMouseMove(ex - 5, ey);  // in the moved window's pixels
  EXPECT_EQ(form.SpeedDome.left, 125);
  pad.FormMouseUp(ex - 5, ey);
  EXPECT_FALSE(pad.Dragging());
  pad.FormMouseMove(ex + 40, ey);
  EXPECT_EQ(form.SpeedDome.left, 125);
  EXPECT_TRUE(sent.size() == 1u);  // only the Open message

  // A press on a steering key is a click, not a drag.
  const auto right = ui.FindTarget("Mouse_Preset", "Dm_Cmd#SD", 6);  // DirR
  ASSERT_TRUE(right);
  pad.FormMouseDown(right->x, right->y);
  EXPECT_FALSE(pad.Dragging());
  EXPECT_EQ(pad.PanSpeed(), 2);
  pad.FormMouseUp(right->x, right->y);
  EXPECT_EQ(form.SpeedDome.left, 125);
  ASSERT_EQ(sent.size(), 3u);  // move, then the stop on release
  EXPECT_EQ(sent[1].operation, 1u);
  EXPECT_EQ(sent[2].Word(0), 0);
}

}  // namespace
}  // namespace tevrano::ui
