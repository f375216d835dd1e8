// The PPPoE and DDNS pages: their layouts, controls, provider list and links.
#include <cstring>

#include "base/ByteReader.h"
#include "settings/SettingsPages.h"

namespace tevrano {

namespace {
using namespace settings_page;

// PPPoE page (68 bytes).
constexpr uint32_t kPppoeEnabled = 0, kPppoeUser = 4, kPppoePassword = 36, kPppoeText = 32;
// DDNS page (116 bytes).
constexpr uint32_t kDdnsProvider = 2, kDdnsUser = 4, kDdnsPassword = 36, kDdnsHost = 68;
constexpr uint32_t kDdnsText = 32, kDdnsHostText = 48;

struct ProviderEntry {
  const char* text;     // shown in the provider list
  const char* home;     // opened by "Home"
  const char* account;  // opened by "Create Account"
};
// Indexed by provider code. Entry 0 is "Disable" in every table.
constexpr ProviderEntry kProviders[4] = {
    {"Disable", "Disable", "Disable"},
    {"www.dyndns.com", "https://dyn.com/", "https://account.dyn.com/entrance/"},
    {"www.velmoraddns.net", "https://www.velmoraddns.net/", "https://www.velmoraddns.net/signup"},
    {"www.no-ip.com", "https://www.noip.com/", "https://www.noip.com/sign-up"},
};

const char* const kDdnsHelp =
    " \r\n  * Please select the preferable DDNS mode, then setup your DDNS server\r\n"
    "  * Fill in DDNS User Name, DDNS Password, DDNS Host name, then press submit,\r\n"
    "    it can connect to DDNS Web\r\n"
    "  * ex:\r\n"
    "    DDNS Select : www.dyndns.com\r\n"
    "    DDNS User Name : guest1\r\n"
    "    DDNS Password : *****\r\n"
    "    DDNS Host Name : guest1.dyndns.org\r\n"
    "    DDNS Web : http://guest1.dyndns.org";
const char* const kDdnsHelpVariant1 =
    " \r\n  * Please select the preferable DDNS mode, then setup your DDNS server \r\n"
    "  * Fill in DDNS User Name, DDNS Password, DDNS Domain name, then press submit,\r\n"
    "    it can connect to DDNS Web\r\n"
    "  * ex:\r\n"
    "    DDNS Select : www.velmoraddns.net\r\n"
    "    DDNS User Name : guest1\r\n"
    "    DDNS Password : *****\r\n"
    "    DDNS Domain Name : guest\r\n"
    "    DDNS Web : http://guest.velmoraddns.net";
const char* const kMailHelp =
    " \r\n  * When using E-mail notification mode, please select \"ON\" and fill the values in "
    "all fields\r\n"
    "    * SMTP server address, user name and password\r\n"
    "    * Sender's Email and Receiver's Email\r\n"
    "    * the mail subject and location\r\n"
    "  * Click Submit to save your settings or click Cancel to exit without saving";
const char* const kMailHelpVariant1 =
    " \r\n  * When select E-mail notification mode with \"Default\" only fill in Sender's "
    "Email,Receiver's Email\r\n"
    "  * IF you would like to use your own email server you have to select \"ON\" and fill the "
    "values in all fields\r\n"
    "    * SMTP server address, user name and password\r\n"
    "    * Sender's Email and Receiver's Email\r\n"
    "    * the mail subject and location\r\n"
    "  * Click Apply to save your settings or click Cancel to exit without saving";

bool IsWebAddress(const char* address) {
  return std::strncmp(address, "http://", 7) == 0 || std::strncmp(address, "https://", 8) == 0;
}

// A text field of a received page, forced to end inside its field.
std::string FieldText(const uint8_t* page, uint32_t offset, uint32_t size) {
  char text[64] = {};
  ByteReader::CopyText(page + offset, size, text, size < sizeof text ? size : sizeof text);
  return text;
}
}  // namespace

const char* SettingsPages::ProviderText(int code) {
  return code >= 0 && code < 4 ? kProviders[code].text : "";
}
const char* SettingsPages::ProviderHome(int code) {
  return code >= 0 && code < 4 ? kProviders[code].home : "";
}
const char* SettingsPages::ProviderAccount(int code) {
  return code >= 0 && code < 4 ? kProviders[code].account : "";
}

void SettingsPages::SetUpVariantTexts(bool variant1) {
  TTevranoX& f = form_;
  f.Memo_SMTP.SetText(variant1 ? kMailHelpVariant1 : kMailHelp);
  f.Memo_DDNS.SetText(variant1 ? kDdnsHelpVariant1 : kDdnsHelp);
  f.LabeledEdit_ddns4.SetCaption(variant1 ? "DDNS Domain Name" : "DDNS Host Name");
  if (variant1)
    f.ComboBox_smtp1.SetItems({"OFF", "ON", "Default"});
  else
    f.ComboBox_smtp1.SetItems({"OFF", "ON"});
  if (f.ComboBox_smtp1.itemIndex >= static_cast<int>(f.ComboBox_smtp1.items.size()))
    f.ComboBox_smtp1.SetItemIndex(1);
  f.Label_ddns2.SetVisible(!variant1);
  f.Label_ddns3.SetVisible(!variant1);
}

// ---- Provider list ----

void SettingsPages::ResetProviders() {
  for (int32_t& s : providerSlots_) s = -1;
  form_.ComboBox_ddns1.SetItems({});
  form_.ComboBox_ddns1.SetItemIndex(-1);
}

void SettingsPages::AddProvider(int code) {
  if (code < 0 || code >= 4) return;
  for (int32_t& s : providerSlots_) {
    if (s != -1) continue;
    s = code;
    std::vector<std::string> items = form_.ComboBox_ddns1.items;
    items.emplace_back(kProviders[code].text);
    form_.ComboBox_ddns1.SetItems(std::move(items));
    return;
  }
}

void SettingsPages::UpdateLinks() {
  const int index = form_.ComboBox_ddns1.itemIndex;
  const bool on = index != -1 && index != 0;
  form_.Label_ddns2.SetEnabled(on);
  form_.Label_ddns3.SetEnabled(on);
}

void SettingsPages::OpenProviderLink(bool account) {
  if (!form_.Label_ddns2.enabled && !account) return;
  if (!form_.Label_ddns3.enabled && account) return;
  int index = form_.ComboBox_ddns1.itemIndex;
  if (index < 0 || index >= kProviderSlots) index = 0;
  const int32_t code = providerSlots_[index];
  if (code < 1 || code > 3) return;
  const char* address = account ? kProviders[code].account : kProviders[code].home;
  // Only web addresses go to the host's opener, never anything a shell could run.
  if (IsWebAddress(address)) host_.OpenFolderOrAddress(address);
}

// ---- PPPoE ----

void SettingsPages::ShowPppoe() {
  uint8_t* page = Page(kPppoe);
  page[kPppoeUser + 31] = 0;
  page[kPppoePassword + 31] = 0;
  const uint16_t enabled = LoadLe16(page + kPppoeEnabled);
  form_.ComboBox_pppoe1.SetItemIndex(enabled <= 1 ? enabled : 0);
  form_.LabeledEdit_pppoe2.SetText(FieldText(page, kPppoeUser, kPppoeText));
  form_.LabeledEdit_pppoe3.SetText(FieldText(page, kPppoePassword, kPppoeText));
}

void SettingsPages::BuildPppoe() {
  uint8_t* page = Page(kPppoe);
  const int index = form_.ComboBox_pppoe1.itemIndex;
  StoreLe16(page + kPppoeEnabled, static_cast<uint16_t>(index == 1 ? 1 : 0));
  std::memset(page + kPppoeUser, 0, 2 * kPppoeText);
  // Texts longer than the fields send both fields empty; otherwise at most
  // 31 characters of each arrive.
  if (std::strlen(work_[0]) <= kPppoeText && std::strlen(work_[1]) <= kPppoeText) {
    CopyTextField(page + kPppoeUser, kPppoeText, work_[0]);
    CopyTextField(page + kPppoePassword, kPppoeText, work_[1]);
  }
}

void SettingsPages::EnablePppoe(bool on) {
  TTevranoX& f = form_;
  for (Component* c :
       {&f.ComboBox_pppoe1, static_cast<Component*>(&f.Label_pppoe1), &f.LabeledEdit_pppoe2,
        &f.LabeledEdit_pppoe3, &f.Button_PPPoE, &f.Button_PPPoE2})
    c->SetEnabled(on);
}

void SettingsPages::Button_PPPoE2Click() {
  form_.LabeledEdit_pppoe2.SetText("");
  form_.LabeledEdit_pppoe3.SetText("");
}

// ---- DDNS ----

void SettingsPages::ShowDdns() {
  uint8_t* page = Page(kDdns);
  const uint16_t code = LoadLe16(page + kDdnsProvider);
  form_.ComboBox_ddns1.SetItemIndex(code == kDynDns || code == kVelmora ? 1
                                    : code == kNoIp                     ? 2
                                                                        : 0);
  page[kDdnsUser + 31] = 0;
  page[kDdnsPassword + 31] = 0;
  page[kDdnsHost + 47] = 0;
  form_.LabeledEdit_ddns2.SetText(FieldText(page, kDdnsUser, kDdnsText));
  form_.LabeledEdit_ddns3.SetText(FieldText(page, kDdnsPassword, kDdnsText));
  form_.LabeledEdit_ddns4.SetText(FieldText(page, kDdnsHost, kDdnsHostText));
  UpdateLinks();
}

void SettingsPages::BuildDdns() {
  uint8_t* page = Page(kDdns);
  // An empty choice (-1) counts as the first entry, "Disable".
  const int index = form_.ComboBox_ddns1.itemIndex;
  uint16_t code = kDisabled;
  if (index == 1) code = serviceVariant_ == 1 ? kVelmora : kDynDns;
  if (index == 2) code = kNoIp;
  StoreLe16(page + kDdnsProvider, code);
  std::memset(page + kDdnsUser, 0, 2 * kDdnsText + kDdnsHostText);
  if (std::strlen(work_[0]) <= kDdnsText && std::strlen(work_[1]) <= kDdnsText &&
      std::strlen(work_[2]) <= kDdnsHostText) {
    CopyTextField(page + kDdnsUser, kDdnsText, work_[0]);
    CopyTextField(page + kDdnsPassword, kDdnsText, work_[1]);
    CopyTextField(page + kDdnsHost, kDdnsHostText, work_[2]);
  }
}

void SettingsPages::EnableDdns(bool on) {
  TTevranoX& f = form_;
  for (Component* c :
       {&f.ComboBox_ddns1, static_cast<Component*>(&f.Label_ddns1), &f.LabeledEdit_ddns2,
        &f.LabeledEdit_ddns3, &f.LabeledEdit_ddns4, &f.Button_DDNS, &f.Button_DDNS2})
    c->SetEnabled(on);
}

void SettingsPages::Button_DDNS2Click() {
  form_.LabeledEdit_ddns2.SetText("");
  form_.LabeledEdit_ddns3.SetText("");
  form_.LabeledEdit_ddns4.SetText("");
}

}  // namespace tevrano
