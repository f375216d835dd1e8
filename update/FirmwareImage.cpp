#include "update/FirmwareImage.h"

#include <memory>

#include "base/ByteReader.h"

namespace tevrano::firmware {

namespace {
// Reads up to `count` bytes at the file's position; stops early only at the
// end or on an error. Returns how many were read.
size_t ReadUpTo(platform::File& file, uint8_t* out, size_t count) {
  size_t got = 0;
  while (got < count) {
    const int64_t n = file.Read(out + got, count - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}
}  // namespace

ImageInfo ReadImageInfo(platform::FileSystem& files, std::string_view path) {
  ImageInfo info;
  const std::unique_ptr<platform::File> file = files.Open(path, platform::FileMode::kRead);
  if (!file) return info;
  info.opened = true;
  info.size = file->Size();
  if (info.size < 0) info.size = 0;

  // The marker: 4-byte words from 0x80000 on, read a block at a time.
  constexpr size_t kBlock = 64 * 1024;
  static_assert(kBlock % 4 == 0);
  std::unique_ptr<uint8_t[]> block(new uint8_t[kBlock]);
  int64_t position = kMarkerSearchStart;
  int64_t markerEnd = -1;
  while (markerEnd < 0 && position + 4 <= info.size && file->Seek(position)) {
    const size_t got = ReadUpTo(*file, block.get(), kBlock);
    ByteReader words(block.get(), got - got % 4);
    uint32_t word = 0;
    while (words.Le32(word)) {
      if (word == kMarker) {
        markerEnd = position + static_cast<int64_t>(words.Position());
        break;
      }
    }
    if (got < kBlock) break;
    position += static_cast<int64_t>(got);
  }
  if (markerEnd < 0) return info;
  info.marker = true;

  uint8_t text[kVersionBytes] = {};
  size_t got = 0;
  if (file->Seek(markerEnd + kVersionGap)) got = ReadUpTo(*file, text, kVersionBytes);
  ByteReader reader(text, got);
  reader.Text(got, info.versionText, sizeof info.versionText);
  return info;
}

std::string NewVersion(const char* versionText) {
  size_t i = 0;
  while (i < kVersionBytes && versionText[i] != '\0' && versionText[i] != ' ') ++i;
  if (i >= kVersionBytes || versionText[i] != ' ') return {};
  const size_t start = ++i;
  while (i < kVersionBytes && versionText[i] != '\0' && versionText[i] != '_') ++i;
  return std::string(versionText + start, i - start);
}

std::string CurrentVersion(std::string_view osCaption) {
  if (osCaption.size() <= 4) return {};
  std::string_view rest = osCaption.substr(4);
  return std::string(rest.substr(0, rest.find('_')));
}

std::string_view FileNameOf(std::string_view path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

}  // namespace tevrano::firmware
