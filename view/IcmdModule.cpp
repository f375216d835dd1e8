#include "view/IcmdModule.h"

#include <cstring>
#include <span>

#include "base/ByteReader.h"
#include "net/ModuleTable.h"
#include "net/SendQueue.h"

namespace tevrano {

IcmdModule::IcmdModule(RecorderContext* contexts[2]) : contexts_{contexts[0], contexts[1]} {
  for (int i = 0; i < 2; ++i) {
    views_[i].Initialize();
    if (contexts_[i]) contexts_[i]->View = &views_[i];
  }
}

RecorderContext* IcmdModule::FindBySession(uint32_t sessionId) {
  for (RecorderContext* c : contexts_)
    if (c && c->SessionId == sessionId) return c;
  return nullptr;
}

int IcmdModule::SendIcmd(uint32_t sessionId, uint32_t operation, uint32_t type, uint32_t pageMask) {
  RecorderContext* c = FindBySession(sessionId);
  if (!c) return -1;
  ViewState& view = views_[c->Index % kContexts];
  std::memset(message_, 0, kModuleHeaderSize + kSubHeader);
  uint8_t* body = message_ + kModuleHeaderSize;
  ++view.IcmdCounter;
  StoreLe32(body, sessionId);
  StoreLe32(body + 4, operation);
  StoreLe32(body + 8, type);
  StoreLe32(body + 12, view.Mode);
  StoreLe32(body + 16, view.IcmdCounter);
  uint32_t payload = 0;
  if (const uint8_t* record = view.RecordOfType(type); record && operation != kRequest) {
    payload = ViewState::kRecordBytes;
    std::memcpy(body + kSubHeader, record, payload);
  } else if (type == kSettingsPage && hooks_.buildSettingsPage) {
    payload = hooks_.buildSettingsPage(view, pageMask, body + kSubHeader, kMaxPage);
    if (payload > kMaxPage) payload = 0;
  }
  const uint32_t total = kModuleHeaderSize + kSubHeader + payload;
  FinishModuleMessage(message_, total, kTag);
  return QueueMessage(*c, message_, total);
}

void IcmdModule::Receive(const uint8_t* body, uint32_t length) {
  ByteReader r(body, length);
  ByteReader sub;
  if (!r.Sub(kSubHeader, sub)) return;
  uint32_t sessionId = 0, operation = 0, type = 0, senderMode = 0;
  sub.Le32(sessionId);
  sub.Le32(operation);
  sub.Le32(type);
  sub.Le32(senderMode);
  RecorderContext* c = FindBySession(sessionId);
  if (!c) return;
  const std::span<const uint8_t> payload = r.Rest();
  const uint32_t payloadLength = static_cast<uint32_t>(payload.size());
  // The page mask: the first word of a settings page's payload, when there.
  uint32_t pageMask = 0;
  if (type == kSettingsPage) r.Le32At(r.Position(), pageMask);
  ViewState& view = views_[c->Index % kContexts];

  if (operation == kRequest) {
    SendIcmd(c->SessionId, kData, type, pageMask);
    return;
  }
  if (operation != kSet && operation != kData) return;
  // The receive of the type's descriptor: records are stored whole, pages
  // go to the settings, type 2048 carries nothing.
  if (uint8_t* record = view.RecordOfType(type)) {
    if (!r.Bytes(record, ViewState::kRecordBytes)) return;
    if (type == kLiveRecord && view.Mode == kModeLive && hooks_.liveViewChanged &&
        (!hooks_.machTypeWord3 || hooks_.machTypeWord3() == 0))
      hooks_.liveViewChanged(view.Live);
  } else if (type == kSettingsPage) {
    if (hooks_.receiveSettingsPage &&
        !hooks_.receiveSettingsPage(view, operation, payload.data(), payloadLength))
      return;
  } else if (type != kNoPayload) {
    return;
  }
  if (operation != kSet) return;
  // A set carries the sender's view: only the four views a peer can be in,
  // switched the way the view logic switches them.
  if (senderMode <= kModeSetup && hooks_.setViewMode) hooks_.setViewMode(view, senderMode);
  Forward(*c, type, pageMask);
}

void IcmdModule::Forward(const RecorderContext& from, uint32_t type, uint32_t pageMask) {
  if (type != kSettingsPage && type != kLiveRecord) return;
  for (RecorderContext* c : contexts_) {
    if (!c || c->LoggedIn != 1 || !c->Zell) continue;
    const uint32_t kind = c->Zell->Kind;
    if (type == kSettingsPage && (kind == 1 || kind == 2))
      SendIcmd(c->SessionId, kData, type, pageMask);
    else if (type == kLiveRecord && c != &from && kind == 1)
      SendIcmd(c->SessionId, kData, type, 0);
  }
}

}  // namespace tevrano
