#pragma once
#include "base/Component.h"

namespace tevrano {

// The components of the settings tabs System, Bitrate, PPPoE, DDNS, Mail and
// UPnP, named as the recorder's web page knows them. Positions are in the
// tab sheet's pixels; an edit's caption sits just above it. The form places
// them on their tab sheets (TTevranoX's constructor).
struct TSettingsTabs {
  using K = ComponentKind;

  // System (tab 0). LabeledEdit_System1/2 belong to the form itself.
  Label Label_System1{"Label_System1", 24, 120, 420, 16};
  Label Label_System2{"Label_System2", 24, 144, 420, 16};
  Label Label_System3{"Label_System3", 24, 168, 420, 16};
  Label Label_System4{"Label_System4", 24, 192, 420, 16};
  Label Label_System5{"Label_System5", 24, 216, 420, 16};

  // Bitrate (tab 1).
  Label Label_bitrate{"Label_bitrate", 24, 40, 150, 16};
  Component ComboBox_bitrate{"ComboBox_bitrate", K::ComboBox, 180, 36, 200, 24};
  Component Button_Bitrate{"Button_Bitrate", K::Button, 560, 36, 110, 30};
  Component Memo_Bitrate{"Memo_Bitrate", K::Memo, 24, 300, 648, 200};

  // PPPoE (tab 2).
  Label Label_pppoe1{"Label_pppoe1", 24, 40, 150, 16};
  Component ComboBox_pppoe1{"ComboBox_pppoe1", K::ComboBox, 180, 36, 200, 24};
  Component LabeledEdit_pppoe2{"LabeledEdit_pppoe2", K::LabeledEdit, 180, 96, 260, 24};
  Component LabeledEdit_pppoe3{"LabeledEdit_pppoe3", K::LabeledEdit, 180, 152, 260, 24};
  Component Button_PPPoE{"Button_PPPoE", K::Button, 560, 36, 110, 30};
  Component Button_PPPoE2{"Button_PPPoE2", K::Button, 560, 76, 110, 30};
  Component Memo_PPPoE{"Memo_PPPoE", K::Memo, 24, 300, 648, 200};

  // DDNS (tab 3).
  Label Label_ddns1{"Label_ddns1", 24, 40, 150, 16};
  Component ComboBox_ddns1{"ComboBox_ddns1", K::ComboBox, 180, 36, 260, 24};
  Label Label_ddns2{"Label_ddns2", 180, 66, 60, 16};
  Label Label_ddns3{"Label_ddns3", 260, 66, 120, 16};
  Component LabeledEdit_ddns2{"LabeledEdit_ddns2", K::LabeledEdit, 180, 112, 260, 24};
  Component LabeledEdit_ddns3{"LabeledEdit_ddns3", K::LabeledEdit, 180, 168, 260, 24};
  Component LabeledEdit_ddns4{"LabeledEdit_ddns4", K::LabeledEdit, 180, 224, 360, 24};
  Component Button_DDNS{"Button_DDNS", K::Button, 560, 36, 110, 30};
  Component Button_DDNS2{"Button_DDNS2", K::Button, 560, 76, 110, 30};
  Component Memo_DDNS{"Memo_DDNS", K::Memo, 24, 280, 648, 240};

  // Mail (tab 4): two columns of edits, the help below them.
  Label Label_smtp1{"Label_smtp1", 24, 12, 150, 16};
  Component ComboBox_smtp1{"ComboBox_smtp1", K::ComboBox, 150, 8, 120, 24};
  Component LabeledEdit_smtp1{"LabeledEdit_smtp1", K::LabeledEdit, 24, 60, 300, 22};
  Component LabeledEdit_smtp10{"LabeledEdit_smtp10", K::LabeledEdit, 24, 104, 300, 22};
  Component LabeledEdit_smtp2{"LabeledEdit_smtp2", K::LabeledEdit, 24, 148, 300, 22};
  Component LabeledEdit_smtp3{"LabeledEdit_smtp3", K::LabeledEdit, 24, 192, 300, 22};
  Component CheckBox_SMTP{"CheckBox_SMTP", K::CheckBox, 24, 222, 300, 22};
  Component LabeledEdit_smtp4{"LabeledEdit_smtp4", K::LabeledEdit, 360, 60, 312, 22};
  Component LabeledEdit_smtp5{"LabeledEdit_smtp5", K::LabeledEdit, 360, 104, 312, 22};
  Component LabeledEdit_smtp6{"LabeledEdit_smtp6", K::LabeledEdit, 360, 148, 312, 22};
  Component LabeledEdit_smtp7{"LabeledEdit_smtp7", K::LabeledEdit, 360, 192, 312, 22};
  Component LabeledEdit_smtp8{"LabeledEdit_smtp8", K::LabeledEdit, 360, 236, 312, 22};
  Component LabeledEdit_smtp9{"LabeledEdit_smtp9", K::LabeledEdit, 360, 280, 312, 22};
  Label Label_smtp2{"Label_smtp2", 24, 268, 70, 16};
  Component ComboBox_smtp2{"ComboBox_smtp2", K::ComboBox, 100, 264, 70, 24};
  Label Label_smtp3{"Label_smtp3", 178, 268, 40, 16};
  Component Button_SMTP{"Button_SMTP", K::Button, 360, 8, 100, 30};
  Component Button_SMTP2{"Button_SMTP2", K::Button, 466, 8, 100, 30};
  Component Button_SMTP3{"Button_SMTP3", K::Button, 572, 8, 100, 30};
  Component Memo_SMTP{"Memo_SMTP", K::Memo, 24, 316, 648, 200};

  // UPnP (tab 6).
  Label Label_upnp1{"Label_upnp1", 24, 40, 150, 16};
  Component ComboBox_upnp{"ComboBox_upnp", K::ComboBox, 180, 36, 120, 24};
  Component LabeledEdit_upnp{"LabeledEdit_upnp", K::LabeledEdit, 180, 96, 120, 24};
  Component Button_UPNP{"Button_UPNP", K::Button, 560, 36, 110, 30};
  Component Memo_UPNP{"Memo_UPNP", K::Memo, 24, 260, 648, 260};
};

}  // namespace tevrano
