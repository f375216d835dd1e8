#include "net/CommandFrame.h"

#include <cstring>
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
  if (bodyLength < frame::kHeaderSize) return false;
  const uint32_t total = LoadLe32(body + frame::kLength);
  if (total < frame::kHeaderSize || total > bodyLength) return false;
  if (LoadLe32(body + frame::kMagicAt) != frame::kMagic) return false;
  out.totalLength = total;
  out.command = LoadLe32(body + frame::kCommand);
  out.sessionId = LoadLe32(body + frame::kSessionId);
  out.contextIndex = LoadLe32(body + frame::kContext);
  out.socketIndex = LoadLe32(body + frame::kSocket);
  out.payload = body + frame::kHeaderSize;
  out.payloadLength = total - frame::kHeaderSize;
  return true;
}

namespace {
constexpr std::string_view kStatusLine = "HTTP/1.1 200 OK\r\n";
constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kContentLength = "Content-Length: ";
constexpr uint32_t kMaxLengthText = 64;
}  // namespace

AnswerScan ScanAnswer(const uint8_t* bytes, uint32_t fill, uint32_t capacity) {
  AnswerScan scan;
  const std::string_view text(reinterpret_cast<const char*>(bytes), fill);
  // The status line, compared as far as it has arrived.
  const size_t prefix = fill < kStatusLine.size() ? fill : kStatusLine.size();
  if (text.substr(0, prefix) != kStatusLine.substr(0, prefix)) {
    scan.result = AnswerScan::Malformed;
    return scan;
  }
  const size_t end = fill < kStatusLine.size() ? std::string_view::npos : text.find(kHeaderEnd);
  if (end == std::string_view::npos) {
    if (fill >= capacity) scan.result = AnswerScan::Malformed;
    return scan;
  }
  const std::string_view header = text.substr(0, end + kHeaderEnd.size());
  const size_t at = header.find(kContentLength);
  if (at == std::string_view::npos) {
    scan.result = AnswerScan::Malformed;
    return scan;
  }
  // Every decimal digit up to the next carriage return counts; others are
  // skipped.
  uint64_t length = 0;
  size_t i = at + kContentLength.size();
  for (uint32_t seen = 0; i < header.size() && header[i] != '\r' && seen < kMaxLengthText;
       ++i, ++seen) {
    const char c = header[i];
    if (c < '0' || c > '9') continue;
    length = length * 10 + uint64_t(c - '0');
    if (length > capacity) break;
  }
  scan.headerLength = static_cast<uint32_t>(header.size());
  if (length > capacity || scan.headerLength + length > capacity) {
    scan.result = AnswerScan::Malformed;
    return scan;
  }
  scan.contentLength = static_cast<uint32_t>(length);
  if (scan.headerLength + length <= fill) scan.result = AnswerScan::Complete;
  return scan;
}

}  // namespace tevrano
