#pragma once
#include <cstdint>
#include <functional>
#include <string_view>

#include "view/IcmdModule.h"

namespace tevrano {

class StreamSystem;
class TTevranoX;

// The view command of the on-screen interface: switches the mode, fills the
// view record of the page, resets the stream presentation and tells the
// recorder. Runs on the control's thread.
class ViewControl {
 public:
  struct Hooks {
    std::function<void(int channel)> setAudioChannel;  // -1: no camera heard
    std::function<void()> speakerReset;                // clears the speaker's hot flags
    std::function<void()> showSpeakerImages;           // hot 0, audio heard 0
    std::function<void()> hideSpeedDomePad;
    std::function<void()> redrawInterface;  // full redraw of the on-screen interface
    // The backup job: state 1 start, 4 end; its path; its file part.
    std::function<void(int state)> setBackupJobState;
    std::function<void(std::string_view path)> setBackupPath;
    std::function<void()> resetBackupFilePart;
  };

  ViewControl(IcmdModule& icmd, StreamSystem& stream, TTevranoX& form,
              RecorderContext* contexts[2]);
  Hooks& GetHooks() { return hooks_; }

  // page 0 Live, 1 Playback, 2 Backup, 3 Setup (4 local movie); layout 0..15
  // one channel, 16..22 the splits.
  void ViewCommand(int context, int channelCount, uint32_t page, uint32_t playbackState,
                   uint32_t layout, bool noSend);
  // which 0: the playback (and backup) start time; which 1: the backup end time.
  void SetPlaybackStart(ViewState& view, uint32_t time, int which);
  // Returns the new backup state (1 started, 0 not).
  uint32_t SetBackupRunning(ViewState& view, bool start, std::string_view path);

 private:
  int ContextOf(const ViewState& view) const;
  void RestartPlayback(ViewState& view);
  void StorePlayState(ViewState& view, uint32_t flag, int32_t direction);
  void SpeedDomeForSingleChannel(bool live);

  IcmdModule& icmd_;
  StreamSystem& stream_;
  TTevranoX& form_;
  RecorderContext* contexts_[2];
  Hooks hooks_;
};

}  // namespace tevrano
