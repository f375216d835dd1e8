// Where backups go and what their files are called.
#include "record/BackupNames.h"

#include <cstdio>

#include "base/RecorderTime.h"

namespace tevrano::record {

std::string BackupFolder(std::string_view home) {
  std::string folder(home);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.empty()) folder = ".";
  if (folder != "/") folder += '/';
  return folder + kBackupFolderName;
}

std::string DefaultBackupName(uint32_t channel, uint32_t start, uint32_t now) {
  const ui::RecorderDate d = ui::UnpackRecorderTime(start);
  char name[96];
  std::snprintf(name, sizeof name, "ch%02u_%4d%02d%02d_%02d%02d%02d_%09u.mov", channel + 1, d.year,
                d.month, d.day, d.hour, d.minute, d.second, now);
  return name;
}

std::string MovieBase(std::string_view path) {
  if (path.size() >= 4) {
    const std::string_view tail = path.substr(path.size() - 4);
    bool mov = tail[0] == '.';
    for (int i = 1; i < 4; ++i) mov = mov && (tail[size_t(i)] | 0x20) == ".mov"[i];
    if (mov) return std::string(path.substr(0, path.size() - 4));
  }
  return std::string(path);
}

std::string MoviePartName(std::string_view base, int part) {
  std::string name(base);
  if (part > 0) name += "(" + std::to_string(part) + ")";
  return name + ".mov";
}

std::string FolderOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

}  // namespace tevrano::record
