#include "host/Viewer.h"

#include <unistd.h>
#include <QApplication>
#include <QShortcut>
#include <QSocketNotifier>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "host/ControlCall.h"
#include "host/EventListWindow.h"
#include "host/FormDump.h"
#include "host/FormRenderer.h"
#include "host/FormWindow.h"

namespace tevrano::host {

namespace {
// --audio-out, else TEVRANO_AUDIO_WAV, else the speakers.
std::string WavPath(const ViewerOptions& options) {
  if (options.audioOutPath) return *options.audioOutPath;
  const char* path = std::getenv("TEVRANO_AUDIO_WAV");
  return path ? path : "";
}

int gSignalPipe[2] = {-1, -1};
void OnSignal(int) {
  char c = 1;
  [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &c, 1);
}
}  // namespace

Viewer::Viewer(const ViewerOptions& options, std::optional<std::string> scriptText)
    : options_(options),
      scriptText_(std::move(scriptText)),
      platform_(options.headless, WavPath(options)),
      host_(platform_.platform) {
  platform_.sockets.SetUpdatePort(options.updatePort);
  scriptTimer_.setSingleShot(true);
  connect(&scriptTimer_, &QTimer::timeout, this, [this] { ContinueScript(); });
}

Viewer::~Viewer() = default;

int Viewer::Run() {
  if (!host_.Created()) {
    std::fprintf(stderr, "tevrano-viewer: the control could not be created\n");
    return 1;
  }
  if (scriptText_) {
    ParsedScript parsed = ParseScript(*scriptText_, host_.Form());
    if (parsed.error) {
      std::fprintf(stderr, "tevrano-viewer: %s:%d: %s\n", options_.scriptPath->c_str(),
                   parsed.error->line, parsed.error->message.c_str());
      Exit(2);
    }
    script_ = std::make_unique<ScriptRunner>(
        host_, std::move(parsed.commands),
        [] {
          return std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now().time_since_epoch())
              .count();
        },
        &platform_.host);
  }
  host_.PutProperties(options_, platform_.clock.CalendarTime());

  if (!options_.headless) {
    window_ = std::make_unique<FormWindow>(host_.Form());
    window_->show();
    // The event list opens with Ctrl+E over the main window.
    eventList_ =
        std::make_unique<EventListWindow>([this] { return host_.Events(); }, window_.get());
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_E), window_.get());
    connect(shortcut, &QShortcut::activated, this, [this] {
      eventList_->show();
      eventList_->raise();
    });
    connect(qApp, &QApplication::lastWindowClosed, this, [this] { Finish(0); });
  }
  host_.Start([this] {
    if (window_) window_->Sync();
  });
  if (options_.runForSeconds) {
    QTimer::singleShot(static_cast<int>(*options_.runForSeconds * 1000), Qt::PreciseTimer, this,
                       [this] { Finish(0); });
  }
  WatchSignals();
  if (options_.statusLogPath) {
    statusLog_ = std::make_unique<StatusLog>(host_.Handle(), *options_.statusLogPath);
    if (!statusLog_->Ok())
      std::fprintf(stderr, "tevrano-viewer: cannot write %s\n", options_.statusLogPath->c_str());
  }
  if (script_) scriptTimer_.start(0);
  if (options_.backup) {
    backupRun_ = std::make_unique<BackupRun>(host_.Handle(), *options_.backup,
                                             [this](int code) { Finish(code); });
    backupRun_->Start();
  }
  QApplication::exec();
  Finish(0);
}

void Viewer::ContinueScript() {
  if (ControlCall::Busy()) {  // a modal dialog of the control is open
    scriptTimer_.start(10);
    return;
  }
  ScriptRunner::Outcome outcome = script_->Continue();
  if (window_) window_->Sync();
  switch (outcome.kind) {
    case ScriptRunner::Outcome::Kind::Wait:
      scriptTimer_.start(outcome.waitMs);
      break;
    case ScriptRunner::Outcome::Kind::Quit:
      Finish(0);
    case ScriptRunner::Outcome::Kind::Error:
      std::fprintf(stderr, "tevrano-viewer: %s:%d: %s\n", options_.scriptPath->c_str(),
                   outcome.error.line, outcome.error.message.c_str());
      Finish(2);
    case ScriptRunner::Outcome::Kind::Finished:
      // Headless and without a time limit, the end of the script is the end
      // of the run; a window stays open for the user.
      if (options_.headless && !options_.runForSeconds) Finish(0);
      break;
  }
}

void Viewer::Finish(int code) {
  if (options_.snapshotPath && !FormRenderer::SaveSnapshot(*options_.snapshotPath, host_.Form())) {
    std::fprintf(stderr, "tevrano-viewer: cannot write %s\n", options_.snapshotPath->c_str());
    if (code == 0) code = 1;
  }
  if (statusLog_) statusLog_->WriteLine();
  DumpState state = host_.CollectDumpState();
  state.messages = &platform_.host.Messages();
  if (options_.dumpPath && !WriteDumpFile(*options_.dumpPath, host_.Form(), state)) {
    std::fprintf(stderr, "tevrano-viewer: cannot write %s\n", options_.dumpPath->c_str());
    if (code == 0) code = 1;
  }
  Exit(code);
}

void Viewer::Exit(int code) {
  // The control stops its sockets, timer and sound and is freed; the
  // library may then be unloaded.
  // Not while the UI thread is inside the control (a signal or the time limit
  // during a modal dialog): the process ends without freeing it then.
  window_.reset();
  if (!ControlCall::Busy()) host_.Destroy();
  DllCanUnloadNow();
  std::fflush(nullptr);
  std::_Exit(code);
}

void Viewer::WatchSignals() {
  // SIGINT and SIGTERM end the run like --run-for does, outputs included.
  if (::pipe(gSignalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, [this] {
    // A backup cut short: the movie written so far is finished, the run failed.
    if (backupRun_) {
      TevranoX_StopBackup(host_.Handle());
      Finish(1);
    }
    Finish(0);
  });
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
}

}  // namespace tevrano::host
