#pragma once
#include <cstdint>

#include "platform/Clock.h"

namespace tevrano {

constexpr int kChannels = 17;  // 0..15 cameras, 16 a channel of its own

// Pacing state of one channel of a stream connection.
struct ChannelPacer {
  uint32_t Resync = 1;  // 1: drop predicted frames until the next I-frame
  uint32_t Due = 0;     // ms of the channel clock at which the pending frame is shown
  uint32_t Bytes = 0;   // total packet bytes received on the channel
  uint32_t Unused3 = 0, Unused4 = 0;
  uint32_t LatestSeconds = 0;  // transport position of the newest queued packet
  uint32_t LatestFrame = 0;
  uint32_t ResyncSeconds = 0;  // frame header time at the last resynchronisation
  uint32_t ResyncFrame = 0;
  uint32_t FrameCount = 0;  // (seconds & 0xFFFFFF) * fps + frame of the frame last shown
};

// Millisecond clocks: id 1 is the general clock, ids 10..26 the channel clocks.
// Reading a clock gives the milliseconds since it was last reset.
class StreamClocks {
 public:
  static constexpr int kGeneral = 1;
  static constexpr int ChannelId(int channel) { return 10 + channel; }

  explicit StreamClocks(const platform::Clock& clock) : clock_(clock) {}
  void Reset(int id) { resetAt_[id] = clock_.TickCountMs(); }
  uint32_t Read(int id) const { return clock_.TickCountMs() - resetAt_[id]; }
  uint32_t NowMs() const { return clock_.TickCountMs(); }

 private:
  const platform::Clock& clock_;
  uint32_t resetAt_[27] = {};
};

// Per-recorder stream statistics, zero at start-up.
struct StreamStats {
  uint32_t LastSequence[16] = {};
  uint32_t LastSequence16 = 0;
  uint32_t DecodeTime[16] = {};  // smoothed presentation cost, ms
  uint32_t DecodeTime16 = 0;
  uint32_t MainFreeAbove512K = 0;
  uint32_t RecorderValue = 0;

  uint32_t& LastSequenceOf(uint32_t channel) {
    return channel < 16 ? LastSequence[channel] : LastSequence16;
  }
  uint32_t& DecodeTimeOf(uint32_t channel) {
    return channel < 16 ? DecodeTime[channel] : DecodeTime16;
  }
};

}  // namespace tevrano
