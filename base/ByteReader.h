#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace tevrano {

// Wire integers are 32-bit little-endian; four-character tags are the
// little-endian word of their ASCII bytes ("ZELL" has 'Z' in the low byte).
constexpr uint32_t Tag(const char (&name)[5]) {
  return uint32_t(uint8_t(name[0])) | uint32_t(uint8_t(name[1])) << 8 |
         uint32_t(uint8_t(name[2])) << 16 | uint32_t(uint8_t(name[3])) << 24;
}

// Field loads and stores at a pointer whose bytes the caller owns and has
// sized (fixed records of our own, ring memory already bounded). Bytes from
// outside are read through ByteReader instead.
inline uint16_t LoadLe16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}
inline uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t LoadBe16(const uint8_t* p) {
  return uint16_t(p[0] << 8 | p[1]);
}
inline uint32_t LoadBe32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
inline void StoreLe16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v), p[1] = uint8_t(v >> 8);
}
inline void StoreLe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
}
inline void StoreBe16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v >> 8), p[1] = uint8_t(v);
}
inline void StoreBe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}

// Reads fields in order from bytes that came from outside (answers, module
// messages, packets, files). Every read checks what is left: a read past the
// end returns false, leaves its output as it was and marks the reader failed,
// so a parser may read a whole record and test Ok() once at the end.
// The reader never owns the bytes; it must not outlive them.
class ByteReader {
 public:
  ByteReader() = default;
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
  explicit ByteReader(std::span<const uint8_t> bytes) : ByteReader(bytes.data(), bytes.size()) {}

  size_t Size() const { return size_; }
  size_t Position() const { return pos_; }
  size_t Remaining() const { return size_ - pos_; }
  bool Ok() const { return ok_; }
  // The bytes from the current position on.
  std::span<const uint8_t> Rest() const { return {data_ + pos_, size_ - pos_}; }

  bool Seek(size_t offset) { return offset <= size_ ? (pos_ = offset, true) : Fail(); }
  bool Skip(size_t n) { return n <= Remaining() ? (pos_ += n, true) : Fail(); }

  bool U8(uint8_t& v) {
    return Load(1, [&](const uint8_t* p) { v = p[0]; });
  }
  bool Le16(uint16_t& v) {
    return Load(2, [&](const uint8_t* p) { v = LoadLe16(p); });
  }
  bool Le32(uint32_t& v) {
    return Load(4, [&](const uint8_t* p) { v = LoadLe32(p); });
  }
  bool Le32(int32_t& v) {
    return Load(4, [&](const uint8_t* p) { v = static_cast<int32_t>(LoadLe32(p)); });
  }
  bool Be16(uint16_t& v) {
    return Load(2, [&](const uint8_t* p) { v = LoadBe16(p); });
  }
  bool Be32(uint32_t& v) {
    return Load(4, [&](const uint8_t* p) { v = LoadBe32(p); });
  }
  // Copies n bytes out.
  bool Bytes(void* out, size_t n) {
    return Load(n, [&](const uint8_t* p) { n ? std::memcpy(out, p, n) : nullptr; });
  }
  // Takes the next n bytes as a span (not copied).
  bool Span(size_t n, std::span<const uint8_t>& out) {
    return Load(n, [&](const uint8_t* p) { out = {p, n}; });
  }
  // Takes the next n bytes as a reader of their own.
  bool Sub(size_t n, ByteReader& out) {
    return Load(n, [&](const uint8_t* p) { out = ByteReader(p, n); });
  }
  // A fixed text field of `field` bytes into out[outSize]: copied up to its
  // first zero, cut to leave room for the terminator, always terminated.
  bool Text(size_t field, char* out, size_t outSize) {
    return Load(field, [&](const uint8_t* p) { CopyText(p, field, out, outSize); });
  }

  // Reads at an absolute offset without moving; false when out of range.
  bool Le32At(size_t offset, uint32_t& v) const {
    if (offset > size_ || size_ - offset < 4) return false;
    v = LoadLe32(data_ + offset);
    return true;
  }
  bool U8At(size_t offset, uint8_t& v) const {
    if (offset >= size_) return false;
    v = data_[offset];
    return true;
  }

  static void CopyText(const uint8_t* field, size_t fieldSize, char* out, size_t outSize) {
    if (outSize == 0) return;
    size_t n = 0;
    while (n < fieldSize && n + 1 < outSize && field[n] != 0) ++n;
    std::memcpy(out, field, n);
    out[n] = '\0';
  }

 private:
  template <typename F>
  bool Load(size_t n, F&& take) {
    if (n > Remaining()) return Fail();
    take(data_ + pos_);
    pos_ += n;
    return true;
  }
  bool Fail() {
    ok_ = false;
    return false;
  }

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  bool ok_ = true;
};

// Writes fields in order into a buffer of fixed size. A write that does not
// fit writes nothing, returns false and marks the writer failed.
class ByteWriter {
 public:
  ByteWriter(uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
  explicit ByteWriter(std::span<uint8_t> bytes) : ByteWriter(bytes.data(), bytes.size()) {}

  size_t Position() const { return pos_; }
  size_t Remaining() const { return size_ - pos_; }
  bool Ok() const { return ok_; }
  uint8_t* Data() const { return data_; }

  bool Seek(size_t offset) { return offset <= size_ ? (pos_ = offset, true) : Fail(); }
  bool U8(uint8_t v) {
    return Store(1, [&](uint8_t* p) { p[0] = v; });
  }
  bool Le16(uint16_t v) {
    return Store(2, [&](uint8_t* p) { StoreLe16(p, v); });
  }
  bool Le32(uint32_t v) {
    return Store(4, [&](uint8_t* p) { StoreLe32(p, v); });
  }
  bool Be16(uint16_t v) {
    return Store(2, [&](uint8_t* p) { StoreBe16(p, v); });
  }
  bool Be32(uint32_t v) {
    return Store(4, [&](uint8_t* p) { StoreBe32(p, v); });
  }
  bool Bytes(const void* src, size_t n) {
    return Store(n, [&](uint8_t* p) { n ? std::memcpy(p, src, n) : nullptr; });
  }
  bool Zeros(size_t n) {
    return Store(n, [&](uint8_t* p) { n ? std::memset(p, 0, n) : nullptr; });
  }
  // A zero-terminated text into a fixed field of `field` bytes: cut so that
  // the last byte is always zero, the rest of the field zeroed.
  bool Text(const char* text, size_t field) {
    return Store(field, [&](uint8_t* p) {
      if (field == 0) return;
      std::memset(p, 0, field);
      if (text) std::memcpy(p, text, strnlen(text, field - 1));
    });
  }
  // Overwrites a 32-bit field written earlier (a length known only later).
  bool Le32At(size_t offset, uint32_t v) {
    if (offset > pos_ || pos_ - offset < 4) return Fail();
    StoreLe32(data_ + offset, v);
    return true;
  }

 private:
  template <typename F>
  bool Store(size_t n, F&& put) {
    if (n > Remaining()) return Fail();
    put(data_ + pos_);
    pos_ += n;
    return true;
  }
  bool Fail() {
    ok_ = false;
    return false;
  }

  uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

// Copies a zero-terminated text into a fixed field of `fieldSize` bytes,
// cut so that the last byte is always zero; the rest of the field is zeroed.
inline void PutText(uint8_t* field, size_t fieldSize, const char* text) {
  ByteWriter(field, fieldSize).Text(text, fieldSize);
}

// H.264 NAL unit types the control looks at.
enum NalType : int { kNalSlice = 1, kNalIdr = 5, kNalSei = 6, kNalSps = 7, kNalPps = 8 };
// The type of a NAL unit: the low five bits of its first byte; -1 for an
// empty unit.
inline int NalUnitType(std::span<const uint8_t> unit) {
  return unit.empty() ? -1 : unit[0] & 0x1F;
}
// The 4-byte big-endian length in front of each unit of a length-prefixed
// stream.
constexpr size_t kNalLengthSize = 4;

// Walks NAL units that each carry a 4-byte big-endian length prefix (the
// recorder's packets). Next() yields whole units only; it stops at a unit
// that runs past the end or at a zero length, which the recorder uses as
// padding (Padding() then tells so).
class NalLengthWalker {
 public:
  explicit NalLengthWalker(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  NalLengthWalker(const uint8_t* data, size_t size) : bytes_(data, size) {}

  // The next unit's body (without its prefix); false at the end.
  bool Next(std::span<const uint8_t>& body) {
    if (bytes_.size() - pos_ < kNalLengthSize) return false;
    const uint32_t n = LoadBe32(bytes_.data() + pos_);
    if (n == 0) {
      padding_ = true;
      return false;
    }
    if (n > bytes_.size() - pos_ - kNalLengthSize) return false;
    body = bytes_.subspan(pos_ + kNalLengthSize, n);
    last_ = pos_;
    pos_ += kNalLengthSize + size_t(n);
    return true;
  }
  // Where the walk stands: the end of the last whole unit it yielded.
  size_t WholeBytes() const { return pos_; }
  // The last unit Next() yielded together with its length prefix (empty
  // before the first).
  std::span<const uint8_t> LastWithPrefix() const { return bytes_.subspan(last_, pos_ - last_); }
  bool Padding() const { return padding_; }

  // The length of the leading run of whole units (stopping as Next() does).
  static size_t WholeUnitBytes(std::span<const uint8_t> bytes, bool* padding = nullptr) {
    NalLengthWalker w(bytes);
    std::span<const uint8_t> unit;
    while (w.Next(unit)) {
    }
    if (padding) *padding = w.Padding();
    return w.WholeBytes();
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  size_t last_ = 0;  // start of the last unit yielded
  bool padding_ = false;
};

// Walks NAL units separated by 00 00 01 or 00 00 00 01 start codes (Annex B,
// as an encoder writes them). Next() yields each unit's body without its
// start code; bytes before the first start code are skipped.
class NalStartCodeWalker {
 public:
  explicit NalStartCodeWalker(std::span<const uint8_t> bytes) : bytes_(bytes) {
    pos_ = FindStart(0);
  }

  bool Next(std::span<const uint8_t>& body) {
    if (pos_ >= bytes_.size()) return false;
    const size_t begin = pos_;
    const size_t next = FindStart(begin);
    size_t end = next >= bytes_.size() ? bytes_.size() : next - 3;
    // A four-byte start code leaves its leading zero behind the unit.
    if (next < bytes_.size() && end > begin && bytes_[end - 1] == 0) --end;
    body = bytes_.subspan(begin, end - begin);
    pos_ = next;
    return true;
  }

 private:
  // The position just after the next start code at or after `from`.
  size_t FindStart(size_t from) const {
    for (size_t i = from; i + 3 <= bytes_.size(); ++i)
      if (bytes_[i] == 0 && bytes_[i + 1] == 0 && bytes_[i + 2] == 1) return i + 3;
    return bytes_.size();
  }

  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

}  // namespace tevrano
