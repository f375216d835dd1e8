#pragma once
#include <cstdint>
#include <functional>

#include "net/ModuleTable.h"

namespace tevrano {

class RecorderNet;
class TTevranoX;
namespace platform {
class HostServices;
}

// One named item: a control variable the recorder may write by name.
struct NamedItem {
  bool in_use = false;
  char name[128] = {};                                 // at most 127 characters, zero-terminated
  uint32_t size = 0;                                   // bytes; 0 = any size
  uint8_t* data = nullptr;                             // the variable; may be null (nothing stored)
  std::function<void(uint32_t sessionId)> on_arrival;  // may be empty
};

// The named-item exchange over "ICTL" messages. Body of a message (after
// the 32-byte module-message header):
//   sub-header: 0 SessionId, 4 unused, 8 type (0 item write, 1 value
//   message), 12 notify (1 = run the arrival action), 16..31 unused;
//   payload:    0 total (256 + data length), 4 name (type 0, zero-
//   terminated) or a 32-bit value (type 1), 256 the item's data.
class NamedItems {
 public:
  static constexpr int kMaxItems = 40;
  static constexpr uint32_t kSubHeaderSize = 32;
  static constexpr uint32_t kPayloadHeaderSize = 256;
  // The largest item that still fits one message of a poll's batch.
  static constexpr uint32_t kMaxItemData =
      kMaxModuleMessage - kModuleHeaderSize - kSubHeaderSize - kPayloadHeaderSize;

  NamedItems(RecorderNet& net, TTevranoX& form, platform::HostServices& host);
  NamedItems(const NamedItems&) = delete;
  NamedItems& operator=(const NamedItems&) = delete;

  // Start-up: the "ICTL" module, then the table of items.
  void RegisterModule();
  void RegisterItems();

  // Ignored when the registry is full; a longer name is cut at 127.
  void Item_Register(const char* name, void* data, uint32_t size,
                     std::function<void(uint32_t sessionId)> on_arrival);
  // Sets the arrival action of a registered item (for subsystems that wire
  // their own reaction later).
  void SetArrivalAction(const char* name, std::function<void(uint32_t sessionId)> on_arrival);
  // Queues a type-0 message with the item's name and data for context
  // `connection`; -1 when it cannot be sent.
  int Item_Send(int connection, const char* name, const void* data, uint32_t size, uint32_t notify);
  // The "ICTL" receive function.
  void Item_Arrived(const uint8_t* body, uint32_t length);

  NamedItem* Find(const char* name);
  const NamedItem& Item(int i) const { return items_[i]; }

  // The items' storage.
  uint32_t WatermarkCheck = 0;        // "Zell_Watermark_Var_R"
  uint8_t WatermarkParams[160] = {};  // "Zell_Watermark_Var_W"
  uint32_t UpnpSetting = 0;           // "Zell_Upnp_C_Data_W" / "_R"
  uint32_t Ack = 0;                   // "Zell_ACK_R"
  uint8_t LiveEvent[96] = {};         // "Zell_LIVE_Event_W"

 private:
  struct SendRecord {
    int connection;
    const char* name;
    const void* data;
    uint32_t size;
    uint32_t notify;
  };
  int Send(const SendRecord& record);

  RecorderNet& net_;
  TTevranoX& form_;
  platform::HostServices& host_;
  NamedItem items_[kMaxItems];
  uint8_t receiveBuffer_[kSubHeaderSize + kPayloadHeaderSize + 4096] = {};
  uint8_t sendBuffer_[kMaxModuleMessage] = {};
};

}  // namespace tevrano
