#include <gtest/gtest.h>

#include "base/RecorderTime.h"
#include "host/BackupOptions.h"
#include "host/ViewerOptions.h"

namespace tevrano::host {
namespace {

TEST(BackupOptions, ACommandLineBackupRunsHeadless) {
  OptionsResult r = ParseViewerOptions({"--dvr-ip", "127.0.0.2", "--backup", "16", "--from",
                                        "2026-01-05T10:30:00", "--to", "2026-01-05T11:15:00",
                                        "--out", "/tmp/m.mov"});
  ASSERT_TRUE(r.options) << r.error;
  ASSERT_TRUE(r.options->backup);
  EXPECT_TRUE(r.options->headless);
  EXPECT_EQ(15u, r.options->backup->channel);
  EXPECT_EQ(ui::PackRecorderTime(2026, 1, 5, 10, 30, 0), r.options->backup->from);
  EXPECT_EQ(ui::PackRecorderTime(2026, 1, 5, 11, 15, 0), r.options->backup->to);
  EXPECT_EQ("/tmp/m.mov", r.options->backup->out);
  EXPECT_FALSE(ParseViewerOptions({"--dvr-ip", "h"}).options->backup);
}

TEST(BackupOptions, RecorderTimes) {
  struct Case {
    const char* text;
    bool ok;
  } cases[] = {
      {"2026-01-05T10:30:00", true},  {"2024-02-29T00:00:00", true},
      {"2099-12-31T23:59:59", true},  {"2023-02-29T00:00:00", false},
      {"1999-12-31T23:59:59", false}, {"2026-13-01T00:00:00", false},
      {"2026-01-05 10:30:00", false}, {"2026-01-05T24:00:00", false},
      {"2026-01-05T10:30", false},    {"2026-01-05T10:30:00Z", false},
      {"2026-1-05T10:30:000", false}, {"", false},
  };
  for (const auto& c : cases) {
    uint32_t t = 0;
    EXPECT_EQ(c.ok, ParseRecorderTime(c.text, t)) << c.text;
  }
}

TEST(BackupOptions, BadBackupCommandLines) {
  const std::vector<std::vector<std::string>> bad = {
      {"--dvr-ip", "h", "--backup", "0", "--from", "2026-01-05T10:30:00", "--to",
       "2026-01-05T10:31:00", "--out", "m.mov"},
      {"--dvr-ip", "h", "--backup", "17", "--from", "2026-01-05T10:30:00", "--to",
       "2026-01-05T10:31:00", "--out", "m.mov"},
      {"--dvr-ip", "h", "--backup", "1x", "--from", "2026-01-05T10:30:00", "--to",
       "2026-01-05T10:31:00", "--out", "m.mov"},
      {"--dvr-ip", "h", "--backup", "1", "--from", "2026-01-05T10:31:00", "--to",
       "2026-01-05T10:31:00", "--out", "m.mov"},
      {"--dvr-ip", "h", "--backup", "1", "--from", "2026-01-05T10:30:00", "--to",
       "2026-01-05T10:31:00"},
      {"--dvr-ip", "h", "--backup", "1", "--from", "2026-01-05T10:30:00", "--to",
       "2026-01-05T10:31:00", "--out", "dir/"},
      {"--backup", "1", "--from", "2026-01-05T10:30:00", "--to", "2026-01-05T10:31:00", "--out",
       "m.mov"},
  };
  for (const auto& args : bad) {
    OptionsResult r = ParseViewerOptions(args);
    EXPECT_FALSE(r.options) << args[2] << " " << args[3];
    EXPECT_FALSE(r.error.empty());
  }
}

}  // namespace
}  // namespace tevrano::host
