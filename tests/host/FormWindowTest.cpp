#include "host/FormWindow.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "control/TevranoImpl1.h"
#include "platform/fake/FakePlatform.h"

namespace tevrano::host {
namespace {

class FormWindowTest : public ::testing::Test {
 protected:
  FormWindowTest() : control(fakes.platform()) {
    control.ActiveFormCreate();
    window = std::make_unique<FormWindow>(control.Form());
    window->show();
  }
  TTevranoX& form() { return control.Form(); }
  // The widget the user's pointer meets at a point of the form.
  QWidget* At(int x, int y) { return window->childAt(x, y); }

  platform::FakePlatform fakes;
  TevranoX control;
  std::unique_ptr<FormWindow> window;
};

TEST_F(FormWindowTest, ShowsComponentsAtTheirPlacesAndFollowsTheirChanges) {
  EXPECT_EQ(window->size(), QSize(1518, 673));
  auto* label = qobject_cast<QLabel*>(At(272 + 100, 14 + 5));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), "Connecting ...");

  form().Label_time.SetCaption("2026/12/10 05:00:00");
  window->Sync();
  EXPECT_EQ(label->text(), "2026/12/10 05:00:00");

  form().Label_time.SetVisible(false);
  window->Sync();
  EXPECT_FALSE(label->isVisible());
}

TEST_F(FormWindowTest, MouseOnTheVideoAreaReachesTheImageBelowTheDisabledOnes) {
  std::vector<std::pair<int, int>> downs;
  form().Image_Trumpet_BG.onMouseDown = [&](int x, int y) { downs.emplace_back(x, y); };
  bool videoTouched = false;
  form().Image_video.onMouseDown = [&](int, int) { videoTouched = true; };

  QWidget* target = At(34 + 100, 43 + 50);  // Image_video and Image2 lie on top, disabled
  ASSERT_NE(target, nullptr);
  QTest::mousePress(target, Qt::LeftButton, {}, QPoint(100, 50));
  EXPECT_EQ(downs, (std::vector<std::pair<int, int>>{{100, 50}}));
  EXPECT_FALSE(videoTouched);
}

TEST_F(FormWindowTest, PressClickAndReleaseOnTheKeyPanel) {
  std::vector<std::string> calls;
  Image& keys = form().Image1;
  keys.onMouseDown = [&](int x, int y) {
    calls.push_back("down " + std::to_string(x) + "," + std::to_string(y));
  };
  keys.onClick = [&] { calls.push_back("click"); };
  keys.onMouseUp = [&](int x, int y) {
    calls.push_back("up " + std::to_string(x) + "," + std::to_string(y));
  };
  QWidget* panel = At(740 + 20, 30);
  ASSERT_NE(panel, nullptr);
  QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(20, 30));
  EXPECT_EQ(calls, (std::vector<std::string>{"down 20,30", "click", "up 20,30"}));
}

TEST_F(FormWindowTest, TypingAndTabChangesGoToTheComponents) {
  form().PageControl1.SetVisible(true);
  window->Sync();
  int tabChanges = 0, edits = 0;
  form().PageControl1.onChange = [&] { ++tabChanges; };
  form().LabeledEdit_System2.onChange = [&] { ++edits; };

  auto* tabs = window->findChild<QTabWidget*>();
  ASSERT_NE(tabs, nullptr);
  QTabBar* bar = tabs->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(5).center());
  EXPECT_EQ(form().PageControl1.activePageIndex, 5);
  EXPECT_EQ(tabChanges, 1);

  // A change made by the control does not come back as a user change.
  form().PageControl1.SetActivePageIndex(0);
  window->Sync();
  EXPECT_EQ(tabs->currentIndex(), 0);
  EXPECT_EQ(tabChanges, 1);

  QLineEdit* edit = nullptr;
  for (auto* e : window->findChildren<QLineEdit*>())
    if (e->isVisible() && e->geometry() == QRect(120, 72, 160, 21)) edit = e;
  ASSERT_NE(edit, nullptr);
  QTest::keyClicks(edit, "8000");
  EXPECT_EQ(form().LabeledEdit_System2.text, "8000");
  EXPECT_EQ(edits, 4);
}

TEST_F(FormWindowTest, TheSpeedDomePadIsAWindowShownWithItsForm) {
  auto windows = QApplication::topLevelWidgets();
  QWidget* pad = nullptr;
  for (QWidget* w : windows)
    if (w->windowTitle() == "TSpeedDome") pad = w;
  ASSERT_NE(pad, nullptr);
  EXPECT_FALSE(pad->isVisible());
  form().SpeedDome.visible = true;
  window->Sync();
  EXPECT_TRUE(pad->isVisible());
  EXPECT_EQ(pad->size(), QSize(584, 305));
}

}  // namespace
}  // namespace tevrano::host
