#pragma once
#include <QIODevice>
#include <QObject>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/WavFileAudioDevice.h"
#include "platform/AudioDevice.h"

class QAudioSink;

namespace tevrano::host {

// The looping buffer that the sound output pulls from. The writer (the
// control's audio thread) and the puller (the output thread) share it under
// a mutex; the pull position is the play cursor (the output pulls only a
// short lead ahead of what it has played).
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

// The output's view of the looping buffer: an endless sequential device that
// hands out data only a short lead ahead of what has been played. Qt's
// outputs would otherwise take the whole buffer at once, and the pull
// position could not serve as a play cursor: the control writes just ahead
// of the cursor, and those bytes must not have been taken yet.
class LoopReader : public QIODevice {
 public:
  explicit LoopReader(LoopBuffer& buffer) : buffer_(buffer) {}
  // playedBytes tells how much the output has played since Start.
  void Start(std::function<qint64()> playedBytes, qint64 leadBytes) {
    playedBytes_ = std::move(playedBytes);
    lead_ = leadBytes;
    pulled_ = 0;
  }
  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override { return buffer_.Size() + QIODevice::bytesAvailable(); }

 protected:
  qint64 readData(char* data, qint64 maxSize) override;
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  LoopBuffer& buffer_;
  std::function<qint64()> playedBytes_;
  qint64 lead_ = 0;
  qint64 pulled_ = 0;  // bytes handed to the output since Start
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

// The WAV file when one is named (--audio-out or TEVRANO_AUDIO_WAV), else
// the speakers when the machine has an output, else no device at all: the
// control stays silent.
class QtAudioDeviceFactory : public platform::AudioDeviceFactory {
 public:
  QtAudioDeviceFactory(bool headless, std::string wavPath);
  std::unique_ptr<platform::AudioDevice> CreateAudioDevice() override;

 private:
  bool speakers_ = false;
  std::string wavPath_;
};

}  // namespace tevrano::host
