#include "host/BackupRun.h"

#include <unistd.h>

#include <cstdio>

#include "control/ScriptingView.h"

namespace tevrano::host {

namespace {
// TevranoBackupStatus outcomes.
constexpr int32_t kBackupComplete = 2;
constexpr int32_t kBackupIncomplete = 3;
}  // namespace

BackupRun::BackupRun(TevranoXHandle* control, BackupOptions options,
                     std::function<void(int)> finish)
    : control_(control), options_(std::move(options)), finish_(std::move(finish)) {
  terminal_ = ::isatty(STDOUT_FILENO) == 1;
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
}

void BackupRun::Start() {
  timer_.start(100);
}

void BackupRun::Progress(int percent) {
  if (terminal_) {
    if (percent == lastPrinted_) return;
    std::printf("\rbackup: %3d%%", percent);
    std::fflush(stdout);
    lastPrinted_ = percent;
    return;
  }
  // One line per 10 %.
  const int step = percent / 10 * 10;
  if (step <= lastPrinted_) return;
  std::printf("backup: %d%%\n", step);
  std::fflush(stdout);
  lastPrinted_ = step;
}

void BackupRun::Tick() {
  ++ticks_;
  if (!started_) {
    TevranoScriptingView view{};
    TevranoX_GetScriptingView(control_, &view);
    const bool loggedIn = view.loggedIn != 0;
    loggedInTicks_ = loggedIn ? loggedInTicks_ + 1 : 0;
    // Start once logged in and the stream flows (or a few seconds after the
    // login for recorders that send video over the command channel).
    const bool flowing = view.streamFlowing != 0;
    if (loggedIn && (flowing || loggedInTicks_ > 30)) {
      if (TevranoX_StartBackup(control_, options_.channel, options_.from, options_.to,
                               options_.out.c_str(), 0) != 0) {
        std::fprintf(stderr, "tevrano-viewer: the backup was refused\n");
        finish_(1);
        return;
      }
      started_ = true;
      Progress(0);
    } else if (ticks_ > 300) {
      std::fprintf(stderr, "tevrano-viewer: no login to the recorder within 30 s\n");
      finish_(1);
      return;
    }
    return;
  }
  TevranoBackupStatus status{};
  TevranoX_GetBackupStatus(control_, &status);
  switch (status.outcome) {
    case kBackupComplete:
      Progress(100);
      if (terminal_) std::printf("\n");
      std::printf("backup complete: %d movie file(s), the last %s\n", status.partsWritten,
                  status.fileName);
      std::fflush(stdout);
      finish_(0);
      return;
    case kBackupIncomplete:
      if (terminal_) std::printf("\n");
      std::printf("backup incomplete\n");
      std::fflush(stdout);
      finish_(1);
      return;
    default:
      Progress(status.percent);
  }
}

}  // namespace tevrano::host
