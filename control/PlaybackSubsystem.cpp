#include "control/PlaybackSubsystem.h"

#include "base/RecorderTime.h"
#include "control/StreamSubsystem.h"
#include "net/RecorderNet.h"
#include "platform/Clock.h"
#include "ui/Ui.h"

namespace tevrano {

PlaybackSubsystem::PlaybackSubsystem(RecorderNet& net, StreamSubsystem& streams, ui::Ui& ui,
                                     const platform::Clock& clock)
    : net_(net),
      streams_(streams),
      ui_(ui),
      clock_(clock),
      contexts_{&net.Context(0), &net.Context(1)},
      search_(contexts_, nullptr),
      month_(ui.vars) {}

void PlaybackSubsystem::RegisterModule() {
  net_.Modules().RegisterModule(
      PlaybackSearch::kTag, [this](const uint8_t* body, uint32_t n) { search_.Receive(body, n); },
      nullptr, buffer_, sizeof buffer_);
}

void PlaybackSubsystem::Redraw() {
  ui_.RequestRedraw();
  ui_.Skin_Redraw(1);
}

void PlaybackSubsystem::Wire() {
  ui_.hooks.calendarStep = [this] { return month_.Calendar_Step(); };
  ui_.hooks.calendarOpen = [this](int which) {
    if (which != 0) month_.Calendar_Open(which);
  };
  ui_.hooks.calendarConfirm = [this] { month_.Calendar_Confirm(); };
  month_.hooks.setLevel = [this](int level) { ui_.SetInterfaceLevel(level); };
  month_.hooks.holdArrow = [this] { ui_.HeldKey = 9999; };
  month_.hooks.playbackRequested = [this](uint32_t t) { StartPlaybackAt(t); };
  search_.mapArrived = [this](int index) {
    if (index == PlaybackSearch::kCalendarIndex) month_.SetCalendarDays(search_.CalendarDays());
    if (index == PlaybackSearch::kTimeBarIndex) month_.SetTimeBarSlots(search_.TimeBarSlots());
    Redraw();
  };
  // A new playback time shows on the key form as it is drawn.
  streams_.Stream().Hooks().redrawInterface = [this] {
    FollowPlaybackTime();
    Redraw();
  };

  // The calendar starts at the PC's local time.
  const platform::LocalTimeFields now = clock_.LocalTime(clock_.CalendarTime());
  month_.Calendar_Init(
      ui::PackRecorderTime(now.year, now.month, now.day, now.hour, now.minute, now.second));
}

void PlaybackSubsystem::FollowPlaybackTime() {
  const ViewState& view = streams_.ViewOf(0);
  if (view.Mode != kModePlayback || ui_.vars.IE_Month_T == 1) return;
  const uint32_t t = view.Playback.PlayFlag != 0 && view.DisplayedPlaybackTime != 0
                         ? view.DisplayedPlaybackTime
                         : view.Playback.StartTime;
  if (t != 0) ui_.vars.Mon_P_N_T = static_cast<int32_t>(t);
}

void PlaybackSubsystem::ThreeHundredMsStep() {
  const ViewState& view = streams_.ViewOf(0);
  if (view.Mode != kModePlayback && view.Mode != kModeBackup) return;
  // The marks are those of the camera the page shows.
  const uint32_t channel = view.Mode == kModeBackup ? view.BackupChannel() : view.PlaybackChannel();
  search_.PlaybackSearchTick(0, channel, month_.CalendarReference(), month_.TimeBarReference());
}

void PlaybackSubsystem::StartPlaybackAt(uint32_t time) {
  ViewState& view = streams_.Icmd().View(0);
  streams_.View().SetPlaybackStart(view, time, 0);
  if (view.Mode != kModePlayback) return;
  // The frames of the old position are dropped and pacing starts afresh.
  ++view.PlaybackSelection;
  StreamSystem& stream = streams_.Stream();
  stream.ResetView(stream.Connection(0), view.PlaybackChannel() + 1);
  streams_.Icmd().SendIcmd(net_.Context(0).SessionId, IcmdModule::kSet, IcmdModule::kPlaybackRecord,
                           0);
}

}  // namespace tevrano
