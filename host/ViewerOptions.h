#pragma once
#include <optional>
#include <string>
#include <vector>

#include "host/BackupOptions.h"

namespace tevrano::host {

// The command line of tevrano-viewer.
struct ViewerOptions {
  std::optional<std::string> dvrIp;  // without it no property is put
  int port = 80;
  std::optional<std::string> user, password;  // decimal digits
  std::optional<std::string> token;           // a ready DVR_UK
  int httpPage = 0;
  bool headless = false;
  std::optional<double> runForSeconds;
  std::optional<std::string> snapshotPath, dumpPath, scriptPath;
  std::optional<std::string> audioOutPath;  // sound into this WAV file instead of the speakers
  // --backup CHANNEL --from TIME --to TIME --out FILE.mov (headless).
  std::optional<BackupOptions> backup;
  int updatePort = 21;  // the recorder's firmware update port
  // --status-log FILE: the control's state as JSON lines, ten a second.
  std::optional<std::string> statusLogPath;
};

struct OptionsResult {
  std::optional<ViewerOptions> options;  // empty on a bad command line
  std::string error;                     // why, for the usage message
  bool help = false;
};

// args without the program name.
OptionsResult ParseViewerOptions(const std::vector<std::string>& args);

extern const char* const kViewerUsage;

}  // namespace tevrano::host
