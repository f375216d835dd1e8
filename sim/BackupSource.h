// A viewer's backup stream: the recordings of one channel between the
// start and end times of its backup view record (record 3), as fast as the
// viewer takes them (or --backup-speed times real time), for the viewer to
// write into movie files:
//   word 8   channel (0-based)
//   word 12  backup state: 1 (or 2) a backup runs, 0 none
//   word 16  start time, word 20 end time (recorder seconds)
// Every new record starts the stream again. Video packets are marker-
// framed, StreamKind 1, sub-channel = the channel, FrameHeader times
// running from the start time through the archive (a gap jumps to the next
// recording); after each video frame come the audio packets whose time has
// come (512 samples each, 8000 Hz, the channel's tone, same kind and
// sub-channel), so a gap in the video is a gap in the sound too. The last
// packet is an I-frame stamped with the end time (frame 0), which tells the
// viewer the span is complete. Options: a constant time offset (FrameHeader
// offset 28), picture sizes changing every so many seconds of recorder
// time (at an I-frame), frames split into several packets, and a stall:
// after so many seconds of the span nothing more is sent until the next
// record.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "LoopLibrary.h"
#include "RecordingArchive.h"
#include "StreamSource.h"

namespace tevrano::sim {

struct BackupRequest {
  uint32_t channel = 0;
  uint32_t state = 0;
  uint32_t start = 0, end = 0;
  uint32_t generation = 0;  // raised with every record received
};

struct BackupSettings {
  int fps = 25;
  int speed = 0;  // recorder frames per frame slot; 0: as fast as the viewer takes
  uint32_t timeOffset = 0;
  double stallAfter = -1;  // seconds of the span after which nothing is sent; <0 never
  std::vector<Resolution> sizes{Resolution{}};
  int cycleSeconds = 10;  // recorder seconds per size when there are several
  int splitFrames = 0;
};

struct BackupNote {
  enum class Kind { Start, Stopped, Gap, Stall, End, Empty } kind = Kind::Start;
  uint32_t channel = 0;
  uint32_t from = 0, to = 0;  // Start: the span; Gap: last sent, next; Stall, End: last sent
  uint32_t first = 0;         // Start: the first time sent
  uint64_t videoFrames = 0, audioPackets = 0;
};
using BackupNoteSink = std::function<void(const BackupNote&)>;

class BackupSource {
 public:
  static constexpr size_t kBurstBytes = 1024 * 1024;  // at most this much a frame slot

  BackupSource(LoopLibrary& loops, const RecordingArchive& archive, const BackupSettings& settings);

  // One frame slot. `liveMinute`: the clock minute whose loops exist.
  // Sends nothing while `congested`.
  void Tick(const BackupRequest& request, uint32_t liveMinute, bool congested,
            const PacketSink& sink, const BackupNoteSink& notes);
  bool sending() const { return sending_; }

 private:
  void Restart(const BackupRequest& r, const BackupNoteSink& notes);
  size_t SendFrame(uint32_t liveMinute, const PacketSink& sink, const BackupNoteSink& notes);
  void SendAudioUpTo(int64_t sample, const PacketSink& sink);
  Resolution SizeAt(uint32_t seconds) const;

  LoopLibrary& loops_;
  const RecordingArchive& archive_;
  const BackupSettings settings_;
  bool started_ = false;
  BackupRequest request_{};
  bool sending_ = false;
  bool closing_ = false;     // the end-time I-frame is next
  int64_t position_ = 0;     // recorder time in frames
  int64_t audioSample_ = 0;  // recorder time in samples of the next audio packet
  std::map<std::pair<int, int>, LoopPtr> loops_by_size_;
  LoopPtr loop_;
  Resolution size_{};
  size_t loopPos_ = 0;
  uint32_t videoCounter_ = 0, audioCounter_ = 0, videoSequence_ = 0, audioSequence_ = 0;
  uint64_t videoFrames_ = 0, audioPackets_ = 0;
  std::vector<uint8_t> scratch_, samples_;
};

}  // namespace tevrano::sim
