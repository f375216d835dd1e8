#include <gtest/gtest.h>

#include <cstdio>

#include "platform/fake/FakeFileSystem.h"
#include "tests/support/StartedControl.h"
#include "tests/ui/SkinRig.h"

namespace tevrano::ui {
namespace {

using test::ElementSpec;
using test::PieceSpec;
using test::SkinBuilder;
using Fixture = test::SkinRig;

// A 100 x 60 background at (0, 30) of a 512 x 100 image and a 20 x 10 button
// sheet at (200, 30).
SkinBuilder BasicSkin() {
  return test::BackgroundAndButtonSkin(100, 200);
}

TEST(SkinFile, FlagLettersAndBindingFollowTheNameEnding) {
  SkinBuilder b = BasicSkin();
  b.Element({.name = "A",
             .piece = "Btn",
             .parent = "Back",
             .source = "Key_Split#SD",
             .target = "IE_CH#ADN"});
  b.Element(
      {.name = "B", .piece = "Btn", .parent = "Back", .source = "SD_IO1#SDC", .target = "Mon_Cmd"});
  b.Element({.name = "C",
             .piece = "Btn",
             .parent = "Back",
             .source = "16#CS",
             .target = "IE_percentage#SD"});  // fills its 16-byte field
  Fixture f;
  ASSERT_EQ(f.Load(b), 0);
  struct Case {
    int element;
    const char* source_flags;
    const char* target_flags;
    bool source_bound, target_bound;
  } cases[] = {
      {1, "SD0", "ADN", true, true},
      {2, "SDC", "000", true, false},
      {3, "CS0", "SD0", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.element);
    const SkinElement& e = f.ui.Element(c.element);
    EXPECT_EQ(std::string(e.source_flags, 3), c.source_flags);
    EXPECT_EQ(std::string(e.target_flags, 3), c.target_flags);
    EXPECT_EQ(e.source.Bound(), c.source_bound);
    EXPECT_EQ(e.target.Bound(), c.target_bound);
  }
  // The unterminated 16-character name still reaches its variable.
  f.ui.vars.IE_percentage = 7;
  EXPECT_EQ(f.ui.Element(3).target.Get(0), 7);
}

TEST(SkinFile, VoutMakesAnElementTopLevelEvenWhenAnElementHasThatName) {
  SkinBuilder b = BasicSkin();
  b.Element({.name = "#Vout", .piece = "Btn", .parent = "Back", .offset_x = 10});
  b.Element({.name = "Top", .piece = "Btn", .parent = "#Vout", .offset_x = 30, .offset_y = 5});
  Fixture f;
  ASSERT_EQ(f.Load(b), 0);
  const SkinElement& top = f.ui.Element(2);
  EXPECT_EQ(top.parent, -1);
  EXPECT_EQ(top.center_x, 10);  // its own cell's centre
  EXPECT_EQ(top.center_y, 5);
}

TEST(SkinFile, RecordWithAMissingPieceIsSkippedAndLaterRecordsKeepTheirNumbers) {
  SkinBuilder b = BasicSkin();
  b.Element({.name = "Lost", .piece = "NoSuchPiece", .parent = "Back"});
  b.Element({.name = "Orphan", .piece = "Btn", .parent = "NoSuchParent"});
  b.Element({.name = "Kept", .piece = "Btn", .parent = "Back", .offset_x = 4});
  Fixture f;
  ASSERT_EQ(f.Load(b), 0);
  EXPECT_FALSE(f.ui.Element(1).created);
  EXPECT_FALSE(f.ui.Element(2).created);
  ASSERT_TRUE(f.ui.Element(3).created);
  EXPECT_STREQ(f.ui.Element(3).name.text, "Kept");
  EXPECT_EQ(f.ui.Element(3).record, 3);
  EXPECT_EQ(f.ui.Skin(0).element_count, 4);
  EXPECT_EQ(f.ui.Element(3).center_x, 50 + 4);
}

TEST(SkinFile, SameRegistrationKeyIsLoadedOnce) {
  Fixture f;
  const SkinBuilder b = BasicSkin();
  EXPECT_EQ(f.Load(b, "A.YUV2", 0, 3), 0);
  EXPECT_EQ(f.Load(b, "B.YUV2", 0, 3), -1);
  EXPECT_EQ(f.ui.ElementTotal(), 1);
  // The pad always registers at x 54 with type 770.
  EXPECT_EQ(f.Load(b, "Mouse_Preset_x.YUV2", 0, 3), 0);
  EXPECT_EQ(f.ui.Skin(1).x, 54);
  EXPECT_EQ(f.ui.Skin(1).type, 770);
  EXPECT_EQ(f.Load(b, "C.YUV2", 7, 3), 0);
  EXPECT_EQ(f.Load(b, "D.YUV2", 8, 3), -1);  // the table holds three
}

TEST(SkinFile, DamagedFilesAreRefused) {
  const auto good = BasicSkin().Bytes();
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"header only", std::vector<uint8_t>(good.begin(), good.begin() + 16)});
  cases.push_back({"21 rows", std::vector<uint8_t>(good.begin(), good.begin() + 16 + 21 * 1024)});
  auto narrow = good;
  narrow[2] = 255, narrow[3] = 0;  // 510 pixels wide
  cases.push_back({"narrow", narrow});
  auto huge = good;
  huge[2] = 0xFF, huge[3] = 0xFF;  // 131070 pixels wide: no whole row
  cases.push_back({"wider than the file", huge});
  cases.push_back({"too large", std::vector<uint8_t>(2293761, 0)});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    EXPECT_EQ(f.ui.Skin_LoadBytes(c.bytes, 0, 3, 0, "TevranoKeyForm_x.YUV2"), -1);
    EXPECT_EQ(f.ui.FindSkin("TevranoKeyForm"), -1);
  }
}

TEST(SkinFile, LoadReadsTheFileFromTheFolderThroughTheFiles) {
  platform::FakeFileSystem files;
  files.AddFile("/data/TevranoKeyForm_t.YUV2", BasicSkin().Bytes());
  files.AddFile("/data/Huge.YUV2", std::vector<uint8_t>(skin_format::kBufferCapacity + 1, 0));
  std::vector<uint8_t> largest = BasicSkin().Bytes();
  largest.resize(skin_format::kBufferCapacity, 0);  // exactly as large as a skin may be
  files.AddFile("/data/Largest.YUV2", largest);
  struct Case {
    const char* folder;
    const char* name;
    int x;
    int result;
  } cases[] = {
      {"/data", "TevranoKeyForm_t.YUV2", 0, 0},
      {"/data/", "Largest.YUV2", 1, 0},
      {"/data", "Missing.YUV2", 2, -1},
      {"/elsewhere", "TevranoKeyForm_t.YUV2", 3, -1},
      {"/data", "Huge.YUV2", 4, -1},
  };
  Fixture f;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(f.ui.Skin_Load(files, c.folder, c.x, 3, 0, c.name), c.result);
  }
  EXPECT_GE(f.ui.FindSkin("TevranoKeyForm_t"), 0);
  EXPECT_GE(f.ui.FindSkin("Largest"), 0);
  EXPECT_EQ(f.ui.FindSkin("Huge"), -1);
}

// A folder and name too long for the path buffer are refused: cut to the
// buffer, the path would name another file (here one that exists).
TEST(SkinFile, APathTooLongForItsBufferIsRefusedNotCut) {
  const std::string folder = "/data/" + std::string(490, 'x');
  const std::string name = "TevranoKeyForm_t.YUV2";
  const std::string path = folder + "/" + name;
  ASSERT_GT(path.size(), 511u);
  platform::FakeFileSystem files;
  files.AddFile(path.substr(0, 511), BasicSkin().Bytes());
  files.AddFile(path, BasicSkin().Bytes());
  Fixture f;
  EXPECT_EQ(f.ui.Skin_Load(files, folder, 0, 3, 0, name.c_str()), -1);
  EXPECT_EQ(f.ui.FindSkin("TevranoKeyForm"), -1);
}

TEST(SkinFile, CountsAreClampedAndCellsClippedToCanvasAndSheet) {
  SkinBuilder b = BasicSkin();
  b.pieceCount = 1000;
  b.elementCount = 30000;
  b.Piece({.name = "Wild",
           .cell_width = 60000,
           .cell_height = 60000,
           .sheet_x = 65000,
           .sheet_y = 500,
           .cells_per_row = 3,
           .cell_step = 7});
  b.Element({.name = "W",
             .piece = "Wild",
             .parent = "Back",
             .offset_x = -30000,
             .item_count = 9,
             .columns = 3,
             .source = "IE_CH#ADN"});
  Fixture f;
  ASSERT_EQ(f.Load(b), 0);
  EXPECT_EQ(f.ui.Skin(0).element_count, 96);
  f.ui.Skin_Redraw(1);  // must stay inside canvas and file
  EXPECT_EQ(f.form.Image1.picture.Width(), 100);
}

TEST(SkinFile, ElementTableHoldsAtMost144OverAllSkins) {
  SkinBuilder b = BasicSkin();
  for (int i = 1; i < 96; ++i)
    b.Element({.name = "E" + std::to_string(i), .piece = "Btn", .parent = "Back"});
  Fixture f;
  ASSERT_EQ(f.Load(b, "One.YUV2", 0, 3), 0);
  ASSERT_EQ(f.Load(b, "Two.YUV2", 1, 3), 0);
  EXPECT_EQ(f.ui.ElementTotal(), 144);
  EXPECT_EQ(f.ui.Skin(1).first_element, 96);
  EXPECT_EQ(f.ui.Skin(1).element_count, 48);
}

// Whitening: level 0 keeps the colour, 2 is halfway to white, a pair whose
// first half is 0xFFFF is white.
TEST(SkinShow, WhiteningLevelsAndTransparentPairs) {
  SkinBuilder b = BasicSkin();
  const int y0 = 30;
  // Pair at x 0: Y 100, U 0x80 level 0, V 0x80. Pair at x 2: level 2.
  b.Pixel(0, y0, 100 | 0x80 << 8);
  b.Pixel(1, y0, 100 | 0x80 << 8);
  b.Pixel(2, y0, 100 | 0x82 << 8);
  b.Pixel(3, y0, 100 | 0x80 << 8);
  b.Pixel(4, y0, 0xFFFF);
  b.Pixel(5, y0, 0xFFFF);
  Fixture f;
  ASSERT_EQ(f.Load(b), 0);
  f.ui.Skin_Redraw(1);
  const Bitmap& pic = f.form.Image1.picture;
  ASSERT_EQ(pic.Width(), 100);
  ASSERT_EQ(pic.Height(), 60);
  EXPECT_EQ(pic.At(0, 0), 0x00646464u);  // grey 100
  EXPECT_EQ(pic.At(1, 0), 0x00646464u);
  EXPECT_EQ(pic.At(2, 0), 0x00B1B1B3u);  // (100, 100, 104) halfway to white
  EXPECT_EQ(pic.At(4, 0), 0x00FFFFFFu);
  EXPECT_EQ(pic.At(5, 0), 0x00FFFFFFu);
}

TEST(SkinShow, ConversionClampsEachComponent) {
  EXPECT_EQ(YuvToRgb(0, 0, 0, 0), 0x00007D00u);
  EXPECT_EQ(YuvToRgb(255, 255, 255, 0), 0x00FF83FFu);
  EXPECT_EQ(YuvToRgb(0x80, 0x80, 0x80, 100), 0x00FFFFFFu);
}

TEST(SkinShow, PadSkinGoesToImage5AndSizesTheWindow) {
  Fixture f;
  ASSERT_EQ(f.Load(BasicSkin(), "Mouse_Preset_02030330.YUV2"), 0);
  f.ui.Skin_Redraw(1);
  EXPECT_EQ(f.form.SpeedDome.Image5.width, 584);  // not drawn while the window is closed
  f.ui.OpenSpeedDome();
  f.ui.Skin_Redraw(0);
  EXPECT_EQ(f.form.SpeedDome.Image5.picture.Width(), 100);
  EXPECT_EQ(f.form.SpeedDome.Image5.width, 100);
  EXPECT_EQ(f.form.SpeedDome.Image5.height, 60);
}

// The skins our build tool made are in the data folder the control finds.
TEST(BuiltSkins, LoadThroughStartUpAndOfferTheirTargets) {
  tevrano::test::StartedOnDisk started;
  TevranoX& control = started.control;
  platform::PosixFileSystem& disk = started.disk;
  const std::string key = control.SystemFolder() + "/TevranoKeyForm_02030330.YUV2";
  // The build makes the skins before the tests: a missing skin is a failure.
  ASSERT_TRUE(disk.Open(key, platform::FileMode::kRead)) << "skins not built in " << key;
  const Ui& ui = control.OnScreen();
  const int kf = ui.FindSkin("TevranoKeyForm");
  const int pad = ui.FindSkin("Mouse_Preset");
  ASSERT_GE(kf, 0);
  ASSERT_GE(pad, 0);
  EXPECT_EQ(ui.Skin(pad).type, 770);
  EXPECT_EQ(control.Form().Image1.picture.Width(), 324);
  EXPECT_EQ(control.Form().Image1.picture.Height(), 640);
  for (int i = 0; i < ui.ElementTotal(); ++i) {
    SCOPED_TRACE(ui.Element(i).name.text);
    EXPECT_TRUE(ui.Element(i).created);  // every record found its piece and parent
  }
  const auto page = control.FindSkinTarget("TevranoKeyForm", "IE_Page2#SD", 2);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->image, "Image1");
  const auto close = control.FindSkinTarget("Mouse_Preset", "Dm_Cmd#SD", 1);
  ASSERT_TRUE(close);
  EXPECT_EQ(close->image, "Image5");
  EXPECT_FALSE(control.FindSkinTarget("TevranoKeyForm", "No_Such#SD", 1));
}

}  // namespace
}  // namespace tevrano::ui
