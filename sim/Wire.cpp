#include "Wire.h"

#include <cstring>

namespace tevrano::sim {

std::optional<CommandFrameHeader> ReadCommandFrameHeader(const ByteReader& bytes) {
  if (!bytes.Has(0, kFrameHeaderSize)) return std::nullopt;
  if (bytes.Le32Or(4, 0) != kFrameMagic) return std::nullopt;
  CommandFrameHeader h;
  h.length = bytes.Le32Or(0, 0);
  h.command = bytes.Le32Or(8, 0);
  h.sessionId = bytes.Le32Or(12, 0);
  h.credentials = bytes.Text(16, 32);
  h.contextIndex = bytes.Le32Or(52, 0);
  h.socketIndex = bytes.Le32Or(56, 0);
  return h;
}

std::vector<uint8_t> BuildCommandFrame(uint32_t command, uint32_t sessionId, uint32_t contextIndex,
                                       uint32_t socketIndex, const std::vector<uint8_t>& payload,
                                       const std::string& credentials) {
  std::vector<uint8_t> f(kFrameHeaderSize + payload.size(), 0);
  PutLe32(&f[0], uint32_t(f.size()));
  PutLe32(&f[4], kFrameMagic);
  PutLe32(&f[8], command);
  PutLe32(&f[12], sessionId);
  std::memcpy(&f[16], credentials.data(), std::min<size_t>(credentials.size(), 31));
  PutLe32(&f[52], contextIndex);
  PutLe32(&f[56], socketIndex);
  if (!payload.empty()) std::memcpy(&f[kFrameHeaderSize], payload.data(), payload.size());
  return f;
}

std::vector<uint8_t> WrapAnswer(const std::vector<uint8_t>& body) {
  std::string head =
      "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
      std::to_string(body.size()) + "\r\n\r\n";
  std::vector<uint8_t> out(head.begin(), head.end());
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

uint32_t ModuleChecksum(const uint8_t* body, size_t size) {
  uint32_t sum = 0;
  if (size <= 1024) {
    for (size_t i = 0; i < size; ++i) sum += body[i];
  } else {
    for (size_t i = 0; i < size / 1024; ++i) sum += GetLe32(body + i * 1024);
  }
  return sum;
}

std::vector<uint8_t> BuildModuleMessage(uint32_t tag, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> m(kModuleHeaderSize + body.size(), 0);
  PutLe32(&m[0], uint32_t(m.size()));
  PutLe32(&m[4], tag);
  PutLe32(&m[8], ModuleChecksum(body.data(), body.size()));
  if (!body.empty()) std::memcpy(&m[kModuleHeaderSize], body.data(), body.size());
  return m;
}

std::vector<uint8_t> BuildSubHeaderBody(uint32_t sessionId, uint32_t word1,
                                        const std::vector<uint8_t>& data,
                                        std::initializer_list<uint32_t> moreWords) {
  std::vector<uint8_t> b(kSubHeaderSize + data.size(), 0);
  PutLe32(&b[0], sessionId);
  PutLe32(&b[4], word1);
  size_t at = 8;
  for (uint32_t w : moreWords) {
    if (at + 4 > kSubHeaderSize) break;
    PutLe32(&b[at], w);
    at += 4;
  }
  if (!data.empty()) std::memcpy(&b[kSubHeaderSize], data.data(), data.size());
  return b;
}

bool WalkModuleMessages(const ByteReader& payload,
                        const std::function<void(const ModuleMessageView&)>& visit) {
  size_t offset = 0;
  for (int count = 0; count < 1000; ++count) {
    if (!payload.Has(offset, kModuleHeaderSize)) return payload.size() == offset;
    uint32_t length = payload.Le32Or(offset, 0);
    if (length < kModuleHeaderSize || !payload.Has(offset, length)) return false;
    ModuleMessageView m;
    m.length = length;
    m.tag = payload.Le32Or(offset + 4, 0);
    m.checksum = payload.Le32Or(offset + 8, 0);
    payload.Sub(offset + kModuleHeaderSize, length - kModuleHeaderSize, m.body);
    m.checksumOk = ModuleChecksum(m.body.data(), m.body.size()) == m.checksum;
    visit(m);
    offset += length;
  }
  return true;
}

}  // namespace tevrano::sim
