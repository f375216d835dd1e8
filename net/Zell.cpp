// The "ZELL" module: hello, the recorder's system information, refusal,
// and the recorder's role of admitting a peer's hello.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/ByteReader.h"
#include "base/Form.h"
#include "net/RecorderNet.h"
#include "net/SendQueue.h"

namespace tevrano {

namespace {
// The body: a 32-byte sub-header {SessionId, message type, 24 zero bytes},
// then the data.
constexpr uint32_t kSubHeaderSize = 32;
constexpr uint32_t kRecordSize = 256;
enum ZellType : uint32_t { kZellHello = 0, kZellSystemInfo = 1, kZellRefusal = 2 };
// The least of the system information a login reads: up to the connection
// count.
constexpr uint32_t kSystemInfoMinimum = system_info::kConnections + 4;
constexpr int kUpnpTab = 6;          // TabSheet7
constexpr uint32_t kTextField = 32;  // each text of the system information
constexpr uint32_t kKindViewer = 1;  // the sender's kind in a hello: a viewer

// Copies up to a whole record of `data` into `record` and zeroes the rest;
// the bytes taken.
size_t TakeRecord(ByteReader& data, uint8_t (&record)[kRecordSize]) {
  const size_t n = std::min<size_t>(data.Remaining(), kRecordSize);
  std::memset(record, 0, kRecordSize);
  data.Bytes(record, n);
  return n;
}

}  // namespace

void RecorderNet::BuildHelloRecord(uint8_t (&out)[256]) {
  std::memset(out, 0, sizeof out);
  StoreLe32(out + 0, kKindViewer);
  StoreLe32(out + 4, 1);
  out[9] = 1;
  StoreLe16(out + 10, 0x0811);
  StoreLe16(out + 12, 0x1234);
  StoreLe16(out + 14, 1);
}

void RecorderNet::BuildOwnSystemInfo(uint8_t (&out)[256]) {
  std::memset(out, 0, sizeof out);
  StoreLe32(out + system_info::kChannels, 16);
  StoreLe32(out + system_info::kValue4, 0);
  StoreLe32(out + system_info::kValue8, 1);
  char text[32];
  std::snprintf(text, sizeof text, "[OS] %s", "2.9.2_138ED");
  PutText(out + system_info::kTexts[0], 32, text);
  std::snprintf(text, sizeof text, "[SN] %s", "1234567890");
  PutText(out + system_info::kTexts[1], 32, text);
  std::snprintf(text, sizeof text, "[B] %s", "REV:1.9");
  PutText(out + system_info::kTexts[2], 32, text);
  std::snprintf(text, sizeof text, "[N] %d", 7104);
  PutText(out + system_info::kTexts[3], 32, text);
}

void RecorderNet::RegisterZell() {
  modules_.RegisterModule(
      Tag("ZELL"), [this](const uint8_t* body, uint32_t length) { ZellReceive(body, length); },
      [this](const void* record) { return ZellSend(*static_cast<const ZellSendRecord*>(record)); },
      zellBuffer_, sizeof zellBuffer_);
}

int RecorderNet::SendSystemMessage(uint32_t sessionId, uint32_t type) {
  const ZellSendRecord record{sessionId, type};
  return modules_.SendToModule(Tag("ZELL"), &record);
}

int RecorderNet::ZellSend(const ZellSendRecord& record) {
  RecorderContext* c = FindBySession(record.sessionId);
  if (!c) return -1;
  uint8_t* body = zellSend_ + kModuleHeaderSize;
  std::memset(body, 0, kSubHeaderSize);
  StoreLe32(body, record.sessionId);
  StoreLe32(body + 4, record.type);
  uint32_t dataLength = 0;
  uint8_t data[kRecordSize];
  if (record.type == kZellHello) {
    BuildHelloRecord(data);
    dataLength = kRecordSize;
  } else if (record.type == kZellSystemInfo) {
    BuildOwnSystemInfo(data);
    dataLength = kRecordSize;
  }
  if (dataLength) std::memcpy(body + kSubHeaderSize, data, dataLength);
  const uint32_t total = kModuleHeaderSize + kSubHeaderSize + dataLength;
  FinishModuleMessage(zellSend_, total, Tag("ZELL"));
  return tevrano::QueueMessage(*c, zellSend_, total);
}

void RecorderNet::ZellReceive(const uint8_t* body, uint32_t length) {
  ByteReader r(body, length);
  uint32_t sessionId = 0, type = 0;
  if (!r.Le32(sessionId) || !r.Le32(type) || !r.Seek(kSubHeaderSize)) return;
  RecorderContext* c = FindBySession(sessionId);
  if (!c) return;
  switch (type) {
    case kZellSystemInfo:
      ZellSystemInfo(*c, r);
      return;
    case kZellRefusal:
      // A refused login counts as a failed attempt, so that a recorder
      // that keeps refusing is not asked again on every tick.
      c->LoggedInSinceAttempt[0] = c->LoggedInSinceAttempt[1] = false;
      ResetContext(*c);
      CloseCommandSockets(*c);
      return;
    case kZellHello:
      ZellPeerHello(*c, r);
      return;
    default:
      return;
  }
}

void RecorderNet::ZellSystemInfo(RecorderContext& c, ByteReader& data) {
  if (data.Remaining() < kSystemInfoMinimum) return;
  uint8_t* info = c.Zell->SystemInfo;
  TakeRecord(data, c.Zell->SystemInfo);
  for (uint32_t at : system_info::kTexts) info[at + kTextField - 1] = 0;
  c.LoggedIn = 1;
  c.LoggedInSinceAttempt[0] = c.LoggedInSinceAttempt[1] = true;
  c.ConnectFailures[0] = c.ConnectFailures[1] = 0;
  if (LoadLe32(info + system_info::kConnections) > 1)
    ILAN_Socket_Connect(c, c.RecorderAddress, c.RecorderPort, 1);
  for (auto& handOff : hooks_.SystemInfoArrived)
    if (handOff) handOff(c, info);
  if (Component* upnp = form_.Tab(kUpnpTab)) upnp->SetVisible(false);
  if (hooks_.SendMachType) hooks_.SendMachType(c);
}

// The recorder's role: a viewer of kind 1 is always admitted; other kinds
// while fewer than two other logged-in peers have kind 2.
void RecorderNet::ZellPeerHello(RecorderContext& c, ByteReader& data) {
  ZellState& state = *c.Zell;
  const size_t n = TakeRecord(data, state.PeerHello);
  state.Kind = n >= 4 ? LoadLe32(state.PeerHello) : 0;
  bool admitted = false;
  if (state.Kind == kKindViewer) {
    admitted = true;
    if (firstKindOne_ == 0xFFFFFFFF) firstKindOne_ = c.Index;
  } else {
    int kindTwo = 0;
    for (const RecorderContext& other : contexts_)
      if (&other != &c && other.LoggedIn && other.Zell->Kind == 2) ++kindTwo;
    admitted = kindTwo < 2;
  }
  if (!admitted) state.Kind = 0;
  SendSystemMessage(c.SessionId, admitted ? kZellSystemInfo : kZellRefusal);
}

}  // namespace tevrano
