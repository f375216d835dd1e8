#pragma once
#include <mutex>
#include <vector>

#include "platform/AudioDevice.h"

namespace tevrano::platform {

// A looping buffer in memory whose play cursor the test moves.
class FakeAudioDevice : public AudioDevice {
 public:
  bool Create(const AudioFormat& format, int bufferBytes) override;
  bool PlayLooping() override;
  void Stop() override;
  int PlayCursor() const override;
  bool Write(int offset, const uint8_t* bytes, int count) override;
  bool Lost() const override;
  bool Restore() override;

  // Test side.
  bool takes8Bit = true;  // false: Create refuses 8-bit samples
  void SetPlayCursor(int offset);
  void SetLost(bool lost);
  bool Playing() const;
  std::vector<uint8_t> Buffer() const;
  AudioFormat Format() const;
  int Writes() const;

 private:
  mutable std::mutex mutex_;
  AudioFormat format_;
  std::vector<uint8_t> buffer_;
  int cursor_ = 0;
  bool playing_ = false;
  bool lost_ = false;
  int writes_ = 0;
};

// Hands out one fake device (or none, to test the silent path).
class FakeAudioDeviceFactory : public AudioDeviceFactory {
 public:
  std::unique_ptr<AudioDevice> CreateAudioDevice() override;
  bool available = true;
  bool takes8Bit = true;
  FakeAudioDevice* last = nullptr;  // the device most recently handed out
};

}  // namespace tevrano::platform
