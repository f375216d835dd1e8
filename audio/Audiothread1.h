#pragma once
// Camera sound: audio packets from a stream connection's audio ring, through
// an 8 MiB staging ring, into the looping 4,096-sample device buffer, on a
// thread of its own and held back while they run ahead of the picture.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/AudioDevice.h"
#include "stream/StreamConnection.h"

namespace tevrano {

struct PictureGlobals;

// The playback record. Staging positions are absolute sample counts (the
// ring position is the count modulo Size), so a reader that a writer lapped
// is told exactly, not guessed.
struct AudioPlayback {
  uint32_t Mode = 0;            // view mode of the last packet played
  int32_t Channel = -1;         // camera heard; -1 = none chosen yet
  uint32_t Started = 0;         // 1 once the device buffer plays
  uint32_t LastPlayCursor = 0;  // device play cursor at the previous feed (samples)
  int64_t BytesSubmitted = 0;   // end of what was given to the device, in played-sample coordinates
  bool Synchronised = false;    // BytesSubmitted was taken from the cursor since the last reset
  uint32_t DeviceBufferSize = 4096;  // samples: block size x block count
  uint32_t BlockCounter = 0;         // blocks submitted since the reset
  uint32_t CursorWraps = 0;          // how often the play cursor wrapped
  std::atomic<uint64_t> Written{0};  // staging writer's count (ReadAudioPacket)
  std::atomic<uint64_t> Read{0};     // staging reader's count (FeedAudio)
  uint32_t Size = 0;                 // staging ring size: 8 MiB of 8-bit samples
  std::unique_ptr<uint8_t[]> Base;
  uint32_t WritePos() const { return uint32_t(Written.load() % Size); }
  uint32_t ReadPos() const { return uint32_t(Read.load() % Size); }
};

// How far the sound being played is from the picture being shown (ms,
// negative: the sound is behind the picture), gathered while sound plays.
struct AudioLagStats {
  int32_t lastMs = 0;
  int32_t maxAbsMs = 0;
  int32_t meanAbsMs = 0;
  uint32_t samples = 0;
};

// What the audio side reads of the rest of the control. All optional.
struct AudioHooks {
  // The recorder's stream framing: true = marker-framed packets (no
  // transport header) in the audio ring. Read on the audio thread.
  std::function<bool()> markerFraming;
  // The movie recorder's step for the audio frame placed in the FrameBuffer
  // (Backup mode, control thread).
  std::function<int(StreamConnection&)> backupStep;
  // The recorder forbids sound to this viewer (never bound: no field of the
  // login's records is known to mean that).
  std::function<bool()> suppressed;
  // The alarm beeper: the recorder time now, and one beep (2000 Hz, 100 ms).
  std::function<uint32_t()> recorderNow;
  std::function<void()> beep;
};

// The audio playback of recorder context 0 (Audiothread1). ReadAudioPacket
// and FeedAudio run on the audio thread; in Backup mode the control thread
// takes over ReadAudioPacket (the reader role passes by an atomic flag).
// Requests from the control thread (restart, stop, flush, channel) are
// flags the audio thread takes up at the start of its next cycle; nothing
// here is locked and nothing is allocated after construction.
class Audiothread1 {
 public:
  static constexpr uint32_t kBlock = 512;     // samples (64 ms)
  static constexpr uint32_t kBlockCount = 8;  // device buffer = 4096 samples
  static constexpr uint32_t kStagingSize = 8 * 1024 * 1024;
  static constexpr uint32_t kScratchSize = 32 * 1024;
  static constexpr uint32_t kMaxTotal = 0x2000;  // longer audio packets mean lost step
  static constexpr int kMaxHold = 30;
  // Without a picture or a packet time to go by: sound queued in the device
  // beyond this (160 ms: two blocks and a late cycle) behind padding heard
  // in front of it is more than lip sync allows, and a staged block is
  // dropped instead of queued.
  static constexpr uint32_t kLagBound = 1280;
  // What the device must hold to play on until the next cycle (50 ms) with
  // a margin: 55 ms.
  static constexpr uint32_t kBridge = 440;
  // A short block brings the device up to this (86 ms): past the next cycle
  // and clear of the dry mark.
  static constexpr uint32_t kKeepPlaying = 688;
  // Staged sound that would be heard more than kCatchUpMs after its picture
  // is skipped until it would be heard kSettleMs after it.
  static constexpr int64_t kCatchUpMs = 85;
  static constexpr int64_t kSettleMs = 65;

  Audiothread1(platform::AudioDeviceFactory& factory, StreamConnection& connection,
               PictureGlobals& picture);
  ~Audiothread1();
  Audiothread1(const Audiothread1&) = delete;
  Audiothread1& operator=(const Audiothread1&) = delete;

  AudioHooks& Hooks() { return hooks_; }
  AudioPlayback& Playback() { return playback_; }
  platform::AudioDevice* Device() { return device_.get(); }

  // One packet from the audio ring; `mode` is the view mode the caller saw.
  // 1 = stop reading for now, 0 = go on.
  int ReadAudioPacket(StreamConnection& c, uint32_t mode);
  // One block into the device; 1 = nothing (more) to do now, 0 = a block went.
  int FeedAudio();
  // One cycle of the audio thread: requests, up to 200 packets (outside
  // Backup), one feed, the beeper.
  void Cycle();

  void StartAudioOutput();
  void StopAudioOutput();
  void ReleaseAudioOutput();
  void ResetAudio();
  void RestartAudio();
  void RecreateAudio();

  // Control thread: the speaker switch and the requests of the speaker
  // images, the view command, the buffering and the link watchdog.
  void SetEnabled(bool on) { enabled_.store(on); }
  bool Enabled() const { return enabled_.load(); }
  void RequestRestart(int style);  // 0/1: restart the buffer, 2: recreate the device
  void RequestStop() { requests_.fetch_or(kStopRequest); }
  void RequestChannel(int channel);  // -1: no camera heard; the next packet chooses
  void RequestFlush() { requests_.fetch_or(kFlushRequest); }
  // Control thread, in Backup mode: reads one audio packet when it holds the
  // reader role (else asks for it and returns 1).
  int BackupReadAudioPacket(StreamConnection& c);
  // Control thread, each run of the main loop: outside Backup the reader role
  // goes back to the audio thread.
  void MainThreadStep(uint32_t mode);
  bool BackupHoldsReader() const { return role_.load() == kBackupReads; }

  bool AudioHeard() const { return audioHeard_.load(); }
  void SetAlarmEnd(uint32_t recorderSeconds) { alarmEnd_.store(recorderSeconds); }
  AudioLagStats Lag() const;
  // Audio thread CPU: cycles run so far.
  uint64_t Cycles() const { return cycles_.load(); }

 private:
  enum : uint32_t {
    kRestartRequest = 1,
    kStopRequest = 2,
    kChannelRequest = 4,
    kFeederResetRequest = 8,
    kFlushRequest = 16,
  };
  enum : int { kThreadReads = 0, kBackupWanted = 1, kBackupReads = 2, kThreadWanted = 3 };

  void TakeRequests();
  void TakeReaderRole();
  void ResetFeeder();
  void SubmitBlock(const uint8_t* samples, uint32_t count);
  void Stage(const uint8_t* payload, uint32_t samples, uint32_t bias, int64_t timeMs);
  void Pad(uint32_t samples);
  // The time (ms) of staging sample `sample`, from the packet holding it;
  // false for padding or a sample no longer known.
  bool StagedMs(uint64_t sample, int64_t& ms) const;
  // The picture's time (ms) of the heard channel when the device has played
  // `played` samples; false before a picture is shown. NotePicture records
  // the shown frame once a cycle.
  void NotePicture(int64_t played);
  bool PictureMs(int64_t played, int64_t& ms) const;
  void MeasureLag(int64_t played);
  void Beeper();
  uint32_t ViewWord(const uint32_t& word) const;

  platform::AudioDeviceFactory& factory_;
  StreamConnection& connection_;
  PictureGlobals& picture_;
  AudioHooks hooks_;
  AudioPlayback playback_;
  std::unique_ptr<platform::AudioDevice> device_;
  bool deviceFailed_ = false;  // creation failed: stay silent until recreated
  int bytesPerSample_ = 1;     // 1: the device takes 8-bit unsigned; 2: 16-bit signed
  int restartStyle_ = 0;
  int hold_ = 0;
  uint64_t fillerFrom_ = 0;     // staging count where that padding starts
  uint64_t fillerPending_ = 0;  // padding appended to the staging ring since the last real sound
  uint64_t fillerPlayed_ =
      0;  // padding (and short-block rest) given to the device, not yet made up
  int32_t lastSequence_ = -1;           // 10-bit counter of the previous marker-framed packet
  std::unique_ptr<uint8_t[]> scratch_;  // one packet, as framed
  std::unique_ptr<uint8_t[]> convert_;  // one block as 16-bit samples
  std::atomic<bool> enabled_{false};
  std::atomic<bool> audioHeard_{false};
  std::atomic<uint32_t> requests_{0};
  std::atomic<int> requestedStyle_{0};
  std::atomic<int> requestedChannel_{-1};
  std::atomic<int> role_{kThreadReads};
  std::atomic<uint32_t> alarmEnd_{0};
  int beepCount_ = 0;
  std::atomic<uint64_t> cycles_{0};

  // Packet times of the staged samples, for the lag against the picture.
  struct StagedTime {
    uint64_t sample = 0;  // staging count at the packet's first sample
    uint32_t count = 0;   // its samples
    int64_t ms = 0;       // the packet's time, ms
  };
  StagedTime staged_[64];
  uint32_t stagedNext_ = 0;
  // The current run of sound: packet time x 8 - samples received before
  // it, for its last 16 packets.
  int64_t runOffsets_[16] = {};
  uint32_t runCount_ = 0;
  int64_t runSum_ = 0;
  uint64_t received_ = 0;  // samples of sound staged since the reset
  // The blocks given to the device: where each starts in the device's
  // played-sample count and which staged samples it holds (the rest of a
  // short block is filler), so the sound at the play cursor is known
  // exactly, whatever was padded, dropped or skipped before it.
  struct SubmittedBlock {
    int64_t device = 0;   // BytesSubmitted before the block
    uint64_t sample = 0;  // staging count of its first sample
    uint32_t count = 0;   // staged samples in it
    uint32_t span = 0;    // samples given (the rest filler)
  };
  SubmittedBlock submitted_[16];
  uint32_t submittedNext_ = 0;
  // The picture's clock. A frame stands for its time plus the time it has
  // been shown, up to a frame interval; when frames are shown against the
  // device's clock is told by (device time - frame time) over the last
  // cycles (about 1.2 s).
  int64_t pictureOffsets_[24] = {};
  uint32_t pictureNext_ = 0;
  int64_t pictureFrameMs_ = 0;  // the shown frame's time, ms
  int32_t fps_ = 25;
  int32_t heardChannel_ = -1;
  std::atomic<int32_t> lagLast_{0}, lagMaxAbs_{0};
  std::atomic<int64_t> lagSumAbs_{0};
  std::atomic<uint32_t> lagSamples_{0};
};

// The audio thread: runs Audiothread1::Cycle about every 50 ms until it is
// terminated.
class TAudioThread1 {
 public:
  explicit TAudioThread1(Audiothread1& audio) : audio_(audio) {}
  ~TAudioThread1() { Terminate(); }
  void Start();
  // Ends the loop and waits for the thread; safe to call more than once.
  void Terminate();
  bool Running() const { return thread_.joinable(); }

 private:
  Audiothread1& audio_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool terminated_ = false;
};

}  // namespace tevrano
