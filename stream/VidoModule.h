#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "base/ByteReader.h"
#include "net/RecorderContext.h"

namespace tevrano {

// The "VIDO" module's state of one context.
struct VidoState {
  uint32_t Value100 = 100;  // two fields a peer's hello puts back to 100 and 0
  uint32_t Value0 = 0;
  uint8_t VideoStatus[256] = {};  // the last status sent
  uint32_t Session = 0;           // the SessionId the delivery queue follows
  void Restart() { Value100 = 100, Value0 = 0; }
};

// Video over the command channel: packets arrive as "VIDO" messages, maybe
// out of order over two command connections, wait in the context's
// DeliveryQueue (bytes in its 2 MiB VideoAssembly ring) and are handed on
// in sequence. Runs on the control's thread.
class VidoModule {
 public:
  static constexpr uint32_t kTag = Tag("VIDO");
  static constexpr uint32_t kSubHeader = 32;        // SessionId, sub-command, 24 zero bytes
  static constexpr uint32_t kSubCommandPacket = 0;  // the sub-command that carries a packet
  static constexpr uint32_t kStatusBytes = 256;
  static constexpr uint32_t kMaxPacket = 0x40000;  // transport totals stay below this

  // Hands one delivered packet (context index, bytes, length, delivery type)
  // to the stream connection.
  using Route = std::function<void(int context, const uint8_t* packet, uint32_t n, uint32_t type)>;

  VidoModule(RecorderContext* contexts[2], Route route);

  // The module's receive function: sub-command 0 carries one packet.
  void Receive(const uint8_t* body, uint32_t length);
  // Stores one transport-framed packet of a context; `available` bytes lie
  // at `packet`. Returns -1 when the packet is refused as malformed.
  int StorePacket(RecorderContext& c, const uint8_t* packet, uint32_t available);
  // Delivers the waiting packets that are next in sequence.
  void DeliverPackets(RecorderContext& c);
  // Queues the buffer status: sub-command 1 with the VideoStatus.
  void RequestVideo(uint32_t sessionId);
  // Clears the queue (the view switched). Packets numbered up to the last
  // one received are late from then on; the next later one starts the run.
  static void ClearQueue(RecorderContext& c);

  VidoState& State(int context) { return states_[context]; }

 private:
  RecorderContext* FindBySession(uint32_t sessionId);
  static bool OneConnection(const RecorderContext& c);
  // Puts one checked packet into the queue under its delivery sequence.
  void Enqueue(RecorderContext& c, const uint8_t* packet, uint32_t n, uint32_t sequence,
               uint32_t deliveryType);
  // A context that logged in again numbers its packets afresh.
  static void FollowSession(RecorderContext& c);
  static void RestartQueue(PacketQueue& q, uint32_t lastDelivered);
  // After a clear: whether the run can start, and where (LastDelivered).
  static bool FindRunStart(PacketQueue& q);
  static void ProtectWaitingPackets(RecorderContext& c);

  RecorderContext* contexts_[2];
  Route route_;
  VidoState states_[2];
  std::unique_ptr<uint8_t[]> scratch_;  // one packet read out of VideoAssembly
  uint8_t message_[32 + kSubHeader + kStatusBytes] = {};
};

}  // namespace tevrano
