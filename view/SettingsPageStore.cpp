#include "view/SettingsPageStore.h"

#include <cstring>

#include "base/ByteReader.h"

namespace tevrano::settings_page {

namespace {
constexpr Slot kSlots[] = {
    {kBitrate, 256, 4, kReadyBitrate}, {kPppoe, 260, 68, kReadyPppoe},
    {kDdns, 328, 116, kReadyDdns},     {kMail1, 444, 256, kReadyMail},
    {kMail2, 700, 256, kReadyMail},
};
static_assert(444 + 256 == 700 && 700 + 256 == 956);
}  // namespace

const Slot* Find(uint32_t mask) {
  for (const Slot& s : kSlots)
    if (s.mask == mask) return &s;
  return nullptr;
}

uint8_t* Data(ViewState& view, const Slot& slot) {
  return reinterpret_cast<uint8_t*>(&view) + slot.offset;
}

const uint8_t* Data(const ViewState& view, const Slot& slot) {
  return reinterpret_cast<const uint8_t*>(&view) + slot.offset;
}

uint32_t ByteSum(const uint8_t* bytes, uint32_t n) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < n; ++i) sum += bytes[i];
  return sum;
}

uint32_t Build(const ViewState& view, uint32_t mask, uint8_t* out, uint32_t room) {
  const Slot* slot = Find(mask);
  if (!slot || room < kHeaderBytes + slot->size) return 0;
  const uint8_t* data = Data(view, *slot);
  ByteWriter w(out, kHeaderBytes + slot->size);
  w.Le32(mask);
  w.Le32(kHeaderBytes + slot->size);
  w.Le32(ByteSum(data, slot->size));
  w.Zeros(kHeaderBytes - 12);
  w.Bytes(data, slot->size);
  return w.Ok() ? kHeaderBytes + slot->size : 0;
}

const Slot* Check(const uint8_t* payload, uint32_t length, PageHeader& header) {
  ByteReader r(payload, length);
  if (!r.Le32(header.Mask) || !r.Le32(header.Length) || !r.Le32(header.Checksum)) return nullptr;
  const Slot* slot = Find(header.Mask);
  if (!slot) return nullptr;
  std::span<const uint8_t> data;
  if (!r.Seek(kHeaderBytes) || !r.Span(slot->size, data)) return nullptr;
  if (ByteSum(data.data(), slot->size) != header.Checksum) return nullptr;
  return slot;
}

}  // namespace tevrano::settings_page
