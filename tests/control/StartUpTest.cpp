#include <gtest/gtest.h>

#include "base/BmpFile.h"
#include "control/TevranoApi.h"
#include "control/TevranoImpl1.h"
#include "platform/fake/FakePlatform.h"
#include "tests/support/StartedControl.h"

namespace tevrano {
namespace {

using test::StartedControl;

TEST(StartUp, ShowsConnectingAndTheVersion) {
  StartedControl s;
  const TTevranoX& form = s.control.Form();
  EXPECT_EQ(form.Label_time.caption, "Connecting ...");
  EXPECT_EQ(form.Label_Version.caption, "Ver.030330");
  EXPECT_TRUE(form.Timer1.enabled);
  EXPECT_TRUE(s.control.StartUpComplete());
  EXPECT_EQ(form.Image_video.picture.Width(), 704);
  EXPECT_EQ(form.Image_video.picture.Height(), 576);
  EXPECT_EQ(form.Image2.picture.Width(), 704);
  EXPECT_EQ(form.Image2.picture.At(0, 0), 0x00FFFFFFu);
}

TEST(StartUp, FormHasItsComponentsInPlace) {
  StartedControl s;
  const TTevranoX& form = s.control.Form();
  EXPECT_EQ(form.Caption, "TevranoX");
  struct Place {
    const char* name;
    int left, top, width, height;
    bool visible, enabled;
  };
  const Place places[] = {
      {"Image3", 0, 0, 740, 640, true, true},
      {"Label_time", 272, 14, 217, 21, true, true},
      {"Image1", 740, 0, 324, 640, true, true},
      {"Image_Disconn", 32, 24, 8, 12, true, true},
      {"Image_Conn", 32, 24, 8, 12, false, true},
      {"Image_Trumpet_BG", 34, 43, 704, 576, true, true},
      {"Image2", 34, 43, 704, 576, true, false},
      {"Image_video", 34, 43, 704, 576, true, false},
      {"Image_Trumpet_Off", 681, 59, 24, 24, false, true},
      {"Image_SpeedDome_On", 710, 15, 28, 28, false, false},
      {"Image_Loader", 614, 18, 40, 40, false, true},
      {"PageControl1", 34, 43, 704, 576, false, true},
  };
  for (const Place& p : places) {
    SCOPED_TRACE(p.name);
    const Component* c = form.Find(p.name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->left, p.left);
    EXPECT_EQ(c->top, p.top);
    EXPECT_EQ(c->width, p.width);
    EXPECT_EQ(c->height, p.height);
    EXPECT_EQ(c->visible, p.visible);
    EXPECT_EQ(c->enabled, p.enabled);
  }
  ASSERT_EQ(form.PageControl1.pages.size(), 8u);
  EXPECT_EQ(form.Tab(0)->caption, "System");
  EXPECT_EQ(form.Tab(7)->caption, "Update");
}

TEST(StartUp, TitleImagesOnlyFiveAndSixAreFullSize) {
  StartedControl s;
  for (int i = 0; i < 7; ++i) {
    SCOPED_TRACE(i);
    platform::TextSurface* t = s.control.TitleImage(i);
    ASSERT_NE(t, nullptr);
    const bool large = i == 5 || i == 6;
    EXPECT_EQ(t->Width(), large ? 704 : 0);
    EXPECT_EQ(t->Height(), large ? 576 : 0);
  }
}

TEST(StartUp, SystemFolderComesFromTheEnvironment) {
  platform::FakePlatform fakes;
  fakes.environment.variables["TEVRANO_DATA_DIR"] = "/opt/tevrano-data";
  TevranoX control(fakes.platform());
  control.ActiveFormCreate();
  EXPECT_EQ(control.SystemFolder(), "/opt/tevrano-data");
}

// The data folder: the environment's, else the installed one when it is a
// folder, else the build tree's; the pictures come from it through the files.
TEST(StartUp, SystemFolderFallsBackToTheInstalledThenTheBuildTreesFolder) {
  struct Case {
    const char* what;
    const char* environment;  // null: not set
    bool installed;
    std::string folder;
  } cases[] = {
      {"environment", "/opt/d", true, "/opt/d"},
      {"empty environment", "", true, TEVRANO_INSTALLED_DATA_DIR},
      {"installed", nullptr, true, TEVRANO_INSTALLED_DATA_DIR},
      {"neither", nullptr, false, TEVRANO_BUILD_DATA_DIR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    platform::FakePlatform fakes;
    if (c.environment) fakes.environment.variables["TEVRANO_DATA_DIR"] = c.environment;
    if (c.installed) fakes.files.AddFolder(TEVRANO_INSTALLED_DATA_DIR);
    Bitmap background(4, 2);
    background.Fill(0x00112233);
    fakes.files.AddFile(c.folder + "/TevranoMainForm_02030330.bmp", EncodeBmp(background));
    TevranoX control(fakes.platform());
    control.ActiveFormCreate();
    EXPECT_EQ(control.SystemFolder(), c.folder);
    EXPECT_EQ(control.Form().Image3.picture.Width(), 4);
    EXPECT_EQ(control.Form().Image3.picture.At(3, 1), 0x00112233u);
  }
}

TEST(StartUpDeathTest, SecondCreateInOneProcessEndsIt) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        platform::FakePlatform fakes;
        platform::Platform p = fakes.platform();
        TevranoX_Create(&p);
        TevranoX_Create(&p);
      },
      ::testing::ExitedWithCode(1), "");
}

TEST(StartUpDeathTest, ADestroyedControlIsNotCreatedAgain) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        platform::FakePlatform fakes;
        platform::Platform p = fakes.platform();
        TevranoX_Destroy(TevranoX_Create(&p));
        TevranoX_Create(&p);
      },
      ::testing::ExitedWithCode(1), "");
}

}  // namespace
}  // namespace tevrano
