#include "host/WavFileAudioDevice.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace tevrano::host {

namespace {
int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
}  // namespace

WavFileAudioDevice::~WavFileAudioDevice() {
  std::lock_guard lock(mutex_);
  if (!file_) return;
  Advance();
  WriteHeader();
  std::fclose(file_);
}

bool WavFileAudioDevice::Create(const platform::AudioFormat& format, int bufferBytes) {
  std::lock_guard lock(mutex_);
  if (bufferBytes <= 0) return false;
  if (file_) Advance();
  format_ = format;
  buffer_.assign(static_cast<size_t>(bufferBytes), format.bitsPerSample == 8 ? 0x80 : 0);
  if (!file_) {
    file_ = std::fopen(path_.c_str(), "wb");
    if (!file_) return false;
    dataBytes_ = 0;
    createdUs_ = NowUs();
    WriteHeader();
  }
  return true;
}

void WavFileAudioDevice::WriteHeader() const {
  uint8_t h[44] = {};
  const uint32_t blockAlign = static_cast<uint32_t>(format_.channels * format_.bitsPerSample / 8);
  std::memcpy(h, "RIFF", 4);
  Put32(h + 4, static_cast<uint32_t>(36 + dataBytes_));
  std::memcpy(h + 8, "WAVEfmt ", 8);
  Put32(h + 16, 16);
  Put16(h + 20, 1);  // PCM
  Put16(h + 22, static_cast<uint16_t>(format_.channels));
  Put32(h + 24, static_cast<uint32_t>(format_.sampleRate));
  Put32(h + 28, static_cast<uint32_t>(format_.sampleRate) * blockAlign);
  Put16(h + 32, static_cast<uint16_t>(blockAlign));
  Put16(h + 34, static_cast<uint16_t>(format_.bitsPerSample));
  std::memcpy(h + 36, "data", 4);
  Put32(h + 40, static_cast<uint32_t>(dataBytes_));
  long end = std::ftell(file_);
  std::fseek(file_, 0, SEEK_SET);
  std::fwrite(h, 1, sizeof h, file_);
  std::fseek(file_, end > 44 ? end : 44, SEEK_SET);
  std::fflush(file_);
}

// Bytes of sound due in the file by now.
int64_t WavFileAudioDevice::DueBytes() const {
  const int64_t blockAlign = int64_t(format_.channels) * format_.bitsPerSample / 8;
  return (NowUs() - createdUs_) * format_.sampleRate / 1000000 * blockAlign;
}

void WavFileAudioDevice::Advance() const {
  if (!file_ || buffer_.empty()) return;
  const int64_t target = DueBytes();
  const int64_t size = static_cast<int64_t>(buffer_.size());
  const uint8_t silence[64] = {};
  const uint8_t silence8[64] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
  while (dataBytes_ < target) {
    int64_t n = 0;
    if (playing_) {
      const int64_t pos = played_ % size;
      n = std::min(target - dataBytes_, size - pos);
      std::fwrite(buffer_.data() + pos, 1, static_cast<size_t>(n), file_);
      played_ += n;
    } else {
      n = std::min<int64_t>(target - dataBytes_, 64);
      std::fwrite(format_.bitsPerSample == 8 ? silence8 : silence, 1, static_cast<size_t>(n),
                  file_);
    }
    dataBytes_ += n;
  }
}

bool WavFileAudioDevice::PlayLooping() {
  std::lock_guard lock(mutex_);
  if (!file_) return false;
  Advance();
  playing_ = true;
  played_ = 0;
  return true;
}

void WavFileAudioDevice::Stop() {
  std::lock_guard lock(mutex_);
  Advance();
  playing_ = false;
  if (file_) WriteHeader();
}

int WavFileAudioDevice::PlayCursor() const {
  std::lock_guard lock(mutex_);
  Advance();
  return buffer_.empty() ? 0 : static_cast<int>(played_ % static_cast<int64_t>(buffer_.size()));
}

bool WavFileAudioDevice::Write(int offset, const uint8_t* bytes, int count) {
  std::lock_guard lock(mutex_);
  if (buffer_.empty() || count < 0) return false;
  Advance();
  const int size = static_cast<int>(buffer_.size());
  offset %= size;
  if (offset < 0) offset += size;
  for (int i = 0; i < count; ++i) buffer_[static_cast<size_t>((offset + i) % size)] = bytes[i];
  return true;
}

}  // namespace tevrano::host
