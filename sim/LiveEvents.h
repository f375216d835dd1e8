// Alarm, motion and video-loss events that the simulated recorder reports
// to a logged-in viewer as the named item "Zell_LIVE_Event_W". A script
// says when each channel's event goes on and off, counted in seconds after
// the viewer's login:
//
//   [{"at": 2, "channel": 3, "kind": "alarm", "on": true},
//    {"at": 9, "channel": 3, "kind": "alarm", "on": false},
//    {"every": 10, "for": 4, "from": 1, "channel": 5, "kind": "motion"}]
//
// (or the same list as {"events": [...]}). "channel" is the camera number
// from 1 to the channel count; "kind" is "alarm", "motion" or "vloss". An
// entry with "at" switches the event at that moment ("on" true or false);
// one with "every" is periodic: on at from, from + every, from + 2 every …
// for "for" seconds each time ("from" defaults to 0). A channel's event is
// on when its switched state or any of its patterns says so.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tevrano::sim {

enum class EventKind : int { Alarm = 0, Motion = 1, Vloss = 2 };

// Masks by kind (alarm, motion, video loss); bit c is wire channel c
// (camera c + 1).
using EventMasks = std::array<uint32_t, 3>;

struct EventSwitch {
  double at = 0;
  int channel = 0;  // wire channel, 0-based
  EventKind kind = EventKind::Alarm;
  bool on = true;
};

struct EventPattern {
  double from = 0, every = 1, duration = 0;
  int channel = 0;
  EventKind kind = EventKind::Alarm;
};

class EventScript {
 public:
  static bool FromJson(const std::string& text, int channels, EventScript& out, std::string& error);
  static bool FromFile(const std::string& path, int channels, EventScript& out, std::string& error);

  void Add(const EventSwitch& s);
  void Add(const EventPattern& p);
  bool empty() const { return switches_.empty() && patterns_.empty(); }
  // The masks `seconds` after login.
  EventMasks MasksAt(double seconds) const;

 private:
  std::vector<EventSwitch> switches_;  // sorted by time, file order kept for equal times
  std::vector<EventPattern> patterns_;
};

// The 96-byte "Zell_LIVE_Event_W" record: zeros, then at 72 alarm mask,
// 76 alarm time, 80 motion mask, 84 motion time, 88 video-loss mask,
// 92 video-loss time (recorder seconds), 32-bit little-endian.
std::vector<uint8_t> LiveEventRecord(const EventMasks& masks, uint32_t time);

// "[3,5]": the camera numbers of a mask.
std::string CameraList(uint32_t mask);

}  // namespace tevrano::sim
