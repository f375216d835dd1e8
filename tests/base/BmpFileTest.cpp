#include <gtest/gtest.h>

#include <vector>

#include "base/BmpFile.h"
#include "base/ByteReader.h"
#include "platform/fake/FakeFileSystem.h"

namespace tevrano {
namespace {

// A 3 x 2 bottom-up 24-bit picture: rows of 9 bytes padded to 12.
std::vector<uint8_t> Bottom24() {
  std::vector<uint8_t> b(54 + 2 * 12, 0);
  ByteWriter w(b.data(), b.size());
  w.U8('B'), w.U8('M'), w.Le32(uint32_t(b.size())), w.Le32(0), w.Le32(54);
  w.Le32(40), w.Le32(3), w.Le32(2), w.Le16(1), w.Le16(24), w.Le32(0);
  for (int row = 0; row < 2; ++row)  // file row 0 is the picture's bottom row
    for (int x = 0; x < 3; ++x) {
      uint8_t* p = &b[54 + row * 12 + x * 3];
      p[0] = uint8_t(x), p[1] = uint8_t(row), p[2] = 0xA0;  // B G R
    }
  return b;
}

TEST(BmpFile, BottomUpRowsWithPaddingAreRead) {
  Bitmap pic;
  ASSERT_TRUE(ParseBmp(Bottom24(), pic));
  ASSERT_EQ(pic.Width(), 3);
  ASSERT_EQ(pic.Height(), 2);
  EXPECT_EQ(pic.At(0, 1), 0x00A00000u);  // bottom row first in the file
  EXPECT_EQ(pic.At(2, 0), 0x00A00102u);
}

TEST(BmpFile, SavedPictureLoadsBackThroughTheFiles) {
  platform::FakeFileSystem files;
  Bitmap pic(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) pic.Row(y)[x] = uint32_t(x * 0x010203 + y * 0x100000);
  EXPECT_FALSE(SaveBmpFile(files, "/pics/a.bmp", pic));  // its folder is missing
  files.AddFolder("/pics");
  ASSERT_TRUE(SaveBmpFile(files, "/pics/a.bmp", pic));
  Bitmap back;
  ASSERT_TRUE(LoadBmpFile(files, "/pics/a.bmp", back));
  ASSERT_EQ(back.Width(), 5);
  ASSERT_EQ(back.Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(back.At(x, y), pic.At(x, y)) << x << "," << y;
  EXPECT_FALSE(LoadBmpFile(files, "/pics/missing.bmp", back));
}

TEST(BmpFile, DamagedOrForeignFilesAreRefusedAndLeaveThePictureAlone) {
  struct Case {
    const char* what;
    size_t offset;  // where `value` is written, as `size` bytes
    uint32_t value;
    int size;
    size_t cut = 0;  // bytes cut off the end
  } cases[] = {
      {"magic", 0, 'X', 1},
      {"pixel offset past the end", 10, 1000, 4},
      {"pixel offset leaves too few rows", 10, 60, 4},
      {"info header too small", 14, 12, 4},
      {"info header larger than the file", 14, 0xFFFFFFF0u, 4},
      {"zero width", 18, 0, 4},
      {"negative width", 18, 0xFFFFFFFFu, 4},
      {"too wide", 18, 8193, 4},
      {"zero height", 22, 0, 4},
      {"too tall", 22, 0x7FFFFFFFu, 4},
      {"too tall top-down", 22, uint32_t(-8193), 4},
      {"16 bits per pixel", 28, 16, 2},
      {"compressed", 30, 1, 4},
      {"last row cut short", 0, 'B', 1, 1},
      {"headers only", 0, 'B', 1, 24},
      {"shorter than the headers", 0, 'B', 1, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> b = Bottom24();
    for (int i = 0; i < c.size; ++i) b[c.offset + i] = uint8_t(c.value >> (8 * i));
    b.resize(b.size() - c.cut);
    Bitmap pic(1, 1);
    pic.Fill(0x123456);
    EXPECT_FALSE(ParseBmp(b, pic));
    EXPECT_EQ(pic.Width(), 1);
    EXPECT_EQ(pic.At(0, 0), 0x123456u);
  }
}

}  // namespace
}  // namespace tevrano
