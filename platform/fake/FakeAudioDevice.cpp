#include "platform/fake/FakeAudioDevice.h"

namespace tevrano::platform {

bool FakeAudioDevice::Create(const AudioFormat& format, int bufferBytes) {
  std::lock_guard lock(mutex_);
  if (bufferBytes <= 0 || (format.bitsPerSample == 8 && !takes8Bit)) return false;
  format_ = format;
  buffer_.assign(static_cast<size_t>(bufferBytes), 0);
  cursor_ = 0;
  return true;
}

bool FakeAudioDevice::PlayLooping() {
  std::lock_guard lock(mutex_);
  if (buffer_.empty() || lost_) return false;
  playing_ = true;
  return true;
}

void FakeAudioDevice::Stop() {
  std::lock_guard lock(mutex_);
  playing_ = false;
}

int FakeAudioDevice::PlayCursor() const {
  std::lock_guard lock(mutex_);
  return cursor_;
}

bool FakeAudioDevice::Write(int offset, const uint8_t* bytes, int count) {
  std::lock_guard lock(mutex_);
  if (lost_ || buffer_.empty() || offset < 0 || count < 0) return false;
  const size_t size = buffer_.size();
  for (int i = 0; i < count; ++i) buffer_[(static_cast<size_t>(offset) + i) % size] = bytes[i];
  ++writes_;
  return true;
}

bool FakeAudioDevice::Lost() const {
  std::lock_guard lock(mutex_);
  return lost_;
}

bool FakeAudioDevice::Restore() {
  std::lock_guard lock(mutex_);
  lost_ = false;
  return true;
}

void FakeAudioDevice::SetPlayCursor(int offset) {
  std::lock_guard lock(mutex_);
  cursor_ = offset;
}
void FakeAudioDevice::SetLost(bool lost) {
  std::lock_guard lock(mutex_);
  lost_ = lost;
}
bool FakeAudioDevice::Playing() const {
  std::lock_guard lock(mutex_);
  return playing_;
}
std::vector<uint8_t> FakeAudioDevice::Buffer() const {
  std::lock_guard lock(mutex_);
  return buffer_;
}
AudioFormat FakeAudioDevice::Format() const {
  std::lock_guard lock(mutex_);
  return format_;
}
int FakeAudioDevice::Writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

std::unique_ptr<AudioDevice> FakeAudioDeviceFactory::CreateAudioDevice() {
  if (!available) return nullptr;
  auto device = std::make_unique<FakeAudioDevice>();
  device->takes8Bit = takes8Bit;
  last = device.get();
  return device;
}

}  // namespace tevrano::platform
