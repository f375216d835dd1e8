#include "host/ViewerOptions.h"

#include <gtest/gtest.h>

namespace tevrano::host {
namespace {

TEST(ViewerOptions, TakesEveryOption) {
  OptionsResult r = ParseViewerOptions(
      {"--dvr-ip",   "127.0.0.2",     "--port",      "8000",   "--user",     "1234",
       "--password", "5678",          "--http-page", "3",      "--headless", "--run-for",
       "1.5",        "--snapshot",    "f.png",       "--dump", "f.json",     "--script",
       "s.txt",      "--update-port", "2121"});
  ASSERT_TRUE(r.options) << r.error;
  const ViewerOptions& o = *r.options;
  EXPECT_EQ(o.dvrIp, "127.0.0.2");
  EXPECT_EQ(o.port, 8000);
  EXPECT_EQ(o.user, "1234");
  EXPECT_EQ(o.password, "5678");
  EXPECT_EQ(o.httpPage, 3);
  EXPECT_TRUE(o.headless);
  EXPECT_EQ(o.runForSeconds, 1.5);
  EXPECT_EQ(o.snapshotPath, "f.png");
  EXPECT_EQ(o.dumpPath, "f.json");
  EXPECT_EQ(o.scriptPath, "s.txt");
  EXPECT_EQ(o.updatePort, 2121);
}

TEST(ViewerOptions, DefaultsPutNothingAndShowAWindow) {
  OptionsResult r = ParseViewerOptions({});
  ASSERT_TRUE(r.options);
  EXPECT_FALSE(r.options->dvrIp);
  EXPECT_FALSE(r.options->headless);
  EXPECT_EQ(r.options->httpPage, 0);
  EXPECT_EQ(r.options->updatePort, 21);
}

TEST(ViewerOptions, RefusesBadCommandLines) {
  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"},
      {"--dvr-ip"},
      {"--dvr-ip", "h", "--port", "0"},
      {"--dvr-ip", "h", "--port", "80x"},
      {"--dvr-ip", "h", "--user", "12a", "--password", "1"},
      {"--dvr-ip", "h", "--user", "1"},
      {"--dvr-ip", "h", "--user", "1", "--password", "2", "--token", "T"},
      {"--dvr-ip", "h", "--user", "12345678901", "--password", "12345678901"},
      {"--dvr-ip", "h", "--http-page", "two"},
      {"--port", "80"},
      {"--token", "T"},
      {"--run-for", "-1"},
      {"--run-for", "soon"},
      {"--run-for", "1e9"},
      {"--headless", "extra"},
      {"--update-port", "0"},
      {"--update-port", "65536"},
      {"--update-port", "ftp"},
  };
  for (const auto& args : bad) {
    OptionsResult r = ParseViewerOptions(args);
    EXPECT_FALSE(r.options) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    EXPECT_FALSE(r.error.empty());
  }
}

}  // namespace
}  // namespace tevrano::host
