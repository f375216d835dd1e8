// The frozen-picture watch on the control's state: what the main loop feeds
// it after each parse of the streams, and what the user is shown of it.
#include "control/TevranoImpl1.h"

namespace tevrano {

void TevranoX::VideoStateStep() {
  if (!startUpComplete_) return;
  // Made on the first run, after the start-up loaded the form's pictures.
  if (!noVideo_.Prepared()) noVideo_.Prepare(platform_.text);

  const RecorderContext& context = net_.Context(0);
  const ViewState& view = stream_.ViewOf(0);
  VideoStateInputs in;
  in.nowMs = platform_.clock.TickCountMs();
  in.loggedIn = context.LoggedIn == 1;
  in.recorderKnown = ui_.RecorderReady();
  in.mode = static_cast<int>(view.Mode);
  in.page = ui_.Page();
  in.layout = ui_.Layout();
  in.channelCount = ui_.ChannelCount();
  in.playbackState = ui_.PlaybackState();
  in.playbackChannel = static_cast<int>(view.PlaybackChannel());
  in.settingsShown = form_.PageControl1.visible;
  in.pictureHeld = video_.PictureHeld();
  in.picturesShown = video_.PicturesShown();

  switch (videoState_.Step(in)) {
    case VideoStateMonitor::Change::kFroze:
      noVideo_.Freeze();
      break;
    case VideoStateMonitor::Change::kPicturesBack:
      noVideo_.Thaw(false);
      break;
    case VideoStateMonitor::Change::kNoLongerExpected:
      noVideo_.Thaw(true);
      break;
    case VideoStateMonitor::Change::kNone:
      break;
  }
  if (videoState_.Frozen()) noVideo_.KeepStatusLine();
  noVideo_.ShowIndicator(videoState_.State());
}

}  // namespace tevrano
