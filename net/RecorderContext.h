#pragma once
#include <cstdint>
#include <memory>

#include "base/ByteRing.h"
#include "base/Ticks.h"
#include "platform/ClientSocket.h"

namespace tevrano {

// Per-context states of modules that live in other folders; each module
// defines its own record and links it into the context at start-up.
struct ViewState;         // "ICMD"
struct VidoState;         // "VIDO"
struct PbbaState;         // "PBBA"
struct VdttState;         // "VDTT"
struct SpdmState;         // "SPDM"
struct IctlState;         // "ICTL"
struct StreamConnection;  // the stream rings and pacers of one connection

// Two recorder contexts exist (only context 0 ever connects), each with two
// command sockets; indexes from the wire name one of them or nothing.
constexpr uint32_t kContexts = 2;
constexpr uint32_t kCommandSockets = 2;

// Login states of a context.
enum LoginStateValue : uint32_t { kLoginNone = 0, kLoginHelloSent = 3, kLoginAssigned = 4 };
// Per-command-socket connection states.
enum ConnStateValue : uint32_t { kConnIdle = 0, kConnConnecting = 1, kConnReconnectWanted = 2 };

// A linear receive buffer, filled from the start; Fill bytes are valid.
struct ReceiveBuffer {
  static constexpr uint32_t kSize = 294912;  // 0x48000
  uint32_t Fill = 0;
  uint32_t Capacity = 0;
  std::unique_ptr<uint8_t[]> Base;

  void Allocate() {
    if (Base) return;
    Base = std::make_unique<uint8_t[]>(kSize);
    Capacity = kSize;
  }
  // Empties the buffer, allocating it on first use.
  void Empty() {
    Allocate();
    Fill = 0;
  }
};

// Lengths of the messages queued in the SendRing, in queue order; entry i is
// at index i % 4096. Indexes count up and are taken modulo 4096.
struct LengthLog {
  static constexpr uint32_t kEntries = 4096;
  uint32_t ReadIndex = 0;
  uint32_t WriteIndex = 0;
  uint32_t Entries[kEntries] = {};

  void Reset() { ReadIndex = WriteIndex = 0; }
};

// The reordering queue of packets that arrive as "VIDO" messages.
struct DeliverySlot {
  uint32_t Sequence = 0;
  uint32_t Offset = 0;  // in VideoAssembly
  uint32_t Length = 0;  // 0 = free
  uint32_t DeliveryType = 0;
};

struct PacketQueue {
  static constexpr uint32_t kSlots = 512;
  DeliverySlot Slots[kSlots];
  uint32_t Received = 0;
  uint32_t SinceDelivery = 0;
  uint32_t LastDelivered = 0;
  uint32_t Waiting = 0;
  uint32_t LocalSequence = 0;
  // How the next arrival is taken: in order, or as the start of the run
  // (FollowAfterLast: only when it comes after LastDelivered, later
  // arrivals of what went before being late; FollowAny: whatever its
  // number, as a new session numbers afresh).
  enum Follow : uint32_t { InOrder = 0, FollowAfterLast = 1, FollowAny = 2 };
  uint32_t Follow = FollowAny;
};

// The "ZELL" module's state of one context (516 bytes).
struct ZellState {
  uint8_t SystemInfo[256] = {};  // the recorder's system information
  uint8_t PeerHello[256] = {};   // a peer's hello (the recorder's role)
  uint32_t Kind = 0;             // the peer's kind, first word of its hello
};

// Offsets in SystemInfo.
namespace system_info {
constexpr uint32_t kChannels = 0;
constexpr uint32_t kValue4 = 4;
constexpr uint32_t kValue8 = 8;
constexpr uint32_t kTexts[4] = {12, 44, 76, 108};  // OS version, serial, board, model
constexpr uint32_t kConnections = 148;
constexpr uint32_t kSize = 256;
}  // namespace system_info

// One recorder connection: login, command sockets, buffers and links to the
// modules' per-context state. Two exist; only context 0 is ever connected.
struct RecorderContext {
  static constexpr uint32_t kSendRingSize = 16384;
  static constexpr uint32_t kVideoAssemblySize = 0x200000;  // 2 MiB

  uint32_t Index = 0;
  uint32_t LoggedIn = 0;
  uint32_t SessionId = 0;
  uint32_t LoginState = kLoginNone;
  char CredentialToken[32] = {};  // copy of DVR_UK, at most 31 characters
  char UserName[32] = {};
  char Password[32] = {};
  uint32_t ConnState[2] = {kConnIdle, kConnIdle};
  uint32_t AwaitingAnswer[2] = {0, 0};  // a frame is out and its answer not yet taken
  Ticks SentAt[2] = {0, 0};             // ElapsedTicks of the last send (10 µs units)
  uint32_t FirstConnectDone = 0;
  char RecorderAddress[64] = {};  // copy of DVRIP, at most 63 characters
  uint32_t RecorderPort = 0;
  ByteRing* SendRing = nullptr;  // points at OwnSendRing once reset
  ReceiveBuffer CommandReceiveBuffer[2];
  PacketQueue DeliveryQueue;
  ByteRing VideoAssembly;  // 2 MiB, allocated on first use
  LengthLog SendLengthLog;

  ZellState* Zell = nullptr;
  ViewState* View = nullptr;
  VidoState* Vido = nullptr;
  PbbaState* Pbba = nullptr;
  VdttState* Vdtt = nullptr;
  SpdmState* Spdm = nullptr;
  IctlState* Ictl = nullptr;

  std::unique_ptr<platform::ClientSocket> CommandSocket[2];
  std::unique_ptr<platform::ClientSocket> StreamSocket[2];
  StreamConnection* Stream = nullptr;

  ByteRing OwnSendRing;  // the storage SendRing points at

  // Connect back-off of each command socket (not on the wire).
  uint32_t ConnectFailures[2] = {0, 0};
  uint32_t NextConnectMs[2] = {0, 0};  // tick count before which no attempt is made
  // Whether the context logged in since the socket's last attempt: a loss before
  // that counts as a failed attempt.
  bool LoggedInSinceAttempt[2] = {false, false};

  bool CommandConnected(int k) const { return CommandSocket[k] && CommandSocket[k]->Connected(); }
};

}  // namespace tevrano
