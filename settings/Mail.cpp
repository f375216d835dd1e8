// The two Mail pages: page 1 holds twelve texts one after the other, page 2
// the notification interval; Test Mail sends page 1 of kind 16.
#include <cstring>
#include <string>

#include "base/ByteReader.h"
#include "settings/SettingsPages.h"

namespace tevrano {

namespace {
using namespace settings_page;

constexpr uint8_t kMailMarker = 20, kKindSettings = 9, kKindTestMail = 16;
constexpr uint32_t kTextsStart = 2, kTextsEnd = 254;  // the texts end before byte 254
constexpr uint32_t kCounterByte = 254;
constexpr int kTexts = 12;
constexpr int kModeOff = 0, kModeOn = 1, kModeDefault = 2;
}  // namespace

int SettingsPages::MailMode() const {
  const int index = form_.ComboBox_smtp1.itemIndex;
  return index == kModeOn || index == kModeDefault ? index : kModeOff;
}

void SettingsPages::BuildMail1(uint8_t kind) {
  view_.PendingSetMask |= kMail1;
  uint8_t* page = Page(kMail1);
  std::memset(page, 0, 256);
  page[0] = kMailMarker;
  page[1] = kind;
  const char mode[2] = {static_cast<char>('0' + MailMode()), 0};
  const char secure[2] = {form_.CheckBox_SMTP.checked ? '1' : '0', 0};
  // mode, server, port, user, password, secure, sender, receivers 1-3, subject, location
  const char* texts[kTexts] = {mode,     work_[0], work_[1], work_[2], work_[3], secure,
                               work_[4], work_[5], work_[6], work_[7], work_[8], work_[9]};
  uint32_t at = kTextsStart;
  for (const char* text : texts) {
    const size_t n = std::strlen(text);
    // The text and its zero byte must end before byte 254; the first one that
    // does not fit ends the list.
    if (at + n > kTextsEnd - 1) break;
    std::memcpy(page + at, text, n);
    at += static_cast<uint32_t>(n) + 1;
  }
  if (kind == kKindTestMail) ++testMailCounter_;
  page[kCounterByte] = static_cast<uint8_t>(testMailCounter_);
  page[255] = 0;
}

void SettingsPages::BuildMail2() {
  int interval = form_.ComboBox_smtp2.itemIndex;
  if (interval < 0) interval = 0;
  if (interval > 60) interval = 60;
  StoreLe16(Page(kMail2), static_cast<uint16_t>(interval));
}

void SettingsPages::ShowMail1() {
  TTevranoX& f = form_;
  Component* fields[10] = {&f.LabeledEdit_smtp1, &f.LabeledEdit_smtp10, &f.LabeledEdit_smtp2,
                           &f.LabeledEdit_smtp3, &f.LabeledEdit_smtp4,  &f.LabeledEdit_smtp5,
                           &f.LabeledEdit_smtp6, &f.LabeledEdit_smtp7,  &f.LabeledEdit_smtp8,
                           &f.LabeledEdit_smtp9};
  const uint8_t* page = Page(kMail1);
  if (page[0] != kMailMarker || (page[1] != kKindSettings && page[1] != kKindTestMail)) {
    f.ComboBox_smtp1.SetItemIndex(kModeOff);
    f.CheckBox_SMTP.SetChecked(false);
    for (Component* c : fields) c->SetText("");
    ApplyMailRules();
    return;
  }
  // Split bytes 2..253 at each zero byte: a text that runs to byte 254 ends there.
  std::string texts[kTexts];
  int count = 0;
  ByteReader r(page + kTextsStart, kTextsEnd - kTextsStart);
  while (count < kTexts && r.Remaining() > 0) {
    std::string& t = texts[count++];
    uint8_t c = 0;
    while (r.U8(c) && c != 0) t.push_back(static_cast<char>(c));
  }
  auto has = [count](int i) { return i < count; };

  int mode = kModeOff;
  if (has(0) && !texts[0].empty()) {
    if (texts[0][0] == '1') mode = kModeOn;
    if (texts[0][0] == '2') mode = serviceVariant_ == 1 ? kModeDefault : kModeOn;
  }
  f.ComboBox_smtp1.SetItemIndex(mode);
  if (has(1)) f.LabeledEdit_smtp1.SetText(texts[1]);
  uint32_t port = 25;
  if (has(2) && !texts[2].empty()) {
    port = 0;
    for (char c : texts[2]) {
      if (c < '0' || c > '9') continue;
      port = port * 10 + static_cast<uint32_t>(c - '0');
      if (port > 65535) port = 65535;  // clamped as read, so it never overflows
    }
  }
  f.LabeledEdit_smtp10.SetText(std::to_string(port));
  if (has(3)) f.LabeledEdit_smtp2.SetText(texts[3]);
  if (has(4)) f.LabeledEdit_smtp3.SetText(texts[4]);
  f.CheckBox_SMTP.SetChecked(has(5) && !texts[5].empty() && texts[5][0] == '1');
  for (int i = 6; i < kTexts; ++i)
    if (has(i)) fields[i - 2]->SetText(texts[i]);
  ApplyMailRules();
}

void SettingsPages::ShowMail2() {
  int interval = static_cast<int16_t>(LoadLe16(Page(kMail2)));
  if (interval < 0) interval = 0;
  if (interval > 60) interval = 60;
  form_.ComboBox_smtp2.SetItemIndex(interval);
}

void SettingsPages::ApplyMailRules() {
  TTevranoX& f = form_;
  // While the page waits for the recorder, everything stays off.
  if (!f.ComboBox_smtp1.enabled) return;
  const int mode = MailMode();
  f.Button_SMTP3.SetEnabled(mode != kModeOff);
  const bool account = mode == kModeOn;     // server, port, login and the tick
  const bool addresses = mode != kModeOff;  // sender, receivers, subject, location
  for (Component* c : {&f.LabeledEdit_smtp1, &f.LabeledEdit_smtp10, &f.LabeledEdit_smtp2,
                       &f.LabeledEdit_smtp3, &f.CheckBox_SMTP})
    c->SetEnabled(account);
  for (Component* c : {&f.LabeledEdit_smtp4, &f.LabeledEdit_smtp5, &f.LabeledEdit_smtp6,
                       &f.LabeledEdit_smtp7, &f.LabeledEdit_smtp8, &f.LabeledEdit_smtp9})
    c->SetEnabled(addresses);
}

void SettingsPages::EnableMail(bool on) {
  TTevranoX& f = form_;
  for (Component* c :
       {&f.ComboBox_smtp1, &f.ComboBox_smtp2, &f.Memo_SMTP, static_cast<Component*>(&f.Label_smtp2),
        &f.LabeledEdit_smtp1, &f.LabeledEdit_smtp10, &f.LabeledEdit_smtp2, &f.LabeledEdit_smtp3,
        &f.LabeledEdit_smtp4, &f.LabeledEdit_smtp5, &f.LabeledEdit_smtp6, &f.LabeledEdit_smtp7,
        &f.LabeledEdit_smtp8, &f.LabeledEdit_smtp9, &f.Button_SMTP, &f.Button_SMTP2,
        &f.Button_SMTP3})
    c->SetEnabled(on);
  view_.PageReady[kReadyMail] = on ? kReadyEnabled : 0;
  if (on) ApplyMailRules();
}

void SettingsPages::Button_SMTP2Click() {
  TTevranoX& f = form_;
  for (Component* c :
       {&f.LabeledEdit_smtp1, &f.LabeledEdit_smtp10, &f.LabeledEdit_smtp2, &f.LabeledEdit_smtp3,
        &f.LabeledEdit_smtp4, &f.LabeledEdit_smtp5, &f.LabeledEdit_smtp6, &f.LabeledEdit_smtp7,
        &f.LabeledEdit_smtp8, &f.LabeledEdit_smtp9})
    c->SetText("");
}

}  // namespace tevrano
