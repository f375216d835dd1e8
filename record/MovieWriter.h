#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace tevrano::record {

// The diagnostic record written at the end of a movie's media data: the
// last limit the writer ran into.
struct MovieDiagnostic {
  uint32_t code = 0, value = 0, limit = 0, severity = 0;
};

// Writes one QuickTime movie at a time from the recorder's backup packets
// (each a 32-byte FrameHeader and its payload). Layout: "ftyp" and "wide"
// (40 bytes), "mdat" at 40 with the samples, a 4096-byte diagnostic block,
// then the movie atom ("mvhd" and at most three tracks: video, sound, text),
// a 160-byte signature block and zero padding to the next 512 bytes.
// All tables are allocated once; writing a frame allocates nothing. The file
// is created once per movie and kept open until the movie is finished.
class MovieWriter {
 public:
  static constexpr uint32_t kMdatPosition = 40;
  static constexpr uint32_t kVideoSamples = 65536;
  static constexpr uint32_t kKeyFrames = 4096;
  static constexpr uint32_t kAudioChunks = 32768;
  static constexpr uint32_t kAudioChunkTableBytes = 0x20000;
  static constexpr uint32_t kAudioChunkEntries = kAudioChunkTableBytes / 12;
  static constexpr uint32_t kTextSamples = 8192;
  static constexpr uint32_t kTextSampleSize = 58;
  static constexpr uint32_t kPartSeconds = 1800;
  static constexpr uint32_t kDiagnosticBytes = 4096;
  static constexpr uint32_t kSignatureBytes = 160;
  // The signature's textbook RSA key: N = 17 x 19, e = 5 (d = 173).
  static constexpr uint32_t kSignatureModulus = 323;
  static constexpr uint32_t kSignatureExponent = 5;

  MovieWriter();
  ~MovieWriter();

  // Creates `path` (emptied when it exists) and resets the writer for a new
  // movie over recorder seconds [startTime, endTime]. False when the file
  // can't be created.
  bool Create(platform::FileSystem& files, std::string_view path, int64_t startTime,
              int64_t endTime, uint32_t watermark, int dateFormat);
  // Moves the time limits by the chosen time base (seconds).
  void ShiftLimits(int64_t by) {
    startTime_ -= by;
    endTime_ -= by;
  }

  // For the frame of `length` bytes at `frame` (one or more packets, header
  // first): -1 = a limit that ends the backup (a frame far beyond the end
  // time, or a picture whose aspect differs from the movie's), 1 = this
  // movie is full (1800 s, or one of its tables), 0 = go on.
  int CheckFrameLimits(const uint8_t* frame, uint32_t length);
  // Writes the packets of the frame (modifying it in place); returns 0 when
  // the frame lies at or after the end time (the backup is complete),
  // otherwise a positive value. A write error leaves Failed() set.
  int WriteFrames(uint8_t* frame, uint32_t length);
  // Writes the diagnostic block, the movie atom, the signature and the
  // padding, sets the "mdat" size and closes the file. False when nothing
  // was started or a write failed.
  bool FinishMovie();
  // Closes the file without finishing it.
  void Abandon();

  bool Open() const { return file_ != nullptr; }
  bool Started() const { return started_; }
  bool Failed() const { return failed_; }
  uint32_t VideoSamples() const { return videoSamples_; }
  uint32_t KeyFrames() const { return keyFrames_; }
  int64_t AudioSamples() const { return audioSamples_; }
  uint32_t AudioChunks() const { return audioChunks_; }
  uint32_t TextSamples() const { return textSamples_; }
  uint32_t Fps() const { return fps_; }
  uint32_t WidthMb() const { return widthMb_; }
  uint32_t HeightMb() const { return heightMb_; }
  int64_t FilePosition() const { return pos_; }
  int64_t StartTime() const { return startTime_; }
  int64_t EndTime() const { return endTime_; }
  uint32_t StartSeconds() const { return startSeconds_; }
  uint32_t LastSeconds() const { return lastSeconds_; }
  const MovieDiagnostic& Diagnostic() const { return diagnostic_; }
  // The 40 signature words as they are before the block is sealed.
  const uint32_t* SignatureWords() const { return signature_; }

  // Seals signature words into the 160-byte block as written after the
  // movie atom.
  static void SealSignature(const uint32_t words[40], uint8_t out[kSignatureBytes]);

 private:
  struct Tables;

  void Reset();
  bool Put(const void* bytes, size_t n);
  bool PutZeros(size_t n);
  void Record(uint32_t code, uint32_t value, uint32_t limit, uint32_t severity);
  bool StartMovie(const uint8_t* header, const uint8_t* payload, uint32_t payloadBytes);
  int WriteAudioPacket(const uint8_t* header, const uint8_t* payload, uint32_t payloadBytes);
  int WriteVideoFrame(uint8_t* frame, uint32_t length, uint32_t packets);
  bool WriteTextSample(uint32_t seconds);
  bool WriteSkipFrames(int64_t missing);
  bool WriteAudioFill(int64_t samples);
  bool AddAudioChunk(uint32_t samples);
  size_t BuildMovieAtom(uint8_t* out, size_t capacity) const;
  int64_t SlotOf(uint32_t seconds, uint32_t frame) const;

  std::unique_ptr<platform::File> file_;
  std::unique_ptr<Tables> t_;
  int64_t pos_ = 0;
  bool failed_ = false;
  bool started_ = false;
  bool waitKey_ = false;
  int64_t startTime_ = 0, endTime_ = 0;
  uint32_t startSeconds_ = 0, startFrame_ = 0, lastSeconds_ = 0, lastFrame_ = 0;
  uint32_t fps_ = 30;
  uint32_t width_ = 0, height_ = 0, widthMb_ = 0, heightMb_ = 0;
  uint32_t aspect_[4] = {1, 1, 1, 1};
  uint32_t videoSamples_ = 0, keyFrames_ = 0;
  int64_t slotTotal_ = 0;
  int64_t audioSamples_ = 0;
  int64_t lastAudioTarget_ = -1;
  uint32_t audioChunks_ = 0, audioEntries_ = 0, lastChunkSize_ = 0;
  uint8_t lastAudioSample_ = 0x80;
  uint32_t audioBias_ = 0x80;
  uint32_t textSamples_ = 0;
  int64_t lastTextSecond_ = -1;
  uint32_t frameNum_ = 0;
  uint32_t watermark_ = 0;
  int dateFormat_ = 0;
  uint32_t signature_[40] = {};
  uint8_t avcc_[96] = {};
  uint32_t avccBytes_ = 0;
  MovieDiagnostic diagnostic_;
};

}  // namespace tevrano::record
