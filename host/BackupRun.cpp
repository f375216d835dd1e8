#include "host/BackupRun.h"

#include <unistd.h>

#include <cstdio>

#include "control/TevranoImpl1.h"

namespace tevrano::host {

BackupRun::BackupRun(TevranoX& control, BackupOptions options, std::function<void(int)> finish)
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
  BackupSubsystem& backup = control_.Backup();
  if (!started_) {
    const bool loggedIn = control_.Net().Context(0).LoggedIn != 0;
    loggedInTicks_ = loggedIn ? loggedInTicks_ + 1 : 0;
    // Start once logged in and the stream flows (or a few seconds after the
    // login for recorders that send video over the command channel).
    const bool flowing = control_.Streams().Stream().StreamState() == 3;
    if (loggedIn && (flowing || loggedInTicks_ > 30)) {
      backup.SetOpenFolderAtEnd(false);
      if (!backup.StartBackup(options_.channel, options_.from, options_.to, options_.out)) {
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
  const record::BackupJob& job = backup.Job();
  switch (job.Outcome()) {
    case record::BackupOutcome::kComplete:
      Progress(100);
      if (terminal_) std::printf("\n");
      std::printf("backup complete: %d movie file(s), the last %s\n", job.PartsWritten(),
                  job.FileName().c_str());
      std::fflush(stdout);
      finish_(0);
      return;
    case record::BackupOutcome::kIncomplete:
      if (terminal_) std::printf("\n");
      std::printf("backup incomplete\n");
      std::fflush(stdout);
      finish_(1);
      return;
    default:
      Progress(job.Percent());
  }
}

}  // namespace tevrano::host
