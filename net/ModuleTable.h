#pragma once
#include <cstdint>
#include <functional>

#include "base/ByteReader.h"

namespace tevrano {

// Module messages: a 32-byte header {total length (header included),
// tag, checksum of the body, 20 bytes zero} followed by the module's body.
constexpr uint32_t kModuleHeaderSize = 32;
namespace module_header {
constexpr uint32_t kTotal = 0, kTag = 4, kChecksum = 8, kReserved = 12, kReservedSize = 20;
}  // namespace module_header
// A message longer than this could never be taken into a poll's batch.
constexpr uint32_t kMaxModuleMessage = 1280;

// Checksum of a body of n bytes: the byte sum for n <= 1024, else the sum of
// the little-endian words at offsets 0, 1024, 2048, ... (n / 1024 of them).
uint32_t ModuleChecksum(const uint8_t* body, uint32_t n);

// The header of one received message; bodyLength bytes of body follow it.
struct ModuleHeader {
  uint32_t tag = 0;
  uint32_t checksum = 0;
  uint32_t bodyLength = 0;
};
// Reads the next message's header. False when the bytes left cannot hold a
// header, or the total it gives is shorter than the header or longer than
// the bytes left: the walk over a payload ends there.
bool ReadModuleHeader(ByteReader& r, ModuleHeader& out);

// Fills the header of a message whose body is already in place.
void FinishModuleMessage(uint8_t* message, uint32_t totalLength, uint32_t tag);

// A module's receive function gets its body, already copied into the
// module's buffer, and the body's length; it checks the length its records
// need before reading them.
using ModuleReceive = std::function<void(const uint8_t* body, uint32_t length)>;
// A module's send function builds a message from a module-specific argument
// record and queues it; its result is passed back by SendToModule.
using ModuleSend = std::function<int(const void* record)>;

struct ModuleEntry {
  uint32_t Used = 0;
  uint32_t Tag = 0;
  ModuleReceive Receive;
  ModuleSend Send;
  uint8_t* Buffer = nullptr;  // receives message bodies; owned by the module
  uint32_t BufferSize = 0;
};

// The protocol modules, keyed by tag. Filled at start-up on the control's
// thread; lookups take the first entry with a tag.
class ModuleTable {
 public:
  static constexpr int kEntries = 32;

  // Puts the module into the first free entry; ignored when all are used.
  void RegisterModule(uint32_t tag, ModuleReceive receive, ModuleSend send, uint8_t* buffer,
                      uint32_t bufferSize);
  ModuleEntry* Find(uint32_t tag);
  // Hands each whole message of a payload to its module, in order: the body
  // is copied into the module's buffer and passed on when its checksum
  // holds. A body larger than the buffer is skipped, never copied. The walk
  // ends at the first message whose length does not fit, or after
  // kMaxMessagesPerPayload.
  static constexpr int kMaxMessagesPerPayload = 1000;
  void DispatchMessages(ByteReader payload);
  // Calls the send function of the module with the tag; 0 when none.
  int SendToModule(uint32_t tag, const void* record);
  const ModuleEntry& Entry(int i) const { return entries_[i]; }

 private:
  ModuleEntry entries_[kEntries];
};

}  // namespace tevrano
