#pragma once
#include <vector>

#include "control/TevranoImpl1.h"
#include "host/QtHostServices.h"
#include "host/Script.h"

namespace tevrano::host {

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

  // `host` (may be null) takes the answers of `answer` and gives the
  // message boxes to `dump`.
  ScriptRunner(TevranoX& control, std::vector<ScriptCommand> commands,
               QtHostServices* host = nullptr)
      : control_(control), commands_(std::move(commands)), host_(host) {}

  // Runs commands from the next one on until a wait, the end, a quit or an error.
  Outcome Continue();
  bool Done() const { return next_ >= commands_.size(); }

 private:
  // An error message, or empty when the command worked.
  std::string Execute(const ScriptCommand& command);

  TevranoX& control_;
  std::vector<ScriptCommand> commands_;
  QtHostServices* host_;
  size_t next_ = 0;
};

}  // namespace tevrano::host
