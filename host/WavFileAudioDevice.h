#pragma once
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AudioDevice.h"

namespace tevrano::host {

// A device for headless runs: "plays" the looping buffer at the real rate,
// by the monotonic clock, into a WAV file, so what the speakers would have
// sounded can be listened to and measured. The file's time runs from
// Create: while the buffer is stopped it records silence, so sample n of the
// file was due n / rate seconds after the device was made. Thread-safe.
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
  void Advance() const;  // writes what was played (or silence) since the last call
  void WriteHeader() const;
  int64_t DueBytes() const;

  std::string path_;
  mutable std::mutex mutex_;
  mutable std::FILE* file_ = nullptr;
  platform::AudioFormat format_;
  std::vector<uint8_t> buffer_;
  bool playing_ = false;
  int64_t createdUs_ = 0;          // monotonic µs at Create
  mutable int64_t played_ = 0;     // bytes played since PlayLooping
  mutable int64_t dataBytes_ = 0;  // bytes in the file's data chunk
};

}  // namespace tevrano::host
