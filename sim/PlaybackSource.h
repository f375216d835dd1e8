// A viewer's playback stream: the recordings of one channel from the
// archive, as the viewer's playback view record asks:
//   word 8   channel (0-based)
//   word 12  play flag: 0 stopped (nothing is sent), 1 playing, 2 playing
//            (the viewer's "play from here")
//   word 16  direction: 0 forwards at normal speed, 1 forwards at
//            kFastSpeed times, -1 backwards at kFastSpeed times
//   word 20  start time (recorder seconds); 0: 30 s before the end of the
//            channel's last recording
// Every new record (a set or data message) starts the stream again at its
// start time, from the first frame (an I-frame) of the channel's picture
// loop. Packets are marker-framed video of StreamKind 1 whose sub-channel
// is the channel; their FrameHeader times run from the start time in the
// record's direction through the recordings; where the archive has none
// they jump to the next recording that way (a gap), and after the last
// one the stream ends. The picture is the channel's own, its clock showing
// the minute being played.
//
// A viewer buffers playback until it holds 512 KiB and drops whatever does
// not fit in its 4 MiB ring, so the stream runs kLeadBytes ahead of a
// viewer showing one frame per frame slot: at a start the lead goes out at
// once (at most kBurstBytes a slot), then one frame a slot.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "LoopLibrary.h"
#include "RecordingArchive.h"
#include "StreamSource.h"

namespace tevrano::sim {

struct PlaybackRequest {
  uint32_t channel = 0;
  uint32_t playFlag = 0;
  int32_t direction = 0;
  uint32_t start = 0;
  uint32_t generation = 0;  // raised with every record received
};

// What happened, for the log.
struct PlaybackNote {
  enum class Kind { Start, Stopped, Gap, End } kind = Kind::Start;
  uint32_t channel = 0;
  int32_t speed = 0;  // recorder seconds per second: 1, 4, -4; 0 when stopped
  uint32_t from = 0;  // Start: the time asked for; Gap, End: the last time sent
  uint32_t to = 0;    // Start, Gap: the first time sent next
};
using PlaybackNoteSink = std::function<void(const PlaybackNote&)>;

class PlaybackSource {
 public:
  static constexpr int32_t kFastSpeed = 4;
  static constexpr size_t kLeadBytes = 768 * 1024;
  static constexpr size_t kBurstBytes = 256 * 1024;

  PlaybackSource(LoopLibrary& loops, const RecordingArchive& archive, int fps, int splitFrames);

  // Frame slot `slot` (counted by the caller at the frame rate): the
  // request as the view record holds it, the picture size, the calendar
  // minute of the live clock (its loops are ready; the played minute's may
  // not be yet). Sends nothing while `congested`.
  void Tick(const PlaybackRequest& request, uint64_t slot, Resolution size, uint32_t liveMinute,
            bool congested, const PacketSink& sink, const PlaybackNoteSink& notes);

  bool playing() const { return playing_; }
  // Recorder time of the next frame to send.
  uint32_t position() const { return uint32_t(position_ / fps_); }
  const PictureKey& picture() const { return key_; }

 private:
  void Restart(const PlaybackRequest& r, const PlaybackNoteSink& notes);
  bool SendFrame(Resolution size, uint32_t liveMinute, const PacketSink& sink,
                 const PlaybackNoteSink& notes, size_t& bytes);
  void ChooseLoop(Resolution size, uint32_t liveMinute);

  LoopLibrary& loops_;
  const RecordingArchive& archive_;
  const int fps_;
  const int splitFrames_;
  bool started_ = false;
  PlaybackRequest request_{};
  bool playing_ = false;
  int64_t position_ = 0;  // recorder time in frames (seconds x fps + frame)
  int64_t step_ = 1;      // frames of recorder time per frame sent
  uint64_t lastSlot_ = 0;
  std::deque<size_t> ahead_;  // bytes of the frames a viewer has not shown yet
  size_t aheadBytes_ = 0;
  PictureKey key_{};
  LoopPtr loop_;
  size_t loopPos_ = 0;
  uint32_t counter_ = 0;
  uint32_t channelSequence_ = 0;
  std::vector<uint8_t> scratch_;
};

}  // namespace tevrano::sim
