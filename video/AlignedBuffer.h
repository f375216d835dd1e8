#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace tevrano {

// A zero-filled block of bytes whose start is aligned to 64 bytes, allocated
// once and never resized.
class AlignedBuffer {
 public:
  static constexpr size_t kAlignment = 64;

  bool Allocate(size_t size) {
    if (data_) return size <= size_;
    const size_t rounded = (size + kAlignment - 1) / kAlignment * kAlignment;
    data_.reset(
        static_cast<uint8_t*>(std::aligned_alloc(kAlignment, rounded ? rounded : kAlignment)));
    if (!data_) return false;
    std::memset(data_.get(), 0, rounded);
    size_ = rounded;
    return true;
  }
  uint8_t* Data() { return data_.get(); }
  const uint8_t* Data() const { return data_.get(); }
  size_t Size() const { return size_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  struct Free {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  std::unique_ptr<uint8_t, Free> data_;
  size_t size_ = 0;
};

}  // namespace tevrano
