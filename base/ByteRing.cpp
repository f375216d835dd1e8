#include "base/ByteRing.h"

#include <cstring>

namespace tevrano {

void ByteRing::Allocate(uint32_t size) {
  if (base_ || size == 0) return;
  base_ = std::make_unique<uint8_t[]>(size);  // value-initialised: zero-filled
  size_ = size;
  writePos_.store(0);
  readPos_.store(0);
}

int ByteRing::Write(const uint8_t* source, uint32_t n) {
  if (!source || !base_ || n == 0 || n > UsableFree()) return -1;
  const uint32_t w = writePos_.load(std::memory_order_relaxed);  // the writer's own
  const uint32_t first = n < size_ - w ? n : size_ - w;
  std::memcpy(base_.get() + w, source, first);
  std::memcpy(base_.get(), source + first, n - first);
  writePos_.store((w + n) % size_, std::memory_order_release);
  return 0;
}

int ByteRing::Peek(uint8_t* destination, uint32_t n) const {
  if (!base_ || n > Used()) return -1;
  const uint32_t r = readPos_.load(std::memory_order_relaxed);  // the reader's own
  const uint32_t first = n < size_ - r ? n : size_ - r;
  std::memcpy(destination, base_.get() + r, first);
  std::memcpy(destination + first, base_.get(), n - first);
  return 0;
}

int ByteRing::Read(uint8_t* destination, uint32_t n) {
  if (n == 0 || n > Used() || Peek(destination, n) != 0) return -1;
  readPos_.store((readPos_.load(std::memory_order_relaxed) + n) % size_, std::memory_order_release);
  return 0;
}

int ByteRing::Skip(uint32_t n) {
  if (!base_ || n > Used()) return -1;
  readPos_.store((readPos_.load(std::memory_order_relaxed) + n) % size_, std::memory_order_release);
  return 0;
}

int ByteRing::Unread(uint32_t n) {
  if (!base_ || n >= size_) return -1;
  readPos_.store((readPos_.load(std::memory_order_relaxed) + size_ - n) % size_,
                 std::memory_order_release);
  return 0;
}

}  // namespace tevrano
