// The backup job's state machine: from the recorder's backup stream to
// movie parts on disk.
#include "record/BackupJob.h"

#include <algorithm>
#include <cstring>

#include "record/BackupNames.h"
#include "stream/FrameHeader.h"
#include "stream/ParamSetPrefix.h"
#include "stream/StreamConnection.h"
#include "view/ViewRecords.h"

namespace tevrano::record {

int32_t ChooseTimeBase(int32_t o1, int32_t o2, int32_t o3) {
  auto small = [](int32_t o) { return o > -65537 && o < 65537; };
  if (small(o1) && small(o2) && small(o3)) {
    if (o1 == o2) return o1;
    if (o1 == o3) return o1;
    if (o2 == o3) return o2;
    return o3;
  }
  if (o1 == o2 || o1 == o3) return o3;
  return 0;
}

BackupJob::BackupJob(platform::FileSystem& files, const platform::Clock& clock)
    : files_(files),
      clock_(clock),
      frame_(new uint8_t[kBufferBytes]),
      collection_(new uint8_t[kBufferBytes]) {}

BackupJob::~BackupJob() {
  writer_.Abandon();
}

void BackupJob::SetState(int state) {
  if (state == kStart) {
    failed_ = complete_ = false;
    percent_ = 0;
    partsWritten_ = 0;
    outcome_ = BackupOutcome::kRunning;
    nextStart_ = -1;
    carried_ = false;
    missingPackets_ = 0;
    frameBytes_ = 0;
    spanStart_ = spanEnd_ = 0;
    state_ = kStart;
    return;
  }
  if (state == kEnd) {
    if (state_ == kIdle) return;
    if (state_ == kPreview) {
      state_ = kIdle;
      return;
    }
    // Stopped before the end: the movie written so far is finished (and
    // playable), the backup counts as incomplete.
    part_ = 0;
    carried_ = false;
    if (!complete_) failed_ = true;
    state_ = writer_.Open() ? kFinish : kEnd;
    return;
  }
  state_ = state;
}

bool BackupJob::Active(const ViewState& view) const {
  return view.Mode == kModeBackup && view.Backup.State == 1;
}

void BackupJob::Poll(StreamConnection& c) {
  if (state_ == kIdle || !c.Context || !c.Context->view) return;
  Run(c, *c.Context->view);
}

void BackupJob::Run(StreamConnection& c, ViewState& view) {
  for (int guard = 0; guard < 16; ++guard) {
    const uint32_t now = clock_.TickCountMs();
    switch (state_) {
      case kIdle:
      case kPreview:
        return;
      case kStart:
        watermark_ = 0;
        if (part_ == 0) {
          spanStart_ = view.Backup.StartTime;
          spanEnd_ = view.Backup.EndTime;
        }
        if (hooks_.requestWatermark) hooks_.requestWatermark(view.Backup.Channel);
        // The answer takes a poll's round trip: wait about a second for it.
        deadline_ = now + kWatermarkWaitMs;
        state_ = kWaitWatermark;
        break;
      case kWaitWatermark: {
        uint32_t value = 0;
        const bool got = hooks_.watermarkAnswer && hooks_.watermarkAnswer(value);
        if (!got && int32_t(now - deadline_) < 0) return;
        if (got) watermark_ = value;
        if (!Active(view)) return;
        if (basePath_.empty()) {
          failed_ = true;
          part_ = 0;
          state_ = kFinish;
          break;
        }
        fileName_ = MoviePartName(MovieBase(basePath_), part_);
        int64_t start = spanStart_;
        if (nextStart_ >= 0)
          start = nextStart_;
        else if (part_ > 0)
          start = int64_t(spanStart_) + int64_t(part_) * MovieWriter::kPartSeconds - 1;
        const int dateFormat = hooks_.dateFormat ? hooks_.dateFormat() : 0;
        if (!writer_.Create(files_, fileName_, start, spanEnd_, watermark_, dateFormat)) {
          failed_ = true;
          part_ = 0;
          state_ = kFinish;
          break;
        }
        nextStart_ = -1;
        entryCount_ = 0;
        collectedBytes_ = 0;
        videoCollected_ = 0;
        timeBase_ = 0;
        if (part_ == 0) c.Timestamp = uint32_t(start);
        lastActivity_ = now;
        state_ = kCollect;
        if (carried_) {
          carried_ = false;
          TakeFrame(c, view, true);
          if (!carried_) frameBytes_ = 0;
        }
        break;
      }
      case kCollect:
      case kSteady:
        if (!Active(view)) return;
        if (now - lastActivity_ > kStallMs) {
          failed_ = true;  // the recorder went silent
          part_ = 0;
          state_ = kFinish;
          break;
        }
        return;
      case kFinish:
        if (writer_.Open()) {
          if (writer_.Started()) {
            if (writer_.FinishMovie())
              ++partsWritten_;
            else
              failed_ = true;
          } else {
            writer_.Abandon();
          }
        }
        state_ = kEnd;
        break;
      case kEnd:
        if (part_ > 0) {
          state_ = kStart;
          break;
        }
        EndJob(failed_ || !complete_);
        return;
      default:
        state_ = kIdle;
        return;
    }
  }
}

void BackupJob::EndJob(bool failed) {
  state_ = kIdle;
  complete_ = complete_ && !failed;
  outcome_ = complete_ ? BackupOutcome::kComplete : BackupOutcome::kIncomplete;
  if (complete_) percent_ = 100;
  if (hooks_.finished) hooks_.finished(complete_);
  if (partsWritten_ > 0 && hooks_.openFolder) hooks_.openFolder(FolderOf(fileName_));
}

int BackupJob::Step(StreamConnection& c) {
  if (!c.Context || !c.Context->view) return 0;
  ViewState& view = *c.Context->view;
  Run(c, view);
  if (c.FrameLength == 0) return 0;
  if (state_ == kPreview) {
    Preview(c);
    c.FrameLength = 0;
    return 0;
  }
  if (state_ == kStart || state_ == kWaitWatermark || state_ == kFinish || state_ == kEnd) {
    // Held until the next file is open.
    if (Active(view) || state_ == kFinish || state_ == kEnd) return 1;
  }
  auto drop = [&] {
    c.FrameLength = 0;
    return 0;
  };
  if ((state_ != kCollect && state_ != kSteady) || !Active(view) || !c.FrameBuffer) return drop();
  const uint8_t* p = c.FrameBuffer.get();
  const uint32_t length = std::min(c.FrameLength, StreamConnection::kBufferSize);
  if (length < FrameHeader::kSize) return drop();
  const FrameHeader h = FrameHeader::Of({p, length});
  if (h.type != FrameHeader::kVideo) {
    StepAudio(c, p, length);
    return drop();
  }
  // The backup stream carries the backup camera only.
  if (h.subChannel != view.Backup.Channel) return drop();
  // While collecting, a frame counts as a sign of life; in the steady state
  // only a frame of the span does (SteadyFrame).
  if (state_ == kCollect) lastActivity_ = clock_.TickCountMs();
  if (missingPackets_ > 0) {
    const FrameHeader first = FrameHeader::Of({frame_.get(), frameBytes_});
    if (h.seconds != first.seconds || h.frame != first.frame) {
      // A frame that lost packets: what arrived of it is written as it is.
      missingPackets_ = 0;
      TakeFrame(c, view, true);
      if (carried_) return 1;  // the new packet waits for the next part
      frameBytes_ = 0;
      if (state_ != kCollect && state_ != kSteady) return 1;
    }
  }
  if (length > kBufferBytes - frameBytes_) {
    frameBytes_ = 0;
    missingPackets_ = 0;
    return drop();
  }
  std::memcpy(frame_.get() + frameBytes_, p, length);
  frameBytes_ += length;
  missingPackets_ = h.extraPackets;
  c.FrameLength = 0;
  if (h.extraPackets == 0) {
    TakeFrame(c, view, true);
    if (!carried_) frameBytes_ = 0;
  }
  Run(c, view);
  // Taken: the parser goes on with the next packet in the same pass.
  return 0;
}

void BackupJob::Preview(StreamConnection& c) {
  if (!c.FrameBuffer || !hooks_.showPreview) return;
  uint8_t* p = c.FrameBuffer.get();
  const uint32_t length = std::min(c.FrameLength, StreamConnection::kBufferSize);
  if (length <= FrameHeader::kSize) return;
  const FrameHeader h = FrameHeader::Of({p, length});
  // Only a whole I-frame decodes by itself; the first packet of a frame of
  // several packets is not shown.
  if (h.type != FrameHeader::kVideo || !h.IsKeyFrame() || h.extraPackets != 0) return;
  // The parameter sets go in front of the payload, over the FrameHeader's
  // 32 bytes (every supported size fits).
  uint8_t prefix[ParamSetPrefix::kMaxBytes];
  const uint32_t n = ParamSetPrefix::Build(h.widthMb, h.heightMb, prefix);
  if (n == 0 || n > FrameHeader::kSize) return;
  uint8_t* at = p + FrameHeader::kSize - n;
  std::memcpy(at, prefix, n);
  hooks_.showPreview(at, length - FrameHeader::kSize + n);
}

void BackupJob::StepAudio(StreamConnection& c, const uint8_t* packet, uint32_t bytes) {
  if (!c.Context || !c.Context->view) return;
  ViewState& view = *c.Context->view;
  if ((state_ != kCollect && state_ != kSteady) || !Active(view)) return;
  if (bytes < FrameHeader::kSize || bytes > kBufferBytes) return;
  if (state_ == kCollect) lastActivity_ = clock_.TickCountMs();
  uint8_t* audio = const_cast<uint8_t*>(packet);
  if (state_ == kCollect) {
    if (entryCount_ < kMaxCollected && bytes <= kBufferBytes - collectedBytes_) {
      std::memcpy(collection_.get() + collectedBytes_, packet, bytes);
      entries_[entryCount_++] = {collectedBytes_, bytes, false};
      collectedBytes_ += bytes;
      return;
    }
    FlushCollection(view);
  }
  if (state_ == kSteady) SteadyFrame(audio, bytes, false);
  Run(c, view);
}

void BackupJob::TakeFrame(StreamConnection& c, ViewState& view, bool video) {
  (void)c;
  if (frameBytes_ == 0) return;
  if (state_ == kCollect) {
    Collect(view, video);
    return;
  }
  if (state_ == kSteady) SteadyFrame(frame_.get(), frameBytes_, video);
}

void BackupJob::Collect(ViewState& view, bool video) {
  if (entryCount_ >= kMaxCollected || frameBytes_ > kBufferBytes - collectedBytes_) {
    // No room: choose the time base from what is there and go on.
    FlushCollection(view);
    if (state_ == kSteady) SteadyFrame(frame_.get(), frameBytes_, video);
    return;
  }
  std::memcpy(collection_.get() + collectedBytes_, frame_.get(), frameBytes_);
  entries_[entryCount_++] = {collectedBytes_, frameBytes_, video};
  collectedBytes_ += frameBytes_;
  if (video) {
    const FrameHeader h = FrameHeader::Of({frame_.get(), frameBytes_});
    if (videoCollected_ < 3) offsets_[videoCollected_++] = int32_t(h.timeOffset);
    if (videoCollected_ == 3) FlushCollection(view);
  }
}

void BackupJob::FlushCollection(ViewState& view) {
  (void)view;
  int32_t base = 0;
  if (videoCollected_ >= 3)
    base = ChooseTimeBase(offsets_[0], offsets_[1], offsets_[2]);
  else if (videoCollected_ == 2)
    base = offsets_[0] == offsets_[1] ? offsets_[0] : offsets_[1];
  else if (videoCollected_ == 1)
    base = offsets_[0];
  timeBase_ = base;
  writer_.ShiftLimits(base);
  state_ = kSteady;
  const int count = entryCount_;
  entryCount_ = 0;
  for (int i = 0; i < count && state_ == kSteady; ++i)
    SteadyFrame(collection_.get() + entries_[i].at, entries_[i].bytes, entries_[i].video);
  collectedBytes_ = 0;
}

void BackupJob::SetOffset(uint8_t* frame, uint32_t length) {
  for (uint32_t at = 0; length - at >= FrameHeader::kSize;) {
    const uint32_t bytes = FrameHeader::Of({frame + at, length - at}).PacketBytes();
    StoreLe32(frame + at + 28, uint32_t(timeBase_));
    if (bytes < FrameHeader::kSize || bytes > length - at) break;
    at += bytes;
  }
}

void BackupJob::UpdatePercent(uint32_t seconds) {
  if (spanEnd_ <= spanStart_) return;
  const int64_t done = int64_t(seconds) + timeBase_ - spanStart_;
  const int64_t p = done * 100 / (int64_t(spanEnd_) - spanStart_);
  percent_ = int(std::clamp<int64_t>(p, 0, 99));
}

bool BackupJob::Foreign(const FrameHeader& h, bool video) const {
  const int64_t seconds = h.seconds;
  // Nothing of the span lies at or after its end: before the first movie
  // has started, such a frame (the live stream's, from before the request)
  // would start it, and end it at once as complete. A later part may start
  // with the frame that closes the span.
  if (!writer_.Started() && part_ == 0) return seconds >= writer_.EndTime();
  // The live stream's sound from before the request may still wait in the
  // audio ring, read apart from the video: sound far past the end is not
  // the span's and never ends it. A video frame far past the end follows
  // the span's own frames in order: the recorder has gone past the end.
  return !video && seconds > writer_.EndTime() + kPastEndSeconds;
}

bool BackupJob::SteadyFrame(uint8_t* frame, uint32_t length, bool video) {
  SetOffset(frame, length);
  const FrameHeader h = FrameHeader::Of({frame, length});
  if (Foreign(h, video)) return true;  // dropped, and no sign of life of the backup
  lastActivity_ = clock_.TickCountMs();
  int limit = writer_.CheckFrameLimits(frame, length);
  if (limit < 0) {
    failed_ = true;  // far past the end time
    part_ = 0;
    state_ = kFinish;
    return true;
  }
  if (video && writer_.Started() &&
      (h.widthMb != writer_.WidthMb() || h.heightMb != writer_.HeightMb()))
    limit = 1;  // another picture size starts another movie
  if (limit == 1) {
    if (!video || !h.IsKeyFrame()) return true;  // dropped until the next I-frame
    if (int64_t(h.seconds) >= writer_.EndTime()) {
      // The frame that closes the span: nothing is left for another part.
      complete_ = true;
      part_ = 0;
      state_ = kFinish;
      return true;
    }
    if (frame != frame_.get()) std::memcpy(frame_.get(), frame, length);
    frameBytes_ = length;
    carried_ = true;
    nextStart_ = int64_t(h.seconds) + timeBase_;
    ++part_;
    state_ = kFinish;
    return false;
  }
  const int written = writer_.WriteFrames(frame, length);
  if (writer_.Failed()) {
    failed_ = true;
    part_ = 0;
    state_ = kFinish;
    return true;
  }
  if (video) UpdatePercent(h.seconds);
  if (written == 0) {
    complete_ = true;
    part_ = 0;
    state_ = kFinish;
  }
  return true;
}

}  // namespace tevrano::record
