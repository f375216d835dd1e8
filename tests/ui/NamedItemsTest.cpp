#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/net/NetPeer.h"

namespace tevrano {
namespace {

using test::Bytes;

// An "ICTL" body: sub-header {SessionId, -, type, notify}, payload
// {total, name}, data.
Bytes ItemBody(const std::string& name, const Bytes& data, uint32_t notify = 1, uint32_t type = 0) {
  Bytes b(32 + 256, 0);
  test::Put32(b, 0, 0x5000);
  test::Put32(b, 8, type);
  test::Put32(b, 12, notify);
  test::Put32(b, 32, 256 + uint32_t(data.size()));
  std::memcpy(b.data() + 36, name.data(), name.size());
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

class NamedItemsTest : public test::NetFixture {
 public:
  void Arrive(const Bytes& body) { items.Item_Arrived(body.data(), uint32_t(body.size())); }
};

TEST_F(NamedItemsTest, EightItemsAreRegisteredInOrder) {
  const char* names[] = {"Zell_Watermark_Var_R", "Zell_Watermark_Var_W",  "Zell_Upnp_C_Data_W",
                         "Zell_Upnp_C_Data_R",   "Zell_Mach_Type_Data_W", "Zell_Mach_Type_Data_R",
                         "Zell_ACK_R",           "Zell_LIVE_Event_W"};
  const uint32_t sizes[] = {4, 160, 4, 4, 960, 960, 4, 96};
  for (int i = 0; i < 8; ++i) {
    EXPECT_STREQ(items.Item(i).name, names[i]);
    EXPECT_EQ(items.Item(i).size, sizes[i]);
  }
  EXPECT_FALSE(items.Item(8).in_use);
}

TEST_F(NamedItemsTest, AckOfOneShowsTheSuccessMessageOnceAndResets) {
  Arrive(ItemBody("Zell_ACK_R", {1, 0, 0, 0}));
  ASSERT_EQ(fakes.host.messageBoxes.size(), 1u);
  EXPECT_EQ(fakes.host.messageBoxes[0].text, "Setup Successful.");
  EXPECT_EQ(fakes.host.messageBoxes[0].caption, "Setup Information");
  EXPECT_EQ(items.Ack, 0u);
  Arrive(ItemBody("Zell_ACK_R", {0, 0, 0, 0}));
  Arrive(ItemBody("Zell_ACK_R", {1, 0, 0, 0}, /*notify=*/0));
  EXPECT_EQ(fakes.host.messageBoxes.size(), 1u);
}

TEST_F(NamedItemsTest, WrongSizesUnknownNamesAndValueMessagesChangeNothing) {
  int events = 0;
  items.SetArrivalAction("Zell_LIVE_Event_W", [&](uint32_t) { ++events; });
  Arrive(ItemBody("Zell_LIVE_Event_W", Bytes(95, 9)));
  Arrive(ItemBody("Zell_LIVE_Event", Bytes(96, 9)));
  Arrive(ItemBody("Zell_LIVE_Event_W", Bytes(96, 9), 1, /*type=*/1));
  EXPECT_EQ(events, 0);
  EXPECT_EQ(items.LiveEvent[0], 0);
  Arrive(ItemBody("Zell_LIVE_Event_W", Bytes(96, 9)));
  EXPECT_EQ(events, 1);
  EXPECT_EQ(items.LiveEvent[95], 9);
}

TEST_F(NamedItemsTest, ATotalPastTheMessageIsRefused) {
  Bytes body = ItemBody("Zell_ACK_R", {1, 0, 0, 0});
  test::Put32(body, 32, 256 + 400);
  Arrive(body);
  EXPECT_EQ(items.Ack, 0u);
  EXPECT_TRUE(fakes.host.messageBoxes.empty());
  Arrive(Bytes(body.begin(), body.begin() + 100));  // shorter than the payload header
}

TEST_F(NamedItemsTest, MachTypeWithUpnpShowsTheUpnpTabAndKeepsTheStreamWord) {
  form.Tab(6)->SetVisible(false);
  Bytes record(960, 0);
  test::Put32(record, 8, 1);
  test::Put32(record, 12, 1);
  Arrive(ItemBody("Zell_Mach_Type_Data_R", record));
  EXPECT_TRUE(form.Tab(6)->visible);
  EXPECT_TRUE(net.StreamsOnStreamSocket());
}

TEST_F(NamedItemsTest, ItemSendQueuesTheNameAndDataBehindTheSubHeader) {
  LogIn();
  C0().SendRing->Clear();
  C0().SendLengthLog.Reset();
  const uint32_t value = 0x40001F90;
  ASSERT_EQ(items.Item_Send(0, "Zell_Upnp_C_Data_W", &value, 4, 1), 0);
  Bytes queued(C0().SendRing->Used());
  C0().SendRing->Peek(queued.data(), uint32_t(queued.size()));
  ASSERT_EQ(queued.size(), 32u + 32u + 256u + 4u);
  EXPECT_EQ(test::TagOf(queued), "ICTL");
  EXPECT_EQ(test::Get32(queued, 8), test::Sum(Bytes(queued.begin() + 32, queued.end())));
  EXPECT_EQ(test::Get32(queued, 32), 0x5000u);
  EXPECT_EQ(test::Get32(queued, 40), 0u);
  EXPECT_EQ(test::Get32(queued, 44), 1u);
  EXPECT_EQ(test::Get32(queued, 64), 260u);
  EXPECT_STREQ(reinterpret_cast<const char*>(queued.data() + 68), "Zell_Upnp_C_Data_W");
  EXPECT_EQ(test::Get32(queued, 320), value);
  // Data that could not travel in one poll is refused.
  Bytes big(961, 0);
  EXPECT_EQ(items.Item_Send(0, "Zell_Watermark_Var_W", big.data(), 961, 1), -1);
}

TEST_F(NamedItemsTest, LongNamesAreCutAndAFullRegistryIgnoresMore) {
  const std::string longName(200, 'n');
  items.Item_Register(longName.c_str(), nullptr, 4, nullptr);
  EXPECT_EQ(std::strlen(items.Item(8).name), 127u);
  for (int i = 0; i < 40; ++i)
    items.Item_Register(("extra" + std::to_string(i)).c_str(), nullptr, 4, nullptr);
  EXPECT_STREQ(items.Item(NamedItems::kMaxItems - 1).name, "extra30");
  EXPECT_EQ(items.Find("extra31"), nullptr);
}

}  // namespace
}  // namespace tevrano
