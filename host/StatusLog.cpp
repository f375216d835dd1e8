#include "host/StatusLog.h"

#include <chrono>

#include "control/ScriptingView.h"

namespace tevrano::host {

namespace {
constexpr int kPeriodMs = 100;
}

StatusLog::StatusLog(TevranoXHandle* control, const std::string& path) : control_(control) {
  file_ = std::fopen(path.c_str(), "w");
  if (!file_) return;
  connect(&timer_, &QTimer::timeout, this, [this] { WriteLine(); });
  timer_.start(kPeriodMs);
}

StatusLog::~StatusLog() {
  if (file_) std::fclose(file_);
}

void StatusLog::WriteLine() {
  if (!file_ || !control_) return;
  TevranoScriptingView v{};
  TevranoX_GetScriptingView(control_, &v);
  TevranoBackupStatus b{};
  TevranoX_GetBackupStatus(control_, &b);
  const double clock =
      std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  std::fprintf(file_,
               "{\"clock\":%.3f,\"logged_in\":%d,\"login_state\":%d,\"session\":%u,"
               "\"view_mode\":%d,\"pictures\":%llu,\"stream\":%d,\"backup\":%d,"
               "\"backup_percent\":%d,\"backup_parts\":%d}\n",
               clock, static_cast<int>(v.loggedIn), static_cast<int>(v.loginState),
               static_cast<unsigned>(v.sessionId), static_cast<int>(v.viewMode),
               static_cast<unsigned long long>(v.picturesShown), static_cast<int>(v.streamFlowing),
               static_cast<int>(b.outcome), static_cast<int>(b.percent),
               static_cast<int>(b.partsWritten));
  std::fflush(file_);
}

}  // namespace tevrano::host
