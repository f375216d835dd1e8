#pragma once
#include <cstdint>
#include <functional>

#include "net/RecorderContext.h"

namespace tevrano {

// The "PBBA" recording search: which days and half-hours of a camera hold
// recordings. A query is two exchanges: the control sends a time window
// (type 0), the recorder answers two values, the control sends them back
// (type 1) and the answer carries the map. Body (after the 32-byte module
// header): a 32-byte sub-header {0 key = SessionId, 4 index 0..7, 8 type,
// 12 channel, 16..31 zero}, then the payload (72 bytes in requests).
// Runs on the control's thread.
class PlaybackSearch {
 public:
  static constexpr uint32_t kTag = 0x41424250;  // "PBBA"
  static constexpr uint32_t kSubHeader = 32;
  static constexpr uint32_t kRequestPayload = 72;
  static constexpr uint32_t kMapOffset = 72;  // map bytes start here in a type 1 answer
  static constexpr int kIndexes = 8;
  static constexpr int kCalendarIndex = 4, kTimeBarIndex = 7;
  static constexpr int kCalendarCells = 42, kTimeBarSlots = 48;
  static constexpr int kChannels = 17;
  enum Type : uint32_t { kWindow = 0, kMap = 1 };

  // Unit (seconds) and units on each side of the window, by index.
  static constexpr uint32_t kUnit[kIndexes] = {1, 60, 1440, 3600, 86400, 2592000, 31536000, 1800};
  static constexpr uint32_t kCount[kIndexes] = {270, 270, 270, 270, 21, 1, 1, 24};

  // The window of an index around t (recorder seconds): aligned to the unit
  // before the current one, ± count units. Unsigned 32-bit arithmetic, as
  // the recorder computes it.
  static void Window(int index, uint32_t t, uint32_t& start, uint32_t& end);

  struct State {
    uint32_t window[kIndexes][16];           // words 0, 1: window start, end
    uint32_t mapRequest[kIndexes][18];       // words 0, 1: the window answer's values
    uint32_t channel[kIndexes];              // channel of the last query
    uint32_t lastTime[kChannels][kIndexes];  // reference time last used
  };

  // `contexts` are the two recorder contexts (either may be null); `send`
  // queues one whole module message on a context.
  using SendMessage = std::function<int(RecorderContext&, const uint8_t* message, uint32_t n)>;
  PlaybackSearch(RecorderContext* contexts[2], SendMessage send);

  // Stores the window of `index` around t and sends the type 0 request;
  // -1 when the context or index is refused or the queue refuses it.
  int QueryWindow(int context, int index, uint32_t channel, uint32_t t);
  // The 300 ms step while the view is in Playback or Backup: the calendar
  // query around calendarReference and the time-bar query around
  // timeBarReference, every tick.
  void PlaybackSearchTick(int context, uint32_t channel, uint32_t calendarReference,
                          uint32_t timeBarReference);
  // The module's receive function (body after the module header, its
  // checksum already verified).
  void Receive(const uint8_t* body, uint32_t length);

  // Results: 1 where the slot or day holds recordings.
  const uint8_t* TimeBarSlots() const { return timeBar_; }
  const uint8_t* CalendarDays() const { return calendar_; }
  const State& StateOf(int context) const { return state_[context & 1]; }

  // Called after a map was taken (index 4 or 7).
  std::function<void(int index)> mapArrived;

 private:
  int Send(RecorderContext& c, int index, uint32_t type, uint32_t channel, const uint32_t* words,
           int wordCount);
  int ContextOfKey(uint32_t key) const;
  void TakeMap(int context, uint32_t index, uint32_t channel, const uint8_t* payload,
               uint32_t payloadLength);

  RecorderContext* contexts_[2];
  SendMessage send_;
  State state_[2] = {};
  uint8_t timeBar_[kTimeBarSlots] = {};
  uint8_t calendar_[kCalendarCells] = {};
  uint8_t message_[32 + kSubHeader + kRequestPayload] = {};
};

}  // namespace tevrano
