#include "net/CommandFrame.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>

#include "base/ByteReader.h"

namespace tevrano {

void WriteCommandFrameHeader(uint8_t* out, const CommandFrameFields& f, uint32_t payloadLength) {
  std::memset(out, 0, frame::kHeaderSize);
  StoreLe32(out + frame::kLength, frame::kHeaderSize + payloadLength);
  StoreLe32(out + frame::kMagicAt, frame::kMagic);
  StoreLe32(out + frame::kCommand, f.command);
  StoreLe32(out + frame::kSessionId, f.sessionId);
  if (f.credentials) PutText(out + frame::kCredentials, 32, f.credentials);
  StoreLe32(out + frame::kContext, f.contextIndex);
  StoreLe32(out + frame::kSocket, f.socketIndex);
}

bool ReadCommandFrame(const uint8_t* body, uint32_t bodyLength, ReceivedFrame& out) {
  ByteReader r(body, bodyLength);
  ByteReader header;
  if (!r.Sub(frame::kHeaderSize, header)) return false;
  ReceivedFrame f;
  uint32_t magic = 0;
  header.Le32At(frame::kLength, f.totalLength);
  header.Le32At(frame::kMagicAt, magic);
  if (f.totalLength < frame::kHeaderSize || magic != frame::kMagic) return false;
  header.Le32At(frame::kCommand, f.command);
  header.Le32At(frame::kSessionId, f.sessionId);
  header.Le32At(frame::kContext, f.contextIndex);
  header.Le32At(frame::kSocket, f.socketIndex);
  // The payload must lie inside the body.
  if (!r.Span(f.totalLength - frame::kHeaderSize, f.payload)) return false;
  out = f;
  return true;
}

namespace {
constexpr std::string_view kStatusLine = "HTTP/1.1 200 OK\r\n";
constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kContentLength = "Content-Length: ";
constexpr uint32_t kMaxLengthText = 64;

std::string_view AsText(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The Content-Length value: every decimal digit up to the next carriage
// return counts (at most kMaxLengthText characters), others are skipped.
// Stops growing once it passes `limit`.
uint64_t ReadContentLength(ByteReader r, uint64_t limit) {
  uint64_t length = 0;
  uint8_t c = 0;
  for (uint32_t seen = 0; seen < kMaxLengthText && r.U8(c) && c != '\r'; ++seen) {
    if (c < '0' || c > '9') continue;
    length = length * 10 + uint64_t(c - '0');
    if (length > limit) break;
  }
  return length;
}
}  // namespace

AnswerScan ScanAnswer(const uint8_t* bytes, uint32_t fill, uint32_t capacity) {
  AnswerScan scan;
  ByteReader r(bytes, fill);
  // The status line, compared as far as it has arrived.
  std::span<const uint8_t> status;
  r.Span(std::min<size_t>(fill, kStatusLine.size()), status);
  if (AsText(status) != kStatusLine.substr(0, status.size())) {
    scan.result = AnswerScan::Malformed;
    return scan;
  }
  r.Seek(0);
  const size_t end = status.size() < kStatusLine.size() ? std::string_view::npos
                                                        : AsText(r.Rest()).find(kHeaderEnd);
  if (end == std::string_view::npos) {
    if (fill >= capacity) scan.result = AnswerScan::Malformed;
    return scan;
  }
  ByteReader header;
  r.Sub(end + kHeaderEnd.size(), header);
  const size_t at = AsText(header.Rest()).find(kContentLength);
  if (at == std::string_view::npos || !header.Seek(at + kContentLength.size())) {
    scan.result = AnswerScan::Malformed;
    return scan;
  }
  const uint64_t length = ReadContentLength(header, capacity);
  scan.headerLength = static_cast<uint32_t>(header.Size());
  if (length > capacity || scan.headerLength + length > capacity) {
    scan.result = AnswerScan::Malformed;
    return scan;
  }
  scan.contentLength = static_cast<uint32_t>(length);
  if (scan.headerLength + length <= fill) scan.result = AnswerScan::Complete;
  return scan;
}

}  // namespace tevrano
