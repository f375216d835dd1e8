#pragma once
#include <QObject>
#include <QThread>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/WavFileAudioDevice.h"
#include "platform/AudioDevice.h"

namespace tevrano::host {

// The bookkeeping that makes a push-mode output look like a looping buffer
// with a play cursor: the control's blocks wait here, in order, until the
// output has room for them; the bytes played are those pushed less those
// the output still holds, and the cursor is that count round the loop.
class PushStream {
 public:
  // A loop of `loopBytes`; nothing pending, nothing pushed.
  void Reset(int loopBytes);
  // The play position goes back to the loop's start; pending bytes stay.
  void Rewind() { pushed_ = 0; }
  void Clear() { head_ = used_ = 0; }
  // Bytes given by the control, to be pushed in order. False (and nothing
  // kept) when more than a loop's worth would be waiting.
  bool Queue(const uint8_t* bytes, int count);
  // Hands pending bytes to `write` (which returns how many it took, or -1)
  // until it takes no more.
  void Flush(const std::function<int64_t(const char*, int64_t)>& write);
  // The play cursor when the output still holds `queued` bytes.
  int Cursor(int64_t queued) const;
  int Pending() const { return used_; }
  int64_t Pushed() const { return pushed_; }

 private:
  std::vector<uint8_t> bytes_;  // pending bytes, a ring of one loop
  int head_ = 0;                // first pending byte
  int used_ = 0;
  int64_t pushed_ = 0;  // bytes the output took since the last Rewind
};

// Speakers through Qt Multimedia: a QAudioSink in push mode on an output
// thread of its own (it needs an event loop, which the control's audio
// thread does not have). Its buffer is the device buffer (4,096 bytes of
// 8-bit sound); the bytes it still holds tell where the play cursor is.
class QtAudioDevice : public platform::AudioDevice {
 public:
  QtAudioDevice();
  ~QtAudioDevice() override;
  bool Create(const platform::AudioFormat& format, int bufferBytes) override;
  bool PlayLooping() override;
  void Stop() override;
  int PlayCursor() const override;
  bool Write(int offset, const uint8_t* bytes, int count) override;
  bool Lost() const override { return false; }
  bool Restore() override { return true; }

 private:
  class Output;
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
