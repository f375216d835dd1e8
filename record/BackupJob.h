#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "record/MovieWriter.h"

namespace tevrano {
struct FrameHeader;
struct StreamConnection;
struct ViewState;
}  // namespace tevrano

namespace tevrano::record {

// What the backup job calls outside itself; control binds them.
struct BackupHooks {
  // Asks the recorder for "Zell_Watermark_Var_R" of the channel.
  std::function<void(uint32_t channel)> requestWatermark;
  // The recorder's watermark answer when it has arrived since the request.
  std::function<bool(uint32_t& value)> watermarkAnswer;
  // The recorder's date order for the text track (1 d/m/y, 2 m/d/y, else y/m/d).
  std::function<int()> dateFormat;
  // The whole backup has ended (complete or not): the view leaves Backup.
  std::function<void(bool complete)> finished;
  // Opens the folder the movie was written to.
  std::function<void(const std::string& folder)> openFolder;
  // The preview: decodes a frame (length-prefixed H.264, an I-frame led by
  // its parameter sets) on display slot 0.
  std::function<void(const uint8_t* frame, uint32_t length)> showPreview;
};

// How the last backup went.
enum class BackupOutcome { kNone, kRunning, kComplete, kIncomplete };

// The backup job: takes the recorder's backup stream frame by frame and
// writes it into movie parts of at most 1800 s (movie.mov, movie(1).mov …).
// States: 0 idle, 1 start, 6 wait for the watermark and create the file,
// 7 collect three video frames for the time base, 2 steady, 3 finish,
// 4 next part or end, 5 preview. Buffers are allocated once.
class BackupJob {
 public:
  enum State : int {
    kIdle = 0,
    kStart = 1,
    kSteady = 2,
    kFinish = 3,
    kEnd = 4,
    kPreview = 5,
    kWaitWatermark = 6,
    kCollect = 7,
  };
  static constexpr uint32_t kBufferBytes = 4 * 1024 * 1024;
  static constexpr int kMaxCollected = 512;
  static constexpr uint32_t kStallMs = 15000;
  static constexpr uint32_t kWatermarkWaitMs = 1000;
  // How far past the span's end a frame may lie before the span counts as over.
  static constexpr int64_t kPastEndSeconds = 5;

  BackupJob(platform::FileSystem& files, const platform::Clock& clock);
  ~BackupJob();
  BackupHooks& Hooks() { return hooks_; }

  // The view's start and stop (SetBackupRunning): state 1 or 4; the preview
  // (5) and back to idle (0) while no backup runs. Stopping a preview
  // (state 4) leaves it idle: no movie was written, nothing is reported.
  void SetState(int state);
  int State() const { return state_; }
  void SetBasePath(std::string_view path) { basePath_ = std::string(path); }
  const std::string& BasePath() const { return basePath_; }
  void ResetPart() { part_ = 0; }
  int Part() const { return part_; }

  // The pending frame of the connection (FrameBuffer, FrameLength): taken
  // (FrameLength 0) or held for the next file. 1 when the parser is to stop
  // (a frame is held), 0 to go on. Called by the parser in Backup mode.
  int Step(StreamConnection& c);
  // One audio packet (FrameHeader + payload) of the backup stream.
  void StepAudio(StreamConnection& c, const uint8_t* packet, uint32_t bytes);
  // Runs the states that need no frame (start, finish, the 15 s stall);
  // called by the main loop.
  void Poll(StreamConnection& c);

  // Progress 0..100 of the span written, the outcome and the files written.
  int Percent() const { return percent_; }
  BackupOutcome Outcome() const { return outcome_; }
  int PartsWritten() const { return partsWritten_; }
  const std::string& FileName() const { return fileName_; }
  const MovieWriter& Writer() const { return writer_; }

 private:
  void Run(StreamConnection& c, ViewState& view);
  bool Active(const ViewState& view) const;
  // Dispatches a whole frame (in frame_) through the collection or steady step.
  void TakeFrame(StreamConnection& c, ViewState& view, bool video);
  void Collect(ViewState& view, bool video);
  void FlushCollection(ViewState& view);
  // A frame that is not the span's: one at or after the end before the
  // movie has started, or sound far past the end. Dropped unwritten.
  bool Foreign(const FrameHeader& h, bool video) const;
  // One frame in the steady state; false when the frame stays for the next part.
  bool SteadyFrame(uint8_t* frame, uint32_t length, bool video);
  void EndJob(bool failed);
  void SetOffset(uint8_t* frame, uint32_t length);
  // The preview state: shows the pending frame when it is a whole I-frame.
  void Preview(StreamConnection& c);
  void UpdatePercent(uint32_t seconds);

  platform::FileSystem& files_;
  const platform::Clock& clock_;
  BackupHooks hooks_;
  MovieWriter writer_;
  int state_ = kIdle;
  int part_ = 0;
  std::string basePath_;
  std::string fileName_;
  uint32_t lastActivity_ = 0;
  uint32_t deadline_ = 0;
  uint32_t watermark_ = 0;
  bool failed_ = false;
  bool complete_ = false;
  int percent_ = 0;
  int partsWritten_ = 0;
  BackupOutcome outcome_ = BackupOutcome::kNone;
  uint32_t spanStart_ = 0, spanEnd_ = 0;
  int64_t nextStart_ = -1;  // display seconds of the frame carried into the next part
  int32_t timeBase_ = 0;

  // The frame being joined from its packets, and one carried to the next part.
  std::unique_ptr<uint8_t[]> frame_;
  uint32_t frameBytes_ = 0;
  uint32_t missingPackets_ = 0;
  bool carried_ = false;
  bool carriedVideo_ = false;

  // The frames collected before the time base is chosen.
  std::unique_ptr<uint8_t[]> collection_;
  uint32_t collectedBytes_ = 0;
  struct Entry {
    uint32_t at, bytes;
    bool video;
  };
  Entry entries_[kMaxCollected] = {};
  int entryCount_ = 0;
  int32_t offsets_[3] = {};
  int videoCollected_ = 0;
  uint32_t firstWidthMb_ = 0, firstHeightMb_ = 0;
};

// The time base from three video frames' time offsets.
int32_t ChooseTimeBase(int32_t o1, int32_t o2, int32_t o3);

}  // namespace tevrano::record
