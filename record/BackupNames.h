#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tevrano::record {

// The folder backups go to, inside the user's home.
constexpr const char* kBackupFolderName = "DVR_Backup";

// `home` + "/DVR_Backup" (no doubled slash).
std::string BackupFolder(std::string_view home);

// The default movie name for camera `channel` (0-based) and a span that
// starts at recorder time `start`; `now` is the PC's local time packed into
// recorder seconds: "ch01_20090307_140509_000123456.mov".
std::string DefaultBackupName(uint32_t channel, uint32_t start, uint32_t now);

// The base of a chosen movie path: the path without a trailing ".mov" (any
// case); a path without one is its own base.
std::string MovieBase(std::string_view path);

// The file of part `part` (0 first): base + ".mov", then base + "(1).mov" …
std::string MoviePartName(std::string_view base, int part);

// The folder part of a path ("." when it has none).
std::string FolderOf(std::string_view path);

}  // namespace tevrano::record
