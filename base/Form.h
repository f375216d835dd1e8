#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Component.h"
#include "base/SettingsTabs.h"
#include "base/TitleTab.h"

namespace tevrano {

// The speed-dome pad: a borderless window whose face is one image.
struct TSpeedDome {
  TSpeedDome();
  bool visible = false;
  int left = 0, top = 0;
  Image Image5;  // the pad skin, aligned to the whole client area
  uint32_t revision = 0;
};

// The control's form and its components, named and placed as the recorder's
// web page knows them. Creation order is kept: later components lie on top.
class TTevranoX : public TSettingsTabs, public TTitleTab {
 public:
  TTevranoX();
  TTevranoX(const TTevranoX&) = delete;
  TTevranoX& operator=(const TTevranoX&) = delete;

  static constexpr int kWidth = 1518;
  static constexpr int kHeight = 673;
  const std::string Caption = "TevranoX";

  Image Image3;  // background of the left part
  Label Label_time;
  Image Image1;  // key panel
  Image Image_Disconn;
  Image Image_Conn;
  Label Label_Version;
  Label Label1;
  Image Image_Trumpet_BG;
  Image Image2;  // overlay layer; white is transparent over the video
  Image Image_video;
  Image Image_Trumpet_Off;
  Image Image_Trumpet_On;
  Image Image_SpeedDome_On;
  Image Image_SpeedDome_Off;
  Image Image_SpeedDome_Disabled;
  Image Image_Loader;
  PageControl PageControl1;
  Timer Timer1;
  Timer Timer2;
  Component OpenDialog1;

  // Settings tabs, in page order: "System", "Bitrate", "PPPoE", "DDNS",
  // "Mail", "Title", "UPnP", "Update".
  static constexpr int kTabCount = 8;
  Component* Tab(int index) const { return PageControl1.pages[index]; }

  // Components on the settings tabs.
  Component LabeledEdit_System1;  // "Remote IP : "
  Component LabeledEdit_System2;  // "Remote Port : "

  TSpeedDome SpeedDome;

  // All components in creation order (tab sheets and their contents included).
  const std::vector<Component*>& Components() const { return components_; }
  Component* Find(std::string_view name) const;
  // Adds a component created elsewhere (dialogs and tabs of later features).
  void Add(Component& component) { components_.push_back(&component); }
  // Creates and owns a component on a tab sheet.
  Component& AddOnTab(int tab, std::unique_ptr<Component> component);

 private:
  // Puts the settings tabs' components on their sheets with their captions.
  void PlaceSettingsComponents();
  // Puts the Title tab's components on its sheet.
  void PlaceTitleComponents();

  std::vector<Component*> components_;
  std::vector<std::unique_ptr<Component>> owned_;
};

}  // namespace tevrano
