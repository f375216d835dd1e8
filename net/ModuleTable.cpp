#include "net/ModuleTable.h"

#include <cstring>

#include "base/ByteReader.h"

namespace tevrano {

uint32_t ModuleChecksum(const uint8_t* body, uint32_t n) {
  uint32_t sum = 0;
  if (n <= 1024) {
    for (uint32_t i = 0; i < n; ++i) sum += body[i];
    return sum;
  }
  for (uint32_t i = 0; i < n / 1024; ++i) sum += LoadLe32(body + i * 1024);
  return sum;
}

void FinishModuleMessage(uint8_t* message, uint32_t totalLength, uint32_t tag) {
  using namespace module_header;
  StoreLe32(message + kTotal, totalLength);
  StoreLe32(message + kTag, tag);
  StoreLe32(message + kChecksum,
            ModuleChecksum(message + kModuleHeaderSize, totalLength - kModuleHeaderSize));
  std::memset(message + kReserved, 0, kReservedSize);
}

bool ReadModuleHeader(ByteReader& r, ModuleHeader& out) {
  ByteReader header;
  if (!r.Sub(kModuleHeaderSize, header)) return false;
  uint32_t total = 0;
  header.Le32At(module_header::kTotal, total);
  if (total < kModuleHeaderSize || total - kModuleHeaderSize > r.Remaining()) return false;
  header.Le32At(module_header::kTag, out.tag);
  header.Le32At(module_header::kChecksum, out.checksum);
  out.bodyLength = total - kModuleHeaderSize;
  return true;
}

void ModuleTable::DispatchMessages(ByteReader payload) {
  ModuleHeader h;
  for (int n = 0; n < kMaxMessagesPerPayload && ReadModuleHeader(payload, h); ++n) {
    ModuleEntry* module = Find(h.tag);
    if (!module || !module->Receive || h.bodyLength > module->BufferSize) {
      payload.Skip(h.bodyLength);
      continue;
    }
    payload.Bytes(module->Buffer, h.bodyLength);
    if (ModuleChecksum(module->Buffer, h.bodyLength) == h.checksum)
      module->Receive(module->Buffer, h.bodyLength);
  }
}

void ModuleTable::RegisterModule(uint32_t tag, ModuleReceive receive, ModuleSend send,
                                 uint8_t* buffer, uint32_t bufferSize) {
  for (ModuleEntry& e : entries_) {
    if (e.Used == 1) continue;
    e.Used = 1;
    e.Tag = tag;
    e.Receive = std::move(receive);
    e.Send = std::move(send);
    e.Buffer = buffer;
    e.BufferSize = buffer ? bufferSize : 0;
    return;
  }
}

ModuleEntry* ModuleTable::Find(uint32_t tag) {
  for (ModuleEntry& e : entries_)
    if (e.Used == 1 && e.Tag == tag) return &e;
  return nullptr;
}

int ModuleTable::SendToModule(uint32_t tag, const void* record) {
  ModuleEntry* e = Find(tag);
  if (!e || !e->Send) return 0;
  return e->Send(record);
}

}  // namespace tevrano
