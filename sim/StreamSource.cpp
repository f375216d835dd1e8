#include "StreamSource.h"

#include <algorithm>
#include <cmath>

#include "Bytes.h"

namespace tevrano::sim {

StreamSource::StreamSource(LoopLibrary& loops, int fps, int channelCount, int splitFrames)
    : loops_(loops), fps_(fps), channelCount_(channelCount), splitFrames_(splitFrames) {
  scratch_.reserve(512 * 1024);
  samples_.resize(kAudioPacketSamples * 2);
}

void StreamSource::Tick(uint32_t seconds, uint32_t frame, uint32_t minute, const LiveView& view,
                        Resolution size, double now, bool congested, const PacketSink& sink) {
  PictureKey key;
  key.width = size.width;
  key.height = size.height;
  key.splitKind = view.splitKind <= 3 ? int(view.splitKind) : 0;
  key.channel = key.splitKind == 0 ? int(view.singleChannel & 15) : int(view.firstChannel & 15);
  key.minute = minute;
  if (!loop_ || !key.SamePicture(key_)) {
    // A new picture starts at its loop's first I-frame; the audio clock
    // starts again with it.
    loop_ = loops_.Get(key);
    key_ = key;
    loopPos_ = 0;
    needKey_ = false;
    audioStart_ = now;
    samplesSent_ = 0;
  } else if (key.minute != key_.minute) {
    // The clock in the picture moves on: the next minute's loop takes over
    // at the start of a loop (an I-frame) once it is ready.
    LoopPtr next = loops_.TryGet(key);
    if (next && loopPos_ == 0) {
      loop_ = std::move(next);
      key_ = key;
    }
  }
  const EncodedLoop& loop = *loop_;
  if (loop.frames.empty()) return;
  if (congested) {
    needKey_ = true;
    return;
  }
  if (needKey_) {
    // Skip ahead to the next I-frame and leave a gap in the counter so the
    // viewer knows frames are missing.
    while (!loop.frames[loopPos_ % loop.frames.size()].key) ++loopPos_;
    loopPos_ %= loop.frames.size();
    videoCounter_ = (videoCounter_ + 1) & 0x3FF;
    needKey_ = false;
  }
  const EncodedFrame& f = loop.frames[loopPos_];
  loopPos_ = (loopPos_ + 1) % loop.frames.size();

  const uint32_t channel = key_.splitKind == 0 ? uint32_t(key_.channel) : 16;
  FrameHeaderFields h;
  h.seconds = seconds;
  h.frame = frame;
  h.widthMbs = uint32_t(size.width / 16);
  h.heightMbs = uint32_t(size.height / 16);
  // Half-height pictures are one field of the camera's frame.
  h.resolutionCode = size.height == 288 && size.width == 704 ? 2 : 0;
  h.subChannel = channel & 15;
  h.rateField = RateField(fps_);
  PacketInfo info;
  info.channel = channel;
  info.seconds = seconds;
  info.frame = frame;
  info.intervalMs = uint32_t(1000 / fps_);
  const uint32_t sequenceBefore = channelSequence_[0][channel];
  SendVideoFrame(f, h, info, splitFrames_, videoCounter_, channelSequence_[0][channel], scratch_,
                 sink);
  videoPackets_ += channelSequence_[0][channel] - sequenceBefore;
  if (channel < 16) SendAudio(channel, h, info, now, sink);
}

size_t SendVideoFrame(const EncodedFrame& f, const FrameHeaderFields& base, PacketInfo info,
                      int splitFrames, uint32_t& counter, uint32_t& channelSequence,
                      std::vector<uint8_t>& scratch, const PacketSink& sink) {
  // A split frame's packets are joined by their payloads, so every packet
  // but the last is filled exactly: 32 header bytes + 64 k - 32 payload.
  size_t chunk = f.units.size();
  if (splitFrames > 0 && f.units.size() > size_t(splitFrames)) {
    chunk = std::max<size_t>(size_t(splitFrames), (f.units.size() + 15) / 16);
    chunk = (chunk + 32 + 63) / 64 * 64 - 32;
  }
  const size_t count = chunk ? (f.units.size() + chunk - 1) / chunk : 1;
  FrameHeaderFields h = base;
  h.type = 1;
  h.key = f.key;
  info.key = f.key;
  size_t bytes = 0;
  for (size_t i = 0; i < count; ++i) {
    const size_t at = i * chunk;
    const size_t n = std::min(chunk, f.units.size() - at);
    h.morePackets = uint32_t(count - 1 - i);
    h.counter = counter;
    counter = (counter + 1) & 0x3FF;
    info.channelSequence = channelSequence++;
    scratch.clear();
    bytes += AppendMarkerPacket(scratch, h, f.units.data() + at, n);
    sink(scratch.data(), scratch.size(), info);
  }
  return bytes;
}

void StreamSource::SendAudio(uint32_t channel, const FrameHeaderFields& base, PacketInfo info,
                             double now, const PacketSink& sink) {
  FrameHeaderFields h = base;
  h.type = 2;
  h.key = true;
  info.audio = true;
  info.key = false;
  const double step = 2 * M_PI * ToneHz(channel) / kAudioRate;
  // Packets go out as the audio clock runs, 512 played samples each; a
  // long pause (a stall) does not make up for the lost time.
  const uint64_t due = uint64_t(std::max(0.0, now - audioStart_) * kAudioRate);
  if (due > samplesSent_ + 8 * kAudioPlayedSamples) samplesSent_ = due - due % kAudioPlayedSamples;
  while (samplesSent_ + kAudioPlayedSamples <= due) {
    for (int i = 0; i < kAudioPacketSamples; ++i) {
      double v = 8000.0 * std::sin(step * double(samplesSent_ + uint64_t(i)));
      PutLe16(&samples_[size_t(i) * 2], uint16_t(int16_t(std::lround(v))));
    }
    samplesSent_ += kAudioPlayedSamples;
    h.counter = audioCounter_;
    audioCounter_ = (audioCounter_ + 1) & 0x3FF;
    info.channelSequence = channelSequence_[1][channel]++;
    scratch_.clear();
    AppendMarkerPacket(scratch_, h, samples_.data(), samples_.size());
    ++audioPackets_;
    sink(scratch_.data(), scratch_.size(), info);
  }
}

}  // namespace tevrano::sim
