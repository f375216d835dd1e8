#pragma once
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

#include "base/Form.h"
#include "control/TevranoApi.h"
#include "host/ScriptRunner.h"
#include "host/ViewerOptions.h"
#include "platform/Platform.h"

namespace tevrano::host {

// Embeds the control the way the recorder's web page does: creates it through
// the library's entry points, puts the four properties and runs its Timer1
// on the UI thread, 10 ms after the end of each run while it is enabled. The
// host sees the control only through those entry points, the form model and
// the scripting view; it destroys the control with itself.
class ControlHost : public QObject, public ScriptedControl {
 public:
  explicit ControlHost(platform::Platform& platform);
  ~ControlHost() override;

  bool Created() const { return handle_ != nullptr; }
  TTevranoX& Form() override { return *static_cast<TTevranoX*>(TevranoX_Form(handle_)); }
  TevranoXHandle* Handle() { return handle_; }

  // The control's state the form does not show (control/ScriptingView.h).
  TevranoScriptingView ScriptingView() override;
  DumpState CollectDumpState() override;
  // The event list (control/ScriptingView.h's TevranoEventItem).
  std::vector<TevranoEventItem> Events();
  std::optional<TevranoSkinTarget> FindSkinTarget(const std::string& skin,
                                                  const std::string& binding, int item) override;
  std::optional<int32_t> InterfaceValue(const std::string& name) override;
  TevranoBackupStatus BackupStatus() override;

  // Set when the data folder held no key panel skin or no background
  // picture: what the viewer says on standard error and keeps in the status
  // line (Label_time) instead of drawing an empty panel.
  const std::optional<std::string>& MissingData() const { return missingData_; }

  // Puts DVRIP, HTTP_PORT, DVR_UK and HTTP_PAGE in that order (nothing without
  // --dvr-ip). False when the control refuses a put.
  bool PutProperties(const ViewerOptions& options, int64_t calendarTime);

  // Starts the timer; afterRun is called after every run (the window's sync).
  void Start(std::function<void()> afterRun);
  // Stops the timer and destroys the control (its sockets, timers and audio
  // stop with it). Safe to call twice.
  void Destroy();

 private:
  bool Put(int dispid, const std::string& text);
  void Tick();
  void ShowMissingData();

  TevranoXHandle* handle_ = nullptr;
  QTimer timer_;
  std::function<void()> afterRun_;
  std::optional<std::string> missingData_;
};

// The status-line text for a data folder without skins or pictures; empty
// when both were found.
std::string MissingDataMessage(const TevranoScriptingView& view);

}  // namespace tevrano::host
