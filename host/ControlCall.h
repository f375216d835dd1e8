#pragma once

namespace tevrano::host {

// Marks the time the UI thread spends inside the control (a timer run, a
// socket event, a mouse or widget event). Nothing else may call into the
// control meanwhile, even when a handler runs a nested event loop (a modal
// message box): socket events and timer runs wait until Busy() is false.
class ControlCall {
 public:
  ControlCall() { ++depth_; }
  ~ControlCall() { --depth_; }
  ControlCall(const ControlCall&) = delete;
  ControlCall& operator=(const ControlCall&) = delete;
  static bool Busy() { return depth_ > 0; }

 private:
  static inline int depth_ = 0;  // UI thread only
};

}  // namespace tevrano::host
