#pragma once
#include <QObject>
#include <QTimer>
#include <functional>

#include "control/TevranoApi.h"
#include "control/TevranoImpl1.h"
#include "host/ViewerOptions.h"
#include "platform/Platform.h"

namespace tevrano::host {

// Embeds the control the way the recorder's web page does: creates it through
// the library's entry points, puts the four properties and runs its Timer1
// on the UI thread, 10 ms after the end of each run while it is enabled.
class ControlHost : public QObject {
 public:
  explicit ControlHost(platform::Platform& platform);

  bool Created() const { return handle_ != nullptr; }
  TTevranoX& Form() { return *static_cast<TTevranoX*>(TevranoX_Form(handle_)); }
  TevranoX& Control() { return *static_cast<TevranoX*>(TevranoX_Object(handle_)); }

  // Puts DVRIP, HTTP_PORT, DVR_UK and HTTP_PAGE in that order (nothing without
  // --dvr-ip). False when the control refuses a put.
  bool PutProperties(const ViewerOptions& options, int64_t calendarTime);

  // Starts the timer; afterRun is called after every run (the window's sync).
  void Start(std::function<void()> afterRun);

 private:
  bool Put(int dispid, const std::string& text);
  void Tick();

  TevranoXHandle* handle_ = nullptr;
  QTimer timer_;
  std::function<void()> afterRun_;
};

}  // namespace tevrano::host
