#pragma once
#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>

#include "host/BackupRun.h"
#include "host/ControlHost.h"
#include "host/QtPlatform.h"
#include "host/ScriptRunner.h"
#include "host/StatusLog.h"
#include "host/ViewerOptions.h"

namespace tevrano::host {

class FormWindow;
class EventListWindow;

// One run of tevrano-viewer: the control, its window (unless headless), the
// script, the run-for limit and the snapshot and dump written at exit.
class Viewer : public QObject {
 public:
  Viewer(const ViewerOptions& options, std::optional<std::string> scriptText);
  ~Viewer() override;
  // Runs the event loop; returns the exit code.
  int Run();

 private:
  void StartScript();
  void ContinueScript();
  // Writes the snapshot and the dump, destroys the control and ends the
  // process with `code`.
  [[noreturn]] void Finish(int code);
  [[noreturn]] void Exit(int code);
  void WatchSignals();

  ViewerOptions options_;
  std::optional<std::string> scriptText_;
  QtPlatform platform_;
  ControlHost host_;
  std::unique_ptr<FormWindow> window_;
  std::unique_ptr<EventListWindow> eventList_;
  std::unique_ptr<ScriptRunner> script_;
  QTimer scriptTimer_;
  std::unique_ptr<BackupRun> backupRun_;
  std::unique_ptr<StatusLog> statusLog_;
};

}  // namespace tevrano::host
