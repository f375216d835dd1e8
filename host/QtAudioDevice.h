#pragma once
#include <QObject>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AudioDevice.h"

class QAudioSink;

namespace tevrano::host {

// The looping buffer that the sound output pulls from. The writer (the
// control's audio thread) and the puller (the output thread) share it under
// a mutex; the pull position is the play cursor.
class LoopBuffer {
 public:
  void Reset(int bytes);
  void Write(int offset, const uint8_t* bytes, int count);
  // Copies count bytes from the pull position onwards and advances it.
  void Pull(char* into, int count);
  int Cursor() const { return cursor_.load(); }
  void Rewind() { cursor_.store(0); }
  int Size() const { return size_; }

 private:
  std::mutex mutex_;
  std::vector<uint8_t> bytes_;
  int size_ = 0;
  std::atomic<int> cursor_{0};
};

// Speakers through Qt Multimedia: a QAudioSink on an output thread of its own
// (it needs an event loop, which the control's audio thread does not have)
// pulls the looping buffer round and round.
class QtAudioDevice : public platform::AudioDevice {
 public:
  QtAudioDevice();
  ~QtAudioDevice() override;
  bool Create(const platform::AudioFormat& format, int bufferBytes) override;
  bool PlayLooping() override;
  void Stop() override;
  int PlayCursor() const override { return buffer_.Cursor(); }
  bool Write(int offset, const uint8_t* bytes, int count) override;
  bool Lost() const override { return false; }
  bool Restore() override { return true; }

 private:
  class Output;
  LoopBuffer buffer_;
  QThread thread_;
  Output* output_ = nullptr;  // lives on thread_
};

// A device for headless runs: "plays" the looping buffer in real time into a
// WAV file, so what the control would have played can be listened to.
class WavFileAudioDevice : public platform::AudioDevice {
 public:
  explicit WavFileAudioDevice(std::string path) : path_(std::move(path)) {}
  ~WavFileAudioDevice() override;
  bool Create(const platform::AudioFormat& format, int bufferBytes) override;
  bool PlayLooping() override;
  void Stop() override;
  int PlayCursor() const override;
  bool Write(int offset, const uint8_t* bytes, int count) override;
  bool Lost() const override { return false; }
  bool Restore() override { return true; }

 private:
  void Advance() const;  // writes what was played since the last call
  void WriteHeader() const;

  std::string path_;
  mutable std::mutex mutex_;
  mutable std::FILE* file_ = nullptr;
  platform::AudioFormat format_;
  std::vector<uint8_t> buffer_;
  bool playing_ = false;
  int64_t playStartMs_ = 0;
  mutable int64_t played_ = 0;     // bytes played since PlayLooping
  mutable int64_t dataBytes_ = 0;  // bytes in the file's data chunk
};

// Speakers when the machine has an output, the WAV file when one is named
// (TEVRANO_AUDIO_WAV), else no device at all: the control stays silent.
class QtAudioDeviceFactory : public platform::AudioDeviceFactory {
 public:
  QtAudioDeviceFactory(bool headless, std::string wavPath);
  std::unique_ptr<platform::AudioDevice> CreateAudioDevice() override;

 private:
  bool speakers_ = false;
  std::string wavPath_;
};

}  // namespace tevrano::host
