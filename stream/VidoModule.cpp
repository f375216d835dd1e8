#include "stream/VidoModule.h"

#include <cstring>

#include "net/ModuleTable.h"
#include "net/SendQueue.h"
#include "stream/FrameHeader.h"
#include "stream/StreamConnection.h"

namespace tevrano {

VidoModule::VidoModule(RecorderContext* contexts[2], Route route)
    : contexts_{contexts[0], contexts[1]},
      route_(std::move(route)),
      scratch_(std::make_unique<uint8_t[]>(kMaxPacket)) {
  for (int i = 0; i < 2; ++i) {
    if (!contexts_[i]) continue;
    contexts_[i]->Vido = &states_[i];
    // A fresh queue follows the sequence numbers of its first packet.
    contexts_[i]->DeliveryQueue.Follow = PacketQueue::FollowAny;
  }
}

RecorderContext* VidoModule::FindBySession(uint32_t sessionId) {
  for (RecorderContext* c : contexts_)
    if (c && c->SessionId == sessionId) return c;
  return nullptr;
}

bool VidoModule::OneConnection(const RecorderContext& c) {
  if (!c.Zell) return true;
  return LoadLe32(c.Zell->SystemInfo + system_info::kConnections) < 2;
}

void VidoModule::Receive(const uint8_t* body, uint32_t length) {
  ByteReader r(body, length);
  uint32_t sessionId = 0, subCommand = 0;
  if (!r.Le32(sessionId) || !r.Le32(subCommand) || !r.Seek(kSubHeader)) return;
  RecorderContext* c = FindBySession(sessionId);
  if (!c || subCommand != kSubCommandPacket) return;  // sub-command 1 has no receive action
  const std::span<const uint8_t> packet = r.Rest();
  StorePacket(*c, packet.data(), static_cast<uint32_t>(packet.size()));
}

int VidoModule::StorePacket(RecorderContext& c, const uint8_t* packet, uint32_t available) {
  TransportHeader t;
  if (!TransportHeader::Parse({packet, available}, t)) return -1;
  if (t.channel >= kChannels) return -1;
  if (c.Stream) {
    c.Stream->Pacers[t.channel].LatestSeconds = t.seconds;
    c.Stream->Pacers[t.channel].LatestFrame = t.frame;
  }
  const uint32_t n = t.total;
  if (n == 0) return 0;
  if (n > available || n >= kMaxPacket || n < TransportHeader::kSize + FrameHeader::kSize)
    return -1;

  Enqueue(c, packet, n, t.delivery, t.deliveryType);
  return 0;
}

void VidoModule::FollowSession(RecorderContext& c) {
  if (!c.Vido || c.Vido->Session == c.SessionId) return;
  c.Vido->Session = c.SessionId;
  ClearQueue(c);
  c.DeliveryQueue.Follow = PacketQueue::FollowAny;
}

// Sequences are compared wrap-aware: a packet is late when its number does
// not come after the last delivered one.
void VidoModule::Enqueue(RecorderContext& c, const uint8_t* packet, uint32_t n, uint32_t sequence,
                         uint32_t deliveryType) {
  FollowSession(c);
  PacketQueue& q = c.DeliveryQueue;
  ++q.Received;
  ++q.SinceDelivery;
  if (q.Waiting == 0) q.LocalSequence = 1;
  if (OneConnection(c)) sequence = q.LastDelivered + q.LocalSequence++;  // arrival order

  const bool late = static_cast<int32_t>(sequence - q.LastDelivered) <= 0;
  if (q.Follow == PacketQueue::FollowAny || q.SinceDelivery > PacketQueue::kSlots - 1) {
    // The run starts here; after too many arrivals without a delivery a
    // lost number no longer holds back what follows it. Neither needs the
    // packet to have been stored first.
    RestartQueue(q, sequence - 1);
  } else if (late) {
    return;  // already delivered or given up: dropped, holding no slot and no bytes
  }

  uint32_t slot = q.Received % PacketQueue::kSlots;
  // A slot still holding a packet is never overwritten: take the next free
  // one, or give up the stale packet when all are held.
  for (uint32_t i = 0; i < PacketQueue::kSlots && q.Slots[slot].Length != 0; ++i)
    slot = (slot + 1) % PacketQueue::kSlots;
  if (q.Slots[slot].Length != 0) {
    q.Slots[slot].Length = 0;
    --q.Waiting;
  }

  ByteRing& assembly = c.VideoAssembly;
  ProtectWaitingPackets(c);
  uint32_t offset = assembly.WritePos();
  if (assembly.Write(packet, n) != 0) {
    if (q.Waiting == 0) {
      // Too large for the assembly: its place is skipped.
      if (sequence == q.LastDelivered + 1) q.LastDelivered = sequence;
      return;
    }
    // The assembly is full behind a missing number: that place is given
    // up, what waits is handed on at once, and the packet stored after it.
    uint32_t first = sequence;
    for (const DeliverySlot& s : q.Slots)
      if (s.Length != 0 && static_cast<int32_t>(s.Sequence - first) < 0) first = s.Sequence;
    q.LastDelivered = first - 1;
    DeliverPackets(c);
    if (static_cast<int32_t>(sequence - q.LastDelivered) <= 0) return;  // late now
    ProtectWaitingPackets(c);
    offset = assembly.WritePos();
    if (assembly.Write(packet, n) != 0) return;
  }
  q.Slots[slot] = {sequence, offset, n, deliveryType};
  ++q.Waiting;
}

// The free space of VideoAssembly ends at the oldest packet still waiting.
void VidoModule::ProtectWaitingPackets(RecorderContext& c) {
  ByteRing& ring = c.VideoAssembly;
  if (!ring.Allocated()) return;
  const uint32_t size = ring.Size();
  uint32_t nearest = size, readPos = ring.WritePos();
  if (c.DeliveryQueue.Waiting != 0) {
    for (const DeliverySlot& s : c.DeliveryQueue.Slots) {
      if (s.Length == 0) continue;
      const uint32_t ahead = (s.Offset + size - ring.WritePos()) % size;
      if (ahead != 0 && ahead < nearest) nearest = ahead, readPos = s.Offset;
    }
  }
  ring.SetReadPos(readPos);
}

void VidoModule::RestartQueue(PacketQueue& q, uint32_t lastDelivered) {
  for (DeliverySlot& s : q.Slots) s.Length = 0;
  q.Received = 0;
  q.Waiting = 0;
  q.SinceDelivery = 0;  // else every further arrival would restart it again
  q.LastDelivered = lastDelivered;
  q.Follow = PacketQueue::InOrder;
}

void VidoModule::ClearQueue(RecorderContext& c) {
  PacketQueue& q = c.DeliveryQueue;
  // Whatever was received before is late from now on: the newest number
  // seen becomes the last delivered one.
  for (DeliverySlot& s : q.Slots) {
    if (s.Length != 0 && static_cast<int32_t>(s.Sequence - q.LastDelivered) > 0)
      q.LastDelivered = s.Sequence;
    s.Length = 0;
  }
  q.Received = q.Waiting = 0;
  q.SinceDelivery = 0;
  q.LocalSequence = 1;
  if (q.Follow == PacketQueue::InOrder) q.Follow = PacketQueue::FollowAfterLast;
}

// After a clear the run starts at the next number once it waits, else at
// the lowest number waiting whose successor waits too: with two connections
// the packets alternate between them, and the first answer in may hold
// only every second number, the run's first packet coming in the other's.
bool VidoModule::FindRunStart(PacketQueue& q) {
  bool found = false;
  uint32_t start = 0;
  for (const DeliverySlot& s : q.Slots) {
    if (s.Length == 0 || static_cast<int32_t>(s.Sequence - q.LastDelivered) <= 0) continue;
    if (s.Sequence == q.LastDelivered + 1) {
      q.Follow = PacketQueue::InOrder;
      return true;
    }
    if (found && static_cast<int32_t>(s.Sequence - start) >= 0) continue;
    for (const DeliverySlot& t : q.Slots)
      if (t.Length != 0 && t.Sequence == s.Sequence + 1) {
        found = true;
        start = s.Sequence;
        break;
      }
  }
  if (!found) return false;
  q.LastDelivered = start - 1;
  q.Follow = PacketQueue::InOrder;
  return true;
}

void VidoModule::DeliverPackets(RecorderContext& c) {
  FollowSession(c);
  PacketQueue& q = c.DeliveryQueue;
  ByteRing& assembly = c.VideoAssembly;
  if (q.Follow == PacketQueue::FollowAfterLast && q.Waiting != 0 && !FindRunStart(q)) return;
  bool delivered = true;
  for (uint32_t pass = 0; pass < PacketQueue::kSlots && q.Waiting != 0 && delivered; ++pass) {
    delivered = false;
    for (DeliverySlot& s : q.Slots) {
      if (s.Length == 0) continue;
      if (static_cast<int32_t>(s.Sequence - q.LastDelivered) <= 0) {
        s.Length = 0;  // given up: its place has been passed
        --q.Waiting;
        continue;
      }
      if (s.Sequence != q.LastDelivered + 1) continue;
      q.LastDelivered = s.Sequence;
      q.SinceDelivery = 0;
      q.LocalSequence = 1;
      assembly.SetReadPos(s.Offset);
      if (assembly.Peek(scratch_.get(), s.Length) == 0 && route_)
        route_(int(c.Index), scratch_.get(), s.Length, s.DeliveryType);
      s.Length = 0;
      --q.Waiting;
      delivered = true;
    }
  }
  if (q.Waiting == 0 && assembly.Allocated()) assembly.SetReadPos(assembly.WritePos());
}

void VidoModule::RequestVideo(uint32_t sessionId) {
  RecorderContext* c = FindBySession(sessionId);
  if (!c) return;
  VidoState& state = states_[c->Index & 1];
  std::memset(state.VideoStatus, 0, sizeof state.VideoStatus);
  if (c->Stream && c->Stream->MainRing.Allocated()) {
    const uint32_t free = c->Stream->MainRing.UsableFree();
    StoreLe32(state.VideoStatus + 128, free > 0x80000 ? free - 0x80000 : 0);
    StoreLe32(state.VideoStatus + 152, c->Stream->MainRing.Size());
  }
  std::memset(message_, 0, sizeof message_);
  StoreLe32(message_ + 32, sessionId);
  StoreLe32(message_ + 36, 1);
  std::memcpy(message_ + 32 + kSubHeader, state.VideoStatus, kStatusBytes);
  FinishModuleMessage(message_, sizeof message_, kTag);
  QueueMessage(*c, message_, sizeof message_);
}

}  // namespace tevrano
