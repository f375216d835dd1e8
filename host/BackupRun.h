#pragma once
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "control/TevranoApi.h"
#include "host/BackupOptions.h"

namespace tevrano::host {

// Runs one backup headless: waits for the login, starts the same backup job
// as the Backup page, prints the progress and ends the run with 0 when the
// movie (all its parts) is complete, 1 when it is not.
class BackupRun : public QObject {
 public:
  BackupRun(TevranoXHandle* control, BackupOptions options, std::function<void(int)> finish);
  void Start();

 private:
  void Tick();
  void Progress(int percent);

  TevranoXHandle* control_;
  BackupOptions options_;
  std::function<void(int)> finish_;
  QTimer timer_;
  bool started_ = false;
  bool terminal_ = false;
  int ticks_ = 0;
  int loggedInTicks_ = 0;
  int lastPrinted_ = -1;
};

}  // namespace tevrano::host
