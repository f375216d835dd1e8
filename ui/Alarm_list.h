#pragma once
#include <cstdint>
#include <functional>

namespace tevrano::ui {

class Ui;

// Event marks on the live view: the recorder's live event reports (the named
// item "Zell_LIVE_Event_W"), a history of the last 32, and the marker words
// "Alarm", "Motion", "Vloss" laid over the channel cells of the split shown.
// Runs on the control's thread; allocates nothing after construction.
class Alarm_list {
 public:
  static constexpr int kHistory = 32;
  static constexpr int kChannels = 16;
  static constexpr int kKinds = 3;  // alarm, motion, video loss
  enum Kind : int { kAlarm = 0, kMotion = 1, kVloss = 2 };
  // The live event item: 96 bytes, the last 24 hold alarm mask, alarm time,
  // motion mask, motion time, video-loss mask, video-loss time (32-bit LE;
  // masks: bit c = channel c; times in recorder seconds).
  static constexpr uint32_t kItemSize = 96;
  static constexpr uint32_t kEventsOffset = 72;

  struct Entry {
    uint32_t mask = 0;
    uint32_t time = 0;  // recorder seconds
  };

  // One marker slot of a channel. The rectangle is in the overlay's
  // (Image2's) own pixels and lies inside it.
  struct Marker {
    int state = 0;  // 0 hidden, 2 shown
    int x = 0, y = 0, width = 0, height = 0;
    int fontSize = 0;    // points
    uint32_t color = 0;  // 0x00RRGGBB
  };

  // An event that came on: the list a user can open keeps the last 32 of
  // each channel.
  struct Event {
    uint32_t time = 0;  // recorder seconds
    int channel = 0;    // 0..15
    int kind = 0;       // Kind
  };

  static const char* KindName(int kind);  // "Alarm", "Motion", "Vloss"
  static uint32_t KindColor(int kind);    // 0xFF0000, 0x00FF00, 0x0000FF

  // `knownSession` tells whether a SessionId belongs to one of the recorder
  // contexts (a logged-in one); reports from any other are ignored.
  Alarm_list(const Ui& ui, std::function<bool(uint32_t sessionId)> knownSession);

  // The arrival action of "Zell_LIVE_Event_W": `item` holds the record as
  // stored (`length` bytes). A report from an unknown session, or shorter
  // than the record, changes nothing. The first report enables the markers.
  void Event_Report(uint32_t sessionId, const uint8_t* item, uint32_t length);
  // The time stamp (recorder seconds) of the picture just drawn; kept only
  // once the markers are enabled.
  void SetShownTime(uint32_t time);
  // After every decode call: picks the newest report not later than the
  // shown picture and lays the markers out for the page and split shown.
  void Event_Markers_Refresh(int height);
  // The overlay's size in pixels (the cells are laid over it).
  void SetOverlaySize(int width, int height);

  bool Enabled() const { return enabled_; }
  uint32_t ShownTime() const { return shownTime_; }
  const Entry& History(int kind, int i) const { return history_[kind][i]; }
  const Marker& MarkerOf(int channel, int kind) const { return markers_[channel][kind]; }
  // Set when a refresh changed a marker; the overlay drawing clears it.
  bool Changed() const { return changed_; }
  void ClearChanged() { changed_ = false; }
  bool HadVideo(int channel) const { return hadVideo_[channel]; }

  // The event list, newest first (i < RecentCount(channel)).
  int RecentCount(int channel) const { return recentCount_[channel]; }
  const Event& Recent(int channel, int i) const;

 private:
  void HideAll(Marker (&markers)[kChannels][kKinds]) const;
  void Remember(int channel, int kind, uint32_t time);

  const Ui& ui_;
  std::function<bool(uint32_t)> knownSession_;
  Entry history_[kKinds][kHistory];
  Marker markers_[kChannels][kKinds];
  Marker next_[kChannels][kKinds];
  bool enabled_ = false;
  bool changed_ = false;
  uint32_t shownTime_ = 0;
  int overlayWidth_ = 704, overlayHeight_ = 576;
  bool previousVloss_[kChannels] = {};
  bool hadVideo_[kChannels] = {};
  Event recent_[kChannels][kHistory];
  int recentHead_[kChannels] = {};  // index of the newest
  int recentCount_[kChannels] = {};
};

}  // namespace tevrano::ui
