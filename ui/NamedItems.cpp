#include "ui/NamedItems.h"

#include <cstring>

#include "base/ByteReader.h"
#include "base/Form.h"
#include "net/RecorderNet.h"
#include "platform/HostServices.h"

namespace tevrano {

namespace {
enum IctlType : uint32_t { kItemWrite = 0, kValueMessage = 1 };
// Sub-header fields.
constexpr uint32_t kSessionAt = 0, kTypeAt = 8, kNotifyAt = 12;
constexpr uint32_t kNameField = 252;  // payload bytes 4..255
constexpr int kUpnpTab = 6;           // TabSheet7
}  // namespace

NamedItems::NamedItems(RecorderNet& net, TTevranoX& form, platform::HostServices& host)
    : net_(net), form_(form), host_(host) {}

void NamedItems::RegisterModule() {
  net_.Modules().RegisterModule(
      Tag("ICTL"), [this](const uint8_t* body, uint32_t length) { Item_Arrived(body, length); },
      [this](const void* record) { return Send(*static_cast<const SendRecord*>(record)); },
      receiveBuffer_, sizeof receiveBuffer_);
}

void NamedItems::RegisterItems() {
  Item_Register("Zell_Watermark_Var_R", &WatermarkCheck, 4, nullptr);
  Item_Register("Zell_Watermark_Var_W", WatermarkParams, 160, nullptr);
  Item_Register("Zell_Upnp_C_Data_W", &UpnpSetting, 4, nullptr);
  Item_Register("Zell_Upnp_C_Data_R", &UpnpSetting, 4, nullptr);
  Item_Register("Zell_Mach_Type_Data_W", net_.MachTypeRecord(), RecorderNet::kMachTypeSize,
                nullptr);
  Item_Register("Zell_Mach_Type_Data_R", net_.MachTypeRecord(), RecorderNet::kMachTypeSize,
                [this](uint32_t) {
                  if (LoadLe32(net_.MachTypeRecord() + RecorderNet::kMachTypeUpnp) == 1)
                    if (Component* tab = form_.Tab(kUpnpTab)) tab->SetVisible(true);
                });
  Item_Register("Zell_ACK_R", &Ack, 4, [this](uint32_t) {
    if (Ack == 1) host_.MessageBox("Setup Successful.", "Setup Information", platform::kMbOk);
    Ack = 0;
  });
  Item_Register("Zell_LIVE_Event_W", LiveEvent, 96, nullptr);

  // After login the recorder learns what kind of viewer this is.
  net_.Hooks().SendMachType = [this](RecorderContext& c) {
    Item_Send(static_cast<int>(c.Index), "Zell_Mach_Type_Data_W", net_.MachTypeRecord(),
              RecorderNet::kMachTypeSize, 1);
  };
}

void NamedItems::Item_Register(const char* name, void* data, uint32_t size,
                               std::function<void(uint32_t)> on_arrival) {
  for (NamedItem& item : items_) {
    if (item.in_use) continue;
    item.in_use = true;
    std::memset(item.name, 0, sizeof item.name);
    std::memcpy(item.name, name, strnlen(name, sizeof item.name - 1));
    item.size = size;
    item.data = static_cast<uint8_t*>(data);
    item.on_arrival = std::move(on_arrival);
    return;
  }
}

void NamedItems::SetArrivalAction(const char* name, std::function<void(uint32_t)> on_arrival) {
  if (NamedItem* item = Find(name)) item->on_arrival = std::move(on_arrival);
}

NamedItem* NamedItems::Find(const char* name) {
  for (NamedItem& item : items_)
    if (item.in_use && std::strncmp(item.name, name, sizeof item.name) == 0) return &item;
  return nullptr;
}

int NamedItems::Item_Send(int connection, const char* name, const void* data, uint32_t size,
                          uint32_t notify) {
  const SendRecord record{connection, name, data, size, notify};
  return net_.Modules().SendToModule(Tag("ICTL"), &record);
}

int NamedItems::Send(const SendRecord& r) {
  if (r.connection < 0 || r.connection > 1 || !r.name) return -1;
  if (r.size > kMaxItemData || (r.size && !r.data)) return -1;
  RecorderContext& c = net_.Context(r.connection);
  uint8_t* body = sendBuffer_ + kModuleHeaderSize;
  std::memset(body, 0, kSubHeaderSize + kPayloadHeaderSize);
  StoreLe32(body + kSessionAt, c.SessionId);
  StoreLe32(body + kTypeAt, kItemWrite);
  StoreLe32(body + kNotifyAt, r.notify);
  uint8_t* payload = body + kSubHeaderSize;
  StoreLe32(payload, kPayloadHeaderSize + r.size);
  std::memcpy(payload + 4, r.name, strnlen(r.name, 127));
  if (r.size) std::memcpy(payload + kPayloadHeaderSize, r.data, r.size);
  const uint32_t total = kModuleHeaderSize + kSubHeaderSize + kPayloadHeaderSize + r.size;
  FinishModuleMessage(sendBuffer_, total, Tag("ICTL"));
  return net_.QueueMessage(c, sendBuffer_, total);
}

void NamedItems::Item_Arrived(const uint8_t* body, uint32_t length) {
  ByteReader r(body, length);
  ByteReader sub;
  if (!r.Sub(kSubHeaderSize, sub)) return;
  uint32_t sessionId = 0, type = 0, notify = 0;
  sub.Le32At(kSessionAt, sessionId);
  sub.Le32At(kTypeAt, type);
  sub.Le32At(kNotifyAt, notify);
  if (type != kItemWrite) return;  // a value message changes nothing; others are unknown

  // The payload header: its total (the item's data must lie inside the
  // message), then the name field.
  ByteReader header;
  uint32_t total = 0;
  if (!r.Sub(kPayloadHeaderSize, header) || !header.Le32(total)) return;
  if (total < kPayloadHeaderSize || total - kPayloadHeaderSize > r.Remaining()) return;
  const uint32_t dataLength = total - kPayloadHeaderSize;
  char name[kNameField];
  header.Text(kNameField, name, sizeof name);

  NamedItem* item = Find(name);
  if (!item) return;
  if (item->size != 0 && dataLength != item->size) return;
  // Only items of a fixed size have storage of a known size to copy into.
  if (dataLength > 0 && item->data && item->size != 0) r.Bytes(item->data, dataLength);
  if (notify == 1 && item->on_arrival) item->on_arrival(sessionId);
}

}  // namespace tevrano
