// UPnP: one 32-bit setting exchanged as named items (bit 31 query, bit 30
// on, bit 29 set, bits 0..15 the port).
#include <cstdio>
#include <string>

#include "settings/SettingsPages.h"

namespace tevrano {

namespace {
constexpr uint32_t kQuery = 1u << 31, kOn = 1u << 30, kSet = 1u << 29;
constexpr const char* kUpnpWrite = "Zell_Upnp_C_Data_W";
}  // namespace

std::string SettingsPages::UpnpHelp() {
  // Curly quotation marks and the apostrophe in the Big5 code page.
  const std::string open = "\xA1\xA7", close = "\xA1\xA8", apostrophe = "\xA1\xA6";
  return " \r\n  * Before using the UPnP, please be sure to " + open + "Enable" + close +
         " UPnP in your router setting\r\n"
         "  * In DVR LAN setting page:\r\n"
         "    DHCP Enable: X\r\n"
         "      DNS Server: You have to set DNS Server before using UPnP\r\n"
         "      Gateway: Please indicate gateway to router" +
         apostrophe +
         "s IP address\r\n"
         "    DHCP Enable: O\r\n"
         "      DNS Server: No need to fill in info.\r\n"
         "      Gateway: No need to fill in info.\r\n"
         "  *Under the UPnP Status, select \"ON\"\r\n"
         "  *Please set UPnP port (Default setting is 80)\r\n"
         "  *Click Apply to save your settings";
}

bool SettingsPages::UpnpPort(uint32_t& port) {
  const std::string& text = form_.LabeledEdit_upnp.text;
  // Decimal digits with an optional sign, as the number conversion takes them.
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t value = 0;
  bool digits = false, ok = i < text.size();
  for (; i < text.size() && ok; ++i) {
    if (text[i] < '0' || text[i] > '9') ok = false;
    digits = true;
    if (ok) value = value > 100000 ? 100000 : value * 10 + static_cast<uint32_t>(text[i] - '0');
  }
  if (!ok || !digits) {
    char message[96];
    std::snprintf(message, sizeof message, "'%.40s' is not a valid integer value", text.c_str());
    host_.MessageBox(message, form_.Caption, platform::kMbOk);
    return false;
  }
  // The port field holds 16 bits: anything else is refused, not wrapped.
  if ((negative && value != 0) || value > 65535) {
    char message[96];
    std::snprintf(message, sizeof message, "%.40s is not a port from 0 to 65535", text.c_str());
    host_.MessageBox(message, form_.Caption, platform::kMbOk);
    return false;
  }
  port = value;
  return true;
}

void SettingsPages::ChooseUpnpTab() {
  uint32_t port = 0;
  if (!UpnpPort(port)) return;
  const uint32_t on = form_.ComboBox_upnp.itemIndex == 1 ? 1 : 0;
  upnpItem_ = port + on * kOn + kQuery;
  if (hooks_.sendItem) hooks_.sendItem(kUpnpWrite, &upnpItem_, 4);
}

void SettingsPages::ApplyUpnp() {
  if (!hooks_.connected || !hooks_.connected()) return;
  uint32_t port = 0;
  if (!UpnpPort(port)) return;
  const uint32_t on = form_.ComboBox_upnp.itemIndex == 1 ? 1 : 0;
  upnpItem_ = (on * kOn) | kSet | port;
  if (hooks_.sendItem) hooks_.sendItem(kUpnpWrite, &upnpItem_, 4);
  upnpItem_ = on * kOn + port;
}

void SettingsPages::UpnpArrived() {
  form_.ComboBox_upnp.SetItemIndex(upnpItem_ & kOn ? 1 : 0);
  form_.LabeledEdit_upnp.SetText(std::to_string(upnpItem_ & 0xFFFF));
}

}  // namespace tevrano
