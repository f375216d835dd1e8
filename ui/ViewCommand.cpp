#include "ui/ViewCommand.h"

#include "base/Form.h"
#include "stream/StreamSystem.h"

namespace tevrano {

ViewControl::ViewControl(IcmdModule& icmd, StreamSystem& stream, TTevranoX& form,
                         RecorderContext* contexts[2])
    : icmd_(icmd), stream_(stream), form_(form), contexts_{contexts[0], contexts[1]} {}

int ViewControl::ContextOf(const ViewState& view) const {
  return &view == &icmd_.View(1) ? 1 : 0;
}

void ViewControl::ViewCommand(int context, int channelCount, uint32_t page, uint32_t playbackState,
                              uint32_t layout, bool noSend) {
  if (context < 0 || context > 1) return;
  ViewState& view = icmd_.View(context);
  StreamConnection& connection = stream_.Connection(context);

  if (hooks_.setAudioChannel) hooks_.setAudioChannel(-1);
  if (hooks_.speakerReset) hooks_.speakerReset();
  stream_.SetViewMode(view, page);
  view.PlaybackStateFlag = playbackState == 2 || playbackState >= 4;

  form_.Image_SpeedDome_On.SetVisible(false);
  form_.Image_SpeedDome_Off.SetVisible(false);
  form_.Image_SpeedDome_Disabled.SetVisible(false);

  const bool live = view.Mode == kModeLive;
  bool channelChanged = false;
  if (layout >= 16 && layout <= 22) {
    form_.Image_SpeedDome_Off.SetEnabled(false);
    form_.Image_SpeedDome_Off.SetVisible(false);
    form_.Image_SpeedDome_On.SetEnabled(false);
    form_.Image_SpeedDome_On.SetVisible(false);
    form_.Image_SpeedDome_Disabled.SetVisible(true);
    if (hooks_.hideSpeedDomePad) hooks_.hideSpeedDomePad();
    if (channelCount == 8 && layout == 18) layout = 20;
    static constexpr uint32_t kSplit[7][2] = {{1, 0}, {1, 4}, {1, 8}, {1, 12},
                                              {2, 0}, {2, 9}, {3, 0}};
    if (live) {
      view.Live.SplitKind = kSplit[layout - 16][0];
      view.Live.FirstChannel = kSplit[layout - 16][1];
    }
    view.Live.ChannelMask = 0;
  } else if (layout < 16) {
    SpeedDomeForSingleChannel(page == kModeLive);
    if (live) {
      view.Live.SplitKind = 0;
      view.Live.FirstChannel = 0;
      view.Live.ChannelMask = (1u << layout) | 0x80000000u;
    } else {
      view.Live.ChannelMask = 0;
    }
    uint32_t* channel = page == kModeLive       ? &view.Live.Channel
                        : page == kModePlayback ? &view.Playback.Channel
                        : page == kModeBackup   ? &view.Backup.Channel
                                                : nullptr;
    if (channel) {
      channelChanged = *channel != layout;
      *channel = layout;
    }
  }

  if (page == kModePlayback) {
    uint32_t flag = 0;
    int32_t direction = 0;
    switch (playbackState) {
      case 0:
        flag = 1, direction = -1;
        break;
      case 2:
        flag = 1, direction = 0;
        break;
      case 3:
        flag = 1, direction = 1;
        break;
      case 4:
        flag = 2, direction = 1;
        break;
      default:
        break;
    }
    StorePlayState(view, flag, direction);
    // The parser buffers playback while the buttons ask for normal play.
    view.PlaybackControl = playbackState;
    if ((flag == 1 && channelChanged) || flag == 2) RestartPlayback(view);
  }
  if (page == kModeBackup && playbackState == 4) {
    view.Backup.State = 2;
    RestartPlayback(view);
  }
  if (page <= 4) {
    // A split shows several channels: all of them start afresh.
    stream_.ResetView(connection, layout >= 16 ? 0 : layout + 1);
    static constexpr uint32_t kTypeOfPage[5] = {256, 512, 1024, 4096, 2048};
    if (!noSend && contexts_[context])
      icmd_.SendIcmd(contexts_[context]->SessionId, IcmdModule::kSet, kTypeOfPage[page], 0);
    if (hooks_.showSpeakerImages) hooks_.showSpeakerImages();
  }
}

void ViewControl::SpeedDomeForSingleChannel(bool live) {
  Image& off = form_.Image_SpeedDome_Off;
  Image& on = form_.Image_SpeedDome_On;
  if (!live) {
    off.SetVisible(false);
    on.SetVisible(false);
    form_.Image_SpeedDome_Disabled.SetVisible(true);
    return;
  }
  if (!off.enabled && !on.enabled)
    off.SetEnabled(true);
  else if (off.enabled && on.enabled)
    on.SetEnabled(false);
  off.SetVisible(off.enabled);
  on.SetVisible(on.enabled);
  form_.Image_SpeedDome_Disabled.SetVisible(false);
}

void ViewControl::RestartPlayback(ViewState& view) {
  SetPlaybackStart(view, stream_.Connection(ContextOf(view)).Timestamp, 0);
}

void ViewControl::StorePlayState(ViewState& view, uint32_t flag, int32_t direction) {
  PlaybackRecord& r = view.Playback;
  if (flag != r.PlayFlag && flag == 0) RestartPlayback(view);
  if (direction != r.Direction) {
    if (r.Direction == 0 && r.PlayFlag != 1) {
      r.PlayFlag = flag;
      r.Direction = direction;
      return;
    }
    RestartPlayback(view);
  }
  r.PlayFlag = flag;
  r.Direction = direction;
}

void ViewControl::SetPlaybackStart(ViewState& view, uint32_t time, int which) {
  if (time == 0) return;
  if (which == 0) {
    view.Playback.StartTime = time;
    view.Backup.StartTime = time;
    view.DisplayedPlaybackTime = time;
    stream_.Connection(ContextOf(view)).Timestamp = time;
  } else if (which == 1) {
    view.Backup.EndTime = time;
  }
  if (hooks_.redrawInterface) hooks_.redrawInterface();
}

uint32_t ViewControl::SetBackupRunning(ViewState& view, bool start, std::string_view path) {
  const int context = ContextOf(view);
  RecorderContext* c = contexts_[context];
  StreamConnection& connection = stream_.Connection(context);
  if (!c || !connection.Context) return 0;
  if (start) {
    if (path.size() > 1024 || view.Backup.StartTime >= view.Backup.EndTime) {
      start = false;
    } else if (hooks_.setBackupPath) {
      hooks_.setBackupPath(path);
    }
  }
  if (start) {
    if (hooks_.setBackupJobState) hooks_.setBackupJobState(1);
    stream_.ResetView(connection, 0);
    connection.Timestamp = view.Backup.StartTime;
    if (hooks_.resetBackupFilePart) hooks_.resetBackupFilePart();
  } else if (hooks_.setBackupJobState) {
    hooks_.setBackupJobState(4);
  }
  view.Backup.State = start ? 1 : 0;
  icmd_.SendIcmd(c->SessionId, IcmdModule::kSet, IcmdModule::kBackupRecord, 0);
  return view.Backup.State;
}

}  // namespace tevrano
