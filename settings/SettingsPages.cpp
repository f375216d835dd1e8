// The settings framework: pages in and out, loading and applying by tab,
// the page-ready counters, the set-up from the system information, and the
// System and Bitrate tabs.
#include "settings/SettingsPages.h"

#include <cstring>

#include "base/ByteReader.h"
#include "view/IcmdModule.h"

namespace tevrano {

namespace {
using namespace settings_page;

constexpr int kTabSystem = 0, kTabBitrate = 1, kTabPppoe = 2, kTabDdns = 3, kTabMail = 4,
              kTabTitle = 5, kTabUpnp = 6, kTabUpdate = 7;

// System information layout.
constexpr uint32_t kInfoChannels = 0, kInfoVariant = 4, kInfoTitles = 8, kInfoNoInterval = 228;
constexpr uint32_t kInfoTexts[4] = {12, 44, 76, 108};
constexpr uint32_t kInfoSize = 256;

const char* const kBitrateHelp =
    " \r\n  * Change the value of bitrate, can change the quality of video.";
const char* const kPppoeHelp =
    " \r\n  * When using PPPoE mode, please select PPPoE to \"ON\" and fill the values in all "
    "fields.\r\n  * If input wrong \"User Name\" or \"Password\" , please start DVR again after "
    "correcting.";
}  // namespace

void CopyTextField(uint8_t* field, uint32_t size, const char* text) {
  std::memset(field, 0, size);
  if (size == 0) return;
  const size_t n = strnlen(text, size - 1);
  std::memcpy(field, text, n);
}

SettingsPages::SettingsPages(TTevranoX& form, platform::HostServices& host, ViewState& view,
                             uint32_t& upnpItem)
    : form_(form), host_(host), view_(view), upnpItem_(upnpItem) {
  for (int32_t& s : providerSlots_) s = -1;
}

void SettingsPages::Bind() {
  TTevranoX& f = form_;
  f.PageControl1.onChange = [this] { PageControl1Change(); };
  for (Component* b :
       {&f.Button_Bitrate, &f.Button_PPPoE, &f.Button_DDNS, &f.Button_SMTP, &f.Button_UPNP})
    b->onClick = [this] { ApplyClick(); };
  if (Component* title = f.Find("Button_Title1")) title->onClick = [this] { ApplyClick(); };
  f.Button_SMTP3.onClick = [this] { TestMail(); };
  f.Button_PPPoE2.onClick = [this] { Button_PPPoE2Click(); };
  f.Button_DDNS2.onClick = [this] { Button_DDNS2Click(); };
  f.Button_SMTP2.onClick = [this] { Button_SMTP2Click(); };
  f.ComboBox_ddns1.onChange = [this] { ComboBox_ddns1Change(); };
  f.ComboBox_smtp1.onChange = [this] { ComboBox_smtp1Change(); };
  f.Label_ddns2.onClick = [this] { Label_ddns2Click(); };
  f.Label_ddns3.onClick = [this] { Label_ddns3Click(); };
}

void SettingsPages::ClearInputFields() {
  TTevranoX& f = form_;
  for (Component* c :
       {&f.LabeledEdit_pppoe2, &f.LabeledEdit_pppoe3, &f.LabeledEdit_ddns2, &f.LabeledEdit_ddns3,
        &f.LabeledEdit_ddns4, &f.LabeledEdit_smtp1, &f.LabeledEdit_smtp10, &f.LabeledEdit_smtp2,
        &f.LabeledEdit_smtp3, &f.LabeledEdit_smtp4, &f.LabeledEdit_smtp5, &f.LabeledEdit_smtp6,
        &f.LabeledEdit_smtp7, &f.LabeledEdit_smtp8, &f.LabeledEdit_smtp9})
    c->SetText("");
}

// ---- Pages in and out ----

uint32_t SettingsPages::BuildPage(ViewState& view, uint32_t mask, uint8_t* out, uint32_t room) {
  const Slot* slot = Find(mask);
  if (!slot) return 0;
  // The page's controls wait for the recorder's answer.
  if (&view == &view_) EnableReady(slot->ready, false);
  return Build(view, mask, out, room);
}

bool SettingsPages::ReceivePage(ViewState& view, uint32_t operation, const uint8_t* payload,
                                uint32_t length) {
  PageHeader header;
  const Slot* slot = Check(payload, length, header);
  if (!slot) return false;
  if (view.PendingSetMask & slot->mask) {
    // The recorder's answer to our own set: our copy stays as it is.
    host_.MessageBox("Setup Successful.", "Setup Information", platform::kMbOk);
  } else {
    std::memcpy(Data(view, *slot), payload + kHeaderBytes, slot->size);
  }
  (void)operation;  // the sender's mode is taken over by the module for sets
  if (&view == &view_) {
    ShowPage(*slot);
    EnableReady(slot->ready, true);
  }
  view.PendingSetMask &= ~slot->mask;
  return true;
}

void SettingsPages::ShowPage(const Slot& slot) {
  switch (slot.mask) {
    case kBitrate:
      ShowBitrate();
      break;
    case kPppoe:
      ShowPppoe();
      break;
    case kDdns:
      ShowDdns();
      break;
    case kMail1:
      ShowMail1();
      break;
    case kMail2:
      ShowMail2();
      break;
  }
}

void SettingsPages::EnableReady(int ready, bool on) {
  switch (ready) {
    case kReadyBitrate:
      EnableBitrate(on);
      break;
    case kReadyPppoe:
      EnablePppoe(on);
      break;
    case kReadyDdns:
      EnableDdns(on);
      break;
    case kReadyMail:
      EnableMail(on);
      break;
    default:
      return;
  }
  view_.PageReady[ready] = on ? kReadyEnabled : 0;
}

void SettingsPages::Periodic() {
  for (int i = 0; i < 4; ++i) {
    int32_t& counter = view_.PageReady[i];
    if (counter >= kReadyFallback) continue;
    if (++counter == kReadyFallback) EnableReady(i, true);
  }
}

void SettingsPages::SendSet(uint32_t mask) {
  if (hooks_.sendPage) hooks_.sendPage(IcmdModule::kSet, mask);
}

// ---- Loading and applying by tab ----

void SettingsPages::PageControl1Change() {
  auto request = [this](uint32_t mask) {
    if (hooks_.sendPage) hooks_.sendPage(IcmdModule::kRequest, mask);
  };
  switch (form_.PageControl1.activePageIndex) {
    case kTabBitrate:
      request(kBitrate);
      break;
    case kTabPppoe:
      request(kPppoe);
      break;
    case kTabDdns:
      request(kDdns);
      break;
    case kTabMail:
      request(kMail1);
      request(kMail2);
      ApplyMailRules();
      break;
    case kTabTitle:
      if (!titlesLoaded_ && hooks_.loadTitles) hooks_.loadTitles();
      titlesLoaded_ = true;
      break;
    case kTabUpnp:
      ChooseUpnpTab();
      break;
    default:  // System and Update load nothing
      break;
  }
}

void SettingsPages::FillWorkBuffers(int tab) {
  TTevranoX& f = form_;
  std::memset(work_, 0, sizeof work_);
  const Component* fields[kWorkBuffers] = {};
  switch (tab) {
    case kTabPppoe:
      fields[0] = &f.LabeledEdit_pppoe2;
      fields[1] = &f.LabeledEdit_pppoe3;
      break;
    case kTabDdns:
      fields[0] = &f.LabeledEdit_ddns2;
      fields[1] = &f.LabeledEdit_ddns3;
      fields[2] = &f.LabeledEdit_ddns4;
      break;
    case kTabMail: {
      const Component* mail[kWorkBuffers] = {
          &f.LabeledEdit_smtp1, &f.LabeledEdit_smtp10, &f.LabeledEdit_smtp2, &f.LabeledEdit_smtp3,
          &f.LabeledEdit_smtp4, &f.LabeledEdit_smtp5,  &f.LabeledEdit_smtp6, &f.LabeledEdit_smtp7,
          &f.LabeledEdit_smtp8, &f.LabeledEdit_smtp9};
      std::memcpy(fields, mail, sizeof mail);
      break;
    }
    default:
      return;
  }
  for (int i = 0; i < kWorkBuffers; ++i)
    if (fields[i])
      CopyTextField(reinterpret_cast<uint8_t*>(work_[i]), kWorkBufferBytes,
                    fields[i]->text.c_str());
}

void SettingsPages::Apply(int tab) {
  switch (tab) {
    case kTabBitrate: {
      const int index = form_.ComboBox_bitrate.itemIndex;
      if (index < 0 || index > 9) return;  // nothing chosen: nothing to send
      StoreLe32(Page(kBitrate), static_cast<uint32_t>(index));
      view_.PendingSetMask |= kBitrate;
      SendSet(kBitrate);
      break;
    }
    case kTabPppoe:
      FillWorkBuffers(tab);
      BuildPppoe();
      view_.PendingSetMask |= kPppoe;
      SendSet(kPppoe);
      break;
    case kTabDdns:
      FillWorkBuffers(tab);
      BuildDdns();
      view_.PendingSetMask |= kDdns;
      SendSet(kDdns);
      break;
    case kTabMail:
      // Only page 1 marks itself pending: its answer brings the confirmation.
      FillWorkBuffers(tab);
      BuildMail1(9);
      BuildMail2();
      SendSet(kMail1);
      SendSet(kMail2);
      break;
    case kTabTitle:
      if (hooks_.applyTitles) hooks_.applyTitles();
      break;
    case kTabUpnp:
      ApplyUpnp();
      break;
    default:  // System and Update have nothing to apply
      break;
  }
}

void SettingsPages::TestMail() {
  FillWorkBuffers(kTabMail);
  BuildMail1(16);
  SendSet(kMail1);
}

// ---- System information ----

void SettingsPages::SystemInfoArrived(const uint8_t* info, uint32_t length) {
  TTevranoX& f = form_;
  ByteReader r(info, length < kInfoSize ? length : kInfoSize);
  uint32_t channels = 0, variant = 0, titles = 0, noInterval = 0;
  r.Le32At(kInfoChannels, channels);
  r.Le32At(kInfoVariant, variant);
  r.Le32At(kInfoTitles, titles);
  r.Le32At(kInfoNoInterval, noInterval);
  channels_ = channels > 16 ? 16 : static_cast<int>(channels);
  serviceVariant_ = static_cast<int>(variant);
  const bool variant1 = variant == 1;

  // 1. Field lengths.
  for (Component* c :
       {&f.LabeledEdit_pppoe2, &f.LabeledEdit_pppoe3, &f.LabeledEdit_ddns2, &f.LabeledEdit_ddns3,
        &f.LabeledEdit_smtp1, &f.LabeledEdit_smtp2, &f.LabeledEdit_smtp3, &f.LabeledEdit_smtp4,
        &f.LabeledEdit_smtp5, &f.LabeledEdit_smtp6, &f.LabeledEdit_smtp7, &f.LabeledEdit_smtp8,
        &f.LabeledEdit_smtp9})
    c->SetMaxLength(31);
  f.LabeledEdit_ddns4.SetMaxLength(47);
  f.LabeledEdit_smtp10.SetMaxLength(5);

  // 2. The four texts, each within its 32 bytes.
  Label* labels[4] = {&f.Label_System1, &f.Label_System2, &f.Label_System3, &f.Label_System4};
  char model[32] = {};
  for (int i = 0; i < 4; ++i) {
    char text[32] = {};  // byte 31 of each field is forced to zero
    ByteReader t(info, length < kInfoSize ? length : kInfoSize);
    if (t.Seek(kInfoTexts[i])) t.Text(32, text, sizeof text);
    labels[i]->SetCaption(text);
    if (i == 3) std::memcpy(model, text, sizeof model);
  }

  // 3. Title tab and mail interval.
  f.Tab(kTabTitle)->SetVisible(titles != 0);
  for (Component* c : {static_cast<Component*>(&f.Label_smtp2), &f.ComboBox_smtp2,
                       static_cast<Component*>(&f.Label_smtp3)})
    c->SetVisible(noInterval != 1);

  // 4. Help texts.
  f.Memo_Bitrate.SetText(kBitrateHelp);
  f.Memo_PPPoE.SetText(kPppoeHelp);
  f.Memo_DDNS.SetText("");
  f.Memo_UPNP.SetText("");

  // 5, 6. Providers, labels, mail modes and help by service variant.
  ResetProviders();
  AddProvider(kDisabled);
  if (variant1) {
    AddProvider(kVelmora);
  } else {
    AddProvider(kDynDns);
    AddProvider(kNoIp);
  }
  f.ComboBox_ddns1.SetItemIndex(0);
  SetUpVariantTexts(variant1);

  // 7. UPnP help.
  f.Memo_UPNP.SetText(UpnpHelp());

  // 8. Mail interval list.
  std::vector<std::string> minutes;
  for (int i = 0; i <= 60; ++i) minutes.push_back(std::to_string(i));
  f.ComboBox_smtp2.SetItems(std::move(minutes));
  f.ComboBox_smtp2.SetItemIndex(0);

  // 10. Models of family 6 have neither PPPoE nor the update through us.
  modelN6_ = std::strstr(model, "[N] 6") != nullptr;
  watermarkCapability_ = modelN6_ ? 128 : 0;
  f.Tab(kTabPppoe)->SetVisible(!modelN6_);
  f.Tab(kTabUpdate)->SetVisible(!modelN6_ && !variant1);
  UpdateLinks();
  ApplyMailRules();
}

// ---- Bitrate ----

void SettingsPages::ShowBitrate() {
  const uint32_t index = LoadLe32(Page(kBitrate));
  if (index <= 9 && form_.ComboBox_bitrate.itemIndex != static_cast<int>(index))
    form_.ComboBox_bitrate.SetItemIndex(static_cast<int>(index));
}

void SettingsPages::EnableBitrate(bool on) {
  // The bitrate controls are never left disabled.
  (void)on;
  form_.ComboBox_bitrate.SetEnabled(true);
  form_.Label_bitrate.SetEnabled(true);
  form_.Button_Bitrate.SetEnabled(true);
}

}  // namespace tevrano
