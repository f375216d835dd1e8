#include "BackupSource.h"

#include <algorithm>
#include <cmath>

#include "Bytes.h"

namespace tevrano::sim {

BackupSource::BackupSource(LoopLibrary& loops, const RecordingArchive& archive,
                           const BackupSettings& settings)
    : loops_(loops), archive_(archive), settings_(settings) {
  scratch_.reserve(512 * 1024);
  samples_.resize(kAudioPacketSamples * 2);
}

void BackupSource::Tick(const BackupRequest& request, uint32_t liveMinute, bool congested,
                        const PacketSink& sink, const BackupNoteSink& notes) {
  if (!started_ || request.generation != request_.generation) Restart(request, notes);
  if (!sending_ || congested) return;
  size_t burst = 0;
  for (int frames = 0;
       sending_ && burst < kBurstBytes && (settings_.speed == 0 || frames < settings_.speed);
       ++frames)
    burst += SendFrame(liveMinute, sink, notes);
}

void BackupSource::Restart(const BackupRequest& r, const BackupNoteSink& notes) {
  request_ = r;
  started_ = true;
  sending_ = false;
  closing_ = false;
  BackupNote note;
  note.channel = r.channel;
  note.from = r.start;
  note.to = r.end;
  uint32_t at = 0;
  if (r.state == 0) {
    note.kind = BackupNote::Kind::Stopped;
  } else if (r.end <= r.start || !archive_.Seek(int(r.channel), r.start, true, at) || at >= r.end) {
    note.kind = BackupNote::Kind::Empty;  // nothing recorded in the span: nothing is sent
  } else {
    note.kind = BackupNote::Kind::Start;
    note.first = at;
    sending_ = true;
    position_ = int64_t(at) * settings_.fps;
    audioSample_ = int64_t(at) * kAudioRate;
    videoFrames_ = audioPackets_ = 0;
  }
  notes(note);
}

Resolution BackupSource::SizeAt(uint32_t seconds) const {
  const size_t n = settings_.sizes.size();
  if (n < 2 || seconds < request_.start) return settings_.sizes.front();
  return settings_.sizes[size_t((seconds - request_.start) / uint32_t(settings_.cycleSeconds)) % n];
}

void BackupSource::SendAudioUpTo(int64_t sample, const PacketSink& sink) {
  const uint32_t channel = request_.channel & 15;
  const double step = 2 * M_PI * ToneHz(channel) / kAudioRate;
  FrameHeaderFields h;
  h.type = 2;
  h.key = true;
  h.widthMbs = uint32_t(size_.width / 16);
  h.heightMbs = uint32_t(size_.height / 16);
  h.subChannel = channel;
  h.rateField = RateField(settings_.fps);
  h.streamKind = 1;
  h.timeOffset = settings_.timeOffset;
  PacketInfo info;
  info.channel = channel;
  info.audio = true;
  info.intervalMs = uint32_t(1000 / settings_.fps);
  while (audioSample_ + kAudioPlayedSamples <= sample) {
    for (int i = 0; i < kAudioPacketSamples; ++i) {
      const double v = 8000.0 * std::sin(step * double(audioSample_ + i));
      PutLe16(&samples_[size_t(i) * 2], uint16_t(int16_t(std::lround(v))));
    }
    h.seconds = uint32_t(audioSample_ / kAudioRate);
    h.frame = uint32_t((audioSample_ % kAudioRate) * settings_.fps / kAudioRate);
    h.counter = audioCounter_;
    audioCounter_ = (audioCounter_ + 1) & 0x3FF;
    info.seconds = h.seconds;
    info.frame = h.frame;
    info.channelSequence = audioSequence_++;
    scratch_.clear();
    AppendMarkerPacket(scratch_, h, samples_.data(), samples_.size());
    sink(scratch_.data(), scratch_.size(), info);
    ++audioPackets_;
    audioSample_ += kAudioPlayedSamples;
  }
}

size_t BackupSource::SendFrame(uint32_t liveMinute, const PacketSink& sink,
                               const BackupNoteSink& notes) {
  const int fps = settings_.fps;
  const uint32_t seconds = uint32_t(position_ / fps);
  BackupNote note;
  note.channel = request_.channel;
  if (!closing_ && settings_.stallAfter >= 0 &&
      double(seconds) >= double(request_.start) + settings_.stallAfter) {
    // The recorder goes quiet in the middle of the span.
    sending_ = false;
    note.kind = BackupNote::Kind::Stall;
    note.from = seconds;
    note.videoFrames = videoFrames_;
    note.audioPackets = audioPackets_;
    notes(note);
    return 0;
  }
  const Resolution want = closing_ && loop_ ? size_ : SizeAt(seconds);
  if (!loop_ || want.width != size_.width || want.height != size_.height) {
    LoopPtr& loop = loops_by_size_[{want.width, want.height}];
    if (!loop)
      loop = loops_.Get(
          PictureKey{want.width, want.height, 0, int(request_.channel & 15), liveMinute});
    loop_ = loop;
    size_ = want;
    loopPos_ = 0;  // a new size starts at an I-frame
  }
  if (closing_) loopPos_ = 0;
  const EncodedLoop& loop = *loop_;
  if (loop.frames.empty()) {
    sending_ = false;
    return 0;
  }
  const EncodedFrame& f = loop.frames[loopPos_ % loop.frames.size()];
  loopPos_ = (loopPos_ + 1) % loop.frames.size();

  FrameHeaderFields h;
  h.seconds = seconds;
  h.frame = uint32_t(position_ % fps);
  h.widthMbs = uint32_t(size_.width / 16);
  h.heightMbs = uint32_t(size_.height / 16);
  h.resolutionCode = size_.height == 288 && size_.width == 704 ? 2 : 0;
  h.subChannel = request_.channel & 15;
  h.rateField = RateField(fps);
  h.streamKind = 1;
  h.timeOffset = settings_.timeOffset;
  PacketInfo info;
  info.channel = h.subChannel;
  info.seconds = h.seconds;
  info.frame = h.frame;
  info.intervalMs = uint32_t(1000 / fps);
  const size_t bytes = SendVideoFrame(f, h, info, settings_.splitFrames, videoCounter_,
                                      videoSequence_, scratch_, sink);
  ++videoFrames_;
  note.videoFrames = videoFrames_;
  if (closing_) {
    sending_ = false;
    note.kind = BackupNote::Kind::End;
    note.from = seconds;
    note.audioPackets = audioPackets_;
    notes(note);
    return bytes;
  }
  SendAudioUpTo((position_ + 1) * kAudioRate / fps, sink);

  // On to the next frame, across a gap to the next recording, or to the
  // closing frame at the end time.
  const int64_t next = position_ + 1;
  const uint32_t nextSeconds = uint32_t(next / fps);
  uint32_t at = 0;
  if (nextSeconds >= request_.end) {
    closing_ = true;
    position_ = int64_t(request_.end) * fps;
  } else if (archive_.Holding(int(request_.channel), nextSeconds)) {
    position_ = next;
  } else if (archive_.Seek(int(request_.channel), nextSeconds, true, at) && at < request_.end) {
    note.kind = BackupNote::Kind::Gap;
    note.from = seconds;
    note.to = at;
    note.audioPackets = audioPackets_;
    notes(note);
    position_ = int64_t(at) * fps;
    audioSample_ = int64_t(at) * kAudioRate;
  } else {
    closing_ = true;
    position_ = int64_t(request_.end) * fps;
  }
  return bytes;
}

}  // namespace tevrano::sim
