#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace tevrano::firmware {

// A recorder firmware image carries a marker word at a 4-byte step from
// offset 0x80000; its version text lies 11 bytes after the marker's end.
constexpr uint32_t kMarker = 0x013218FC;
constexpr int64_t kMarkerSearchStart = 524288;
constexpr int64_t kVersionGap = 11;
constexpr size_t kVersionBytes = 23;

struct ImageInfo {
  bool opened = false;  // the file could be opened for reading
  int64_t size = 0;     // its length in bytes
  bool marker = false;  // the marker was found
  // The 23 bytes of the version text, always terminated (empty without a marker).
  char versionText[kVersionBytes + 1] = {};
};

// Opens `path` and looks for the marker and the version text.
ImageInfo ReadImageInfo(platform::FileSystem& files, std::string_view path);

// The new version: the characters after the first space of the version
// text up to the next underscore (both searches stay within its 23 bytes).
std::string NewVersion(const char* versionText);
// The current version: the OS text of the system information ("[OS] 1.2_x")
// from its fifth character up to the first underscore.
std::string CurrentVersion(std::string_view osCaption);
// The file's name after the last '\' or '/' of the path.
std::string_view FileNameOf(std::string_view path);

}  // namespace tevrano::firmware
