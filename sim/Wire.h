// The recorder's command protocol as the simulator speaks it: command
// frames (64-byte header "ULCM"), HTTP-wrapped answers, module messages
// (32-byte header: total length, tag word, body checksum) and the
// 32-byte module sub-header {SessionId, type or operation, ...}.
// All integers 32-bit little-endian.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Bytes.h"

namespace tevrano::sim {

constexpr uint32_t kFrameMagic = Tag("ULCM");
constexpr size_t kFrameHeaderSize = 64;
constexpr size_t kModuleHeaderSize = 32;
constexpr size_t kSubHeaderSize = 32;
// Longest frame the simulator accepts from a viewer (viewers send at most
// 1280 bytes of module messages; the stream request is 320 bytes).
constexpr uint32_t kMaxRequestFrame = 64 * 1024;

enum Command : uint32_t {
  kHello = 0,
  kAssign = 1,
  kPoll = 2,
  kReply = 3,
  kExchange = 5,
};

struct CommandFrameHeader {
  uint32_t length = 0;
  uint32_t command = 0;
  uint32_t sessionId = 0;
  std::string credentials;  // the 32-byte field, up to its first zero
  uint32_t contextIndex = 0;
  uint32_t socketIndex = 0;
};

// Reads the header of a frame; empty when shorter than 64 bytes or without
// the magic.
std::optional<CommandFrameHeader> ReadCommandFrameHeader(const ByteReader& bytes);

std::vector<uint8_t> BuildCommandFrame(uint32_t command, uint32_t sessionId, uint32_t contextIndex,
                                       uint32_t socketIndex, const std::vector<uint8_t>& payload,
                                       const std::string& credentials = {});

// "HTTP/1.1 200 OK", Content-Length and the body.
std::vector<uint8_t> WrapAnswer(const std::vector<uint8_t>& body);

// Byte sum for bodies up to 1024 bytes; above, the sum of the 32-bit words
// at offsets 0, 1024, 2048, ... Wraps at 32 bits.
uint32_t ModuleChecksum(const uint8_t* body, size_t size);

std::vector<uint8_t> BuildModuleMessage(uint32_t tag, const std::vector<uint8_t>& body);

// Sub-header {SessionId, word1, word2..} followed by data.
std::vector<uint8_t> BuildSubHeaderBody(uint32_t sessionId, uint32_t word1,
                                        const std::vector<uint8_t>& data,
                                        std::initializer_list<uint32_t> moreWords = {});

struct ModuleMessageView {
  uint32_t tag = 0;
  uint32_t length = 0;
  uint32_t checksum = 0;
  bool checksumOk = false;
  ByteReader body{nullptr, 0};
};

// Walks the module messages of a payload, at most 1000; a length below 32
// or past the end ends the walk. Returns false when the walk ended on a
// bad length.
bool WalkModuleMessages(const ByteReader& payload,
                        const std::function<void(const ModuleMessageView&)>& visit);

}  // namespace tevrano::sim
