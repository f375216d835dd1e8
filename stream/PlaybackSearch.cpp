#include "stream/PlaybackSearch.h"

#include <cstring>

#include "base/ByteReader.h"
#include "net/ModuleTable.h"
#include "net/SendQueue.h"

namespace tevrano {

void PlaybackSearch::Window(int index, uint32_t t, uint32_t& start, uint32_t& end) {
  const uint32_t unit = kUnit[index & 7];
  const uint32_t aligned = (t - unit) / unit * unit;
  const uint32_t half = unit * kCount[index & 7];
  start = aligned - half;
  end = aligned + half;
}

PlaybackSearch::PlaybackSearch(RecorderContext* contexts[2], SendMessage send)
    : contexts_{contexts[0], contexts[1]}, send_(std::move(send)) {
  if (!send_)
    send_ = [](RecorderContext& c, const uint8_t* m, uint32_t n) { return QueueMessage(c, m, n); };
}

int PlaybackSearch::Send(RecorderContext& c, int index, uint32_t type, uint32_t channel,
                         const uint32_t* words, int wordCount) {
  std::memset(message_, 0, sizeof message_);
  uint8_t* body = message_ + kModuleHeaderSize;
  StoreLe32(body, c.SessionId);
  StoreLe32(body + 4, uint32_t(index));
  StoreLe32(body + 8, type);
  StoreLe32(body + 12, channel);
  // The payload is always 72 bytes; what the record does not fill stays zero.
  for (int i = 0; i < wordCount && i < int(kRequestPayload / 4); ++i)
    StoreLe32(body + kSubHeader + 4 * i, words[i]);
  FinishModuleMessage(message_, sizeof message_, kTag);
  return send_(c, message_, sizeof message_);
}

int PlaybackSearch::QueryWindow(int context, int index, uint32_t channel, uint32_t t) {
  if (context < 0 || context > 1 || !contexts_[context]) return -1;
  if (index < 0 || index >= kIndexes) return -1;
  State& s = state_[context];
  uint32_t* w = s.window[index];
  std::memset(w, 0, sizeof s.window[index]);
  Window(index, t, w[0], w[1]);
  s.channel[index] = channel;
  // The window record is 64 bytes; the request's payload is 72, so it is
  // sent from a copy padded with zeros rather than read past the record.
  return Send(*contexts_[context], index, kWindow, channel, w, 16);
}

void PlaybackSearch::PlaybackSearchTick(int context, uint32_t channel, uint32_t calendarReference,
                                        uint32_t timeBarReference) {
  if (context < 0 || context > 1) return;
  State& s = state_[context];
  const uint32_t ch = channel < kChannels ? channel : 0;
  s.lastTime[ch][kCalendarIndex] = calendarReference;
  s.lastTime[ch][kTimeBarIndex] = timeBarReference;
  QueryWindow(context, kCalendarIndex, channel, calendarReference);
  QueryWindow(context, kTimeBarIndex, channel, timeBarReference);
}

int PlaybackSearch::ContextOfKey(uint32_t key) const {
  for (int i = 0; i < 2; ++i)
    if (contexts_[i] && contexts_[i]->SessionId == key) return i;
  return -1;
}

void PlaybackSearch::Receive(const uint8_t* body, uint32_t length) {
  ByteReader r(body, length);
  uint32_t key = 0, index = 0, type = 0, channel = 0;
  if (!r.Le32(key) || !r.Le32(index) || !r.Le32(type) || !r.Le32(channel)) return;
  if (!r.Seek(kSubHeader)) return;
  const int context = ContextOfKey(key);
  if (context < 0 || index >= uint32_t(kIndexes)) return;
  State& s = state_[context];
  if (type == kWindow) {
    uint32_t first = 0, second = 0;
    if (!r.Le32(first) || !r.Le32(second)) return;
    uint32_t* m = s.mapRequest[index];
    std::memset(m, 0, sizeof s.mapRequest[index]);
    m[0] = first;
    m[1] = second;
    Send(*contexts_[context], int(index), kMap, channel, m, 18);
  } else if (type == kMap) {
    TakeMap(context, index, channel, body + kSubHeader, length - kSubHeader);
  }
}

// A map is taken only when its stated length lies inside the body, it holds
// every entry the index needs, and its byte sum matches; anything else
// leaves the previous flags.
void PlaybackSearch::TakeMap(int context, uint32_t index, uint32_t channel, const uint8_t* payload,
                             uint32_t payloadLength) {
  ByteReader r(payload, payloadLength);
  uint32_t total = 0, checksum = 0;
  if (!r.Le32At(8, total) || !r.Le32At(12, checksum)) return;
  if (total <= kMapOffset || total > payloadLength) return;
  const uint32_t mapBytes = total - kMapOffset;
  int entries = 0;
  uint8_t* flags = nullptr;
  if (index == uint32_t(kTimeBarIndex)) {
    entries = kTimeBarSlots;
    flags = timeBar_;
  } else if (index == uint32_t(kCalendarIndex)) {
    entries = kCalendarCells;
    flags = calendar_;
  }
  if (flags && mapBytes < 2u * uint32_t(entries)) return;
  std::span<const uint8_t> map;
  if (!r.Seek(kMapOffset) || !r.Span(mapBytes, map)) return;
  uint32_t sum = 0;
  for (uint8_t b : map) sum += b;
  if (sum != checksum) return;
  // A late answer for a camera no longer asked about is not shown.
  if (channel != state_[context].channel[index]) return;
  if (!flags) return;
  for (int k = 0; k < entries; ++k) flags[k] = (map[2 * k] & 0x1F) != 0 ? 1 : 0;
  if (mapArrived) mapArrived(int(index));
}

}  // namespace tevrano
