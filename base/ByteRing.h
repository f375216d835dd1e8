#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

namespace tevrano {

// A byte ring with one writer and one reader. The writer may use only 80 %
// of the free space, so the ring never fills and WritePos never catches up
// with ReadPos. Operations return 0 on success and -1 on refusal, and never
// change the ring when they refuse.
//
// The writer and the reader may run on different threads (the audio ring:
// the parser writes, the audio thread reads). Each side moves only its own
// position; the positions are atomic, published with release and read with
// acquire, so the bytes a position covers are visible before it moves. The
// reader empties the ring with DiscardAll; Clear touches both positions and
// is for a ring whose writer and reader share one thread.
class ByteRing {
 public:
  ByteRing() = default;
  ByteRing(const ByteRing&) = delete;
  ByteRing& operator=(const ByteRing&) = delete;

  // Allocates zero-filled storage once; later calls keep the storage.
  void Allocate(uint32_t size);
  bool Allocated() const { return base_ != nullptr; }

  uint32_t WritePos() const { return writePos_.load(std::memory_order_acquire); }
  uint32_t ReadPos() const { return readPos_.load(std::memory_order_acquire); }
  uint32_t Size() const { return size_; }
  const uint8_t* Base() const { return base_.get(); }

  uint32_t Used() const {
    const uint32_t w = WritePos(), r = ReadPos();
    return w >= r ? w - r : size_ - r + w;
  }
  // (Size - Used) * 8 / 10, computed without overflow.
  uint32_t UsableFree() const {
    return static_cast<uint32_t>((static_cast<uint64_t>(size_) - Used()) * 8 / 10);
  }
  bool Empty() const { return WritePos() == ReadPos(); }

  int Write(const uint8_t* source, uint32_t n);
  int Read(uint8_t* destination, uint32_t n);
  // Copies n bytes from ReadPos without moving it; refused past Used.
  int Peek(uint8_t* destination, uint32_t n) const;
  // Byte at ReadPos + offset (offset < Used), with wrap-around.
  uint8_t PeekByte(uint32_t offset) const { return base_[(ReadPos() + offset) % size_]; }
  int Skip(uint32_t n);
  int Unread(uint32_t n);
  // Empties the ring: both positions 0.
  void Clear() {
    writePos_.store(0, std::memory_order_release);
    readPos_.store(0, std::memory_order_release);
  }
  // Moves ReadPos (the parser's resynchronisation); pos < Size.
  void SetReadPos(uint32_t pos) {
    readPos_.store(pos % (size_ ? size_ : 1), std::memory_order_release);
  }
  // The reader's way of emptying the ring: ReadPos catches up with WritePos.
  void DiscardAll() { readPos_.store(WritePos(), std::memory_order_release); }

 private:
  std::atomic<uint32_t> writePos_{0};
  std::atomic<uint32_t> readPos_{0};
  uint32_t size_ = 0;
  std::unique_ptr<uint8_t[]> base_;
};

}  // namespace tevrano
