#pragma once
#include <cstdint>

#include "view/ViewRecords.h"

namespace tevrano {

// The settings pages held in a ViewState from byte 256 on, as they travel in
// "ICMD" type-4096 messages: a 72-byte PageHeader (page mask, length = 72 +
// page size, byte sum of the page data, 60 zero bytes), then the page data.
namespace settings_page {

constexpr uint32_t kHeaderBytes = 72;

enum Mask : uint32_t { kBitrate = 1, kPppoe = 2, kDdns = 4, kMail1 = 8, kMail2 = 16 };

// Page-ready counter indexes.
enum Ready : int { kReadyBitrate = 0, kReadyPppoe = 1, kReadyDdns = 2, kReadyMail = 3 };
constexpr int32_t kReadyEnabled = 1001;
constexpr int32_t kReadyFallback = 1000;  // passes after which a silent page is enabled

struct Slot {
  uint32_t mask;
  uint32_t offset;  // in ViewState
  uint32_t size;    // page data bytes
  int ready;        // page-ready counter
};

// The page of a mask; nullptr for a mask outside the table (none, or more
// than one bit).
const Slot* Find(uint32_t mask);
// The page's bytes inside the view state.
uint8_t* Data(ViewState& view, const Slot& slot);
const uint8_t* Data(const ViewState& view, const Slot& slot);
// 32-bit sum of the bytes taken as unsigned values.
uint32_t ByteSum(const uint8_t* bytes, uint32_t n);

struct PageHeader {
  uint32_t Mask = 0;
  uint32_t Length = 0;
  uint32_t Checksum = 0;
};

// Writes header and page data into `out`; the bytes written, 0 when the mask
// names no page or `room` is too small.
uint32_t Build(const ViewState& view, uint32_t mask, uint8_t* out, uint32_t room);

// A received type-4096 payload, checked: the page of its mask, present whole
// (only the page's own size is used, whatever the header's length says) and
// with a matching byte sum. nullptr when any of that fails.
const Slot* Check(const uint8_t* payload, uint32_t length, PageHeader& header);

}  // namespace settings_page
}  // namespace tevrano
