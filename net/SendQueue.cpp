#include "net/SendQueue.h"

#include "net/ModuleTable.h"

namespace tevrano {

int QueueMessage(RecorderContext& context, const uint8_t* message, uint32_t length) {
  ByteRing* ring = context.SendRing;
  LengthLog& log = context.SendLengthLog;
  if (!ring || !ring->Allocated() || !message) return -1;
  if (length == 0 || length > kMaxModuleMessage || length > ring->UsableFree()) return -1;
  if (log.WriteIndex - log.ReadIndex >= LengthLog::kEntries) return -1;
  if (ring->Write(message, length) != 0) return -1;
  log.Entries[log.WriteIndex % LengthLog::kEntries] = length;
  ++log.WriteIndex;
  return 0;
}

uint32_t TakeBatch(RecorderContext& context, uint8_t* into) {
  ByteRing* ring = context.SendRing;
  LengthLog& log = context.SendLengthLog;
  if (!ring || !ring->Allocated()) return 0;
  const uint32_t queued = ring->Used();
  if (queued == 0) return 0;
  uint32_t take = 0;
  if (queued <= kMaxModuleMessage) {
    take = queued;
    log.ReadIndex = log.WriteIndex;
  } else {
    while (log.ReadIndex != log.WriteIndex) {
      uint32_t& entry = log.Entries[log.ReadIndex % LengthLog::kEntries];
      if (take + entry > kMaxModuleMessage || take + entry > queued) break;
      take += entry;
      entry = 0;
      ++log.ReadIndex;
    }
    // A log out of step with the ring can never be taken: start afresh
    // rather than block the channel.
    if (take == 0) {
      EmptySendRing(context);
      return 0;
    }
  }
  ring->Read(into, take);
  return take;
}

void EmptySendRing(RecorderContext& context) {
  context.OwnSendRing.Allocate(RecorderContext::kSendRingSize);
  if (!context.SendRing) context.SendRing = &context.OwnSendRing;
  context.SendRing->Clear();
  context.SendLengthLog.Reset();
}

}  // namespace tevrano
