#include "settings/SettingsPages.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "platform/fake/FakeHost.h"
#include "view/IcmdModule.h"

namespace tevrano {
namespace {

using settings_page::kHeaderBytes;

struct Sent {
  uint32_t operation;
  uint32_t mask;
  std::vector<uint8_t> payload;
};

struct SentItem {
  std::string name;
  uint32_t value;
};

// The settings tabs on a form of their own; pages go out through BuildPage
// as the "ICMD" module would send them.
struct Rig {
  TTevranoX form;
  platform::FakeHostServices host;
  ViewState view;
  uint32_t upnp = 0;
  SettingsPages pages{form, host, view, upnp};
  std::vector<Sent> sent;
  std::vector<SentItem> items;
  bool connected = true;

  Rig() {
    view.Initialize();
    auto& h = pages.GetHooks();
    h.sendPage = [this](uint32_t op, uint32_t mask) {
      Sent s{op, mask, std::vector<uint8_t>(1280)};
      s.payload.resize(pages.BuildPage(view, mask, s.payload.data(), 1280));
      sent.push_back(std::move(s));
      return 0;
    };
    h.sendItem = [this](const char* name, const void* data, uint32_t size) {
      uint32_t v = 0;
      if (size == 4) std::memcpy(&v, data, 4);
      items.push_back({name, v});
      return 0;
    };
    h.connected = [this] { return connected; };
    pages.Bind();
    pages.ClearInputFields();
  }

  void Info(int variant, const char* model = "[N] 7104", uint32_t titles = 1,
            uint32_t noInterval = 0, uint32_t channels = 16) {
    uint8_t info[256] = {};
    StoreLe32(info, channels);
    StoreLe32(info + 4, static_cast<uint32_t>(variant));
    StoreLe32(info + 8, titles);
    std::strcpy(reinterpret_cast<char*>(info + 12), "[OS] 2.3");
    std::strcpy(reinterpret_cast<char*>(info + 44), "[SN] 0001");
    std::strcpy(reinterpret_cast<char*>(info + 76), "[B] 4");
    std::strncpy(reinterpret_cast<char*>(info + 108), model, 31);
    StoreLe32(info + 228, noInterval);
    pages.SystemInfoArrived(info, sizeof info);
  }

  // A page as the recorder sends it: header with the right byte sum unless
  // `sumOffset` says otherwise.
  static std::vector<uint8_t> Page(uint32_t mask, std::vector<uint8_t> data, int sumOffset = 0) {
    std::vector<uint8_t> p(kHeaderBytes + data.size());
    StoreLe32(p.data(), mask);
    StoreLe32(p.data() + 4, static_cast<uint32_t>(p.size()));
    StoreLe32(p.data() + 8,
              settings_page::ByteSum(data.data(), static_cast<uint32_t>(data.size())) +
                  static_cast<uint32_t>(sumOffset));
    std::copy(data.begin(), data.end(), p.begin() + kHeaderBytes);
    return p;
  }
  bool Receive(const std::vector<uint8_t>& p, uint32_t op = IcmdModule::kData) {
    return pages.ReceivePage(view, op, p.data(), static_cast<uint32_t>(p.size()));
  }
  const uint8_t* Data(uint32_t mask) {
    return settings_page::Data(view, *settings_page::Find(mask));
  }
  void Tab(int i) {
    form.PageControl1.SetActivePageIndex(i);
    form.PageControl1.onChange();
  }
};

TEST(SettingsPagesTest, BitrateIntranetSendsItsPageAndTheEchoConfirmsOnce) {
  Rig r;
  r.form.ComboBox_bitrate.SetItemIndex(9);
  r.pages.Apply(1);
  ASSERT_EQ(r.sent.size(), 1u);
  const Sent& s = r.sent[0];
  EXPECT_EQ(s.operation, IcmdModule::kSet);
  EXPECT_EQ(s.mask, 1u);
  ASSERT_EQ(s.payload.size(), 76u);
  EXPECT_EQ(LoadLe32(s.payload.data()), 1u);
  EXPECT_EQ(LoadLe32(s.payload.data() + 4), 76u);
  EXPECT_EQ(LoadLe32(s.payload.data() + 8), 9u);
  for (uint32_t i = 12; i < kHeaderBytes; ++i) EXPECT_EQ(s.payload[i], 0) << i;
  EXPECT_EQ(LoadLe32(s.payload.data() + 72), 9u);
  EXPECT_EQ(r.view.PendingSetMask, 1u);

  // The recorder echoes the page; a second copy (forwarded) confirms nothing.
  EXPECT_TRUE(r.Receive(s.payload));
  EXPECT_TRUE(r.Receive(s.payload));
  ASSERT_EQ(r.host.messageBoxes.size(), 1u);
  EXPECT_EQ(r.host.messageBoxes[0].text, "Setup Successful.");
  EXPECT_EQ(r.host.messageBoxes[0].caption, "Setup Information");
  EXPECT_EQ(r.form.ComboBox_bitrate.itemIndex, 9);
  EXPECT_EQ(r.view.PendingSetMask, 0u);
  EXPECT_EQ(r.view.PageReady[settings_page::kReadyBitrate], 1001);
}

TEST(SettingsPagesTest, ChecksumOffByOneChangesNothing) {
  Rig r;
  r.pages.Apply(2);  // PPPoE out: controls off, pending
  ASSERT_FALSE(r.form.LabeledEdit_pppoe2.enabled);
  uint8_t before[68];
  std::memcpy(before, r.Data(2), 68);
  std::vector<uint8_t> data(68, 0);
  data[0] = 1;
  std::memcpy(data.data() + 4, "someone", 7);
  for (int offset : {1, -1}) {
    EXPECT_FALSE(r.Receive(Rig::Page(2, data, offset)));
    EXPECT_EQ(std::memcmp(before, r.Data(2), 68), 0);
    EXPECT_FALSE(r.form.LabeledEdit_pppoe2.enabled);
    EXPECT_EQ(r.view.PendingSetMask, 2u);
    EXPECT_TRUE(r.host.messageBoxes.empty());
  }
}

TEST(SettingsPagesTest, UnknownMasksAndShortPagesAreIgnored) {
  Rig r;
  const uint8_t before0 = r.Data(1)[0];
  EXPECT_FALSE(r.Receive(Rig::Page(32, std::vector<uint8_t>(4, 1))));
  EXPECT_FALSE(r.Receive(Rig::Page(3, std::vector<uint8_t>(4, 1))));
  EXPECT_FALSE(r.Receive(Rig::Page(0, {})));
  auto shortPage = Rig::Page(1, std::vector<uint8_t>(4, 1));
  shortPage.pop_back();
  EXPECT_FALSE(r.Receive(shortPage));
  EXPECT_FALSE(r.Receive(std::vector<uint8_t>(8, 0)));
  EXPECT_EQ(r.Data(1)[0], before0);
  // A header that claims more than the page is still read at the page's size.
  auto lying = Rig::Page(1, {3, 0, 0, 0});
  StoreLe32(lying.data() + 4, 5000);
  lying.resize(lying.size() + 16, 0xEE);
  EXPECT_TRUE(r.Receive(lying));
  EXPECT_EQ(LoadLe32(r.Data(1)), 3u);
  EXPECT_EQ(r.form.ComboBox_bitrate.itemIndex, 3);
}

TEST(SettingsPagesTest, DataForMailPageWhileTabHiddenStillUpdates) {
  Rig r;
  r.Info(0);
  std::vector<uint8_t> mail2(256, 0);
  mail2[0] = 15;
  EXPECT_TRUE(r.Receive(Rig::Page(16, mail2)));
  EXPECT_EQ(r.Data(16)[0], 15);
  EXPECT_EQ(r.form.ComboBox_smtp2.itemIndex, 15);
}

TEST(SettingsPagesTest, PageReadyFallbackEnablesAfterAThousandPasses) {
  Rig r;
  r.pages.Apply(3);
  EXPECT_FALSE(r.form.Button_DDNS.enabled);
  EXPECT_EQ(r.view.PageReady[settings_page::kReadyDdns], 0);
  for (int i = 0; i < 999; ++i) r.pages.Periodic();
  EXPECT_FALSE(r.form.Button_DDNS.enabled);
  r.pages.Periodic();
  EXPECT_TRUE(r.form.Button_DDNS.enabled);
  EXPECT_EQ(r.view.PageReady[settings_page::kReadyDdns], 1001);
  // Still pending: a late echo confirms.
  EXPECT_TRUE(r.Receive(r.sent[0].payload));
  EXPECT_EQ(r.host.messageBoxes.size(), 1u);
}

TEST(SettingsPagesTest, LoadingATabRequestsItsPages) {
  Rig r;
  struct Case {
    int tab;
    std::vector<uint32_t> masks;
  };
  for (const Case& c :
       {Case{1, {1}}, Case{2, {2}}, Case{3, {4}}, Case{4, {8, 16}}, Case{0, {}}, Case{7, {}}}) {
    r.sent.clear();
    r.form.PageControl1.SetActivePageIndex(0);
    r.Tab(c.tab);
    std::vector<uint32_t> masks;
    for (const Sent& s : r.sent) {
      EXPECT_EQ(s.operation, IcmdModule::kRequest);
      masks.push_back(s.mask);
    }
    EXPECT_EQ(masks, c.masks) << "tab " << c.tab;
  }
}

// ---- System information ----

TEST(SettingsPagesTest, ServiceVariantShapesProvidersMailModesAndTabs) {
  struct Case {
    int variant;
    std::vector<std::string> providers;
    std::vector<std::string> modes;
    const char* hostLabel;
    bool links, update;
  };
  const Case cases[] = {
      {0,
       {"Disable", "www.dyndns.com", "www.no-ip.com"},
       {"OFF", "ON"},
       "DDNS Host Name",
       true,
       true},
      {1,
       {"Disable", "www.velmoraddns.net"},
       {"OFF", "ON", "Default"},
       "DDNS Domain Name",
       false,
       false},
  };
  for (const Case& c : cases) {
    Rig r;
    r.Info(c.variant);
    EXPECT_EQ(r.form.ComboBox_ddns1.items, c.providers);
    EXPECT_EQ(r.form.ComboBox_smtp1.items, c.modes);
    EXPECT_EQ(r.form.LabeledEdit_ddns4.caption, c.hostLabel);
    EXPECT_EQ(r.form.Label_ddns2.visible, c.links);
    EXPECT_EQ(r.form.Label_ddns3.visible, c.links);
    EXPECT_EQ(r.form.Tab(7)->visible, c.update);
    EXPECT_TRUE(r.form.Tab(2)->visible);
    EXPECT_EQ(r.form.Label_System4.caption, "[N] 7104");
    EXPECT_EQ(r.form.ComboBox_smtp2.items.size(), 61u);
    EXPECT_EQ(r.form.ComboBox_smtp2.itemIndex, 0);
    EXPECT_EQ(r.form.LabeledEdit_ddns4.maxLength, 47);
    EXPECT_EQ(r.form.LabeledEdit_smtp10.maxLength, 5);
    EXPECT_EQ(r.form.LabeledEdit_pppoe2.maxLength, 31);
  }
}

TEST(SettingsPagesTest, ModelSixHidesPppoeAndUpdate) {
  Rig r;
  r.Info(0, "[N] 6104");
  EXPECT_FALSE(r.form.Tab(2)->visible);
  EXPECT_FALSE(r.form.Tab(7)->visible);
  EXPECT_TRUE(r.pages.ModelN6());
  EXPECT_EQ(r.pages.WatermarkCapability(), 128);
  r.Info(0, "[N] 7104");
  EXPECT_TRUE(r.form.Tab(2)->visible);
  EXPECT_TRUE(r.form.Tab(7)->visible);
  EXPECT_FALSE(r.pages.ModelN6());
}

TEST(SettingsPagesTest, TitleSupportIntervalAndChannelCount) {
  Rig r;
  r.Info(0, "[N] 7104", 0, 1, 32);
  EXPECT_FALSE(r.form.Tab(5)->visible);
  EXPECT_FALSE(r.form.ComboBox_smtp2.visible);
  EXPECT_FALSE(r.form.Label_smtp2.visible);
  EXPECT_FALSE(r.form.Label_smtp3.visible);
  EXPECT_EQ(r.pages.Channels(), 16);
  r.Info(0, "[N] 7104", 1, 0, 8);
  EXPECT_TRUE(r.form.Tab(5)->visible);
  EXPECT_TRUE(r.form.ComboBox_smtp2.visible);
  EXPECT_EQ(r.pages.Channels(), 8);
}

TEST(SettingsPagesTest, UnterminatedSystemTextsStayInTheirFields) {
  Rig r;
  uint8_t info[256] = {};
  std::memset(info + 12, 'A', 128);  // all four texts without a zero
  r.pages.SystemInfoArrived(info, sizeof info);
  EXPECT_EQ(r.form.Label_System1.caption, std::string(31, 'A'));
  EXPECT_EQ(r.form.Label_System4.caption, std::string(31, 'A'));
}

// ---- PPPoE ----

TEST(SettingsPagesTest, PppoeUserNameLengths) {
  struct Case {
    size_t length;
    std::string user, password;
  };
  const Case cases[] = {
      {31, std::string(31, 'u'), "secret"},
      {32, std::string(31, 'u'), "secret"},
      {33, "", ""},
  };
  for (const Case& c : cases) {
    Rig r;
    r.form.ComboBox_pppoe1.SetItemIndex(1);
    r.form.LabeledEdit_pppoe2.SetText(std::string(c.length, 'u'));
    r.form.LabeledEdit_pppoe3.SetText("secret");
    r.pages.Apply(2);
    ASSERT_EQ(r.sent.size(), 1u);
    const uint8_t* page = r.sent[0].payload.data() + kHeaderBytes;
    EXPECT_EQ(r.sent[0].mask, 2u);
    EXPECT_EQ(LoadLe16(page), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(page + 4)), c.user) << c.length;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(page + 36)), c.password) << c.length;
    EXPECT_EQ(page[35], 0);
    EXPECT_EQ(page[67], 0);
  }
}

TEST(SettingsPagesTest, PppoeShowForcesTerminatorsAndClearEmptiesFields) {
  Rig r;
  std::vector<uint8_t> data(68, 'x');
  data[0] = 1, data[1] = 0;
  EXPECT_TRUE(r.Receive(Rig::Page(2, data)));
  EXPECT_EQ(r.form.ComboBox_pppoe1.itemIndex, 1);
  EXPECT_EQ(r.form.LabeledEdit_pppoe2.text, std::string(31, 'x'));
  EXPECT_EQ(r.form.LabeledEdit_pppoe3.text, std::string(31, 'x'));
  EXPECT_EQ(r.form.LabeledEdit_pppoe3.passwordChar, '*');
  r.form.Button_PPPoE2.onClick();
  EXPECT_EQ(r.form.LabeledEdit_pppoe2.text, "");
  EXPECT_EQ(r.form.LabeledEdit_pppoe3.text, "");
  EXPECT_TRUE(r.sent.empty());
}

// ---- DDNS ----

TEST(SettingsPagesTest, DdnsProviderCodesBothWays) {
  struct Case {
    int variant;
    uint16_t received;
    int shown;
    int chosen;
    uint16_t sent;
  };
  const Case cases[] = {
      {0, 3, 2, 2, 3}, {0, 1, 1, 1, 1}, {1, 1, 1, 1, 2},
      {1, 2, 1, 1, 2}, {0, 0, 0, 0, 0}, {0, 9, 0, -1, 0},  // nothing chosen counts as "Disable"
  };
  for (const Case& c : cases) {
    Rig r;
    r.Info(c.variant);
    std::vector<uint8_t> data(116, 0);
    StoreLe16(data.data() + 2, c.received);
    EXPECT_TRUE(r.Receive(Rig::Page(4, data)));
    EXPECT_EQ(r.form.ComboBox_ddns1.itemIndex, c.shown);
    r.form.ComboBox_ddns1.SetItemIndex(c.chosen);
    r.pages.Apply(3);
    ASSERT_EQ(r.sent.size(), 1u);
    EXPECT_EQ(LoadLe16(r.sent[0].payload.data() + kHeaderBytes + 2), c.sent)
        << "variant " << c.variant << " chosen " << c.chosen;
  }
}

TEST(SettingsPagesTest, DdnsHostNameStaysInsideItsField) {
  struct Case {
    size_t length;
    std::string host;
  };
  for (const Case& c :
       {Case{47, std::string(47, 'h')}, Case{48, std::string(47, 'h')}, Case{49, ""}}) {
    Rig r;
    std::memset(settings_page::Data(r.view, *settings_page::Find(8)), 0x5A, 256);
    r.form.LabeledEdit_ddns2.SetText("user");
    r.form.LabeledEdit_ddns3.SetText("pass");
    r.form.LabeledEdit_ddns4.SetText(std::string(c.length, 'h'));
    r.pages.Apply(3);
    const uint8_t* page = r.Data(4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(page + 68)), c.host);
    EXPECT_EQ(page[115], 0);
    EXPECT_EQ(r.Data(8)[0], 0x5A) << "the next page is untouched";
  }
}

TEST(SettingsPagesTest, ProviderLinksOpenOnlyForAProvider) {
  Rig r;
  r.Info(0);
  r.form.ComboBox_ddns1.SetItemIndex(0);
  r.form.ComboBox_ddns1.onChange();
  EXPECT_FALSE(r.form.Label_ddns2.enabled);
  EXPECT_FALSE(r.form.Label_ddns3.enabled);
  r.form.Label_ddns2.onClick();
  EXPECT_TRUE(r.host.opened.empty());
  r.form.ComboBox_ddns1.SetItemIndex(2);  // No-IP
  r.form.ComboBox_ddns1.onChange();
  EXPECT_TRUE(r.form.Label_ddns2.enabled);
  r.form.Label_ddns2.onClick();
  r.form.Label_ddns3.onClick();
  ASSERT_EQ(r.host.opened.size(), 2u);
  EXPECT_EQ(r.host.opened[0], SettingsPages::ProviderHome(3));
  EXPECT_EQ(r.host.opened[1], SettingsPages::ProviderAccount(3));
  for (int code = 1; code < 4; ++code)
    for (const char* a : {SettingsPages::ProviderHome(code), SettingsPages::ProviderAccount(code)})
      EXPECT_EQ(std::string(a).rfind("https://", 0), 0u) << a;
}

// ---- UPnP ----

TEST(SettingsPagesTest, UpnpOnPort8080) {
  Rig r;
  r.form.ComboBox_upnp.SetItemIndex(1);
  r.form.LabeledEdit_upnp.SetText("8080");
  r.pages.Apply(6);
  r.Tab(6);
  ASSERT_EQ(r.items.size(), 2u);
  EXPECT_EQ(r.items[0].name, "Zell_Upnp_C_Data_W");
  EXPECT_EQ(r.items[0].value, 0x60001F90u);
  EXPECT_EQ(r.items[1].value, 0xC0001F90u);
  EXPECT_TRUE(r.sent.empty());
}

TEST(SettingsPagesTest, UpnpApplyKeepsTheSettingAndNeedsAConnection) {
  Rig r;
  r.form.ComboBox_upnp.SetItemIndex(1);
  r.form.LabeledEdit_upnp.SetText("8080");
  r.pages.Apply(6);
  EXPECT_EQ(r.upnp, 0x40001F90u);
  r.connected = false;
  r.pages.Apply(6);
  EXPECT_EQ(r.items.size(), 1u);
}

TEST(SettingsPagesTest, UpnpPortOutsideSixteenBitsIsRefused) {
  for (const char* text : {"65536", "-1", "abc", "", "80x", "99999999999"}) {
    Rig r;
    r.form.LabeledEdit_upnp.SetText(text);
    r.pages.Apply(6);
    r.Tab(6);
    EXPECT_TRUE(r.items.empty()) << text;
    EXPECT_EQ(r.host.messageBoxes.size(), 2u) << text;
  }
  for (const char* text : {"0", "65535"}) {
    Rig r;
    r.form.LabeledEdit_upnp.SetText(text);
    r.pages.Apply(6);
    EXPECT_EQ(r.items.size(), 1u) << text;
  }
}

TEST(SettingsPagesTest, UpnpSettingArrives) {
  Rig r;
  r.upnp = 0x40000050;
  r.pages.UpnpArrived();
  EXPECT_EQ(r.form.ComboBox_upnp.itemIndex, 1);
  EXPECT_EQ(r.form.LabeledEdit_upnp.text, "80");
}

// ---- Mail ----

std::vector<std::string> MailTexts(const uint8_t* page) {
  std::vector<std::string> texts;
  uint32_t at = 2;
  while (at < 254 && texts.size() < 12 && page[at] != 0) {
    std::string t(reinterpret_cast<const char*>(page + at));
    at += static_cast<uint32_t>(t.size()) + 1;
    texts.push_back(t);
  }
  return texts;
}

void FillMail(Rig& r, size_t length, const std::string& port) {
  TTevranoX& f = r.form;
  for (Component* c : {&f.LabeledEdit_smtp1, &f.LabeledEdit_smtp2, &f.LabeledEdit_smtp3,
                       &f.LabeledEdit_smtp4, &f.LabeledEdit_smtp5, &f.LabeledEdit_smtp6,
                       &f.LabeledEdit_smtp7, &f.LabeledEdit_smtp8, &f.LabeledEdit_smtp9})
    c->SetText(std::string(length, static_cast<char>('a' + (c->name.back() - '0'))));
  f.LabeledEdit_smtp10.SetText(port);
}

TEST(SettingsPagesTest, MailApplySendsBothPagesAndOnlyPageOneIsPending) {
  Rig r;
  r.Info(0);
  r.form.ComboBox_smtp1.SetItemIndex(1);
  r.form.CheckBox_SMTP.SetChecked(true);
  r.form.ComboBox_smtp2.SetItemIndex(60);
  FillMail(r, 3, "25");
  r.pages.Apply(4);
  ASSERT_EQ(r.sent.size(), 2u);
  EXPECT_EQ(r.sent[0].mask, 8u);
  EXPECT_EQ(r.sent[1].mask, 16u);
  EXPECT_EQ(r.view.PendingSetMask, 8u);
  const uint8_t* p1 = r.sent[0].payload.data() + kHeaderBytes;
  EXPECT_EQ(p1[0], 20);
  EXPECT_EQ(p1[1], 9);
  EXPECT_EQ(p1[254], 0);
  const std::vector<std::string> expected = {"1",   "bbb", "25",  "ccc", "ddd", "1",
                                             "eee", "fff", "ggg", "hhh", "iii", "jjj"};
  EXPECT_EQ(MailTexts(p1), expected);
  EXPECT_EQ(LoadLe16(r.sent[1].payload.data() + kHeaderBytes), 60u);

  // Page 2's echo confirms nothing; page 1's does.
  EXPECT_TRUE(r.Receive(r.sent[1].payload));
  EXPECT_TRUE(r.host.messageBoxes.empty());
  EXPECT_TRUE(r.Receive(r.sent[0].payload));
  EXPECT_EQ(r.host.messageBoxes.size(), 1u);
}

TEST(SettingsPagesTest, MailTextsThatDoNotFitAreLeftOutFromTheEnd) {
  Rig r;
  r.Info(0);
  r.form.ComboBox_smtp1.SetItemIndex(1);
  FillMail(r, 31, "12345");
  r.pages.Apply(4);
  const uint8_t* p1 = r.sent[0].payload.data() + kHeaderBytes;
  const std::vector<std::string> texts = MailTexts(p1);
  ASSERT_EQ(texts.size(), 10u);  // subject and location left out
  EXPECT_EQ(texts[9], std::string(31, 'h'));
  for (int i = 236; i < 254; ++i) EXPECT_EQ(p1[i], 0) << i;

  // 255 characters in one field: that text and the rest are left out.
  Rig big;
  big.form.ComboBox_smtp1.SetItemIndex(1);
  big.form.LabeledEdit_smtp1.SetText(std::string(300, 's'));
  big.pages.Apply(4);
  EXPECT_EQ(MailTexts(big.sent[0].payload.data() + kHeaderBytes), std::vector<std::string>{"1"});
}

TEST(SettingsPagesTest, TestMailCountsAndSendsOnlyPageOne) {
  Rig r;
  r.Info(0);
  r.form.ComboBox_smtp1.SetItemIndex(1);
  r.form.Button_SMTP3.onClick();
  r.form.Button_SMTP3.onClick();
  ASSERT_EQ(r.sent.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(r.sent[i].mask, 8u);
    EXPECT_EQ(r.sent[i].payload[kHeaderBytes + 1], 16);
    EXPECT_EQ(r.sent[i].payload[kHeaderBytes + 254], i + 1);
  }
  // The Update tab's index is not Test Mail: applying with tab 7 sends nothing.
  r.pages.Apply(7);
  EXPECT_EQ(r.sent.size(), 2u);
}

std::vector<uint8_t> MailPage(const std::vector<std::string>& texts, uint8_t kind = 9) {
  std::vector<uint8_t> page(256, 0);
  page[0] = 20;
  page[1] = kind;
  uint32_t at = 2;
  for (const std::string& t : texts) {
    std::memcpy(page.data() + at, t.data(), t.size());
    at += static_cast<uint32_t>(t.size()) + 1;
  }
  return page;
}

TEST(SettingsPagesTest, MailPortAsReceived) {
  struct Case {
    const char* port;
    bool present;
    const char* shown;
  };
  const Case cases[] = {{"", true, "25"},
                        {"", false, "25"},
                        {"1,2,3", true, "123"},
                        {"99999", true, "65535"},
                        {"65535", true, "65535"},
                        {"25", true, "25"},
                        {"99999999999999999999", true, "65535"}};
  for (const Case& c : cases) {
    Rig r;
    r.Info(0);
    std::vector<std::string> texts = {"1", "smtp.example.net"};
    if (c.present) texts.push_back(c.port);
    EXPECT_TRUE(r.Receive(Rig::Page(8, MailPage(texts))));
    EXPECT_EQ(r.form.LabeledEdit_smtp10.text, c.shown) << c.port;
  }
}

TEST(SettingsPagesTest, MailModeAndIntervalAsReceived) {
  struct Case {
    int variant;
    const char* mode;
    int shown;
  };
  for (const Case& c :
       {Case{0, "2", 1}, Case{1, "2", 2}, Case{0, "1", 1}, Case{0, "0", 0}, Case{0, "x", 0}}) {
    Rig r;
    r.Info(c.variant);
    EXPECT_TRUE(r.Receive(Rig::Page(8, MailPage({c.mode}))));
    EXPECT_EQ(r.form.ComboBox_smtp1.itemIndex, c.shown) << c.variant << c.mode;
  }
  struct Interval {
    int16_t value;
    int shown;
  };
  for (const Interval& i :
       {Interval{75, 60}, Interval{-3, 0}, Interval{60, 60}, Interval{0, 0}, Interval{7, 7}}) {
    Rig r;
    r.Info(0);
    std::vector<uint8_t> p2(256, 0);
    StoreLe16(p2.data(), static_cast<uint16_t>(i.value));
    EXPECT_TRUE(r.Receive(Rig::Page(16, p2)));
    EXPECT_EQ(r.form.ComboBox_smtp2.itemIndex, i.shown) << i.value;
  }
}

TEST(SettingsPagesTest, MailPageOfAnotherFormClearsTheFields) {
  Rig r;
  r.Info(0);
  r.form.LabeledEdit_smtp1.SetText("old");
  r.form.CheckBox_SMTP.SetChecked(true);
  std::vector<uint8_t> page = MailPage({"1", "new"});
  page[1] = 10;
  EXPECT_TRUE(r.Receive(Rig::Page(8, page)));
  EXPECT_EQ(r.form.LabeledEdit_smtp1.text, "");
  EXPECT_FALSE(r.form.CheckBox_SMTP.checked);
  EXPECT_EQ(r.form.ComboBox_smtp1.itemIndex, 0);
}

TEST(SettingsPagesTest, MailTextsRunningToTheEndStopAtByte254) {
  Rig r;
  r.Info(0);
  std::vector<uint8_t> page(256, 'z');
  page[0] = 20, page[1] = 9, page[2] = '1', page[3] = 0;
  EXPECT_TRUE(r.Receive(Rig::Page(8, page)));
  EXPECT_EQ(r.form.LabeledEdit_smtp1.text, std::string(250, 'z'));
}

TEST(SettingsPagesTest, MailEnablingRules) {
  struct Case {
    int mode;
    bool account, addresses, test;
  };
  for (const Case& c :
       {Case{0, false, false, false}, Case{1, true, true, true}, Case{2, false, true, true}}) {
    Rig r;
    r.Info(1);
    r.form.ComboBox_smtp1.SetItemIndex(c.mode);
    r.form.ComboBox_smtp1.onChange();
    EXPECT_EQ(r.form.LabeledEdit_smtp1.enabled, c.account) << c.mode;
    EXPECT_EQ(r.form.LabeledEdit_smtp10.enabled, c.account) << c.mode;
    EXPECT_EQ(r.form.CheckBox_SMTP.enabled, c.account) << c.mode;
    EXPECT_EQ(r.form.LabeledEdit_smtp4.enabled, c.addresses) << c.mode;
    EXPECT_EQ(r.form.LabeledEdit_smtp9.enabled, c.addresses) << c.mode;
    EXPECT_EQ(r.form.Button_SMTP3.enabled, c.test) << c.mode;
  }
}

}  // namespace
}  // namespace tevrano
