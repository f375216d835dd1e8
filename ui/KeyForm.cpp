// Pages, layouts and the key form's reaction to clicks.
#include <string>

#include "base/Form.h"
#include "ui/Ui.h"

namespace tevrano::ui {

namespace {
constexpr int kLive = 0, kPlayback = 1, kBackup = 2, kSetup = 3;
constexpr int kFromBackupList = 98;  // requested page: Playback entered from the backup list
bool ValidChannelCount(int n) {
  return n == 4 || n == 8 || n == 16;
}
}  // namespace

const char* PageLabel(int page) {
  static const char* const kLabels[4] = {"  Live", "  Playback", "  Backup", "  Setup"};
  return page >= 0 && page < 4 ? kLabels[page] : "";
}

std::string LayoutLabel(int layout, int channels) {
  if (layout >= 0 && layout < 16) return "CH" + std::to_string(layout + 1);
  switch (layout) {
    case 16:
      return "CH1 - CH4";
    case 17:
      return "CH5 - CH8";
    case 18:
      return channels == 8 ? "CH1 - CH8" : "CH9 - CH12";
    case 19:
      return "CH13 - CH16";
    case 20:
      return "CH1 - CH9";
    case 21:
      return "CH10 - CH2";
    case 22:
      return "CH1 - CH16";
    default:
      return "";
  }
}

int VideoAreaLayout(int layout, int lastSplit, int channels, int x, int y, int width, int height) {
  if (!ValidChannelCount(channels)) channels = 16;
  if (layout >= 0 && layout < 16) return lastSplit;
  if (layout < 16 || layout > 22) return layout;
  int n = 2;
  if (layout == 20 || layout == 21 || (layout == 18 && channels == 8)) n = 3;
  if (layout == 22) n = 4;
  const int cellW = width / n, cellH = height / n;
  if (cellW <= 0 || cellH <= 0) return layout;
  // The smallest c with (c + 1) × cell ≥ position; past the last cell, the last.
  int col = 0, row = 0;
  while ((col + 1) * cellW < x && col < n - 1) ++col;
  while ((row + 1) * cellH < y && row < n - 1) ++row;
  int base = 0;
  if (n == 2) base = layout - 16;
  if (n == 3) base = layout - 16 - channels / 4;
  const int channel = n * (n * base + row) + col;
  if (channels == 8 && channel == 8) return layout;  // the ninth cell of eight channels
  int single = channel % channels;
  if (single < 0) single += channels;
  return single;
}

bool LayoutOffered(int layout, int channels) {
  if (!ValidChannelCount(channels)) channels = 16;
  if (layout >= 0 && layout < 16) return layout < channels;
  switch (channels) {
    case 4:
      return layout == 16;
    case 8:
      return layout >= 16 && layout <= 18;
    default:
      return layout >= 16 && layout <= 22;
  }
}

int NextSplitLayout(int layout, int lastSplit, int channels) {
  if (layout >= 0 && layout < 16 && LayoutOffered(lastSplit, channels)) return lastSplit;
  int next = layout >= 16 && layout <= 22 ? layout + 1 : 16;
  for (int tries = 0; tries < 7; ++tries, ++next) {
    if (next > 22) next = 16;
    if (LayoutOffered(next, channels)) return next;
  }
  return 16;
}

void Ui::SetUpRecorder(int channelCount, int serviceVariant, int httpPage) {
  recorderReady_ = true;
  if (ValidChannelCount(channelCount)) vars.IE_M_CH = channelCount;
  if (latchedPage_ < kLive || latchedPage_ > kSetup) latchedPage_ = kLive;
  serviceVariant_ = serviceVariant;
  httpPage_ = httpPage;
  // Page rights: a value of 4 offers Live and Playback only.
  for (int p = 0; p < 4; ++p) vars.IE_Page[p] = 0;
  if (httpPage == 4) vars.IE_Page[kBackup] = vars.IE_Page[kSetup] = -1;
  if (vars.IE_Page[latchedPage_] == -1) {
    vars.IE_Page2 = latchedPage_ = kLive;
    vars.IE_DOING = liveLayout_;
  }
  vars.IE_Page[latchedPage_] = 1;
  // The split a click on a single channel returns to, until one is chosen:
  // the overview that fits the recorder.
  if (!splitChosen_ || !LayoutOffered(lastSplit_, vars.IE_M_CH))
    lastSplit_ = vars.IE_M_CH == 16 ? 22 : vars.IE_M_CH == 8 ? 18 : 16;
  // The view itself stays as the recorder was told (nothing is sent here).
  KeyFormStep(true);
  UpdateKeys();
  redrawPending_ = true;
}

void Ui::RebuildChannelArrays() {
  int32_t* ch = vars.IE_CH;
  for (int i = 0; i < 16; ++i) ch[i] = 0;
  const int l = vars.IE_DOING;
  const int count = vars.IE_M_CH;
  auto show = [&](int from, int to) {  // channels 1-based, inclusive
    for (int c = from; c <= to; ++c) ch[c - 1] = 1;
  };
  if (l >= 0 && l < 16)
    show(l + 1, l + 1);
  else if (l == 18 && count == 8)
    show(1, 8);
  else if (l >= 16 && l <= 19)
    show((l - 16) * 4 + 1, (l - 16) * 4 + 4);
  else if (l == 20)
    show(1, 9);
  else if (l == 21)
    show(10, 16), show(1, 2);
  else if (l == 22)
    show(1, 16);
  const int first = count == 4 ? 4 : count == 8 ? 8 : 16;
  for (int i = first; i < 16; ++i) ch[i] = vars.IE_CH2[i] = -1;
}

void Ui::SetPlaybackState(int state) {
  if (state < 0 || state > 3) return;
  for (int i = 0; i < 4; ++i) vars.IE_PB_BT_En[i] = i == state ? 1 : 0;
  vars.IE_PB_PS = state;
  if (state != playbackState_) {
    playbackState_ = state;
    View_Set(vars.IE_DOING, latchedPage_, true);
  }
  vars.IE_PB_PS2 = 0;
}

void Ui::KeyFormStep(bool arraysOnly) {
  UiVariables& v = vars;
  bool pageChanged = false, handled = false, calendarBusy = false, switchToBackup = false;
  if (!arraysOnly) {
    if (hooks.calendarStep) {
      calendarBusy = hooks.calendarStep();
    } else if (v.IE_OK || v.IE_CL) {
      // Without a calendar, confirm and cancel just close it.
      v.IE_OK = v.IE_CL = 0;
      v.IE_Month_T = 0;
      level_ = 1;
    }
    // 1. Confirm or cancel still pending: the calendar has the click.
    if (v.IE_OK || v.IE_CL) return;

    // 2. The backup start/stop button.
    if (v.IE_ST == 1) {
      const int running = v.IE_ST2;
      v.IE_ST = 0;
      if (running == 0) {
        if (hooks.backupControl && hooks.backupControl(0) == 1) {
          v.IE_ST2 = 1;
          v.IE_percentage = 0;
          level_ = 2;
        }
        return;
      }
      if (hooks.backupControl) hooks.backupControl(running == 2 ? 2 : 1);
      level_ = 1;
      v.IE_ST2 = 0;
      if (running != 2) return;
    }

    // The keys of the key row.
    KeyActions();

    // 3. A page change.
    // Playback entered from the backup list: entered as Playback, then the
    // view switches to Backup.
    const bool fromBackupList = v.IE_Page2 == kFromBackupList;
    if (fromBackupList) v.IE_Page2 = kPlayback;
    // Any other number that is no page is ignored: the request stays as it was.
    if (v.IE_Page2 < kLive || v.IE_Page2 > kSetup) v.IE_Page2 = latchedPage_;
    if (v.IE_Page2 != latchedPage_ && v.IE_Page2 >= kLive && v.IE_Page2 <= kSetup) {
      CloseSpeedDome();
      v.IE_PB_PS = 1;
      for (int i = 0; i < 4; ++i) v.IE_PB_BT_En[i] = i == 1 ? 1 : 0;
      if (latchedPage_ == kLive)
        liveLayout_ = layout_;
      else if ((latchedPage_ == kPlayback || latchedPage_ == kBackup) && layout_ < 16)
        playbackChannel_ = layout_;
      latchedPage_ = v.IE_Page2;
      pageChanged = true;
    }
    if (fromBackupList) switchToBackup = true;
  }

  // 4. The page buttons and the page's own variables.
  for (int32_t& p : v.IE_Page)
    if (p != -1) p = 0;
  auto closeCalendar = [&] {
    if (v.IE_Month_T != 0 && hooks.calendarOpen) hooks.calendarOpen(0);
    v.IE_Month_T = 0;
    level_ = 1;
  };
  const int page = latchedPage_;
  if (pageChanged) {
    closeCalendar();
    if (page == kLive) v.IE_DOING = v.IE_CH_S = liveLayout_;
    if (page == kPlayback || page == kBackup) v.IE_DOING = v.IE_CH_S = playbackChannel_;
    playbackState_ = 1;
  }
  if (page == kLive) {
    for (int i = 0; i < 16; ++i)
      if (v.IE_CH2[i] != -1) v.IE_CH2[i] = 0;
    if (v.IE_DOING >= 16 && v.IE_CH2_S >= 0 && v.IE_CH2_S < 16 && v.IE_CH2[v.IE_CH2_S] != -1)
      v.IE_CH2[v.IE_CH2_S] = 1;
  }
  if ((page == kPlayback || page == kBackup) && !arraysOnly) {
    if (v.IE_SET_T >= 1 && v.IE_SET_T <= 3) {
      const int which = v.IE_SET_T == v.IE_Month_T ? 0 : v.IE_SET_T;
      if (which == 0) {
        closeCalendar();
      } else {
        v.IE_Month_T = which;
        level_ = 2;
        if (hooks.calendarOpen) hooks.calendarOpen(which);
      }
      handled = true;
    }
    v.IE_SET_T = 0;
    if (page == kPlayback && v.IE_PB_PS2) {
      // An open calendar is confirmed first, so playback starts at its time.
      if (v.IE_Month_T != 0) {
        if (hooks.calendarConfirm) hooks.calendarConfirm();
        closeCalendar();
      }
      const int before = playbackState_;
      SetPlaybackState(v.IE_PB_PS);
      handled = handled || before != playbackState_;
      v.IE_PB_PS2 = 0;
      handled = true;
    }
  }
  if (switchToBackup && v.IE_Page[kBackup] != -1) {
    // The entry was Playback's (channel, calendar, playback state); the
    // view shown is the backup view.
    v.IE_Page2 = latchedPage_ = kBackup;
    for (int32_t& p : v.IE_Page)
      if (p != -1) p = 0;
  }
  const int shownPage = latchedPage_;
  if (shownPage == kSetup)
    for (int32_t& c : v.IE_CH) c = -1;
  if (shownPage >= 0 && shownPage < 4 && v.IE_Page[shownPage] != -1) v.IE_Page[shownPage] = 1;

  // 5. The channel keys follow the layout.
  if (shownPage != kSetup) RebuildChannelArrays();
  if (arraysOnly) return;

  // 7. A pending page flag latches the requested page; then the view follows.
  if (v.IE_Page3) {
    v.IE_Page3 = 0;
    if (v.IE_Page2 >= kLive && v.IE_Page2 <= kSetup) latchedPage_ = v.IE_Page2;
    handled = true;
  }
  if ((handled && !pageChanged) || calendarBusy) {
    UpdateKeys();
    return;
  }
  View_Set(v.IE_DOING, latchedPage_);
  UpdateKeys();
}

// Keys offered now. The rest (SEQ, LIST, DEL, OSD, the preset keys, HELP,
// F5 and the menu key) have no action and show greyed; so does every key
// before the recorder has accepted the viewer.
void Ui::UpdateKeys() {
  using V = UiVariables;
  for (int32_t& io : vars.IO) io = 0;
  if (!recorderReady_) return;
  const bool live = page_ == kLive, playback = page_ == kPlayback;
  vars.IO[V::kIoSplit] = live;
  vars.IO[V::kIoPB] = 1;
  vars.IO[V::kIoFW] = vars.IO[V::kIoFF] = playback;
  vars.IO[V::kIoFreeze] = (live || playback) && hooks.freezePicture ? 1 : 0;
  vars.IO[V::kIoCapture] = (live || playback) && hooks.snapshot ? 1 : 0;
  // PTZ where the speed-dome button is offered: Live with one channel.
  vars.IO[V::kIoSPD_Mode] = live && layout_ >= 0 && layout_ < 16;
}

// A key reads 1 from its press to its release; each press acts once.
void Ui::KeyActions() {
  using V = UiVariables;
  UiVariables& v = vars;
  for (int k = 0; k < V::kKeyCount; ++k) {
    const uint32_t bit = 1u << k;
    if (v.Keys[k] == 0 || (keysActed_ & bit)) continue;
    keysActed_ |= bit;
    switch (k) {
      case V::kSplit:
        if (page_ == kLive) v.IE_DOING = NextSplitLayout(layout_, lastSplit_, v.IE_M_CH);
        break;
      case V::kPB:  // PLAY: to Playback, and there play forwards
        if (latchedPage_ != kPlayback) {
          v.IE_Page2 = kPlayback;
        } else {
          v.IE_PB_PS = 2;
          v.IE_PB_PS2 = 1;
        }
        break;
      case V::kFW:  // REW and FF on the Playback page
      case V::kFF:
        if (page_ == kPlayback) {
          v.IE_PB_PS = k == V::kFW ? 0 : 3;
          v.IE_PB_PS2 = 1;
        }
        break;
      case V::kFreeze:
        if (page_ == kLive || page_ == kPlayback) SetFrozen(!frozen_);
        break;
      case V::kCapture:
        if ((page_ == kLive || page_ == kPlayback) && hooks.snapshot) hooks.snapshot();
        break;
      case V::kSPD_Mode:
        if (page_ == kLive && layout_ >= 0 && layout_ < 16) SpeedDomeButton();
        break;
      default:
        break;
    }
  }
}

void Ui::SetFrozen(bool frozen) {
  if (frozen == frozen_ || !hooks.freezePicture) return;
  frozen_ = frozen;
  hooks.freezePicture(frozen);
}

void Ui::View_Set(int layout, int page, bool force) {
  if (page < kLive || page > kSetup || layout < 0 || layout > 22) return;
  // Nothing about views is shown or sent before the recorder accepted us.
  if (!recorderReady_) return;
  const bool changed = force || page != page_ || layout != layout_;
  page_ = page;
  layout_ = layout;
  if (layout >= 16) {
    lastSplit_ = layout;
    splitChosen_ = true;
  }
  vars.IE_CH_S = layout;
  UpdateKeys();
  if (!changed) return;
  // Another view brings other pictures: a held picture is let go.
  SetFrozen(false);

  std::string status = PageLabel(page);
  if (page != kSetup) status += "  " + LayoutLabel(layout, vars.IE_M_CH);
  form_.Label_time.SetCaption(status);

  split_ = SplitDescription{};
  if (layout < 16)
    split_.single_channel = layout + 1;
  else if (layout == 18 && vars.IE_M_CH == 8)
    split_.split_kind = 1;
  else if (layout <= 19)
    split_.quad_group = layout - 15;
  else if (layout == 20)
    split_.split_kind = 2;
  else if (layout == 21)
    split_.split_kind = 3;

  if (hooks.viewCommand) hooks.viewCommand(0, vars.IE_M_CH, page, playbackState_, layout, 0);
  redrawPending_ = true;
}

}  // namespace tevrano::ui
