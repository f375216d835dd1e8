#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "base/Form.h"
#include "platform/HostServices.h"
#include "view/SettingsPageStore.h"
#include "view/ViewRecords.h"

namespace tevrano {

// The settings tabs of the form: the recorder's system information shown on
// the System tab and shaping the others, the Bitrate, PPPoE, DDNS and two
// Mail pages exchanged whole as "ICMD" type-4096 messages, and UPnP through
// its named items. Loading a page when its tab is chosen, Apply with the
// pending-set mask and the "Setup Successful." box, the page-ready counters.
// Works on the first recorder connection; everything runs on the control's
// thread (button and socket events, the main loop).
class SettingsPages {
 public:
  // What the pages need from the layers that carry them; bound by control/.
  struct Hooks {
    // Sends "ICMD" `operation` with type 4096 and the page mask on the first
    // connection (the page itself is built through BuildPage); -1 on failure.
    std::function<int(uint32_t operation, uint32_t mask)> sendPage;
    // Sends a named item with its bytes on the first connection.
    std::function<int(const char* name, const void* data, uint32_t size)> sendItem;
    // Whether the first connection has a handle (is logged in).
    std::function<bool()> connected;
    // The Title tab: its first load and its Apply (the titles' own code).
    std::function<void()> loadTitles;
    std::function<void()> applyTitles;
  };

  // Provider codes of the DDNS page.
  enum Provider : uint16_t { kDisabled = 0, kDynDns = 1, kVelmora = 2, kNoIp = 3 };
  static constexpr int kProviderSlots = 8;
  static constexpr int kWorkBuffers = 10;
  static constexpr int kWorkBufferBytes = 256;

  // `view` is the first connection's view state (the one the form shows);
  // `upnpItem` the buffer of the two UPnP named items.
  SettingsPages(TTevranoX& form, platform::HostServices& host, ViewState& view, uint32_t& upnpItem);
  SettingsPages(const SettingsPages&) = delete;
  SettingsPages& operator=(const SettingsPages&) = delete;

  Hooks& GetHooks() { return hooks_; }

  // Start-up: binds the tabs' events (Apply buttons, Clear, links, combos).
  void Bind();
  // Start-up: the PPPoE, DDNS and mail input fields emptied.
  void ClearInputFields();

  // The "ICMD" module's page hooks.
  uint32_t BuildPage(ViewState& view, uint32_t mask, uint8_t* out, uint32_t room);
  bool ReceivePage(ViewState& view, uint32_t operation, const uint8_t* payload, uint32_t length);

  // The recorder's 256-byte system information arrived: sets up the form.
  void SystemInfoArrived(const uint8_t* info, uint32_t length);

  // Form events.
  void PageControl1Change();
  void ApplyClick() { Apply(form_.PageControl1.activePageIndex); }
  void Apply(int tab);
  void TestMail();
  void Button_PPPoE2Click();
  void Button_DDNS2Click();
  void Button_SMTP2Click();
  void ComboBox_ddns1Change() { UpdateLinks(); }
  void ComboBox_smtp1Change() { ApplyMailRules(); }
  void Label_ddns2Click() { OpenProviderLink(false); }
  void Label_ddns3Click() { OpenProviderLink(true); }

  // "Zell_Upnp_C_Data_R" arrived: the UPnP setting in the item buffer shown.
  void UpnpArrived();

  // Each pass of the main loop: the page-ready fallback.
  void Periodic();

  // What the last system information said.
  int ServiceVariant() const { return serviceVariant_; }
  int Channels() const { return channels_; }  // 0..16
  bool ModelN6() const { return modelN6_; }
  uint8_t WatermarkCapability() const { return watermarkCapability_; }
  const int32_t* ProviderSlots() const { return providerSlots_; }
  uint32_t TestMailCounter() const { return testMailCounter_; }

  // Provider list: reset (all slots empty) and add (a code below 4).
  void ResetProviders();
  void AddProvider(int code);

  // The provider tables: the text shown in the list, the "Home" address and
  // the "Create Account" address of each code (entry 0 is "Disable").
  static const char* ProviderText(int code);
  static const char* ProviderHome(int code);
  static const char* ProviderAccount(int code);

 private:
  // Page callbacks.
  void ShowPage(const settings_page::Slot& slot);
  void EnableReady(int ready, bool on);
  void EnableBitrate(bool on);
  void EnablePppoe(bool on);
  void EnableDdns(bool on);
  void EnableMail(bool on);

  // Page building from the controls (Apply).
  void FillWorkBuffers(int tab);
  void BuildPppoe();
  void BuildDdns();
  void BuildMail1(uint8_t kind);
  void BuildMail2();
  void SendSet(uint32_t mask);

  void ShowBitrate();
  void ShowPppoe();
  void ShowDdns();
  void ShowMail1();
  void ShowMail2();
  void UpdateLinks();
  void OpenProviderLink(bool account);
  void ApplyMailRules();
  // DDNS and mail texts, lists and links that depend on the service variant.
  void SetUpVariantTexts(bool variant1);
  static std::string UpnpHelp();
  void ChooseUpnpTab();
  void ApplyUpnp();
  // The UPnP port typed; false (with the conversion's message) when it is not
  // a number from 0 to 65535.
  bool UpnpPort(uint32_t& port);
  int MailMode() const;

  uint8_t* Page(uint32_t mask) { return settings_page::Data(view_, *settings_page::Find(mask)); }

  TTevranoX& form_;
  platform::HostServices& host_;
  ViewState& view_;
  uint32_t& upnpItem_;
  Hooks hooks_;

  int serviceVariant_ = 0;
  int channels_ = 0;
  bool modelN6_ = false;
  uint8_t watermarkCapability_ = 0;
  bool titlesLoaded_ = false;
  int32_t providerSlots_[kProviderSlots];
  uint32_t testMailCounter_ = 0;
  char work_[kWorkBuffers][kWorkBufferBytes] = {};
};

// Copies `text` into a zeroed field of `size` bytes, at most size - 1
// characters so the terminator always fits inside the field.
void CopyTextField(uint8_t* field, uint32_t size, const char* text);

}  // namespace tevrano
