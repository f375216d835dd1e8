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
  StoreLe32(message, totalLength);
  StoreLe32(message + 4, tag);
  StoreLe32(message + 8,
          ModuleChecksum(message + kModuleHeaderSize, totalLength - kModuleHeaderSize));
  std::memset(message + 12, 0, 20);
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
