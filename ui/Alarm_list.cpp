// Live event reports, their history and the event markers over the video.
#include "ui/Alarm_list.h"

#include <algorithm>
#include <cstring>

#include "base/ByteReader.h"
#include "ui/Ui.h"

namespace tevrano::ui {

namespace {
// Marker size and font by cells per side (1, 2, 3, 4).
struct MarkerSize {
  int width, height, font;
};
constexpr MarkerSize kSizes[5] = {
    {0, 0, 0}, {148, 40, 36}, {100, 27, 24}, {67, 20, 16}, {52, 16, 12}};
}  // namespace

const char* Alarm_list::KindName(int kind) {
  switch (kind) {
    case kAlarm:
      return "Alarm";
    case kMotion:
      return "Motion";
    case kVloss:
      return "Vloss";
    default:
      return "";
  }
}

uint32_t Alarm_list::KindColor(int kind) {
  switch (kind) {
    case kAlarm:
      return 0xFF0000;
    case kMotion:
      return 0x00FF00;
    case kVloss:
      return 0x0000FF;
    default:
      return 0;
  }
}

Alarm_list::Alarm_list(const Ui& ui, std::function<bool(uint32_t)> knownSession)
    : ui_(ui), knownSession_(std::move(knownSession)) {}

void Alarm_list::Event_Report(uint32_t sessionId, const uint8_t* item, uint32_t length) {
  if (!knownSession_ || !knownSession_(sessionId)) return;
  ByteReader r(item, length);
  Entry fresh[kKinds];
  if (!r.Seek(kEventsOffset)) return;
  for (Entry& e : fresh) {
    r.Le32(e.mask);
    r.Le32(e.time);
  }
  if (!r.Ok()) return;
  for (int k = 0; k < kKinds; ++k) {
    const uint32_t before = history_[k][0].mask;
    std::memmove(&history_[k][1], &history_[k][0], sizeof(Entry) * (kHistory - 1));
    history_[k][0] = fresh[k];
    // Bits that came on since the previous report go to the event list.
    const uint32_t on = fresh[k].mask & ~before;
    for (int c = 0; c < kChannels; ++c)
      if (on & (1u << c)) Remember(c, k, fresh[k].time);
  }
  enabled_ = true;
}

void Alarm_list::Remember(int channel, int kind, uint32_t time) {
  int& head = recentHead_[channel];
  head = (head + kHistory - 1) % kHistory;
  recent_[channel][head] = Event{time, channel, kind};
  if (recentCount_[channel] < kHistory) ++recentCount_[channel];
}

const Alarm_list::Event& Alarm_list::Recent(int channel, int i) const {
  return recent_[channel][(recentHead_[channel] + i) % kHistory];
}

void Alarm_list::SetShownTime(uint32_t time) {
  if (enabled_) shownTime_ = time;
}

void Alarm_list::SetOverlaySize(int width, int height) {
  overlayWidth_ = std::max(0, width);
  overlayHeight_ = std::max(0, height);
}

void Alarm_list::HideAll(Marker (&markers)[kChannels][kKinds]) const {
  for (auto& channel : markers)
    for (Marker& m : channel) m = Marker{};
}

void Alarm_list::Event_Markers_Refresh(int /*height*/) {
  // The newest report not later than the picture shown.
  int pick = -1;
  if (shownTime_ != 0) {
    for (int i = 0; i < kHistory && pick < 0; ++i)
      if (history_[kAlarm][i].time <= shownTime_) pick = i;
  }
  HideAll(next_);
  if (!enabled_) pick = -1;

  if (pick >= 0 && ui_.Page() == 0) {
    // The channels of the split shown, cell by cell; each shows the first of
    // alarm, motion, video loss whose bit is set, centred in its cell.
    // Taken from the layout itself (the same reading as the split
    // description), so that the start-up view, channel 1 alone, counts too.
    int n = 4, first = 0, cells = 16;
    const int layout = ui_.Layout();
    int channels[16];
    if (layout < 16) {
      n = 1, cells = 1, first = layout;
    } else if (layout == 18 && ui_.ChannelCount() == 8) {
      n = 3, cells = 9, first = 0;  // the eight-way view
    } else if (layout <= 19) {
      n = 2, cells = 4, first = 4 * (layout - 16);
    } else if (layout == 20) {
      n = 3, cells = 9, first = 0;
    } else if (layout == 21) {
      n = 3, cells = 9, first = 9;
    }
    for (int k = 0; k < cells; ++k) channels[k] = (first + k) % kChannels;

    const MarkerSize size = kSizes[n];
    const int cellW = overlayWidth_ / n, cellH = overlayHeight_ / n;
    for (int k = 0; k < cells; ++k) {
      const int c = channels[k];
      int kind = -1;
      for (int e = 0; e < kKinds && kind < 0; ++e)
        if (history_[e][pick].mask & (1u << c)) kind = e;
      if (kind < 0) continue;
      Marker& m = next_[c][kind];
      m.state = 2;
      m.width = std::min(size.width, std::max(0, overlayWidth_));
      m.height = std::min(size.height, std::max(0, overlayHeight_));
      const int col = k % n, row = k / n;
      m.x = std::clamp(col * cellW + (cellW - m.width) / 2, 0, overlayWidth_ - m.width);
      m.y = std::clamp(row * cellH + (cellH - m.height) / 2, 0, overlayHeight_ - m.height);
      m.fontSize = size.font;
      m.color = KindColor(kind);
    }

    // The video-loss latch.
    for (int c = 0; c < kChannels; ++c) {
      if (!previousVloss_[c] && !hadVideo_[c]) hadVideo_[c] = true;
      previousVloss_[c] = (history_[kVloss][pick].mask >> c) & 1u;
    }
  }

  if (std::memcmp(next_, markers_, sizeof markers_) != 0) {
    std::memcpy(markers_, next_, sizeof markers_);
    changed_ = true;
  }
}

}  // namespace tevrano::ui
