#include "host/ControlHost.h"

#include <cstdio>

#include "base/Properties.h"
#include "host/ControlCall.h"
#include "host/ScrambleText.h"

namespace tevrano::host {

std::string MissingDataMessage(const TevranoScriptingView& view) {
  std::string missing;
  if (!view.keyPanelSkinLoaded) missing = "no key panel skin";
  if (!view.backgroundPictureLoaded)
    missing += missing.empty() ? "no pictures" : " and no pictures";
  if (missing.empty()) return {};
  return missing + " in " + view.dataFolder + " (set TEVRANO_DATA_DIR or build tevrano_skins)";
}

ControlHost::ControlHost(platform::Platform& platform) {
  {
    ControlCall call;  // form creation may already ask for sockets and dialogs
    handle_ = TevranoX_Create(&platform);
  }
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
  if (!handle_) return;
  const std::string missing = MissingDataMessage(ScriptingView());
  if (!missing.empty()) {
    missingData_ = missing;
    std::fprintf(stderr, "tevrano-viewer: %s\n", missing.c_str());
    ShowMissingData();
  }
}

ControlHost::~ControlHost() {
  Destroy();
}

void ControlHost::Destroy() {
  timer_.stop();
  if (!handle_) return;
  ControlCall call;
  TevranoX_Destroy(handle_);
  handle_ = nullptr;
}

std::vector<TevranoEventItem> ControlHost::Events() {
  std::vector<TevranoEventItem> events(TevranoX_GetEvents(handle_, nullptr, 0));
  TevranoX_GetEvents(handle_, events.data(), static_cast<int32_t>(events.size()));
  return events;
}

DumpState ControlHost::CollectDumpState() {
  DumpState state;
  state.view = ScriptingView();
  state.interfaceVariables.resize(TevranoX_GetInterfaceVariables(handle_, nullptr, 0));
  TevranoX_GetInterfaceVariables(handle_, state.interfaceVariables.data(),
                                 static_cast<int32_t>(state.interfaceVariables.size()));
  state.events = Events();
  state.backup = BackupStatus();
  return state;
}

std::optional<int32_t> ControlHost::InterfaceValue(const std::string& name) {
  std::vector<TevranoInterfaceVariable> variables(
      TevranoX_GetInterfaceVariables(handle_, nullptr, 0));
  TevranoX_GetInterfaceVariables(handle_, variables.data(), static_cast<int32_t>(variables.size()));
  for (const TevranoInterfaceVariable& v : variables)
    if (name == v.name && v.count > 0) return v.values[0];
  return std::nullopt;
}

TevranoBackupStatus ControlHost::BackupStatus() {
  TevranoBackupStatus status{};
  TevranoX_GetBackupStatus(handle_, &status);
  return status;
}

TevranoScriptingView ControlHost::ScriptingView() {
  TevranoScriptingView view{};
  TevranoX_GetScriptingView(handle_, &view);
  return view;
}

std::optional<TevranoSkinTarget> ControlHost::FindSkinTarget(const std::string& skin,
                                                             const std::string& binding, int item) {
  TevranoSkinTarget target{};
  if (TevranoX_FindSkinTarget(handle_, skin.c_str(), binding.c_str(), item, &target) != 0)
    return std::nullopt;
  return target;
}

// The status line keeps the fault in sight: the control's own texts
// (connection, page and layout) would otherwise replace it.
void ControlHost::ShowMissingData() {
  if (missingData_ && Form().Label_time.caption != *missingData_)
    Form().Label_time.SetCaption(*missingData_);
}

bool ControlHost::Put(int dispid, const std::string& text) {
  TevranoVariantIn v{8, 0, text.c_str()};
  ControlCall call;
  int32_t hr = TevranoX_PutProperty(handle_, dispid, &v);
  if (hr < 0) std::fprintf(stderr, "tevrano-viewer: the control refused property %d\n", dispid);
  return hr >= 0;
}

bool ControlHost::PutProperties(const ViewerOptions& o, int64_t calendarTime) {
  if (!o.dvrIp) return true;
  std::string token;
  if (o.token) token = *o.token;
  if (o.user) token = ScrambleText(*o.user, *o.password, calendarTime);
  bool ok = Put(kDispidDvrIp, *o.dvrIp);
  ok = Put(kDispidHttpPort, std::to_string(o.port)) && ok;
  ok = Put(kDispidDvrUk, token) && ok;
  ok = Put(kDispidHttpPage, std::to_string(o.httpPage)) && ok;
  return ok;
}

void ControlHost::Start(std::function<void()> afterRun) {
  afterRun_ = std::move(afterRun);
  timer_.start(Form().Timer1.interval);
}

void ControlHost::Tick() {
  if (!handle_) return;
  // A nested event loop inside the control (a modal dialog) must not run the
  // loop again: wait until it returns.
  if (ControlCall::Busy()) {
    timer_.start(1);
    return;
  }
  // While Timer1 is disabled the host only looks again each interval, so a
  // re-enabled timer resumes within 10 ms.
  if (TevranoX_TimerEnabled(handle_)) {
    ControlCall call;
    TevranoX_Timer(handle_);
  }
  ShowMissingData();
  if (afterRun_) afterRun_();
  const int interval = Form().Timer1.interval;
  timer_.start(interval > 0 ? interval : 10);
}

}  // namespace tevrano::host
