#include <gtest/gtest.h>

#include "tests/e2e/E2eHarness.h"

namespace tevrano::e2e {
namespace {

TEST(StartUpE2e, HeadlessViewerWithoutRecorderShowsConnecting) {
  ViewerResult r = RunViewer({"--run-for", "1"}, "alone");
  ASSERT_TRUE(r.finished) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  ASSERT_FALSE(r.snapshot.isNull());
  EXPECT_EQ(r.snapshot.width(), 1518);
  EXPECT_EQ(r.snapshot.height(), 673);
  EXPECT_EQ(ComponentOf(r.dump, "Label_time").value("caption").toString(), "Connecting ...");
  EXPECT_EQ(ComponentOf(r.dump, "Label_Version").value("caption").toString(), "Ver.030330");
  EXPECT_EQ(ControlOf(r.dump).value("logged_in").toInt(), 0);
}

TEST(StartUpE2e, BadOptionExitsWithTwo) {
  ViewerResult r = RunViewer({"--no-such-option"}, "bad");
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
}  // namespace tevrano::e2e
