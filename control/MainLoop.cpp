// The 10 ms main loop: one run takes the command answers, runs the periodic
// jobs that are due, connects and polls, parses the streams, repaints the
// event marks and times out the speaker button, in that order.
#include "control/TevranoImpl1.h"

namespace tevrano {

namespace {
// A periodic job is due when more than its period has passed since it was
// last due. Its stamp then moves on by one period, so the job keeps its own
// rhythm however the 10 ms runs fall (the 33 ms job runs about every 33 ms,
// not on every fourth run); after a pause it runs once and counts from now.
bool Due(Ticks now, Ticks& stamp, Ticks period) {
  if (TicksSince(now, stamp) <= period) return false;
  stamp += period;
  if (TicksSince(now, stamp) > period) stamp = now;
  return true;
}
}  // namespace

void TevranoX::Timer1Timer() {
  // 1. A slow run is never re-entered: the next one starts 10 ms after this.
  form_.Timer1.SetEnabled(false);
  const Ticks now = ElapsedTicks();

  // 2. Command answers of both contexts, then the packets that came over the
  //    command channel, then the view state's delayed actions.
  net_.TakeAnswers();
  stream_.DeliverPackets();

  // 3. One-second job: backup progress and the link watchdog.
  if (Due(now, loop_.stamps[0], MainLoopState::kOneSecond)) {
    net_.LinkWatchdog();
    backup_.OneSecondStep();
  }

  // 4. 300 ms job: title rows, the title progress bar, the playback search.
  if (Due(now, loop_.stamps[1], MainLoopState::kThreeHundredMs)) {
    if (titles_) titles_->ThreeHundredMsStep();
    playback_.ThreeHundredMsStep();
  }

  // 5. 33 ms job: pacing counter, key repeat, pointer redraw.
  if (Due(now, loop_.stamps[2], MainLoopState::kThirtyThreeMs)) {
    if (loop_.framePacingCounter < 3) ++loop_.framePacingCounter;
    ++loop_.thirtyThreeMsRuns;
    ui_.ThirtyThreeMsStep();
  }

  // 6. Connect and poll the recorder (context 0 only).
  net_.ConnectWanted();
  net_.PollRecorder(net_.Context(0));

  // 7. Parse the received streams; outside Backup the audio ring's reader
  //    role goes back to the audio thread.
  stream_.ParseStreams();
  audio_->MainThreadStep(stream_.ViewOf(0).Mode);
  backup_.Poll();
  VideoStateStep();

  // 8. Event marks into the overlay.
  if (eventMarks_.Changed()) {
    eventMarks_.Redraw(form_.Image2.picture, nullptr, 0, markText_.get());
    form_.Image2.Invalidate();
    eventMarks_.ClearChanged();
  }

  // 9. The speaker button's hover ends two seconds after the last movement.
  SpeakerTimeout();
  // Settings pages whose answer never came become usable after 1000 runs.
  settings_.Periodic();

  ++loop_.runs;
  // 10.
  form_.Timer1.SetEnabled(true);
}

void TevranoX::SpeakerTimeout() {
  // The audio thread tells whether the shown camera's sound is arriving.
  if (const bool heard = audio_->AudioHeard(); heard != lastAudioHeard_) {
    lastAudioHeard_ = heard;
    speaker_.audioHeard = heard;
    ShowSpeakerImages(speaker_.hot, heard, speaker_.enabled, speaker_.previousEnabled);
  }
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
