#pragma once
#include <cstdint>
#include <memory>

namespace tevrano {

// A byte ring with one writer and one reader. The writer may use only 80 %
// of the free space, so the ring never fills and WritePos never catches up
// with ReadPos. Operations return 0 on success and -1 on refusal, and never
// change the ring when they refuse.
class ByteRing {
 public:
  ByteRing() = default;
  ByteRing(const ByteRing&) = delete;
  ByteRing& operator=(const ByteRing&) = delete;

  // Allocates zero-filled storage once; later calls keep the storage.
  void Allocate(uint32_t size);
  bool Allocated() const { return base_ != nullptr; }

  uint32_t WritePos() const { return writePos_; }
  uint32_t ReadPos() const { return readPos_; }
  uint32_t Size() const { return size_; }
  const uint8_t* Base() const { return base_.get(); }

  uint32_t Used() const {
    return writePos_ >= readPos_ ? writePos_ - readPos_ : size_ - readPos_ + writePos_;
  }
  // (Size - Used) * 8 / 10, computed without overflow.
  uint32_t UsableFree() const {
    return static_cast<uint32_t>((static_cast<uint64_t>(size_) - Used()) * 8 / 10);
  }
  bool Empty() const { return writePos_ == readPos_; }

  int Write(const uint8_t* source, uint32_t n);
  int Read(uint8_t* destination, uint32_t n);
  // Copies n bytes from ReadPos without moving it; refused past Used.
  int Peek(uint8_t* destination, uint32_t n) const;
  // Byte at ReadPos + offset (offset < Used), with wrap-around.
  uint8_t PeekByte(uint32_t offset) const { return base_[(readPos_ + offset) % size_]; }
  int Skip(uint32_t n);
  int Unread(uint32_t n);
  // Empties the ring: both positions 0.
  void Clear() { writePos_ = readPos_ = 0; }
  // Moves ReadPos (the parser's resynchronisation); pos < Size.
  void SetReadPos(uint32_t pos) { readPos_ = pos % (size_ ? size_ : 1); }
  void DiscardAll() { readPos_ = writePos_; }

 private:
  uint32_t writePos_ = 0;
  uint32_t readPos_ = 0;
  uint32_t size_ = 0;
  std::unique_ptr<uint8_t[]> base_;
};

}  // namespace tevrano
