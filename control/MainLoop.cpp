// The 10 ms main loop: one run takes the command answers, runs the periodic
// jobs that are due, connects and polls, parses the streams, repaints the
// event marks and times out the speaker button, in that order.
#include "control/TevranoImpl1.h"

namespace tevrano {

void TevranoX::Timer1Timer() {
  // 1. A slow run is never re-entered: the next one starts 10 ms after this.
  form_.Timer1.SetEnabled(false);
  const Ticks now = ElapsedTicks();

  // 2. Command answers of both contexts, then the packets that came over the
  //    command channel, then the view state's delayed actions.
  net_.TakeAnswers();
  stream_.DeliverPackets();

  // 3. One-second job: backup progress and the link watchdog.
  if (TicksSince(now, loop_.stamps[0]) > MainLoopState::kOneSecond) {
    loop_.stamps[0] = now;
    net_.LinkWatchdog();
    backup_.OneSecondStep();
  }

  // 4. 300 ms job: title rows, the title progress bar, the playback search.
  if (TicksSince(now, loop_.stamps[1]) > MainLoopState::kThreeHundredMs) {
    loop_.stamps[1] = now;
    playback_.ThreeHundredMsStep();
  }

  // 5. 33 ms job: pacing counter, key repeat, pointer redraw.
  if (TicksSince(now, loop_.stamps[2]) > MainLoopState::kThirtyThreeMs) {
    if (loop_.framePacingCounter < 3) ++loop_.framePacingCounter;
    ui_.ThirtyThreeMsStep();
    loop_.stamps[2] = now;
  }

  // 6. Connect and poll the recorder (context 0 only).
  net_.ConnectWanted();
  net_.PollRecorder(net_.Context(0));

  // 7. Parse the received streams.
  stream_.ParseStreams();
  backup_.Poll();

  // 8. Event marks into the overlay.
  if (eventMarks_.Changed()) {
    eventMarks_.Redraw(form_.Image2.picture, nullptr, 0, markText_.get());
    form_.Image2.Invalidate();
    eventMarks_.ClearChanged();
  }

  // 9. The speaker button's hover ends two seconds after the last movement.
  SpeakerTimeout();

  ++loop_.runs;
  // 10.
  form_.Timer1.SetEnabled(true);
}

void TevranoX::SpeakerTimeout() {
  if (speaker_.hot && TicksSince(ElapsedTicks(), speaker_.lastMovement) > SpeakerState::kHotTimeout)
    speaker_.hot = false;
  if (speaker_.hot != speaker_.lastShownHot) {
    ShowSpeakerImages(speaker_.hot, speaker_.audioHeard, speaker_.enabled,
                      speaker_.previousEnabled);
    speaker_.lastShownHot = speaker_.hot;
  }
}

void TevranoX::ShowSpeakerImages(bool hot, bool audioHeard, bool enabled, bool previousEnabled) {
  form_.Image_Trumpet_On.SetVisible(false);
  form_.Image_Trumpet_Off.SetVisible(false);
  if (!hot || !audioHeard || !ViewCarriesAudio()) return;
  (enabled ? form_.Image_Trumpet_On : form_.Image_Trumpet_Off).SetVisible(true);
}

// Audio belongs to a single live channel or to the playback channel.
bool TevranoX::ViewCarriesAudio() const {
  const ViewState& view = stream_.ViewOf(0);
  if (view.Mode == kModeLive) return view.Live.SplitKind == 0 && view.Live.Channel < 16;
  if (view.Mode == kModePlayback) return view.PlaybackChannel() < 16;
  return false;
}

}  // namespace tevrano
