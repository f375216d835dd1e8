#pragma once
#include <QObject>
#include <QTimer>
#include <cstdio>
#include <string>

#include "control/TevranoApi.h"

namespace tevrano::host {

// --status-log FILE: ten times a second, one JSON line with the machine's
// monotonic clock and the control's login, view, picture count, stream and
// backup state, so that a test driver outside the viewer can tell when it
// lost its recorder and when it logged in and drew pictures again.
class StatusLog : public QObject {
 public:
  StatusLog(TevranoXHandle* control, const std::string& path);
  ~StatusLog() override;
  bool Ok() const { return file_ != nullptr; }
  // Writes the current state at once (also at exit).
  void WriteLine();

 private:
  TevranoXHandle* control_;
  std::FILE* file_ = nullptr;
  QTimer timer_;
};

}  // namespace tevrano::host
