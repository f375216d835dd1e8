// The agent's text rules called directly: recording names, extensions and
// the numbers in df's output.
#include <gtest/gtest.h>

#include <string>

#include "usb_storage.h"

namespace {

TEST(RecordingName, TableOfNames) {
  struct Case {
    const char* name;
    int sign;  // of Check_FileName
  };
  const Case cases[] = {
      {"ch01_20100101_120000.mov", 0},
      {"ch01-20100101.mov", 0},
      {"ch", 0},
      {"ch01_20100101", 0},
      {"CH01_20100101_120000.mov", -1},
      {"ch01_2010_0101.mov", -1},
      {"ch0_20100101_120000.mov", -1},
      {"ch01_20100101_120000__.mov", -1},
      {"zz01_20100101_120000.mov", 1},
      {"c", -1},
      {"", -1},
      {"dh", 1},
  };
  for (const Case& c : cases) {
    int result = Check_FileName(c.name);
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.name;
  }
}

TEST(RecordingName, UnderscoresBeyondTheSixtyFirstCharacterAreNotLookedAt) {
  std::string name = "ch01_20100101_120000" + std::string(41, 'a');  // 61 characters
  EXPECT_EQ(Check_FileName((name + "_x").c_str()), 0);
  name.back() = '_';  // position 60
  EXPECT_EQ(Check_FileName(name.c_str()), -1);
}

TEST(FileExtension, TableOfNames) {
  struct Case {
    const char* name;
    int kind;
    bool match;
  };
  const Case cases[] = {
      {"fw.rom", 0, true},     {"a.mov", 1, true},     {"a.jpg", 2, true},
      {"x.movie", 1, true},    {"clip.MOV", 1, false}, {"photo.jpeg", 2, false},
      {"a.mov.jpg", 1, false}, {"a.mov.jpg", 2, true}, {"nodot", 1, false},
      {"a.mo", 1, false},      {"a.", 1, false},       {"a.mov", 0, false},
      {"a.mov", 3, false},     {"a.mov", -1, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Check_FileType(c.name, c.kind) == 0, c.match) << c.name << " kind " << c.kind;
}

TEST(FileExtension, OnlyDotsWithinTheFirstSixtyOneCharactersCount) {
  std::string name = std::string(55, 'a') + ".mov" + std::string(10, 'b') + ".jpg";
  EXPECT_EQ(Check_FileType(name.c_str(), 1), 0);
  EXPECT_NE(Check_FileType(name.c_str(), 2), 0);
}

TEST(Numbers, Str2IntKeepsEveryDigit) {
  struct Case {
    const char* text;
    int value;
  };
  const Case cases[] = {{"-12,3", 123},
                        {"1k", 1},
                        {"", 0},
                        {"abc", 0},
                        {" 7 8 ", 78},
                        {"2147483647", 2147483647},
                        {"99999999999", 2147483647}};
  for (const Case& c : cases) EXPECT_EQ(Str2Int(c.text), c.value) << c.text;
}

TEST(Numbers, StrN2IntTakesTheFirstNumberStartingInTheWindow) {
  struct Case {
    const char* text;
    int index, n;
    int value;
  };
  const Case cases[] = {
      {"   1234 5678", 0, 16, 1234}, {"   1234 5678", 0, 5, 12},  {"   1234 5678", 5, 16, 34},
      {"   1234 5678", 7, 16, 5678}, {"   1234 5678", 12, 16, 0}, {"   1234 5678", 13, 16, 0},
      {"   1234 5678", -1, 16, 0},   {"   1234 5678", 0, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(StrN2Int(c.text, c.index, c.n), c.value) << c.text << " @" << c.index;
}

// The recorder's df: a 67-byte header, the device padded to 20, numbers in
// columns of 9. There the windows at 87 and 97 and the column reading agree.
TEST(Numbers, DfWindowsAndColumnsAgreeOnTheUsualLayout) {
  const std::string header = "Filesystem           1K-blocks      Used Available Use% Mounted on\n";
  ASSERT_EQ(header.size(), 67u);
  const struct {
    const char* device;
    long total, used;
  } cases[] = {
      {"/dev/sda1", 7816228, 123456}, {"/dev/scsi/host0/bus", 999999999, 1}, {"/dev/sdb", 0, 0}};
  for (const auto& c : cases) {
    char line[256];
    snprintf(line, sizeof line, "%-20s %9ld %9ld %9ld %3d%% /mnt\n", c.device, c.total, c.used,
             c.total - c.used, 0);
    std::string out = header + line;
    out.resize(std::min<size_t>(out.size(), 128));
    int32_t total = -1, used = -1;
    ParseDfOutput(out.c_str(), &total, &used);
    EXPECT_EQ(StrN2Int(out.c_str(), 87, 16), c.total) << c.device;
    EXPECT_EQ(StrN2Int(out.c_str(), 97, 16), c.used) << c.device;
    EXPECT_EQ(total, c.total) << c.device;
    EXPECT_EQ(used, c.used) << c.device;
  }
}

}  // namespace
