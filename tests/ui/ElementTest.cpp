#include <gtest/gtest.h>

#include "tests/ui/SkinRig.h"

namespace tevrano::ui {
namespace {

using test::ElementSpec;
using test::PieceSpec;
using test::SkinBuilder;

SkinBuilder BasicSkin() {
  return test::BackgroundAndButtonSkin(200, 300);
}

// The skin loaded and drawn once.
struct Fixture : test::SkinRig {
  explicit Fixture(const SkinBuilder& b) {
    EXPECT_EQ(Load(b), 0);
    ui.Skin_Redraw(1);
  }
};

// The click-transfer table, one element per row, item 3 clicked.
TEST(SkinApply, TransfersByTheFirstSourceAndTargetFlags) {
  struct Case {
    const char* source;
    const char* target;
    void (*given)(UiVariables&);
    void (*expect)(const UiVariables&);
  } cases[] = {
      {"16#CS", "IE_DOING#SD", [](UiVariables&) {},
       [](const UiVariables& v) { EXPECT_EQ(v.IE_DOING, 18); }},
      {"7#CA", "IE_CH2#ADN", [](UiVariables&) {},
       [](const UiVariables& v) { EXPECT_EQ(v.IE_CH2[2], 7); }},
      {"Key_Split#SD", "Key_Seq#SD", [](UiVariables& v) { v.Keys[UiVariables::kSplit] = 5; },
       [](const UiVariables& v) {
         EXPECT_EQ(v.Keys[UiVariables::kSeq], 5);
         EXPECT_EQ(v.Keys[UiVariables::kSplit], 5);  // the source stays
       }},
      {"IE_M_CH#SD", "IE_CH2#ADN", [](UiVariables& v) { v.IE_M_CH = 8; },
       [](const UiVariables& v) { EXPECT_EQ(v.IE_CH2[2], 8); }},
      {"Alarm_En#ADN", "IE_CH2#ADN", [](UiVariables& v) { v.Alarm_En[2] = 9; },
       [](const UiVariables& v) { EXPECT_EQ(v.IE_CH2[2], 9); }},
      // "N": the 0-based item number, not the array value.
      {"Alarm_En#ADN", "Dm_SCh#AD", [](UiVariables& v) { v.Alarm_En[2] = 9; },
       [](const UiVariables& v) { EXPECT_EQ(v.Dm_SCh[0], 16); }},
      {"IE_CH#ADN", "IE_DOING#SD", [](UiVariables& v) { v.IE_CH[2] = 1; },
       [](const UiVariables& v) { EXPECT_EQ(v.IE_DOING, 2); }},
      {"Mon_Day#AD", "Mon_Cmd#SD", [](UiVariables& v) { v.Mon_Day[2] = 86400; },
       [](const UiVariables& v) { EXPECT_EQ(v.Mon_Cmd, 86400); }},
      // "Z": a one-shot source is cleared after the copy.
      {"MOD#SDZ", "Dm_Cmd#SD", [](UiVariables& v) { v.MOD = 5; },
       [](const UiVariables& v) {
         EXPECT_EQ(v.Dm_Cmd, 5);
         EXPECT_EQ(v.MOD, 0);
       }},
      // "X" and "Y": the element's offset plus 640 or 512.
      {"1#CS", "Cent_X#SDX", [](UiVariables&) {},
       [](const UiVariables& v) { EXPECT_EQ(v.Cent_X, -40 + 640); }},
      {"1#CS", "Cent_Y#SDY", [](UiVariables&) {},
       [](const UiVariables& v) { EXPECT_EQ(v.Cent_Y, 0 + 512); }},
      // Flag letters count in either case.
      {"3#cs", "IE_DOING#SD", [](UiVariables&) {},
       [](const UiVariables& v) { EXPECT_EQ(v.IE_DOING, 5); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " -> " + c.target);
    SkinBuilder b = BasicSkin();
    b.Element({.name = "E",
               .piece = "Btn",
               .parent = "Back",
               .offset_x = -40,
               .item_count = 4,
               .columns = 4,
               .source = c.source,
               .target = c.target});
    Fixture f(b);
    c.given(f.ui.vars);
    f.ui.Skin_Apply(1, 3);
    c.expect(f.ui.vars);
  }
}

TEST(SkinApply, ChildrenGetTheSameTransferWithTheSameItem) {
  SkinBuilder b = BasicSkin();
  b.Element({.name = "Keys",
             .piece = "Btn",
             .parent = "Back",
             .item_count = 4,
             .columns = 4,
             .source = "16#CS",
             .target = "IE_DOING#SD"});
  b.Element(
      {.name = "Go", .piece = "Btn", .parent = "Keys", .source = "1#CS", .target = "IE_PB_PS2#SD"});
  b.Element(
      {.name = "Other", .piece = "Btn", .parent = "Back", .source = "1#CS", .target = "IE_OK#SD"});
  Fixture f(b);
  f.ui.Skin_Apply(1, 2);
  EXPECT_EQ(f.ui.vars.IE_DOING, 17);
  EXPECT_EQ(f.ui.vars.IE_PB_PS2, 2);
  EXPECT_EQ(f.ui.vars.IE_OK, 0);
}

TEST(SkinHit, LaterOfTwoOverlappingElementsTakesTheClick) {
  SkinBuilder b = BasicSkin();
  b.Element({.name = "Under",
             .piece = "Btn",
             .parent = "Back",
             .source = "1#CS",
             .target = "Key_Help#SD"});
  b.Element({.name = "Over",
             .piece = "Btn",
             .parent = "Back",
             .offset_x = 5,
             .source = "1#CS",
             .target = "Key_Seq#SD"});
  Fixture f(b);
  EXPECT_EQ(f.ui.Skin_Hit(100, 30, "TevranoKeyForm").element, 2);
  EXPECT_EQ(f.ui.Skin_Hit(91, 30, "TevranoKeyForm").element, 1);  // only Under covers it
  f.ui.Skin_Mouse(1, 100, 30, "TevranoKeyForm");
  EXPECT_EQ(f.ui.vars.Keys[UiVariables::kSeq], 1);
  EXPECT_EQ(f.ui.vars.Keys[UiVariables::kHelp], 0);
}

TEST(SkinHit, RefusesDisabledItemsLevelsAndUnclickableElements) {
  SkinBuilder b = BasicSkin();
  b.Element({.name = "Chans",
             .piece = "Btn",
             .parent = "Back",
             .item_count = 4,
             .columns = 4,
             .source = "IE_CH#ADN",
             .target = "IE_DOING#SD"});
  Fixture f(b);
  int x, y;
  f.ui.ItemCenter(f.ui.Element(1), 1, x, y);
  EXPECT_EQ(f.ui.Skin_Hit(x, y, "TevranoKeyForm").item, 2);
  f.ui.vars.IE_CH[1] = -1;
  EXPECT_EQ(f.ui.Skin_Hit(x, y, "TevranoKeyForm").element, -1);
  f.ui.vars.IE_CH[1] = -2;
  EXPECT_EQ(f.ui.Skin_Hit(x, y, "TevranoKeyForm").element, -1);
  f.ui.vars.IE_CH[1] = 0;
  f.ui.SetInterfaceLevel(2);  // a modal panel is open
  EXPECT_EQ(f.ui.Skin_Hit(x, y, "TevranoKeyForm").element, -1);
  f.ui.SetInterfaceLevel(1);
  EXPECT_EQ(f.ui.Skin_Hit(x, y, "NoSuchSkin").element, -1);
  f.ui.Element(1).enabled = false;
  EXPECT_EQ(f.ui.Skin_Hit(x, y, "TevranoKeyForm").element, -1);
}

TEST(SkinHit, PagedListOffsetsItemsAndStaysWithinItsArray) {
  SkinBuilder b = BasicSkin();
  b.Piece({.name = "List",
           .cell_width = 20,
           .cell_height = 10,
           .sheet_x = 300,
           .sheet_y = 30,
           .cells_per_row = 2,
           .cell_step = 2,
           .kind = 8003,
           .kind_param = 0});
  b.Element({.name = "Presets",
             .piece = "List",
             .parent = "Back",
             .item_count = 4,
             .columns = 4,
             .source = "IE_PB_BT_En#ADN",
             .target = "Dm_Pre#SD"});
  Fixture f(b);
  int x, y;
  f.ui.ItemCenter(f.ui.Element(1), 0, x, y);
  f.ui.vars.Dm_Pre = -7;  // the first item writes 0 over it
  f.ui.Skin_Mouse(1, x, y, "TevranoKeyForm");
  EXPECT_EQ(f.ui.vars.Dm_Pre, 0);
  f.ui.vars.A_Num = 2;
  f.ui.Skin_Mouse(1, x, y, "TevranoKeyForm");
  EXPECT_EQ(f.ui.vars.Dm_Pre, 2);
  f.ui.vars.A_Num = 50;  // past the 4 entries of the array: no hit
  f.ui.vars.Dm_Pre = -7;
  f.ui.Skin_Mouse(1, x, y, "TevranoKeyForm");
  EXPECT_EQ(f.ui.vars.Dm_Pre, -7);
}

TEST(ItemPlacement, GridAndCircle) {
  SkinBuilder b = BasicSkin();
  b.Element({.name = "Grid",
             .piece = "Btn",
             .parent = "Back",
             .item_count = 5,
             .spacing_x = 4,
             .spacing_y = 2,
             .columns = 3});
  b.Element({.name = "Ring",
             .piece = "Btn",
             .parent = "Back",
             .item_count = 4,
             .layout = 1,
             .radius = 40});
  b.Element({.name = "RingIn",
             .piece = "Btn",
             .parent = "Back",
             .item_count = 8,
             .layout = 1,
             .radius = -10});
  Fixture f(b);
  // Grid: 3 x 2 cells of 20 x 10 with gaps 4 and 2 around the centre (100, 30).
  struct Point {
    int x, y;
  };
  const Point grid[] = {{76, 24}, {100, 24}, {124, 24}, {76, 36}, {100, 36}};
  for (int k = 0; k < 5; ++k) {
    int x, y;
    f.ui.ItemCenter(f.ui.Element(1), k, x, y);
    EXPECT_EQ(x, grid[k].x) << k;
    EXPECT_EQ(y, grid[k].y) << k;
  }
  const Point ring[] = {{140, 30}, {100, -10}, {60, 30}, {100, 70}};
  for (int k = 0; k < 4; ++k) {
    int x, y;
    f.ui.ItemCenter(f.ui.Element(2), k, x, y);
    EXPECT_EQ(x, ring[k].x) << k;
    EXPECT_EQ(y, ring[k].y) << k;
  }
  // Negative products round toward zero: 45° of radius -10 is 7.07 → 7.
  int x, y;
  f.ui.ItemCenter(f.ui.Element(3), 1, x, y);
  EXPECT_EQ(x, 100 - 7);
  EXPECT_EQ(y, 30 + 7);
}

TEST(SkinRedraw, HiddenArrayItemsAndPagePanels) {
  SkinBuilder b = BasicSkin();
  // Button faces: column 0 grey 60, column 1 grey 200.
  b.FillRect(300, 30, 20, 10, 60 | 0x80 << 8);
  b.FillRect(320, 30, 20, 10, 200 | 0x80 << 8);
  b.Piece({.name = "Panel",
           .cell_width = 2,
           .cell_height = 2,
           .sheet_x = 400,
           .sheet_y = 30,
           .cells_per_row = 0,
           .kind = 8005,
           .kind_param = 1,
           .click_level = 0});
  b.Element({.name = "Chans",
             .piece = "Btn",
             .parent = "Back",
             .item_count = 2,
             .columns = 2,
             .source = "IE_CH#ADN",
             .target = "IE_DOING#SD"});
  b.Element({.name = "PbOnly", .piece = "Panel", .parent = "Back"});
  b.Element({.name = "InPanel",
             .piece = "Btn",
             .parent = "PbOnly",
             .offset_y = 20,
             .source = "1#CS",
             .target = "IE_OK#SD"});
  Fixture f(b);
  f.ui.vars.IE_CH[0] = 1;
  f.ui.vars.IE_CH[1] = -1;
  f.ui.Skin_Redraw(1);
  const Bitmap& pic = f.form.Image1.picture;
  // Item 0 at (90, 30) shows its state-1 cell; item 1 at (110, 30) is hidden.
  EXPECT_EQ(pic.At(85, 30), YuvToRgb(200, 0x80, 0x80, 0));
  EXPECT_EQ(pic.At(115, 30), YuvToRgb(0x80, 0x80, 0x80, 0));
  // The panel of page 1 and its child show only while page 1 is requested.
  EXPECT_FALSE(f.ui.Element(2).visible);
  EXPECT_FALSE(f.ui.Element(3).visible);
  EXPECT_EQ(f.ui.Skin_Hit(100, 50, "TevranoKeyForm").element, -1);
  f.ui.vars.IE_Page2 = 1;
  f.ui.Skin_Redraw(1);
  EXPECT_TRUE(f.ui.Element(3).visible);
  EXPECT_EQ(f.ui.Skin_Hit(100, 50, "TevranoKeyForm").element, 3);
}

}  // namespace
}  // namespace tevrano::ui

namespace tevrano::ui {
namespace {

TEST(BindingTable, EveryListedNameReachesItsOwnVariable) {
  UiVariables vars;
  BindingTable table(vars);
  const Binding spare = table.Skin_Lookup("No_Such_Name#SD");
  for (int i = 0; i < BindingTable::kEntries; ++i) {
    const std::string_view name = table.Name(i);
    ASSERT_FALSE(name.empty()) << i;
    const Binding b = table.Skin_Lookup(name);
    EXPECT_NE(b.data, spare.data) << name;
  }
  // Two names denote one variable each for the presets and the pad mode.
  EXPECT_EQ(table.Skin_Lookup("Dm_SPre#ADN").data, table.Skin_Lookup("Dm_SPre#AD").data);
  EXPECT_EQ(table.Skin_Lookup("MOD#SDZ").data, table.Skin_Lookup("MOD#SD").data);
  struct Length {
    const char* name;
    int length;
  } lengths[] = {{"IE_Page#ADN", 4},  {"IE_CH#ADN", 16},  {"Mon_Day#AD", 42},
                 {"IE_Data#ADN", 48}, {"Dm_SCh#AD", 100}, {"Key_F5#SD", 1}};
  for (const Length& l : lengths) EXPECT_EQ(table.Skin_Lookup(l.name).length, l.length) << l.name;
  // Lookup is exact: the flag letters are part of the name.
  EXPECT_EQ(table.Skin_Lookup("IE_DOING#sd").data, spare.data);
}

}  // namespace
}  // namespace tevrano::ui

namespace tevrano::ui {
namespace {

TEST(SkinDrag, PressesAgainOnlyWithTheButtonHeldAndOnANewItem) {
  SkinBuilder b = BasicSkin();
  b.Piece({.name = "Knob",
           .cell_width = 10,
           .cell_height = 10,
           .sheet_x = 300,
           .sheet_y = 30,
           .kind = 8002});
  b.Element({.name = "Slider",
             .piece = "Knob",
             .parent = "Back",
             .item_count = 4,
             .columns = 4,
             .value_base = 1,
             .source = "1#CS",
             .target = "MOD3#SD"});
  Fixture f(b);
  int x0, y0, x2, y2;
  f.ui.ItemCenter(f.ui.Element(1), 0, x0, y0);
  f.ui.ItemCenter(f.ui.Element(1), 2, x2, y2);
  f.ui.Skin_Drag(x2, y2, "TevranoKeyForm");  // no button: hovering only
  EXPECT_EQ(f.ui.vars.MOD3, 0);
  f.ui.Skin_Mouse(1, x0, y0, "TevranoKeyForm");
  EXPECT_EQ(f.ui.vars.MOD3, 1);
  f.ui.Skin_Drag(x2, y2, "TevranoKeyForm");  // along the slider
  EXPECT_EQ(f.ui.vars.MOD3, 3);
  f.ui.Skin_Mouse(0, x2, y2, "TevranoKeyForm");
  f.ui.Skin_Drag(x0, y0, "TevranoKeyForm");
  EXPECT_EQ(f.ui.vars.MOD3, 3);
}

}  // namespace
}  // namespace tevrano::ui
