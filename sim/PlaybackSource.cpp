#include "PlaybackSource.h"

#include <algorithm>

#include "RecorderTime.h"

namespace tevrano::sim {

PlaybackSource::PlaybackSource(LoopLibrary& loops, const RecordingArchive& archive, int fps,
                               int splitFrames)
    : loops_(loops), archive_(archive), fps_(fps), splitFrames_(splitFrames) {
  scratch_.reserve(512 * 1024);
}

void PlaybackSource::Tick(const PlaybackRequest& request, uint64_t slot, Resolution size,
                          uint32_t liveMinute, bool congested, const PacketSink& sink,
                          const PlaybackNoteSink& notes) {
  if (!started_ || request.generation != request_.generation) {
    Restart(request, notes);
    lastSlot_ = slot;
  }
  // The viewer shows one frame a slot of what it holds.
  for (uint64_t passed = slot > lastSlot_ ? slot - lastSlot_ : 0; passed > 0 && !ahead_.empty();
       --passed) {
    aheadBytes_ -= ahead_.front();
    ahead_.pop_front();
  }
  lastSlot_ = std::max(lastSlot_, slot);
  if (!playing_ || congested) return;
  size_t burst = 0;
  while (playing_ && aheadBytes_ < kLeadBytes && burst < kBurstBytes) {
    size_t bytes = 0;
    if (!SendFrame(size, liveMinute, sink, notes, bytes)) break;
    ahead_.push_back(bytes);
    aheadBytes_ += bytes;
    burst += bytes;
  }
}

void PlaybackSource::Restart(const PlaybackRequest& r, const PlaybackNoteSink& notes) {
  request_ = r;
  started_ = true;
  ahead_.clear();
  aheadBytes_ = 0;
  loopPos_ = 0;  // the loop's first frame is an I-frame
  const int channel = int(r.channel);
  const int32_t speed = r.direction == 0 ? 1 : r.direction > 0 ? kFastSpeed : -kFastSpeed;
  step_ = speed;
  playing_ = r.playFlag == 1 || r.playFlag == 2;
  PlaybackNote note;
  note.channel = r.channel;
  note.from = r.start;
  if (!playing_) {
    note.kind = PlaybackNote::Kind::Stopped;
    notes(note);
    return;
  }
  uint32_t start = r.start;
  if (start == 0 && !archive_.Of(channel).empty()) {
    const Recording& last = archive_.Of(channel).back();
    start = last.end - std::min<uint32_t>(30, last.end - last.start);
  }
  uint32_t at = 0;
  if (!archive_.Seek(channel, start, speed > 0, at)) {
    playing_ = false;
    note.kind = PlaybackNote::Kind::End;
    notes(note);
    return;
  }
  // Backwards into a recording that ends before the time asked: from its
  // last frame.
  position_ = int64_t(at) * fps_ + (speed < 0 && at != start ? fps_ - 1 : 0);
  note.kind = PlaybackNote::Kind::Start;
  note.speed = speed;
  note.to = at;
  notes(note);
}

void PlaybackSource::ChooseLoop(Resolution size, uint32_t liveMinute) {
  PictureKey key;
  key.width = size.width;
  key.height = size.height;
  key.splitKind = 0;
  key.channel = int(request_.channel & 15);
  key.minute = LocalMinuteOf(position());
  if (!loop_ || !key.SamePicture(key_)) {
    // A new picture: the played minute's loop when it is ready, else the
    // live minute's (made at start-up) until the played one is.
    LoopPtr loop = loops_.TryGet(key);
    PictureKey used = key;
    if (!loop) {
      used.minute = liveMinute;
      loop = loops_.TryGet(used);
    }
    if (!loop) {
      used = key;
      loop = loops_.Get(key);
    }
    loop_ = std::move(loop);
    key_ = used;
    loopPos_ = 0;
  } else if (key.minute != key_.minute && loopPos_ == 0) {
    // Another minute's clock takes over at the start of a loop.
    if (LoopPtr next = loops_.TryGet(key)) {
      loop_ = std::move(next);
      key_ = key;
    }
  }
}

bool PlaybackSource::SendFrame(Resolution size, uint32_t liveMinute, const PacketSink& sink,
                               const PlaybackNoteSink& notes, size_t& bytes) {
  ChooseLoop(size, liveMinute);
  const EncodedLoop& loop = *loop_;
  if (loop.frames.empty()) return false;
  const EncodedFrame& f = loop.frames[loopPos_ % loop.frames.size()];
  loopPos_ = (loopPos_ + 1) % loop.frames.size();

  const uint32_t channel = request_.channel & 15;
  const uint32_t seconds = uint32_t(position_ / fps_);
  FrameHeaderFields h;
  h.seconds = seconds;
  h.frame = uint32_t(position_ % fps_);
  h.widthMbs = uint32_t(size.width / 16);
  h.heightMbs = uint32_t(size.height / 16);
  h.resolutionCode = size.height == 288 && size.width == 704 ? 2 : 0;
  h.subChannel = channel;
  h.rateField = RateField(fps_);
  h.streamKind = 1;
  PacketInfo info;
  info.channel = channel;
  info.seconds = h.seconds;
  info.frame = h.frame;
  info.intervalMs = uint32_t(1000 / fps_);
  bytes = SendVideoFrame(f, h, info, splitFrames_, counter_, channelSequence_, scratch_, sink);

  // On to the next frame's time, across a gap to the next recording that
  // way, or to the end.
  const int64_t next = position_ + step_;
  const bool forwards = step_ > 0;
  if (next >= 0 && next / fps_ <= 0xFFFFFFFFll &&
      archive_.Holding(int(request_.channel), uint32_t(next / fps_))) {
    position_ = next;
    return true;
  }
  PlaybackNote note;
  note.channel = request_.channel;
  note.speed = int32_t(step_);
  note.from = seconds;
  uint32_t at = 0;
  if (next >= 0 && next / fps_ <= 0xFFFFFFFFll &&
      archive_.Seek(int(request_.channel), uint32_t(next / fps_), forwards, at)) {
    position_ = int64_t(at) * fps_ + (forwards ? 0 : fps_ - 1);
    note.kind = PlaybackNote::Kind::Gap;
    note.to = at;
  } else {
    playing_ = false;
    note.kind = PlaybackNote::Kind::End;
  }
  notes(note);
  return true;
}

}  // namespace tevrano::sim
