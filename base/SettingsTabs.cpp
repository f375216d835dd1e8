#include "base/Form.h"

namespace tevrano {

void TTevranoX::PlaceSettingsComponents() {
  struct Place {
    Component& component;
    int tab;
    const char* caption;
  };
  const Place places[] = {
      {Label_System1, 0, ""},
      {Label_System2, 0, ""},
      {Label_System3, 0, ""},
      {Label_System4, 0, ""},
      {Label_System5, 0, ""},
      {Label_bitrate, 1, "Bitrate : "},
      {ComboBox_bitrate, 1, ""},
      {Button_Bitrate, 1, "Apply"},
      {Memo_Bitrate, 1, ""},
      {Label_pppoe1, 2, "PPPoE : "},
      {ComboBox_pppoe1, 2, ""},
      {LabeledEdit_pppoe2, 2, "User Name : "},
      {LabeledEdit_pppoe3, 2, "Password : "},
      {Button_PPPoE, 2, "Apply"},
      {Button_PPPoE2, 2, "Clear"},
      {Memo_PPPoE, 2, ""},
      {Label_ddns1, 3, "DDNS Select : "},
      {ComboBox_ddns1, 3, ""},
      {Label_ddns2, 3, "Home"},
      {Label_ddns3, 3, "Create Account"},
      {LabeledEdit_ddns2, 3, "DDNS User Name : "},
      {LabeledEdit_ddns3, 3, "DDNS Password : "},
      {LabeledEdit_ddns4, 3, "DDNS Host Name"},
      {Button_DDNS, 3, "Apply"},
      {Button_DDNS2, 3, "Clear"},
      {Memo_DDNS, 3, ""},
      {Label_smtp1, 4, "Send Mail Status : "},
      {ComboBox_smtp1, 4, ""},
      {LabeledEdit_smtp1, 4, "* SMTP Server : "},
      {LabeledEdit_smtp10, 4, "* SMTP Port : "},
      {LabeledEdit_smtp2, 4, "SMTP User : "},
      {LabeledEdit_smtp3, 4, "SMTP Password : "},
      {CheckBox_SMTP, 4, "Log on using Secure Passwd Authentication"},
      {LabeledEdit_smtp4, 4, "* Sender's E-mail :  "},
      {LabeledEdit_smtp5, 4, "* Receiver's E-mail 1 : "},
      {LabeledEdit_smtp6, 4, "Receiver's E-mail 2 : "},
      {LabeledEdit_smtp7, 4, "Receiver's E-mail 3 : "},
      {LabeledEdit_smtp8, 4, "Subject : "},
      {LabeledEdit_smtp9, 4, "Location : "},
      {Label_smtp2, 4, "Interval : "},
      {ComboBox_smtp2, 4, ""},
      {Label_smtp3, 4, "Min"},
      {Button_SMTP, 4, "Apply"},
      {Button_SMTP2, 4, "Clear"},
      {Button_SMTP3, 4, "Test Mail"},
      {Memo_SMTP, 4, ""},
      {Label_upnp1, 6, "UPnP Status : "},
      {ComboBox_upnp, 6, ""},
      {LabeledEdit_upnp, 6, "UPnP Port : "},
      {Button_UPNP, 6, "Apply"},
      {Memo_UPNP, 6, ""},
  };
  for (const Place& p : places) {
    p.component.caption = p.caption;
    p.component.parent = Tab(p.tab);
    components_.push_back(&p.component);
  }
  for (Component* c : {&LabeledEdit_pppoe3, &LabeledEdit_ddns3, &LabeledEdit_smtp3})
    c->passwordChar = '*';
  ComboBox_pppoe1.items = {"OFF", "ON"};
  ComboBox_pppoe1.itemIndex = 0;
  ComboBox_upnp.items = {"OFF", "ON"};
  ComboBox_upnp.itemIndex = 0;
  LabeledEdit_upnp.text = "80";
  ComboBox_smtp1.items = {"OFF", "ON"};
  ComboBox_smtp1.itemIndex = 0;
  ComboBox_bitrate.items = {"28.8/36.6 Kbps", "56 Kbps",  "112 Kbps", "256 Kbps", "384 Kbps",
                            "512 Kbps",       "768 Kbps", "1 Mbps",   "1.5 Mbps", "Intranet"};
  ComboBox_bitrate.itemIndex = 9;
}

}  // namespace tevrano
