#pragma once
#include <cstdint>

#include "net/RecorderContext.h"

namespace tevrano {

// The command channel's send queue: whole module messages in the context's
// SendRing, their lengths in its SendLengthLog.

// Appends one message; dropped (-1) when empty, longer than a batch can
// carry, larger than the ring's usable free space or when the length log is
// full.
int QueueMessage(RecorderContext& context, const uint8_t* message, uint32_t length);

// Takes the next batch for an Exchange frame into `into` (room for
// kMaxModuleMessage bytes): everything when at most 1280 bytes are queued,
// else whole messages in queue order while the total stays within 1280.
// Returns the number of bytes taken.
uint32_t TakeBatch(RecorderContext& context, uint8_t* into);

// Empties the SendRing (allocating it on first use) together with its
// length log, so that no stale length can split later messages.
void EmptySendRing(RecorderContext& context);

}  // namespace tevrano
