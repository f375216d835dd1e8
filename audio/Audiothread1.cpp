#include "audio/Audiothread1.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "base/ByteReader.h"
#include "stream/FrameHeader.h"
#include "stream/StreamSystem.h"
#include "view/ViewRecords.h"

namespace tevrano {

namespace {
// A word of state the control thread writes while the audio thread reads it.
uint32_t SharedWord(const uint32_t& word) {
  return std::atomic_ref<uint32_t>(const_cast<uint32_t&>(word)).load(std::memory_order_relaxed);
}

}  // namespace

Audiothread1::Audiothread1(platform::AudioDeviceFactory& factory, StreamConnection& connection,
                           PictureGlobals& picture)
    : factory_(factory),
      connection_(connection),
      picture_(picture),
      scratch_(std::make_unique<uint8_t[]>(kScratchSize)),
      convert_(std::make_unique<uint8_t[]>(kBlock * 2)) {
  playback_.Size = kStagingSize;
  playback_.Base = std::make_unique<uint8_t[]>(kStagingSize);
  std::memset(playback_.Base.get(), 0x80, kStagingSize);
}

Audiothread1::~Audiothread1() = default;

uint32_t Audiothread1::ViewWord(const uint32_t& word) const {
  return SharedWord(word);
}

// ---- The device ----------------------------------------------------------

void Audiothread1::StartAudioOutput() {
  if (!device_ && !deviceFailed_) {
    device_ = factory_.CreateAudioDevice();
    // 8-bit unsigned as the packets are converted; a device that does not
    // take it gets the same samples as 16-bit signed.
    platform::AudioFormat format;
    format.bitsPerSample = 8;
    bytesPerSample_ = 1;
    bool created = device_ && device_->Create(format, int(playback_.DeviceBufferSize));
    if (device_ && !created) {
      format.bitsPerSample = 16;
      bytesPerSample_ = 2;
      created = device_->Create(format, int(playback_.DeviceBufferSize) * 2);
    }
    if (!created) {
      device_.reset();
      deviceFailed_ = true;
    }
  }
  if (device_) device_->PlayLooping();
}

void Audiothread1::StopAudioOutput() {
  if (device_) device_->Stop();
}

void Audiothread1::ReleaseAudioOutput() {
  device_.reset();
  deviceFailed_ = false;
}

void Audiothread1::ResetAudio() {
  playback_.Read.store(0);
  playback_.Written.store(0);
  for (StagedTime& t : staged_) t = StagedTime{};
  stagedNext_ = 0;
  runCount_ = 0;
  runSum_ = 0;
  received_ = 0;
  ResetFeeder();
  playback_.DeviceBufferSize = kBlock * kBlockCount;
}

void Audiothread1::ResetFeeder() {
  playback_.Read.store(playback_.Written.load());
  playback_.BytesSubmitted = 0;
  playback_.Synchronised = false;
  playback_.LastPlayCursor = 0;
  playback_.BlockCounter = 0;
  playback_.CursorWraps = 0;
  fillerPending_ = 0;
  fillerPlayed_ = 0;
  for (SubmittedBlock& b : submitted_) b = SubmittedBlock{};
  submittedNext_ = 0;
  pictureNext_ = 0;  // the device's clock starts again
}

void Audiothread1::RestartAudio() {
  StopAudioOutput();
  ResetAudio();
  StartAudioOutput();
}

void Audiothread1::RecreateAudio() {
  StopAudioOutput();
  ReleaseAudioOutput();
  ResetAudio();
  StartAudioOutput();
}

// ---- Requests from the control thread ------------------------------------

void Audiothread1::RequestRestart(int style) {
  requestedStyle_.store(style);
  requests_.fetch_or(kRestartRequest);
}

void Audiothread1::RequestChannel(int channel) {
  requestedChannel_.store(channel);
  requests_.fetch_or(kChannelRequest);
}

void Audiothread1::TakeRequests() {
  // The flush belongs to whoever reads the audio ring: it stays asked for.
  const uint32_t r = requests_.fetch_and(kFlushRequest) & ~uint32_t(kFlushRequest);
  if (r & kChannelRequest) playback_.Channel = requestedChannel_.load();
  if (r & kStopRequest) StopAudioOutput();
  if (r & kFeederResetRequest) ResetFeeder();
  if (r & kRestartRequest) {
    restartStyle_ = requestedStyle_.load();
    if (restartStyle_ == 2)
      RecreateAudio();
    else
      RestartAudio();
  }
}

// The reader role of the audio ring: the audio thread outside Backup, the
// control thread's parse pass in Backup. Each side gives it up only between
// packets, and the other takes it only once it was given up.
void Audiothread1::TakeReaderRole() {
  int expected = kBackupWanted;
  if (role_.compare_exchange_strong(expected, kBackupReads)) return;
  expected = kThreadWanted;
  role_.compare_exchange_strong(expected, kThreadReads);
}

int Audiothread1::BackupReadAudioPacket(StreamConnection& c) {
  int role = role_.load();
  if (role == kThreadWanted && role_.compare_exchange_strong(role, kBackupReads))
    role = kBackupReads;
  if (role == kThreadReads) {
    role_.compare_exchange_strong(role, kBackupWanted);
    return 1;
  }
  if (role != kBackupReads) return 1;
  return ReadAudioPacket(c, kModeBackup);
}

void Audiothread1::MainThreadStep(uint32_t mode) {
  if (mode == kModeBackup) return;
  int role = kBackupReads;
  if (role_.compare_exchange_strong(role, kThreadWanted)) return;
  role = kBackupWanted;
  role_.compare_exchange_strong(role, kThreadReads);
}

// ---- Reading packets -----------------------------------------------------

int Audiothread1::ReadAudioPacket(StreamConnection& c, uint32_t mode) {
  ByteRing& ring = c.AudioRing;
  if (!ring.Allocated() || !c.Context || !c.Context->view) return 1;
  if (requests_.load() & kFlushRequest) {
    requests_.fetch_and(~uint32_t(kFlushRequest));
    ring.DiscardAll();
  }
  const ViewState& view = *c.Context->view;
  const bool modelN6 = c.Context->modelN6;

  // A newer recorder out of step starts afresh: feeder counters, ring.
  if (modelN6 && !picture_.audioInSync.load()) {
    requests_.fetch_or(kFeederResetRequest);
    ring.DiscardAll();
    hold_ = 0;
    picture_.audioInSync.store(true);
    return 0;
  }

  // Framing. Nothing is consumed until the packet's fate is known.
  const bool marker = hooks_.markerFraming && hooks_.markerFraming();
  uint32_t total = 0, headerBytes = 0, channel = 0, tag = 0;
  if (marker) {
    if (FindFrameHeader(ring) < 0) return 1;
    const uint32_t length64 = ring.PeekByte(18) | ring.PeekByte(19) << 8;
    total = length64 * 64;
  } else {
    if (ring.Used() < TransportHeader::kSize) return 1;
    ring.Peek(scratch_.get(), TransportHeader::kSize);
    TransportHeader t;
    TransportHeader::Parse(std::span<const uint8_t>(scratch_.get(), TransportHeader::kSize), t);
    total = t.total;
    channel = t.channel;
    tag = t.tag;
    headerBytes = TransportHeader::kSize;
    if (total < headerBytes + FrameHeader::kSize) {
      ring.DiscardAll();
      return 1;
    }
  }
  if (total >= kMaxTotal || channel >= 17) {
    ring.DiscardAll();
    return 1;
  }
  if (total > ring.Used()) return 1;  // still arriving
  // In Backup the packet goes to the FrameBuffer: never over a pending frame.
  const bool backup = mode == kModeBackup;
  if (backup && (!c.FrameBuffer || c.FrameLength != 0)) return 1;
  auto skip = [&] {
    ring.Skip(total);
    return 0;
  };
  if (tag != 0 && tag != ViewWord(view.ConnectionTag)) return skip();

  ring.Peek(scratch_.get(), total);  // total < 8 KiB: within the 32 KiB scratch
  ByteReader packet(scratch_.get(), total);
  FrameHeader h;
  if (!packet.Skip(headerBytes) || !FrameHeader::Parse(packet, h)) return skip();
  if (marker) {
    if (lastSequence_ >= 0 && h.sequence10 != ((uint32_t(lastSequence_) + 1) & 1023))
      picture_.audioInSync.store(false);
    lastSequence_ = int32_t(h.sequence10);
  }
  // The frame header's length must agree with what the framing holds.
  if (!h.Valid() || h.type != FrameHeader::kAudio || h.PacketBytes() < 64 ||
      h.PacketBytes() > total - headerBytes)
    return skip();
  std::span<const uint8_t> payload;
  if (!packet.Span(h.PacketBytes() - FrameHeader::kSize, payload)) return skip();

  // Which camera the view lets us hear.
  auto reject = [&] {
    picture_.audioInSync.store(false);
    audioHeard_.store(false);
    return skip();
  };
  uint32_t heard = 0;
  switch (mode) {
    case kModeLive:
      if (h.streamKind != 0 || ViewWord(view.Live.SplitKind) != 0) return reject();
      heard = ViewWord(view.Live.Channel);
      if (heard >= 16 || heard != h.subChannel) return reject();
      audioHeard_.store(true);
      picture_.audioInSync.store(true);
      break;
    case kModePlayback:
      heard = ViewWord(view.Playback.Channel);
      if (heard >= 16 || heard != h.subChannel) return reject();
      if (ViewWord(view.PlaybackControl) == 2) {
        audioHeard_.store(true);
        picture_.audioInSync.store(true);
      } else {
        audioHeard_.store(false);
        picture_.audioInSync.store(false);
        StopAudioOutput();
      }
      break;
    case kModeBackup:
      heard = ViewWord(view.Backup.Channel);
      if (heard >= 16) return reject();
      audioHeard_.store(false);
      picture_.audioInSync.store(true);
      break;
    case kModeFilePlayback:
      if (h.streamKind != 3) return reject();
      heard = h.subChannel;
      break;
    default:
      return reject();
  }

  if (backup) {
    // The frame header and its payload, as they lie in the packet.
    std::memcpy(c.FrameBuffer.get(), scratch_.get() + headerBytes, h.PacketBytes());
    ring.Skip(total);
    c.FrameLength = h.PacketBytes();
    if (hooks_.backupStep)
      hooks_.backupStep(c);
    else
      c.FrameLength = 0;
    return 0;
  }
  if (hooks_.suppressed && hooks_.suppressed()) return skip();

  // In step with the picture: older than the last resynchronisation is
  // dropped; ahead of the last shown frame waits (at most 30 times in a row).
  const ChannelPacer& pacer = c.Pacers[heard];
  const uint32_t fps = c.Context->pal ? 25 : 30;
  fps_ = int32_t(fps);
  const uint64_t pos = uint64_t(h.seconds & 0xFFFFFF) * fps + h.frame;
  const uint64_t resyncPos =
      uint64_t(SharedWord(pacer.ResyncSeconds) & 0xFFFFFF) * fps + SharedWord(pacer.ResyncFrame);
  if (pos < resyncPos) return skip();
  if (playback_.Channel != -1 && uint32_t(playback_.Channel) != heard) return skip();
  const uint32_t shown = SharedWord(pacer.FrameCount);
  if (shown != 0 && shown < pos && hold_ < kMaxHold) {
    ++hold_;  // put back: the read position never moved
    return 1;
  }
  if (shown == 0 || shown >= pos) hold_ = 0;

  if (playback_.Channel == -1) {
    // The first packet of a camera chooses it and restarts the output; it
    // is not played.
    playback_.Started = 1;
    playback_.Channel = int32_t(heard);
    heardChannel_ = int32_t(heard);
    ring.DiscardAll();
    picture_.audioInSync.store(false);
    hold_ = 0;
    if (restartStyle_ == 2)
      RecreateAudio();
    else
      RestartAudio();
    return 0;
  }
  if (!enabled_.load()) {
    playback_.Started = 0;
    return skip();
  }
  if (!playback_.Started) RestartAudio();
  playback_.Started = 1;
  playback_.Mode = mode;

  const uint32_t samples = (h.PacketBytes() - 64) / 2;
  const int64_t timeMs = int64_t(h.seconds & 0xFFFFFF) * 1000 + int64_t(h.frame) * 1000 / fps;
  Stage(payload.data(), samples, picture_.audioSampleBias.load(), timeMs);
  return skip();
}

// The high byte of each little-endian 16-bit sample, made unsigned by the
// bias, into the staging ring at its write position.
void Audiothread1::Stage(const uint8_t* payload, uint32_t samples, uint32_t bias, int64_t timeMs) {
  AudioPlayback& p = playback_;
  uint64_t start = p.Written.load(std::memory_order_relaxed);
  // Padding only bridges a gap until sound arrives: what of it is still
  // unread is taken back, or it would delay this sound and everything after
  // it for good (sound comes in no faster than it plays).
  if (fillerPending_ != 0) {
    start -= std::min<uint64_t>(fillerPending_, start - p.Read.load(std::memory_order_relaxed));
    fillerPending_ = 0;
  }
  uint32_t w = uint32_t(start % p.Size);
  for (uint32_t i = 0; i < samples; ++i) {
    p.Base[w] = uint8_t(payload[2 * i + 1] + bias);
    if (++w == p.Size) w = 0;
  }
  // The sound is one run of samples at 8 kHz while its packets' times come
  // in whole frames (and a recorder may stamp a packet with the frame it
  // sends it with): a packet's time is its place in the run of sound
  // received (padding not counted) plus the mean of its run's recent packet
  // times, each taken back to the run's start, so that the heard sound's
  // time runs on with the samples. A packet off the run by more than 100 ms
  // (a gap in what the recorder sent) starts a new run.
  const int64_t offset = timeMs * 8 - int64_t(received_);
  constexpr uint32_t kRun = sizeof runOffsets_ / sizeof runOffsets_[0];
  if (runCount_ != 0) {
    const int64_t mean = runSum_ / int64_t(std::min(runCount_, kRun));
    if (offset - mean > 800 || mean - offset > 800) runCount_ = 0, runSum_ = 0;
  }
  if (runCount_ >= kRun) runSum_ -= runOffsets_[runCount_ % kRun];
  runOffsets_[runCount_++ % kRun] = offset;
  runSum_ += offset;
  const int64_t runMs = (int64_t(received_) + runSum_ / int64_t(std::min(runCount_, kRun))) / 8;
  received_ += samples;
  staged_[stagedNext_++ % 64] = {start, samples, runMs};
  p.Written.store(start + samples, std::memory_order_release);
}

// Keeps the device from running dry: the last sample repeated, written only
// at the write position so no unread sound is touched.
void Audiothread1::Pad(uint32_t samples) {
  AudioPlayback& p = playback_;
  const uint64_t start = p.Written.load(std::memory_order_relaxed);
  uint32_t w = uint32_t(start % p.Size);
  const uint8_t last = p.Base[(w + p.Size - 1) % p.Size];
  if (fillerPending_ == 0) fillerFrom_ = start;
  for (uint32_t i = 0; i < samples; ++i) {
    p.Base[w] = last;
    if (++w == p.Size) w = 0;
  }
  fillerPending_ += samples;
  p.Written.store(start + samples, std::memory_order_release);
}

// ---- Feeding the device --------------------------------------------------

void Audiothread1::SubmitBlock(const uint8_t* samples, uint32_t count) {
  AudioPlayback& p = playback_;
  const int offset = int(uint64_t(p.BytesSubmitted) % p.DeviceBufferSize);
  p.BytesSubmitted += count;
  ++p.BlockCounter;
  if (device_->Lost() && !device_->Restore()) return;
  if (bytesPerSample_ == 1) {
    device_->Write(offset, samples, int(count));
    return;
  }
  for (uint32_t i = 0; i < count; ++i)
    StoreLe16(convert_.get() + 2 * i, uint16_t(int16_t((int(samples[i]) - 128) * 256)));
  device_->Write(offset * 2, convert_.get(), int(count) * 2);
}

int Audiothread1::FeedAudio() {
  AudioPlayback& p = playback_;
  if (!p.Base) {
    audioHeard_.store(false);
    return 1;
  }
  if (p.Channel == -1 || !enabled_.load()) {
    p.Read.store(p.Written.load());
    StopAudioOutput();
    return 1;
  }
  uint64_t read = p.Read.load(std::memory_order_relaxed);
  const uint64_t written = p.Written.load(std::memory_order_acquire);
  if (written - read > p.Size) {  // the writer lapped the reader
    p.Read.store(written);
    return 1;
  }
  if (!device_) return 1;

  const uint32_t size = p.DeviceBufferSize;
  const uint32_t cursor = uint32_t(device_->PlayCursor() / bytesPerSample_) % size;
  if (!p.Synchronised) {
    p.Synchronised = true;
    p.LastPlayCursor = cursor;
    p.CursorWraps = 0;
    p.BytesSubmitted = cursor;
  }
  if (cursor < p.LastPlayCursor) ++p.CursorWraps;
  p.LastPlayCursor = cursor;
  const int64_t played = int64_t(cursor) + int64_t(p.CursorWraps) * size;
  int64_t ahead = p.BytesSubmitted - played;  // queued, not yet played
  if (ahead < 0) {
    // The device played past what it was given: write from where it is.
    p.BytesSubmitted = played;
    ahead = 0;
  }
  NotePicture(played);
  MeasureLag(played);
  uint64_t avail = written - read;
  if (ahead >= int64_t(size - kBlock)) {
    if (avail >= kBlock) p.Read.store(read + kBlock);  // full: drop a block
    return 1;
  }
  // Lip sync: staged sound that would be heard more than kCatchUpMs after
  // its picture is skipped down to kSettleMs behind it, keeping enough to
  // bring the device past the next cycle without filler unless it holds
  // enough to bridge to it already. Without a picture or a packet time to go by, a block is dropped
  // once the device holds more than the bound and padding played in front
  // of the staged sound delayed it by a block.
  int64_t pictureMs = 0, audioMs = 0;
  if (avail != 0 && PictureMs(played, pictureMs) && StagedMs(read, audioMs)) {
    const int64_t lateMs = pictureMs - audioMs + ahead / 8;
    if (lateMs > kCatchUpMs) {
      const uint64_t keep =
          ahead >= int64_t(kBridge) ? 0 : uint64_t(std::max<int64_t>(kKeepPlaying - ahead, 0));
      const uint64_t k =
          std::min<uint64_t>(uint64_t(lateMs - kSettleMs) * 8, avail > keep ? avail - keep : 0);
      if (k != 0) {
        read += k;
        avail -= k;
        p.Read.store(read);
        fillerPlayed_ -= std::min<uint64_t>(fillerPlayed_, k);
      }
    }
  } else if (avail >= kBlock && ahead >= int64_t(kLagBound) && fillerPlayed_ >= kBlock) {
    p.Read.store(read + kBlock);
    fillerPlayed_ -= kBlock;
    return 1;
  }
  if (ahead <= 256) {
    Pad(1024);
    avail += 1024;
  }
  uint8_t block[kBlock];
  const uint32_t n = uint32_t(std::min<uint64_t>(avail, kBlock));
  uint32_t count = kBlock;
  if (n < kBlock) {
    // Short of a block: wait for more while the device holds enough to
    // bridge to the next cycle. Otherwise the staged samples go, and of the
    // rest only as much (the last sample repeated) as keeps the device
    // playing past the next cycle: every filler sample is heard in front of
    // all the sound that follows.
    if (restartStyle_ == 2 || ahead >= int64_t(kBridge)) return 1;
    count = uint32_t(std::clamp<int64_t>(int64_t(kKeepPlaying) - ahead, n, kBlock));
  }
  uint32_t r = uint32_t(read % p.Size);
  for (uint32_t i = 0; i < n; ++i) {
    block[i] = p.Base[r];
    if (++r == p.Size) r = 0;
  }
  // The rest holds the last sample, never bytes not yet written.
  const uint8_t last = n ? block[n - 1] : p.Base[(r + p.Size - 1) % p.Size];
  std::memset(block + n, last, count - n);
  // Padding played stands in for sound that comes later: it is made up by
  // the catch-up rule above.
  const uint64_t fillerEnd = fillerFrom_ + fillerPending_;
  const uint64_t from = std::max(read, fillerFrom_), to = std::min(read + n, fillerEnd);
  if (fillerPending_ != 0 && to > from) fillerPlayed_ += to - from;
  fillerPlayed_ += count - n;
  p.Read.store(read + n, std::memory_order_release);
  submitted_[submittedNext_++ % 16] = {p.BytesSubmitted, read, n, count};
  SubmitBlock(block, count);
  return n == kBlock ? 0 : 1;
}

bool Audiothread1::StagedMs(uint64_t sample, int64_t& ms) const {
  for (const StagedTime& t : staged_)
    if (t.count != 0 && sample >= t.sample && sample - t.sample < t.count) {
      ms = t.ms + int64_t(sample - t.sample) / 8;
      return true;
    }
  return false;
}

void Audiothread1::NotePicture(int64_t played) {
  if (heardChannel_ < 0 || heardChannel_ >= kChannels) return;
  const uint32_t shown = SharedWord(connection_.Pacers[heardChannel_].FrameCount);
  if (shown == 0) return;
  pictureFrameMs_ =
      int64_t(shown / uint32_t(fps_)) * 1000 + int64_t(shown % uint32_t(fps_)) * 1000 / fps_;
  pictureOffsets_[pictureNext_++ % 24] = played / 8 - pictureFrameMs_;
}

bool Audiothread1::PictureMs(int64_t played, int64_t& ms) const {
  if (pictureNext_ == 0) return false;
  const uint32_t known = std::min<uint32_t>(pictureNext_, 24);
  int64_t sum = 0;
  for (uint32_t i = 0; i < known; ++i) sum += pictureOffsets_[i];
  // Cycles fall at any point of a frame's showing: on the mean, half a
  // frame interval after it was shown.
  const int64_t frameMs = 1000 / fps_;
  const int64_t offset = sum / int64_t(known) - frameMs / 2;
  ms = std::clamp(played / 8 - offset, pictureFrameMs_, pictureFrameMs_ + frameMs);
  return true;
}

// The time of the sound at the play cursor against the picture shown now:
// the block under the cursor tells which staged sample is being heard;
// padding and the filled rest of a short block have no time and are not
// counted.
void Audiothread1::MeasureLag(int64_t played) {
  int64_t pictureMs = 0, audioMs = 0;
  if (!PictureMs(played, pictureMs)) return;
  const SubmittedBlock* under = nullptr;
  for (const SubmittedBlock& b : submitted_)
    if (b.span != 0 && played >= b.device && played - b.device < int64_t(b.span)) under = &b;
  if (!under || played - under->device >= int64_t(under->count)) return;
  if (!StagedMs(under->sample + uint64_t(played - under->device), audioMs)) return;
  const int32_t lag = int32_t(std::clamp<int64_t>(audioMs - pictureMs, -1000000, 1000000));
  const int32_t a = lag < 0 ? -lag : lag;
  lagLast_.store(lag);
  if (a > lagMaxAbs_.load()) lagMaxAbs_.store(a);
  lagSumAbs_.fetch_add(a);
  lagSamples_.fetch_add(1);
}

AudioLagStats Audiothread1::Lag() const {
  AudioLagStats s;
  s.lastMs = lagLast_.load();
  s.maxAbsMs = lagMaxAbs_.load();
  s.samples = lagSamples_.load();
  s.meanAbsMs = s.samples ? int32_t(lagSumAbs_.load() / s.samples) : 0;
  return s;
}

// ---- The cycle -----------------------------------------------------------

void Audiothread1::Beeper() {
  const uint32_t end = alarmEnd_.load();
  if (end != 0 && hooks_.recorderNow && end > hooks_.recorderNow()) {
    if ((beepCount_ == 0 || beepCount_ == 10 || beepCount_ == 20) && hooks_.beep) hooks_.beep();
    beepCount_ = (beepCount_ + 1) % 40;
  } else {
    beepCount_ = 0;
  }
}

void Audiothread1::Cycle() {
  TakeRequests();
  TakeReaderRole();
  const uint32_t mode = connection_.Context && connection_.Context->view
                            ? SharedWord(connection_.Context->view->Mode)
                            : kModeLive;
  if (mode != kModeBackup && role_.load() == kThreadReads) {
    for (int i = 0; i < 200; ++i)
      if (ReadAudioPacket(connection_, mode) == 1) break;
  }
  FeedAudio();
  Beeper();
  cycles_.fetch_add(1, std::memory_order_relaxed);
}

void TAudioThread1::Start() {
  if (thread_.joinable()) return;
  terminated_ = false;
  thread_ = std::thread([this] {
    auto next = std::chrono::steady_clock::now();
    std::unique_lock lock(mutex_);
    while (!terminated_) {
      lock.unlock();
      audio_.Cycle();
      lock.lock();
      // About every 50 ms; a late cycle does not make the next ones hurry.
      next = std::max(next + std::chrono::milliseconds(50), std::chrono::steady_clock::now());
      wake_.wait_until(lock, next, [this] { return terminated_; });
    }
  });
}

void TAudioThread1::Terminate() {
  {
    std::lock_guard lock(mutex_);
    terminated_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

}  // namespace tevrano
