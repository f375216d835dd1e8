#include "base/Form.h"

namespace tevrano {

namespace {
constexpr const char* kTabCaptions[TTevranoX::kTabCount] = {"System", "Bitrate", "PPPoE", "DDNS",
                                                            "Mail",   "Title",   "UPnP",  "Update"};
}

TSpeedDome::TSpeedDome() : Image5("Image5", 0, 0, 584, 305) {
  Image5.picture.SetSize(584, 305);
}

TTevranoX::TTevranoX()
    : Image3("Image3", 0, 0, 740, 640),
      Label_time("Label_time", 272, 14, 217, 21),
      Image1("Image1", 740, 0, 324, 640),
      Image_Disconn("Image_Disconn", 32, 24, 8, 12, true),
      Image_Conn("Image_Conn", 32, 24, 8, 12, false),
      Label_Version("Label_Version", 24, 624, 64, 13),
      Label1("Label1", 792, 256, 32, 13, false),
      Image_Trumpet_BG("Image_Trumpet_BG", 34, 43, 704, 576),
      Image2("Image2", 34, 43, 704, 576, true, false),
      Image_video("Image_video", 34, 43, 704, 576, true, false),
      Image_Trumpet_Off("Image_Trumpet_Off", 681, 59, 24, 24, false),
      Image_Trumpet_On("Image_Trumpet_On", 681, 59, 24, 24, false),
      Image_SpeedDome_On("Image_SpeedDome_On", 710, 15, 28, 28, false, false),
      Image_SpeedDome_Off("Image_SpeedDome_Off", 710, 15, 28, 28, false, false),
      Image_SpeedDome_Disabled("Image_SpeedDome_Disabled", 710, 15, 28, 28, false, false),
      Image_Loader("Image_Loader", 614, 18, 40, 40, false),
      PageControl1("PageControl1", 34, 43, 704, 576, false),
      Timer1("Timer1", 10),
      Timer2("Timer2", 1000),
      OpenDialog1("OpenDialog1", ComponentKind::OpenDialog, 0, 0, 0, 0, false),
      LabeledEdit_System1("LabeledEdit_System1", ComponentKind::LabeledEdit, 120, 40, 160, 21),
      LabeledEdit_System2("LabeledEdit_System2", ComponentKind::LabeledEdit, 120, 72, 160, 21) {
  Image3.autoSize = true;
  Image3.picture.SetSize(740, 640);
  Label_time.centred = true;
  Label_time.transparentBackground = true;
  Label_time.fontColor = 0x03BEFC;
  Label_time.fontHeight = 19;
  Image1.picture.SetSize(324, 640);
  Image2.stretch = true;
  Image_video.stretch = true;

  for (Component* c : std::initializer_list<Component*>{&Image3,
                                                        &Label_time,
                                                        &Image1,
                                                        &Image_Disconn,
                                                        &Image_Conn,
                                                        &Label_Version,
                                                        &Label1,
                                                        &Image_Trumpet_BG,
                                                        &Image2,
                                                        &Image_video,
                                                        &Image_Trumpet_Off,
                                                        &Image_Trumpet_On,
                                                        &Image_SpeedDome_On,
                                                        &Image_SpeedDome_Off,
                                                        &Image_SpeedDome_Disabled,
                                                        &Image_Loader,
                                                        &PageControl1,
                                                        &Timer1,
                                                        &Timer2,
                                                        &OpenDialog1})
    components_.push_back(c);

  for (int i = 0; i < kTabCount; ++i) {
    auto tab = std::make_unique<Component>("TabSheet" + std::to_string(i + 1),
                                           ComponentKind::TabSheet, 4, 24, 696, 548);
    tab->caption = kTabCaptions[i];
    tab->parent = &PageControl1;
    PageControl1.pages.push_back(tab.get());
    components_.push_back(tab.get());
    owned_.push_back(std::move(tab));
  }

  LabeledEdit_System1.caption = "Remote IP : ";
  LabeledEdit_System2.caption = "Remote Port : ";
  LabeledEdit_System1.parent = LabeledEdit_System2.parent = Tab(0);
  components_.push_back(&LabeledEdit_System1);
  components_.push_back(&LabeledEdit_System2);
  PlaceSettingsComponents();
  PlaceTitleComponents();
  components_.push_back(&SpeedDome.Image5);
}

Component* TTevranoX::Find(std::string_view name) const {
  for (Component* c : components_)
    if (c->name == name) return c;
  return nullptr;
}

Component& TTevranoX::AddOnTab(int tab, std::unique_ptr<Component> component) {
  component->parent = Tab(tab);
  Component& ref = *component;
  components_.push_back(&ref);
  owned_.push_back(std::move(component));
  return ref;
}

}  // namespace tevrano
