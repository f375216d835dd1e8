#pragma once
#include <cstdint>

#include "stream/PlaybackSearch.h"
#include "ui/Month.h"

namespace tevrano {

class RecorderNet;
class StreamSubsystem;
namespace platform {
class Clock;
}
namespace ui {
class Ui;
}

// Recording search, calendar and playback start, wired together: the
// "PBBA" module feeds the calendar's marks, the calendar's reference times
// drive the search, and a confirmed playback time restarts the recorder's
// playback. One per control, built at start-up; runs on the control's thread.
class PlaybackSubsystem {
 public:
  PlaybackSubsystem(RecorderNet& net, StreamSubsystem& streams, ui::Ui& ui,
                    const platform::Clock& clock);

  // Start-up: registers "PBBA" in the module table.
  void RegisterModule();
  // Start-up, after the on-screen interface is wired: the calendar's hooks
  // and its first state from the PC's local time.
  void Wire();
  // The main loop's 300 ms job: the search step while context 0 is in
  // Playback or Backup.
  void ThreeHundredMsStep();
  // Playback from `time` (recorder seconds) on context 0.
  void StartPlaybackAt(uint32_t time);

  PlaybackSearch& Search() { return search_; }
  ui::Month& Calendar() { return month_; }

 private:
  // The key form's playback time follows the playback while no calendar
  // edits it.
  void FollowPlaybackTime();
  void Redraw();

  RecorderNet& net_;
  StreamSubsystem& streams_;
  ui::Ui& ui_;
  const platform::Clock& clock_;
  RecorderContext* contexts_[2];
  PlaybackSearch search_;
  ui::Month month_;
  uint8_t buffer_[1280] = {};
};

}  // namespace tevrano
