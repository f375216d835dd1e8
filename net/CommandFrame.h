#pragma once
#include <cstdint>
#include <span>

namespace tevrano {

// CommandFrame: a 64-byte header then the payload; integers 32-bit
// little-endian.
//   0 total length (64 + payload)   4 magic "ULCM"      8 command
//  12 SessionId                     16 credentials (32 bytes, zero-filled)
//  48 reserved                      52 context index   56 socket index
//  60 reserved                      64 payload
namespace frame {
constexpr uint32_t kHeaderSize = 64;
constexpr uint32_t kMagic = 0x4D434C55;  // "ULCM"
constexpr uint32_t kLength = 0, kMagicAt = 4, kCommand = 8, kSessionId = 12, kCredentials = 16,
                   kContext = 52, kSocket = 56;
constexpr uint32_t kStreamSocketIndex = 2;  // socket index of the stream request
}  // namespace frame

enum Command : uint32_t {
  kCmdHello = 0,
  kCmdAssign = 1,
  kCmdPoll = 2,
  kCmdReply = 3,
  kCmd4 = 4,
  kCmdExchange = 5,
  kCmd6 = 6,
};

struct CommandFrameFields {
  uint32_t command = 0;
  uint32_t sessionId = 0;
  const char* credentials = nullptr;  // 32-byte field
  uint32_t contextIndex = 0;
  uint32_t socketIndex = 0;
};

// Writes the 64-byte header for a payload of payloadLength bytes that the
// caller places at out + 64.
void WriteCommandFrameHeader(uint8_t* out, const CommandFrameFields& fields,
                             uint32_t payloadLength);

// A received frame's header, checked: total length at least 64 and at most
// the body's length, and the magic. False when the frame must be dropped.
struct ReceivedFrame {
  uint32_t totalLength = 0;
  uint32_t command = 0;
  uint32_t sessionId = 0;
  uint32_t contextIndex = 0;
  uint32_t socketIndex = 0;
  std::span<const uint8_t> payload;  // inside the body that was read
};
bool ReadCommandFrame(const uint8_t* body, uint32_t bodyLength, ReceivedFrame& out);

// Answer framing: "HTTP/1.1 200 OK\r\n" at the very start, header lines up
// to an empty line, then Content-Length bytes of body.
struct AnswerScan {
  enum Result {
    Incomplete,  // wait for more bytes
    Complete,    // an answer of headerLength + contentLength bytes is there
    Malformed,   // the bytes can never make an answer: drop them
  };
  Result result = Incomplete;
  uint32_t headerLength = 0;
  uint32_t contentLength = 0;
};
// Scans the first `fill` bytes of a buffer that can hold `capacity`. An
// answer that cannot fit the buffer, or a header that has filled it without
// ending, is Malformed: waiting would block the socket for ever.
AnswerScan ScanAnswer(const uint8_t* bytes, uint32_t fill, uint32_t capacity);

}  // namespace tevrano
