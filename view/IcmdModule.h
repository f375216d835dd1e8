#pragma once
#include <cstdint>
#include <functional>

#include "net/ModuleTable.h"
#include "net/RecorderContext.h"
#include "view/ViewRecords.h"

namespace tevrano {

// The "ICMD" module: view records and settings pages exchanged with the
// recorder. Message body (after the 32-byte module header): handle
// (SessionId), operation, type, the sender's Mode, the sender's message
// counter, 12 zero bytes, then the payload. Runs on the control's thread.
class IcmdModule {
 public:
  static constexpr uint32_t kTag = Tag("ICMD");
  static constexpr uint32_t kSubHeader = 32;
  enum Operation : uint32_t { kRequest = 1, kSet = 2, kData = 4 };
  enum Type : uint32_t {
    kLiveRecord = 256,
    kPlaybackRecord = 512,
    kBackupRecord = 1024,
    kNoPayload = 2048,
    kSettingsPage = 4096,
  };
  static constexpr uint32_t kMaxPage = kMaxModuleMessage - kModuleHeaderSize - kSubHeader;

  struct Hooks {
    // Builds the settings page that the mask selects into `out`; its length.
    std::function<uint32_t(ViewState&, uint32_t pageMask, uint8_t* out, uint32_t room)>
        buildSettingsPage;
    // A received settings page; false when it was dropped (unknown mask,
    // short, wrong byte sum): the sender's mode is then not taken over and
    // nothing is forwarded.
    std::function<bool(ViewState&, uint32_t operation, const uint8_t* page, uint32_t n)>
        receiveSettingsPage;
    // Switches a view's mode (a received set names the sender's mode).
    std::function<void(ViewState&, uint32_t mode)> setViewMode;
    // The live view takes split kind, first channel and channel of record 1.
    std::function<void(const LiveRecord&)> liveViewChanged;
    // The fourth word of the recorder's model record.
    std::function<uint32_t()> machTypeWord3;
  };

  explicit IcmdModule(RecorderContext* contexts[2]);

  ViewState& View(int context) { return views_[context]; }
  Hooks& GetHooks() { return hooks_; }

  // Builds one message with the type's payload and queues it; -1 when the
  // session names no context or the queue refuses it.
  int SendIcmd(uint32_t sessionId, uint32_t operation, uint32_t type, uint32_t pageMask);
  // The module's receive function.
  void Receive(const uint8_t* body, uint32_t length);

 private:
  RecorderContext* FindBySession(uint32_t sessionId);
  void Forward(const RecorderContext& from, uint32_t type, uint32_t pageMask);

  RecorderContext* contexts_[2];
  ViewState views_[2];
  Hooks hooks_;
  uint8_t message_[kMaxModuleMessage] = {};
};

}  // namespace tevrano
