#include "host/QtHostServices.h"

#include <gtest/gtest.h>

namespace tevrano::host {
namespace {

TEST(QtHostServices, TurnsFileFiltersIntoQtsForm) {
  const std::pair<const char*, const char*> cases[] = {
      {"Firmware (*.rom)|*.rom", "Firmware (*.rom)"},
      {"Firmware|*.rom;*.bin|All files|*.*", "Firmware (*.rom *.bin);;All files (*.*)"},
      {"Movies|*.mov", "Movies (*.mov)"},
      {"", ""},
      {"Lonely description", ""},
  };
  for (const auto& [filter, qt] : cases) EXPECT_EQ(QtHostServices::QtFilter(filter), qt) << filter;
}

TEST(QtHostServices, HeadlessNeverBlocks) {
  QtHostServices host(true);
  EXPECT_EQ(host.MessageBox("Setup Successful.", "Setup Information", platform::kMbOk),
            platform::kIdOk);
  EXPECT_EQ(host.MessageBox("Update?", "Update", platform::kMbOkCancel), platform::kIdOk);
  EXPECT_EQ(host.MessageBox("Restart?", "Update", platform::kMbYesNo), platform::kIdYes);
  EXPECT_FALSE(host.OpenFileDialog("Firmware|*.rom", "/tmp"));
  EXPECT_FALSE(host.SaveFileDialog("Movies|*.mov", "/tmp", "a.mov"));
  platform::FontSpec font;
  EXPECT_FALSE(host.FontDialog(font));
}

TEST(QtHostServices, FileDialogsTakeTheQueuedPathOfTheirKindInOrder) {
  QtHostServices host(true);
  using D = QtHostServices::FileDialog;
  host.QueueFile(D::kSave, "/tmp/out one.ttl");
  host.QueueFile(D::kOpen, "/tmp/a.ttl");
  host.QueueFile(D::kOpen, "/tmp/b.ttl");
  EXPECT_EQ(host.OpenFileDialog("Title|*.ttl", ""), "/tmp/a.ttl");
  EXPECT_EQ(host.SaveFileDialog("Title|*.ttl", "", "x.ttl"), "/tmp/out one.ttl");
  EXPECT_FALSE(host.SaveFileDialog("Title|*.ttl", "", "x.ttl"));  // none left: cancelled
  EXPECT_EQ(host.OpenFileDialog("Title|*.ttl", ""), "/tmp/b.ttl");
  EXPECT_FALSE(host.OpenFileDialog("Title|*.ttl", ""));
}

TEST(QtEnvironment, ReadsVariablesAndHome) {
  QtEnvironment environment;
  ::setenv("TEVRANO_TEST_VARIABLE", "value", 1);
  EXPECT_EQ(environment.Get("TEVRANO_TEST_VARIABLE"), "value");
  EXPECT_FALSE(environment.Get("TEVRANO_TEST_NOT_SET"));
  EXPECT_FALSE(environment.HomeDir().empty());
}

}  // namespace
}  // namespace tevrano::host
