// The QuickTime movie writer of the backup job: samples go straight into
// "mdat" as they arrive; the movie atom is built from the tables at the end.
#include "record/MovieWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/ByteReader.h"
#include "base/RecorderTime.h"
#include "record/SkipFrame.h"
#include "stream/FrameHeader.h"
#include "stream/ParamSetPrefix.h"

namespace tevrano::record {
namespace {

constexpr uint32_t kQtModified = 0xC2AE3899;  // template timestamps (1904-based)
constexpr uint32_t kSoundCreated = 0xC2CA0732;
constexpr uint32_t kSoundModified = 0xC2CA0769;
constexpr uint32_t kAudioRate = 8000;
constexpr uint32_t kScratchBytes = 8192;
// Room for the movie atom with every table full.
constexpr size_t kMoovCapacity = 1536 * 1024;

// Nested atoms over a ByteWriter: Begin remembers where the size goes, End
// fills it in.
class Atoms {
 public:
  Atoms(uint8_t* out, size_t capacity) : w_(out, capacity) {}
  ByteWriter& W() { return w_; }
  void Begin(const char* type) {
    if (depth_ < kMaxDepth) open_[depth_] = w_.Position();
    ++depth_;
    w_.Be32(0);
    w_.Bytes(type, 4);
  }
  void End() {
    if (depth_ == 0) return;
    --depth_;
    if (depth_ >= kMaxDepth || !w_.Ok()) return;
    StoreBe32(w_.Data() + open_[depth_], uint32_t(w_.Position() - open_[depth_]));
  }
  void FullHeader(uint32_t versionFlags) { w_.Be32(versionFlags); }
  void Matrix(uint32_t a, uint32_t d, uint32_t x, uint32_t y) {
    const uint32_t m[9] = {a, 0, 0, 0, d, 0, x, y, 0x40000000};
    for (uint32_t v : m) w_.Be32(v);
  }
  void Pascal(const char* text, size_t field = 0) {
    const size_t n = std::strlen(text);
    w_.U8(uint8_t(n));
    w_.Bytes(text, n);
    if (field > n + 1) w_.Zeros(field - n - 1);
  }

 private:
  static constexpr int kMaxDepth = 16;
  ByteWriter w_;
  size_t open_[kMaxDepth] = {};
  int depth_ = 0;
};

void Hdlr(Atoms& a, const char* component, const char* subtype, const char* maker,
          const char* name) {
  a.Begin("hdlr");
  a.FullHeader(0);
  a.W().Bytes(component, 4);
  a.W().Bytes(subtype, 4);
  a.W().Bytes(maker, 4);
  a.W().Be32(0);  // component flags
  a.W().Be32(0);  // flags mask
  a.Pascal(name);
  a.End();
}

void Dinf(Atoms& a) {
  a.Begin("dinf");
  a.Begin("dref");
  a.FullHeader(0);
  a.W().Be32(1);
  a.Begin("alis");
  a.FullHeader(1);  // the data is in this file
  a.End();
  a.End();
  a.End();
}

void Elst(Atoms& a, uint32_t duration) {
  a.Begin("edts");
  a.Begin("elst");
  a.FullHeader(0);
  a.W().Be32(1);
  a.W().Be32(duration);
  a.W().Be32(0);           // media time
  a.W().Be32(0x00010000);  // rate 1.0
  a.End();
  a.End();
}

void Mdhd(Atoms& a, uint32_t created, uint32_t modified, uint32_t scale, uint32_t duration) {
  a.Begin("mdhd");
  a.FullHeader(0);
  a.W().Be32(created);
  a.W().Be32(modified);
  a.W().Be32(scale);
  a.W().Be32(duration);
  a.W().Be16(0);  // language
  a.W().Be16(0);  // quality
  a.End();
}

void Udta(Atoms& a) {
  a.Begin("udta");
  a.W().Be32(0);
  a.End();
}

void Stco(Atoms& a, const uint32_t* offsets, uint32_t count) {
  a.Begin("stco");
  a.FullHeader(0);
  a.W().Be32(count);
  for (uint32_t i = 0; i < count; ++i) a.W().Be32(offsets[i]);
  a.End();
}

// What differs between the tracks' headers ("tkhd", flags 0x0F: enabled,
// in the movie, the preview and the poster). Sizes and matrix in 16.16.
struct TrackHeader {
  uint32_t created = 0, modified = 0, id = 0, duration = 0;
  uint16_t layer = 0, volume = 0;
  uint32_t scaleY = 0x00010000, moveX = 0, moveY = 0;
  uint32_t width = 0, height = 0;
};

// Opens a track: "trak" and its "tkhd".
void BeginTrack(Atoms& a, const TrackHeader& t) {
  ByteWriter& w = a.W();
  a.Begin("trak");
  a.Begin("tkhd");
  a.FullHeader(0x0F);
  w.Be32(t.created);
  w.Be32(t.modified);
  w.Be32(t.id);
  w.Be32(0);
  w.Be32(t.duration);
  w.Zeros(8);
  w.Be16(t.layer);
  w.Be16(0);  // alternate group
  w.Be16(t.volume);
  w.Be16(0);
  a.Matrix(0x00010000, t.scaleY, t.moveX, t.moveY);
  w.Be32(t.width);
  w.Be32(t.height);
  a.End();
}

// Opens the track's media: "mdia" with its header and handler, then "minf",
// into which the caller writes the media's own header atom.
void BeginMedia(Atoms& a, uint32_t created, uint32_t modified, uint32_t scale, uint32_t duration,
                const char* subtype, const char* maker, const char* handlerName) {
  a.Begin("mdia");
  Mdhd(a, created, modified, scale, duration);
  Hdlr(a, "mhlr", subtype, maker, handlerName);
  a.Begin("minf");
}

// The data handler and reference, then "stbl" and a sample description of
// one entry of `format`, opened after its reserved bytes and data reference
// 1; the caller writes the rest of the entry and calls EndSampleEntry.
void BeginSampleEntry(Atoms& a, const char* format) {
  Hdlr(a, "dhlr", "alis", "appl", "Apple Alias Data Handler");
  Dinf(a);
  a.Begin("stbl");
  a.Begin("stsd");
  a.FullHeader(0);
  a.W().Be32(1);
  a.Begin(format);
  a.W().Zeros(6);
  a.W().Be16(1);  // data reference
}

void EndSampleEntry(Atoms& a) {
  a.End();  // the entry
  a.End();  // stsd
}

// One chunk-table entry: every chunk holds one sample.
void OneSamplePerChunk(Atoms& a) {
  a.Begin("stsc");
  a.FullHeader(0);
  a.W().Be32(1);
  a.W().Be32(1);
  a.W().Be32(1);
  a.W().Be32(1);
  a.End();
}

// Closes the sample table, the media and the track (with its empty user data).
void EndTrack(Atoms& a) {
  a.End();  // stbl
  a.End();  // minf
  a.End();  // mdia
  Udta(a);
  a.End();  // trak
}

// Recorder time as the text track shows it: the date in the recorder's
// order, the time, three blanks (22 characters).
void FormatTextTime(uint32_t seconds, int dateFormat, char out[23]) {
  const ui::RecorderDate d = ui::UnpackRecorderTime(seconds);
  int a = d.year, b = d.month, c = d.day;
  const char* f = "%04d/%02d/%02d %02d:%02d:%02d   ";
  if (dateFormat == 1) {
    a = d.day, b = d.month, c = d.year;
    f = "%02d/%02d/%04d %02d:%02d:%02d   ";
  } else if (dateFormat == 2) {
    a = d.month, b = d.day, c = d.year;
    f = "%02d/%02d/%04d %02d:%02d:%02d   ";
  }
  char text[64];
  std::snprintf(text, sizeof text, f, a % 10000, b % 100, c % 10000, d.hour % 100, d.minute % 100,
                d.second % 100);
  std::memset(out, ' ', 22);
  std::memcpy(out, text, std::min<size_t>(22, std::strlen(text)));
  out[22] = 0;
}

uint32_t PowMod(uint32_t m, uint32_t e, uint32_t n) {
  uint32_t r = 1;
  for (uint32_t i = 0; i < e; ++i) r = r * m % n;
  return r;
}

uint32_t Rotl1(uint32_t v) {
  return v << 1 | v >> 31;
}

}  // namespace

struct MovieWriter::Tables {
  uint32_t sampleSizes[kVideoSamples];
  uint32_t sampleOffsets[kVideoSamples];
  uint32_t keyFrames[kKeyFrames];
  uint32_t audioOffsets[kAudioChunks];
  uint32_t audioEntries[kAudioChunkEntries][2];  // first chunk (1-based), samples per chunk
  uint32_t textOffsets[kTextSamples];
  uint32_t textSlots[kTextSamples];  // the frame slot each text sample starts at
  uint8_t scratch[kScratchBytes];
  uint8_t moov[kMoovCapacity];
};

MovieWriter::MovieWriter() : t_(std::make_unique<Tables>()) {}
MovieWriter::~MovieWriter() = default;

void MovieWriter::Reset() {
  pos_ = 0;
  failed_ = false;
  started_ = false;
  waitKey_ = false;
  startSeconds_ = startFrame_ = lastSeconds_ = lastFrame_ = 0;
  fps_ = 30;
  width_ = height_ = widthMb_ = heightMb_ = 0;
  std::fill(std::begin(aspect_), std::end(aspect_), 1u);
  videoSamples_ = keyFrames_ = 0;
  slotTotal_ = 0;
  audioSamples_ = 0;
  lastAudioTarget_ = -1;
  audioChunks_ = audioEntries_ = lastChunkSize_ = 0;
  lastAudioSample_ = 0x80;
  audioBias_ = 0x80;
  textSamples_ = 0;
  lastTextSecond_ = -1;
  frameNum_ = 0;
  std::fill(std::begin(signature_), std::end(signature_), 0u);
  avccBytes_ = 0;
  diagnostic_ = {};
}

bool MovieWriter::Create(platform::FileSystem& files, std::string_view path, int64_t startTime,
                         int64_t endTime, uint32_t watermark, int dateFormat) {
  Abandon();
  Reset();
  startTime_ = startTime;
  endTime_ = endTime;
  watermark_ = watermark;
  dateFormat_ = dateFormat;
  file_ = files.Open(path, platform::FileMode::kWrite);
  return file_ != nullptr;
}

void MovieWriter::Abandon() {
  if (file_) file_->Close();
  file_.reset();
}

bool MovieWriter::Put(const void* bytes, size_t n) {
  if (failed_ || !file_) return false;
  if (n == 0) return true;
  if (!file_->Write(bytes, n)) {
    failed_ = true;
    return false;
  }
  pos_ += int64_t(n);
  return true;
}

bool MovieWriter::PutZeros(size_t n) {
  std::memset(t_->scratch, 0, sizeof t_->scratch);
  while (n > 0) {
    const size_t k = std::min(n, sizeof t_->scratch);
    if (!Put(t_->scratch, k)) return false;
    n -= k;
  }
  return true;
}

void MovieWriter::Record(uint32_t code, uint32_t value, uint32_t limit, uint32_t severity) {
  diagnostic_ = {code, value, limit, severity};
}

int64_t MovieWriter::SlotOf(uint32_t seconds, uint32_t frame) const {
  return (int64_t(seconds) - int64_t(startSeconds_)) * fps_ + int64_t(frame) - int64_t(startFrame_);
}

int MovieWriter::CheckFrameLimits(const uint8_t* frame, uint32_t length) {
  if (length < FrameHeader::kSize) return 0;
  const FrameHeader h = FrameHeader::Of({frame, length});
  const uint32_t n = h.extraPackets + 1;
  int result = 0;
  if (keyFrames_ + n >= kKeyFrames) {
    Record(5, keyFrames_, kKeyFrames, 1);
    result = 1;
  } else if (videoSamples_ + n >= kVideoSamples) {
    Record(6, videoSamples_, kVideoSamples, 1);
    result = 1;
  } else if (textSamples_ + n >= kTextSamples) {
    Record(7, textSamples_, kTextSamples, 1);
    result = 1;
  } else if (audioChunks_ + 2 >= kAudioChunks || audioEntries_ + 2 >= kAudioChunkEntries) {
    Record(8, audioChunks_, kAudioChunks, 1);
    result = 1;
  } else if (pos_ + int64_t(length) + 2 * kMoovCapacity >= int64_t(0xFFFFFFFFu)) {
    // Chunk offsets are 32-bit: the movie may not grow past 4 GiB.
    Record(10, uint32_t(pos_ >> 20), 4096, 1);
    result = 1;
  }
  // Far past the end: the span is over (frames before the movie starts are
  // only skipped: they may be the live stream's, still arriving).
  if (started_ && int64_t(h.seconds) > endTime_ + 5) {
    Record(9, h.seconds, uint32_t(endTime_ + 5), 2);
    return -1;
  }
  if (started_ && h.type == FrameHeader::kVideo) {
    uint32_t f[4] = {1, 1, 1, 1};
    if (h.resolution == 2) f[2] = 2;
    if (h.resolution == 3) f[0] = 2, f[2] = 2;
    for (int i = 0; i < 4; ++i)
      if (f[i] != aspect_[i]) Record(11 + uint32_t(i), f[i], aspect_[i], 1);
    // The part ends at 1800 s of the recorder's timeline, missing frames included.
    if (videoSamples_ / fps_ >= kPartSeconds ||
        SlotOf(h.seconds, h.frame) >= int64_t(kPartSeconds) * fps_)
      result = 1;
  }
  return result;
}

bool MovieWriter::StartMovie(const uint8_t* header, const uint8_t* payload, uint32_t payloadBytes) {
  (void)payload;
  (void)payloadBytes;
  const FrameHeader h = FrameHeader::Of({header, FrameHeader::kSize});
  uint8_t sets[ParamSetPrefix::kMaxBytes];
  const uint32_t setBytes = ParamSetPrefix::Build(h.widthMb, h.heightMb, sets, 2);
  if (setBytes < 4) return false;
  // sets: 2-byte SPS length, SPS, 2-byte PPS length, PPS.
  const uint32_t spsLen = LoadBe16(sets);
  if (spsLen < 4 || 2 + spsLen + 2 > setBytes) return false;
  uint8_t* sps = sets + 2;
  // Pictures above level 3.0's frame size (the 960-pixel family) need level 3.1.
  if (h.widthMb * h.heightMb > 1620 || h.widthMb >= 60) sps[3] = 31;
  const uint32_t ppsLen = LoadBe16(sets + 2 + spsLen);
  const uint8_t* pps = sets + 4 + spsLen;
  if (4 + spsLen + ppsLen > setBytes) return false;
  ByteWriter a(avcc_, sizeof avcc_);
  a.U8(1);
  a.U8(sps[1]);  // profile
  a.U8(sps[2]);  // compatibility
  a.U8(sps[3]);  // level
  a.U8(0xFF);    // reserved bits, 4-byte lengths
  a.U8(0xE1);    // reserved bits, one SPS
  a.Be16(uint16_t(spsLen));
  a.Bytes(sps, spsLen);
  a.U8(1);
  a.Be16(uint16_t(ppsLen));
  a.Bytes(pps, ppsLen);
  if (!a.Ok()) return false;
  avccBytes_ = uint32_t(a.Position());

  uint8_t head[48] = {};
  ByteWriter w(head, sizeof head);
  w.Be32(32);
  w.Bytes("ftypqt  ", 8);
  w.Be32(0x20050300);
  w.Bytes("qt  ", 4);
  w.Zeros(12);
  w.Be32(8);
  w.Bytes("wide", 4);
  w.Be32(0);  // "mdat" size, set when the movie is finished
  w.Bytes("mdat", 4);
  if (!Put(head, sizeof head)) return false;

  std::fill(std::begin(signature_), std::end(signature_), 0u);
  signature_[0] = signature_[1] = signature_[9] = watermark_;
  signature_[2] =
      uint32_t(header[16]) | uint32_t(h.subChannel) << 8 | h.heightMb << 16 | h.widthMb << 24;

  aspect_[0] = aspect_[1] = aspect_[2] = aspect_[3] = 1;
  if (h.resolution == 2) aspect_[2] = 2;
  if (h.resolution == 3) aspect_[0] = 2, aspect_[2] = 2;
  widthMb_ = h.widthMb;
  heightMb_ = h.heightMb;
  width_ = h.widthMb * 16;
  height_ = h.heightMb * 16;
  fps_ = (h.heightMb == 32 || h.heightMb == 16 || h.heightMb == 36 || h.heightMb == 18) ? 25 : 30;
  audioBias_ = (h.widthMb == 40 || h.widthMb == 20) ? 0 : 0x80;
  startSeconds_ = lastSeconds_ = h.seconds;
  startFrame_ = lastFrame_ = h.frame;
  started_ = true;
  return true;
}

int MovieWriter::WriteFrames(uint8_t* frame, uint32_t length) {
  if (!file_ || failed_) return 1;
  uint32_t at = 0;
  while (length - at >= FrameHeader::kSize) {
    const FrameHeader h = FrameHeader::Of({frame + at, length - at});
    const uint32_t bytes = h.PacketBytes();
    if (!h.Valid() || bytes < FrameHeader::kSize || bytes > length - at) break;
    if (h.type == FrameHeader::kAudio) {
      WriteAudioPacket(frame + at, frame + at + FrameHeader::kSize, bytes - FrameHeader::kSize);
      at += bytes;
      continue;
    }
    // A video frame: this packet and the following ones of the same frame.
    uint32_t end = at + bytes, packets = 1;
    while (length - end >= FrameHeader::kSize) {
      const FrameHeader n = FrameHeader::Of({frame + end, length - end});
      const uint32_t nb = n.PacketBytes();
      if (!n.Valid() || n.type != FrameHeader::kVideo || n.seconds != h.seconds ||
          n.frame != h.frame || nb < FrameHeader::kSize || nb > length - end)
        break;
      end += nb;
      ++packets;
    }
    const int r = WriteVideoFrame(frame + at, end - at, packets);
    if (r == 0) return 0;
    at = end;
  }
  return 1;
}

int MovieWriter::WriteVideoFrame(uint8_t* frame, uint32_t length, uint32_t packets) {
  uint8_t header[FrameHeader::kSize];
  std::memcpy(header, frame, sizeof header);
  const FrameHeader h = FrameHeader::Of(header);
  const bool key = h.IsKeyFrame();
  const int done = int64_t(h.seconds) >= endTime_ ? 0 : 1;
  if (int64_t(h.seconds) < startTime_) return 1;
  if (waitKey_ && !key) return 1;

  // Join the payloads of the frame's packets behind the first header.
  uint8_t* payload = frame + FrameHeader::kSize;
  uint32_t joined = h.PacketBytes() - FrameHeader::kSize;
  uint32_t at = h.PacketBytes();
  for (uint32_t i = 1; i < packets; ++i) {
    const FrameHeader n = FrameHeader::Of({frame + at, length - at});
    const uint32_t nb = n.PacketBytes() - FrameHeader::kSize;
    std::memmove(payload + joined, frame + at + FrameHeader::kSize, nb);
    joined += nb;
    at += n.PacketBytes();
  }
  (void)length;

  if (!started_) {
    // The closing frame of a span with nothing before it ends the backup
    // without a movie; any later frame is not this span's.
    if (int64_t(h.seconds) >= endTime_) return int64_t(h.seconds) == endTime_ ? 0 : 1;
    if (!key) return 1;
    if (!StartMovie(header, payload, joined)) return 1;
  } else {
    if (h.seconds == startSeconds_ && h.frame < startFrame_) return 1;
    if (lastTextSecond_ > int64_t(h.seconds)) {
      waitKey_ = true;  // time went backwards: wait for the next I-frame
      return 1;
    }
  }
  if (key) waitKey_ = false;
  const int64_t slot = SlotOf(h.seconds, h.frame);
  // A frame for a slot already written (late or repeated) is dropped.
  if (videoSamples_ > 0 && slot < int64_t(videoSamples_)) return done;
  const int64_t missing = videoSamples_ == 0 ? 0 : slot - int64_t(videoSamples_);
  if (int64_t(videoSamples_) + missing + 1 >= int64_t(kVideoSamples)) {
    Record(6, videoSamples_, kVideoSamples, 2);
    return done;
  }

  // One text sample for each second newer than the last one written.
  int64_t second = lastTextSecond_ < 0 ? int64_t(h.seconds) : lastTextSecond_ + 1;
  for (; second <= int64_t(h.seconds) && textSamples_ + 1 < kTextSamples; ++second) {
    const int64_t s = std::max<int64_t>(0, (second - startSeconds_) * fps_ - startFrame_);
    t_->textSlots[textSamples_] = uint32_t(std::max<int64_t>(s, 0));
    if (!WriteTextSample(uint32_t(second) + h.timeOffset)) return done;
    lastTextSecond_ = second;
  }
  if (!WriteSkipFrames(missing)) return done;

  if (key) {
    t_->keyFrames[keyFrames_++] = videoSamples_ + 1;
    frameNum_ = 1;
  } else {
    PatchFrameNum(payload, joined, frameNum_);
    frameNum_ = (frameNum_ + 1) & 15;
  }

  // One length prefix covers the rest of the sample: the last NAL unit's.
  size_t lastPrefix = 0;
  {
    NalLengthWalker walker(payload, joined);
    std::span<const uint8_t> unit;
    size_t before = 0;
    while (walker.Next(unit)) {
      lastPrefix = before;
      before = walker.WholeBytes();
    }
    if (!walker.Padding() && joined - before >= 4 && before != 0) lastPrefix = before;
  }
  const uint32_t sampleSize = joined + 64;
  if (joined >= 4) StoreBe32(payload + lastPrefix, uint32_t(sampleSize - lastPrefix - 4));

  uint8_t tail[64] = {};
  StoreBe32(tail, 2);
  std::memcpy(tail + 4, header, FrameHeader::kSize);
  if (videoSamples_ > 0) {
    uint32_t sum = signature_[0];
    for (uint32_t i = 0; i + 4 <= joined; i += 4) sum += LoadLe32(payload + i);
    for (uint32_t i = 0; i < 64; i += 4) sum += LoadLe32(tail + i);
    signature_[0] = sum;
  }
  const int64_t offset = pos_;
  if (!Put(payload, joined) || !Put(tail, sizeof tail)) return done;
  t_->sampleSizes[videoSamples_] = sampleSize;
  t_->sampleOffsets[videoSamples_] = uint32_t(offset);
  ++videoSamples_;
  slotTotal_ = slot + 1;
  lastSeconds_ = h.seconds;
  lastFrame_ = h.frame;
  return done;
}

bool MovieWriter::WriteSkipFrames(int64_t missing) {
  for (int64_t i = 0; i < missing; ++i) {
    const SkipFrame f = MakeSkipFrame(widthMb_, heightMb_, frameNum_);
    frameNum_ = (frameNum_ + 1) & 15;
    const int64_t offset = pos_;
    if (!Put(f.bytes, sizeof f.bytes)) return false;
    t_->sampleSizes[videoSamples_] = SkipFrame::kSize;
    t_->sampleOffsets[videoSamples_] = uint32_t(offset);
    ++videoSamples_;
  }
  return true;
}

bool MovieWriter::WriteTextSample(uint32_t seconds) {
  char text[23];
  FormatTextTime(seconds, dateFormat_, text);
  uint8_t s[kTextSampleSize];
  ByteWriter w(s, sizeof s);
  w.Be16(22);
  w.Bytes(text, 22);
  w.Be32(0x22);
  w.Bytes("orig", 4);
  w.Bytes("\x00\x00\x04\x23", 4);
  w.Bytes(text, 22);
  const int64_t offset = pos_;
  if (!Put(s, sizeof s)) return false;
  t_->textOffsets[textSamples_++] = uint32_t(offset);
  return true;
}

bool MovieWriter::AddAudioChunk(uint32_t samples) {
  if (audioChunks_ >= kAudioChunks) return false;
  if (samples != lastChunkSize_ || audioEntries_ == 0) {
    if (audioEntries_ >= kAudioChunkEntries) return false;
    t_->audioEntries[audioEntries_][0] = audioChunks_ + 1;
    t_->audioEntries[audioEntries_][1] = samples;
    ++audioEntries_;
    lastChunkSize_ = samples;
  }
  t_->audioOffsets[audioChunks_++] = uint32_t(pos_);
  return true;
}

bool MovieWriter::WriteAudioFill(int64_t samples) {
  if (samples <= 0 || samples > 0xFFFFFFFF) return false;
  if (!AddAudioChunk(uint32_t(samples))) return false;
  std::memset(t_->scratch, lastAudioSample_, sizeof t_->scratch);
  for (int64_t left = samples; left > 0;) {
    const size_t k = size_t(std::min<int64_t>(left, sizeof t_->scratch));
    if (!Put(t_->scratch, k)) return false;
    left -= int64_t(k);
  }
  audioSamples_ += samples;
  return true;
}

int MovieWriter::WriteAudioPacket(const uint8_t* header, const uint8_t* payload,
                                  uint32_t payloadBytes) {
  // Sound starts with the movie's first I-frame.
  if (!started_) return 1;
  const FrameHeader h = FrameHeader::Of({header, FrameHeader::kSize});
  if (int64_t(h.seconds) > endTime_) return 1;
  if (audioChunks_ + 2 >= kAudioChunks || audioEntries_ + 2 >= kAudioChunkEntries) return 1;
  const uint32_t n = (payloadBytes / 64 * 64) / 2;
  if (n == 0) return 1;
  int64_t seconds = int64_t(h.seconds) - startSeconds_;
  int64_t frames = int64_t(h.frame) - startFrame_;
  if (frames < 0) frames += fps_, --seconds;
  const int64_t target = seconds * kAudioRate + frames * kAudioRate / fps_;
  if (target < lastAudioTarget_) return 1;
  lastAudioTarget_ = target;
  const int64_t shortBy = target - audioSamples_;
  if (shortBy >= 800) {
    // A gap in the sound is filled up to the packet's time, within the part's
    // time span (a wild time fills nothing and the packet is dropped).
    if (target > int64_t(kPartSeconds + 10) * kAudioRate) return 1;
    if (!WriteAudioFill(shortBy)) return 1;
  }
  if (!AddAudioChunk(n)) return 1;
  for (uint32_t done = 0; done < n;) {
    const uint32_t k = std::min<uint32_t>(n - done, kScratchBytes);
    for (uint32_t i = 0; i < k; ++i)
      t_->scratch[i] = uint8_t(payload[2 * (done + i) + 1] + audioBias_);
    lastAudioSample_ = t_->scratch[k - 1];
    if (!Put(t_->scratch, k)) return 1;
    done += k;
  }
  audioSamples_ += n;
  return 1;
}

void MovieWriter::SealSignature(const uint32_t words[40], uint8_t out[kSignatureBytes]) {
  uint32_t w[40];
  std::memcpy(w, words, sizeof w);
  uint8_t block[kSignatureBytes];
  for (int i = 0; i < 40; ++i) StoreLe32(block + 4 * i, w[i]);
  for (int k = 0; k < 2; ++k)
    for (int b = 0; b < 4; ++b) {
      const uint32_t m = (w[k] >> (8 * b)) & 0xFF;
      StoreLe16(block + 136 + 8 * k + 2 * b,
                uint16_t(PowMod(m, kSignatureExponent, kSignatureModulus)));
    }
  for (int i = 0; i < 40; ++i) w[i] = LoadLe32(block + 4 * i);
  w[0] = w[1] = 0;
  uint32_t sum = 0;
  for (int i = 0; i < 39; ++i) {
    w[i] = Rotl1(w[i]);
    sum += w[i];
  }
  w[39] = sum;
  for (int i = 0; i < 40; ++i) StoreLe32(out + 4 * i, w[i]);
}

size_t MovieWriter::BuildMovieAtom(uint8_t* out, size_t capacity) const {
  Atoms a(out, capacity);
  ByteWriter& w = a.W();
  const uint32_t scale = fps_ * 20;
  const uint32_t videoDur = videoSamples_ * 20;
  const uint32_t audioDur = uint32_t(audioSamples_ * scale / kAudioRate);
  const uint32_t movieDur = std::max(videoDur, audioDur);
  const uint32_t one = 0x00010000;

  a.Begin("moov");
  a.Begin("mvhd");
  a.FullHeader(0);
  w.Be32(startSeconds_);
  w.Be32(lastSeconds_);
  w.Be32(scale);
  w.Be32(movieDur);
  w.Be32(one);     // rate
  w.Be16(0x0100);  // volume
  w.Bytes("vorn", 4);
  w.U8(2);  // format bytes the recorder's tools check
  w.U8(1);
  w.Be32(0);
  a.Matrix(one, one, 0, 0);
  w.Be32(0);  // preview time
  w.Be32(0);  // preview duration
  w.Be32(0);  // poster time
  w.Be32(0);  // selection time
  w.Be32(movieDur);
  w.Be32(0);  // current time
  w.Be32(4);  // next track ID (3 is the sound's)
  a.End();

  // Video.
  const uint32_t vscale = aspect_[0] ? aspect_[2] / aspect_[0] : 1;
  TrackHeader video;
  video.modified = kQtModified;
  video.id = 1;
  video.duration = videoDur;
  video.scaleY = one * (vscale ? vscale : 1);
  video.width = width_ << 16;
  video.height = height_ << 16;
  BeginTrack(a, video);
  a.Begin("tapt");
  for (const char* type : {"clef", "prof", "enof"}) {
    a.Begin(type);
    a.FullHeader(0);
    const bool clef = type[0] == 'c';
    w.Be32(clef ? width_ << 16 : 0);
    w.Be32(clef ? height_ << 16 : 0);
    a.End();
  }
  a.End();
  Elst(a, videoDur);
  BeginMedia(a, kQtModified, kQtModified, scale, videoDur, "vide", "appl",
             "Apple Video Media Handler");
  a.Begin("vmhd");
  a.FullHeader(1);
  w.Be16(0x0040);
  w.Be16(0x8000);
  w.Be16(0x8000);
  w.Be16(0x8000);
  a.End();
  BeginSampleEntry(a, "avc1");
  w.Be16(1);  // version
  w.Be16(1);  // revision
  w.Bytes("appl", 4);
  w.Be32(0);      // temporal quality
  w.Be32(0x202);  // spatial quality
  w.Be16(uint16_t(width_));
  w.Be16(uint16_t(height_));
  w.Be32(72 << 16);
  w.Be32(72 << 16);
  w.Be32(0);  // data size
  w.Be16(1);  // frames per sample
  a.Pascal("H.264", 32);
  w.Be16(24);
  w.Be16(0xFFFF);  // no colour table
  a.Begin("clap");
  w.Be32(width_);
  w.Be32(1);
  w.Be32(height_);
  w.Be32(1);
  w.Be32(0);
  w.Be32(1);
  w.Be32(0);
  w.Be32(1);
  a.End();
  a.Begin("avcC");
  w.Bytes(avcc_, avccBytes_);
  a.End();
  EndSampleEntry(a);
  a.Begin("stts");
  a.FullHeader(0);
  w.Be32(1);
  w.Be32(videoSamples_);
  w.Be32(20);
  a.End();
  a.Begin("stss");
  a.FullHeader(0);
  w.Be32(keyFrames_);
  for (uint32_t i = 0; i < keyFrames_; ++i) w.Be32(t_->keyFrames[i]);
  a.End();
  OneSamplePerChunk(a);
  a.Begin("stsz");
  a.FullHeader(0);
  w.Be32(0);
  w.Be32(videoSamples_);
  for (uint32_t i = 0; i < videoSamples_; ++i) w.Be32(t_->sampleSizes[i]);
  a.End();
  Stco(a, t_->sampleOffsets, videoSamples_);
  EndTrack(a);

  if (audioSamples_ > 0 && audioChunks_ > 0) {
    TrackHeader sound;
    sound.created = kSoundCreated;
    sound.modified = kSoundModified;
    sound.id = 3;
    sound.duration = audioDur;
    sound.layer = 0xFFFF;   // -1
    sound.volume = 0x0100;  // 1.0
    BeginTrack(a, sound);
    Elst(a, audioDur);
    BeginMedia(a, kSoundCreated, kSoundModified, kAudioRate, uint32_t(audioSamples_), "soun",
               "appl", "Apple Sound Media Handler");
    a.Begin("smhd");
    a.FullHeader(0);
    w.Be16(0);
    w.Be16(0);
    a.End();
    BeginSampleEntry(a, "raw ");
    w.Be16(1);       // version
    w.Be16(0);       // revision
    w.Be32(0);       // vendor
    w.Be16(1);       // channels
    w.Be16(8);       // bits per sample
    w.Be16(0xFFFF);  // compression id -1
    w.Be16(0);       // packet size
    w.Be32(kAudioRate << 16);
    w.Be32(1);  // samples per packet
    w.Be32(1);  // bytes per packet
    w.Be32(1);  // bytes per frame
    w.Be32(1);  // bytes per sample
    EndSampleEntry(a);
    a.Begin("stts");
    a.FullHeader(0);
    w.Be32(1);
    w.Be32(uint32_t(audioSamples_));
    w.Be32(1);
    a.End();
    a.Begin("stsc");
    a.FullHeader(0);
    w.Be32(audioEntries_);
    for (uint32_t i = 0; i < audioEntries_; ++i) {
      w.Be32(t_->audioEntries[i][0]);
      w.Be32(t_->audioEntries[i][1]);
      w.Be32(1);
    }
    a.End();
    a.Begin("stsz");
    a.FullHeader(0);
    w.Be32(1);
    w.Be32(uint32_t(audioSamples_));
    a.End();
    Stco(a, t_->audioOffsets, audioChunks_);
    EndTrack(a);
  }

  if (textSamples_ > 0) {
    const bool scaled = width_ >= 640 && aspect_[3] != 0;
    const uint32_t ty =
        (height_ > 16 ? height_ - 16 : 0) * (scaled ? aspect_[2] : 1) / (scaled ? aspect_[3] : 1);
    const uint32_t tx = width_ > 160 ? width_ - 160 : 0;
    TrackHeader text;
    text.modified = kQtModified;
    text.id = 2;
    text.duration = videoDur;
    text.moveX = tx << 16;
    text.moveY = ty << 16;
    text.width = 160 << 16;
    text.height = 16 << 16;
    BeginTrack(a, text);
    Elst(a, videoDur);
    BeginMedia(a, kQtModified, kQtModified, scale, videoDur, "text", "app2",
               "Apple Text Media Handler");
    a.Begin("gmhd");
    a.Begin("gmin");
    a.FullHeader(0);
    w.Be16(0x0040);
    w.Be16(0x8000);
    w.Be16(0x8000);
    w.Be16(0x8000);
    w.Be16(0);
    w.Be16(0);
    a.End();
    a.Begin("text");
    a.Matrix(one, one, 0, 0);
    a.End();
    a.End();  // gmhd
    BeginSampleEntry(a, "text");
    w.Be32(0x5000);  // display flags
    w.Be32(0);       // justification
    w.Zeros(6);      // background black
    w.Be16(0);       // text box: top, left, bottom, right
    w.Be16(0);
    w.Be16(16);
    w.Be16(160);
    w.Be32(16);
    w.Be32(13);
    w.Be16(0);   // font number
    w.Be16(12);  // font size
    w.U8(0);
    w.Be16(0);
    w.Be16(0xFFFF);
    w.Be16(0xFFFF);
    w.Be16(0xFFFF);
    w.U8(0);  // font name (none)
    EndSampleEntry(a);
    // One sample a second: each lasts until the next second's, the last
    // until the end of the video.
    a.Begin("stts");
    a.FullHeader(0);
    const size_t countAt = w.Position();
    w.Be32(0);
    uint32_t entries = 0, run = 0, runDur = 0;
    for (uint32_t i = 0; i < textSamples_; ++i) {
      const uint32_t from = std::min(t_->textSlots[i], videoSamples_);
      const uint32_t to =
          i + 1 < textSamples_ ? std::min(t_->textSlots[i + 1], videoSamples_) : videoSamples_;
      const uint32_t dur = (to > from ? to - from : 0) * 20;
      if (run > 0 && dur == runDur) {
        ++run;
        continue;
      }
      if (run > 0) {
        w.Be32(run);
        w.Be32(runDur);
        ++entries;
      }
      run = 1;
      runDur = dur;
    }
    if (run > 0) {
      w.Be32(run);
      w.Be32(runDur);
      ++entries;
    }
    if (w.Ok()) StoreBe32(w.Data() + countAt, entries);
    a.End();
    OneSamplePerChunk(a);
    a.Begin("stsz");
    a.FullHeader(0);
    w.Be32(kTextSampleSize);
    w.Be32(textSamples_);
    a.End();
    Stco(a, t_->textOffsets, textSamples_);
    EndTrack(a);
  }
  a.End();  // moov
  return w.Ok() ? w.Position() : 0;
}

bool MovieWriter::FinishMovie() {
  if (!file_) return false;
  if (!started_ || failed_) {
    Abandon();
    return false;
  }
  uint8_t diag[48] = {};
  std::memcpy(diag, "pqrs", 4);
  StoreLe32(diag + 4, diagnostic_.code);
  StoreLe32(diag + 8, diagnostic_.value);
  StoreLe32(diag + 12, diagnostic_.limit);
  StoreLe32(diag + 24, diagnostic_.severity);
  std::memcpy(diag + 44, "tuvw", 4);
  if (!Put(diag, sizeof diag) || !PutZeros(kDiagnosticBytes - sizeof diag)) {
    Abandon();
    return false;
  }
  const int64_t mdatSize = pos_ - kMdatPosition;
  const size_t moovBytes = BuildMovieAtom(t_->moov, kMoovCapacity);
  uint8_t sig[kSignatureBytes];
  SealSignature(signature_, sig);
  bool ok = moovBytes > 0 && Put(t_->moov, moovBytes) && Put(sig, sizeof sig);
  // Zero bytes up to the next 512, a whole 512 when already aligned.
  ok = ok && PutZeros(size_t(512 - pos_ % 512));
  uint8_t size[4];
  StoreBe32(size, uint32_t(mdatSize));
  ok = ok && mdatSize <= int64_t(0xFFFFFFFFu) && file_->Seek(kMdatPosition) &&
       file_->Write(size, sizeof size);
  ok = file_->Close() && ok;
  file_.reset();
  if (!ok) failed_ = true;
  return ok;
}

}  // namespace tevrano::record
