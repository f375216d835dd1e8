#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/Form.h"
#include "control/ScriptingView.h"
#include "host/FormDump.h"
#include "host/QtHostServices.h"
#include "host/Script.h"

namespace tevrano::host {

// What a script acts on: the form model and the control's scripting view.
// The viewer's ControlHost provides it through the library's entry points.
class ScriptedControl {
 public:
  virtual ~ScriptedControl() = default;
  virtual TTevranoX& Form() = 0;
  virtual TevranoScriptingView ScriptingView() = 0;
  // What the dump reports of the control (its message log is the host's).
  virtual DumpState CollectDumpState() {
    DumpState state;
    state.view = ScriptingView();
    return state;
  }
  virtual std::optional<TevranoSkinTarget> FindSkinTarget(const std::string& skin,
                                                          const std::string& binding, int item) = 0;
  // The first value of the key panel's variable `name` ("IE_percentage#SD"),
  // or nothing when the binding table has no such variable.
  virtual std::optional<int32_t> InterfaceValue(const std::string& name) {
    (void)name;
    return std::nullopt;
  }
  // The last backup into movie files (control/ScriptingView.h).
  virtual TevranoBackupStatus BackupStatus() { return {}; }
};

// Carries out a parsed script on the control, on the UI thread between runs
// of the main loop. The caller lets the event loop run during each wait.
class ScriptRunner {
 public:
  struct Outcome {
    enum class Kind { Wait, Finished, Quit, Error };
    Kind kind = Kind::Finished;
    int waitMs = 0;     // Wait: how long to let the event loop run
    ScriptError error;  // Error: where and why
  };
  // How often a wait-until looks at its condition.
  static constexpr int kWaitUntilPollMs = 10;
  // How long a press on the key panel waits for a due redraw.
  static constexpr int64_t kKeyPanelWaitMs = 1000;

  // `nowMs` is a monotonic clock in milliseconds (the wait-until time-outs);
  // `host` (may be null) takes the answers of `answer` and gives the message
  // boxes to `dump`.
  ScriptRunner(ScriptedControl& control, std::vector<ScriptCommand> commands,
               std::function<int64_t()> nowMs, QtHostServices* host = nullptr);

  // Runs commands from the next one on until a wait, the end, a quit or an error.
  Outcome Continue();
  bool Done() const { return next_ >= commands_.size(); }

 private:
  // An error message, or empty when the command worked.
  std::string Execute(const ScriptCommand& command);
  // For the wait-until at next_: true when it holds; sets `why` when it timed out.
  bool WaitUntilHolds(const ScriptCommand& command, std::string& why);
  static bool PressesKeyPanel(const ScriptCommand& command);
  static bool Compares(int32_t value, ScriptCommand::Compare compare, int32_t against);

  ScriptedControl& control_;
  std::vector<ScriptCommand> commands_;
  std::function<int64_t()> nowMs_;
  QtHostServices* host_;
  size_t next_ = 0;
  // The wait-until in progress: when it began and the pictures shown then.
  bool waiting_ = false;
  int64_t waitStartMs_ = 0;
  uint64_t waitStartPictures_ = 0;
};

}  // namespace tevrano::host
