#include "base/TitleTab.h"

#include <string>

#include "base/Form.h"

namespace tevrano {

void TTevranoX::PlaceTitleComponents() {
  constexpr int kTitleTab = 5;
  struct Place {
    Component& component;
    const char* caption;
  };
  const Place places[] = {
      {Label_Title, "Language : "}, {ComboBox_Title, ""},        {Button_TOption, "Font Option"},
      {Label_TFS, "Font Size : "},  {ComboBox_TFS, ""},          {Edit_TFS, ""},
      {ScrollBar_TFS, ""},          {Button_TLoad, "Load File"}, {Button_TSave, "Save File"},
      {Button_Title1, "Apply"},
  };
  for (const Place& p : places) {
    p.component.caption = p.caption;
    p.component.parent = Tab(kTitleTab);
    components_.push_back(&p.component);
  }
  for (int i = 0; i < 16; ++i) {
    Component& box = TitleEdit(i);
    box.caption = "CH" + std::to_string(i + 1);
    box.maxLength = 63;
    box.parent = Tab(kTitleTab);
    components_.push_back(&box);
  }
  for (Component* c : {static_cast<Component*>(&Image_Title1), &ProgressBar_title}) {
    c->parent = Tab(kTitleTab);
    components_.push_back(c);
  }
  for (const TitleLanguage& l : kTitleLanguages) ComboBox_Title.items.emplace_back(l.text);
  ComboBox_Title.itemIndex = 0;
  for (const TitleSizePreset& p : kTitleSizePresets) ComboBox_TFS.items.emplace_back(p.text);
  ComboBox_TFS.itemIndex = 2;
  Edit_TFS.text = std::to_string(kTitleDefaultPercent);
  ScrollBar_TFS.minimum = 10;
  ScrollBar_TFS.maximum = 100;
  ScrollBar_TFS.position = kTitleDefaultPercent;
  Image_Title1.picture.SetSize(448, 56);
  Image_Title1.picture.Fill(0x00FFFFFF);
}

}  // namespace tevrano
