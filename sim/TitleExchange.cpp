// Channel titles ("VDTT"). Body: 0 handle, 4 form, 8 kind (0 request,
// 1 data), 12 record type (16 the title record, 1..4 the bitmaps of
// 448x56, 352x44, 288x36, 224x28, 17 the whole title record, 0 finished),
// 16..31 zero; at 32 a 32-byte piece header (offset, length, byte sum of the
// piece, zeros) and, in data messages, the piece.
//
// The recorder keeps one title set. A viewer that offers its set sends the
// first piece of the title record (kind 1, form 0, type 16); the recorder
// then asks for every piece (kind 0, form 1) of the record and the four
// bitmaps in that order, at most 1,152 bytes each, stores what arrives
// undamaged, asks again (three times at most) for a damaged piece, and ends
// with kind 0, form 1, type 0. A request for the title record (kind 0,
// form 0) is answered with the whole record (kind 1, form 1, type 17).
#include <algorithm>
#include <cstring>

#include "Recorder.h"

namespace tevrano::sim {

namespace {
constexpr uint32_t kRequest = 0, kData = 1;
constexpr uint32_t kRecordType = 16, kWholeRecord = 17, kFinished = 0;
constexpr uint32_t kRecordSize = 1160;
constexpr uint32_t kMaxPiece = 1152;
constexpr int kRetries = 3;
constexpr uint32_t kWidths[4] = {448, 352, 288, 224};
constexpr uint32_t kHeights[4] = {56, 44, 36, 28};
constexpr uint32_t kTypeOrder[5] = {kRecordType, 1, 2, 3, 4};

uint32_t Sum(const uint8_t* p, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum += p[i];
  return sum;
}

uint32_t BitmapBytes(uint32_t size) {
  return kWidths[size] * kHeights[size] / 8 * 16;
}

// Where each record type lies in the title set, and its size; false for
// other types.
bool Place(uint32_t type, uint32_t& at, uint32_t& size) {
  if (type == kRecordType) {
    at = 0, size = kRecordSize;
    return true;
  }
  if (type < 1 || type > 4) return false;
  at = kRecordSize;
  for (uint32_t i = 0; i + 1 < type; ++i) at += BitmapBytes(i);
  size = BitmapBytes(type - 1);
  return true;
}

constexpr uint32_t kSetSize = kRecordSize + 50176 + 30976 + 20736 + 12544;

// Piece of a buffer of `size` at `offset`: never past its end.
uint32_t Cut(uint32_t size, uint32_t offset, uint32_t length) {
  if (offset >= size) return 0;
  return std::min(length, size - offset);
}

std::string Text(const uint8_t* p, size_t n) {
  size_t len = 0;
  while (len < n && p[len]) ++len;
  std::string s;
  for (size_t i = 0; i < len; ++i) {
    const char c = char(p[i]);
    if (c == '"' || c == '\\') s += '\\';
    s += (uint8_t(c) < 0x20) ? '?' : c;
  }
  return s;
}
}  // namespace

std::vector<uint8_t>& Recorder::TitleSet() {
  if (titleSet_.empty()) {
    // The recorder's own titles until a viewer sends others.
    titleSet_.assign(kSetSize, 0);
    for (int ch = 0; ch < 16; ++ch) {
      const std::string t = "Camera " + std::to_string(ch + 1);
      std::memcpy(&titleSet_[4 + 64 * ch], t.data(), t.size());
    }
    std::memcpy(&titleSet_[1060], "Arial", 5);
    PutLe32(&titleSet_[1124], 1);
    PutLe32(&titleSet_[1132], 60);
  }
  return titleSet_;
}

void Recorder::QueueVdtt(Session& s, uint32_t form, uint32_t kind, uint32_t type, uint32_t offset,
                         uint32_t length, const uint8_t* piece) {
  std::vector<uint8_t> data(32, 0);
  PutLe32(&data[0], offset);
  PutLe32(&data[4], length);
  if (kind == kData) {
    PutLe32(&data[8], Sum(piece, length));
    if (piece && length) data.resize(32 + size_t(length)), std::memcpy(&data[32], piece, length);
  }
  s.outbox.push_back(
      BuildModuleMessage(Tag("VDTT"), BuildSubHeaderBody(s.id, form, data, {kind, type})));
}

void Recorder::RequestTitlePiece(Session& s, uint32_t type, uint32_t offset) {
  uint32_t at = 0, size = 0;
  Place(type, at, size);
  s.titles.type = type;
  s.titles.offset = offset;
  QueueVdtt(s, 1, kRequest, type, offset, Cut(size, offset, kMaxPiece), nullptr);
}

void Recorder::FinishTitlePull(Session& s) {
  TitlePull& pull = s.titles;
  QueueVdtt(s, 1, kRequest, kFinished, 0, 0, nullptr);
  titleSet_ = pull.staging;
  pull.active = false;
  // The set as the recorder now holds it: the titles, the font and, per
  // channel and size, the box of the ink in the bitmap (left, top, right,
  // bottom; null when blank).
  const std::vector<uint8_t>& set = titleSet_;
  JsonEvent e("titles_received");
  e.Add("session", s.id);
  const uint32_t stored = GetLe32(&set[1144]);
  std::vector<uint8_t> zeroed = set;
  PutLe32(&zeroed[1144], 0);
  e.Add("checksum_ok", stored == Sum(zeroed.data(), zeroed.size()));
  std::string titles = "[";
  for (int ch = 0; ch < 16; ++ch)
    titles += std::string(ch ? "," : "") + "\"" + Text(&set[4 + 64 * ch], 64) + "\"";
  e.AddRaw("titles", titles + "]")
      .Add("font", Text(&set[1060], 64))
      .Add("charset", GetLe32(&set[1124]) & 0xFF)
      .Add("style", GetLe32(&set[1128]))
      .Add("percent", GetLe32(&set[1132]))
      .Add("language", GetLe32(&set[1136]));
  std::string boxes = "[";
  for (int ch = 0; ch < 16; ++ch) {
    boxes += ch ? ",[" : "[";
    for (uint32_t size = 0; size < 4; ++size) {
      uint32_t at = 0, n = 0;
      Place(size + 1, at, n);
      const uint32_t w = kWidths[size], h = kHeights[size], rowBytes = w / 8;
      const uint8_t* slot = &set[at + uint32_t(ch) * rowBytes * h];
      int left = int(w), top = -1, right = -1, bottom = -1;
      for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
          if ((slot[y * rowBytes + x / 8] >> (x & 7)) & 1) {
            if (top < 0) top = int(y);
            bottom = int(y);
            left = std::min(left, int(x));
            right = std::max(right, int(x));
          }
      boxes += size ? "," : "";
      boxes += top < 0 ? "null"
                       : "[" + std::to_string(left) + "," + std::to_string(top) + "," +
                             std::to_string(right) + "," + std::to_string(bottom) + "]";
    }
    boxes += "]";
  }
  e.AddRaw("ink_boxes", boxes + "]");
  Log(e);
}

void Recorder::HandleVdtt(Session& s, const ByteReader& body, JsonEvent& e) {
  if (!body.Has(0, kSubHeaderSize + 32)) {
    e.Add("ignored", "short title message");
    return;
  }
  const uint32_t handle = body.Le32Or(0, 0), form = body.Le32Or(4, 0);
  const uint32_t kind = body.Le32Or(8, 0), type = body.Le32Or(12, 0);
  const uint32_t offset = body.Le32Or(32, 0), length = body.Le32Or(36, 0);
  const uint32_t sum = body.Le32Or(40, 0);
  e.Add("handle", handle).Add("form", form).Add("kind", kind).Add("type", type);
  e.Add("offset", offset).Add("piece_length", length);
  if (handle != s.id) e.Add("note", "handle of no session");

  if (kind == kRequest) {
    if (form == 0) {
      // The viewer asks for the recorder's titles.
      QueueVdtt(s, 1, kData, kWholeRecord, 0, kRecordSize, TitleSet().data());
      e.Add("answer", "title record");
    } else if (type == kFinished) {
      e.Add("message", "viewer finished");
    } else {
      uint32_t at = 0, size = 0;
      if (!Place(type, at, size)) {
        e.Add("ignored", "unknown type");
        return;
      }
      const uint32_t n = Cut(size, offset, std::min(length, kMaxPiece));
      QueueVdtt(s, 0, kData, type, offset, n, TitleSet().data() + at + (n ? offset : 0));
      e.Add("answer", "piece").Add("answer_length", n);
    }
    return;
  }
  if (kind != kData) {
    e.Add("ignored", "unknown kind");
    return;
  }

  // A piece: it must lie inside the message and match its byte sum.
  ByteReader piece(nullptr, 0);
  const bool whole = body.Sub(kSubHeaderSize + 32, length, piece);
  const bool sound = whole && length != 0 && Sum(piece.data(), length) == sum;
  e.Add("message", "title piece").Add("sum_ok", sound);
  if (form != 0) {
    e.Add("ignored", "title record not asked for");
    return;
  }
  uint32_t at = 0, size = 0;
  if (!Place(type, at, size)) {
    e.Add("ignored", "unknown type");
    return;
  }
  TitlePull& pull = s.titles;
  if (type == kRecordType && offset == 0 && !pull.active) {
    // An offer: the pull starts from what the recorder holds.
    pull.active = true;
    pull.staging = TitleSet();
    pull.retries = 0;
    e.Add("note", "title set offered");
  }
  if (!pull.active) {
    e.Add("ignored", "no title set offered");
    return;
  }
  const uint32_t n = sound ? Cut(size, offset, length) : 0;
  if (n) std::memcpy(&pull.staging[at + offset], piece.data(), n);
  if (!sound && offset < size && ++pull.retries <= kRetries) {
    RequestTitlePiece(s, type, offset);
    e.Add("request", "again");
    return;
  }
  pull.retries = 0;
  const uint32_t next = length == 0 ? size : offset + Cut(size, offset, length);
  if (next < size) {
    RequestTitlePiece(s, type, next);
    return;
  }
  const uint32_t* it = std::find(std::begin(kTypeOrder), std::end(kTypeOrder), type);
  if (it + 1 < std::end(kTypeOrder)) {
    RequestTitlePiece(s, *(it + 1), 0);
    return;
  }
  FinishTitlePull(s);
  e.Add("request", "finished");
}

}  // namespace tevrano::sim
