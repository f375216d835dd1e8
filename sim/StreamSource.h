// What one viewer's stream carries, frame slot by frame slot: the video of
// its live view (a channel's loop, or the split view's loop on channel 16)
// and, with a single channel, that channel's audio tone. Packets come out
// in marker framing (FrameHeader first); the caller sends them as they are
// or wraps them for the command channel.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "LoopLibrary.h"
#include "SimOptions.h"
#include "StreamPacket.h"

namespace tevrano::sim {

// The first three words of the live view record.
struct LiveView {
  uint32_t splitKind = 0;
  uint32_t firstChannel = 0;
  uint32_t singleChannel = 0;
  bool operator==(const LiveView&) const = default;
};

struct PacketInfo {
  uint32_t channel = 0;  // 0..15, or 16 for a split view
  bool audio = false;
  bool key = false;
  uint32_t seconds = 0, frame = 0;
  uint32_t channelSequence = 0;  // per channel and kind, for transport framing
  uint32_t intervalMs = 40;
};

using PacketSink = std::function<void(const uint8_t* packet, size_t size, const PacketInfo&)>;

// Sends one video frame as one packet, or with splitFrames > 0 as several
// of at most about that many payload bytes (all but the last filled
// exactly). Each packet takes the next 10-bit counter and channel
// sequence. Returns the bytes sent.
size_t SendVideoFrame(const EncodedFrame& f, const FrameHeaderFields& base, PacketInfo info,
                      int splitFrames, uint32_t& counter, uint32_t& channelSequence,
                      std::vector<uint8_t>& scratch, const PacketSink& sink);

class StreamSource {
 public:
  StreamSource(LoopLibrary& loops, int fps, int channelCount, int splitFrames);

  // One frame slot: recorder time `seconds`/`frame`, the view and picture
  // size wanted now, and the monotonic time in seconds (for audio). When
  // `congested`, the frame is left out and the next frame sent is an
  // I-frame after a visible gap in the packet counter.
  // `minute` is the calendar minute the picture's clock shows.
  void Tick(uint32_t seconds, uint32_t frame, uint32_t minute, const LiveView& view,
            Resolution size, double now, bool congested, const PacketSink& sink);
  uint32_t shownMinute() const { return key_.minute; }
  // What is being streamed now (minute aside).
  const PictureKey& picture() const { return key_; }

  uint32_t videoPackets() const { return videoPackets_; }
  uint32_t audioPackets() const { return audioPackets_; }

 private:
  void SendAudio(uint32_t channel, const FrameHeaderFields& base, PacketInfo info, double now,
                 const PacketSink& sink);

  LoopLibrary& loops_;
  const int fps_;
  const int channelCount_;
  const int splitFrames_;
  PictureKey key_{};
  LoopPtr loop_;
  size_t loopPos_ = 0;
  bool needKey_ = false;
  uint32_t videoCounter_ = 0;  // 10-bit counters, separate for video and audio
  uint32_t audioCounter_ = 0;
  uint32_t channelSequence_[2][17] = {};
  double audioStart_ = 0;
  uint64_t samplesSent_ = 0;
  uint32_t videoPackets_ = 0, audioPackets_ = 0;
  std::vector<uint8_t> scratch_;
  std::vector<uint8_t> samples_;
};

// Audio packets: 8000 Hz mono 16-bit little-endian. A viewer plays
// (length x 64 - 64) / 2 samples of a packet, so each carries 512 played
// samples (64 ms) and 16 more that continue the tone.
constexpr int kAudioRate = 8000;
constexpr int kAudioPlayedSamples = 512;
constexpr int kAudioPacketSamples = 528;
// The tone of a channel, Hz: 400 + 50 x channel.
inline double ToneHz(uint32_t channel) {
  return 400.0 + 50.0 * (channel & 15);
}

}  // namespace tevrano::sim
