#pragma once
#include "base/Component.h"

namespace tevrano {

// The title languages as the language list shows them, and the font
// character set each selects (Windows character-set numbers).
struct TitleLanguage {
  const char* text;
  int charset;
};
inline constexpr TitleLanguage kTitleLanguages[19] = {
    {"0 English", 1},    {"1 Traditional Chinese", 1},
    {"2 Spanish", 162},  {"3 Russian", 204},
    {"4 Italian", 162},  {"5 Simplified Chinese  ", 134},
    {"6 Japanese", 128}, {"7 German", 162},
    {"8 French", 1},     {"9 Dutch", 162},
    {"10 Czech", 1},     {"11 Polish", 238},
    {"12 Hebrew", 177},  {"13 Thai", 222},
    {"14 Danish", 162},  {"15 Finnish", 162},
    {"16 Swedish", 162}, {"17 Vitnamese article", 163},
    {"18 Korean", 129}};

// The size presets of ComboBox_TFS, in percent of the bitmap height.
struct TitleSizePreset {
  const char* text;
  int percent;
};
inline constexpr TitleSizePreset kTitleSizePresets[5] = {
    {"X-Large", 80}, {"Large", 70}, {"Medium", 60}, {"Small", 50}, {"X-Small", 40}};
inline constexpr int kTitleDefaultPercent = 60;

// The components of the Title tab (tab 5): the language list, the font and
// size controls, the sixteen title boxes "CH1" to "CH16", the preview and
// the transfer's progress. The form places them on their sheet.
struct TTitleTab {
  using K = ComponentKind;

  Label Label_Title{"Label_Title", 24, 12, 90, 16};
  Component ComboBox_Title{"ComboBox_Title", K::ComboBox, 120, 8, 200, 24};
  Component Button_TOption{"Button_TOption", K::Button, 340, 8, 110, 28};
  Label Label_TFS{"Label_TFS", 24, 44, 90, 16};
  Component ComboBox_TFS{"ComboBox_TFS", K::ComboBox, 120, 40, 100, 24};
  Component Edit_TFS{"Edit_TFS", K::Edit, 228, 40, 48, 24};
  Component ScrollBar_TFS{"ScrollBar_TFS", K::ScrollBar, 284, 44, 166, 17};
  Component Button_TLoad{"Button_TLoad", K::Button, 572, 40, 100, 28};
  Component Button_TSave{"Button_TSave", K::Button, 572, 76, 100, 28};
  Component Button_Title1{"Button_Title1", K::Button, 572, 8, 100, 28};

  Component LabeledEdit_Title1{"LabeledEdit_Title1", K::LabeledEdit, 24, 96, 250, 22};
  Component LabeledEdit_Title2{"LabeledEdit_Title2", K::LabeledEdit, 24, 136, 250, 22};
  Component LabeledEdit_Title3{"LabeledEdit_Title3", K::LabeledEdit, 24, 176, 250, 22};
  Component LabeledEdit_Title4{"LabeledEdit_Title4", K::LabeledEdit, 24, 216, 250, 22};
  Component LabeledEdit_Title5{"LabeledEdit_Title5", K::LabeledEdit, 24, 256, 250, 22};
  Component LabeledEdit_Title6{"LabeledEdit_Title6", K::LabeledEdit, 24, 296, 250, 22};
  Component LabeledEdit_Title7{"LabeledEdit_Title7", K::LabeledEdit, 24, 336, 250, 22};
  Component LabeledEdit_Title8{"LabeledEdit_Title8", K::LabeledEdit, 24, 376, 250, 22};
  Component LabeledEdit_Title9{"LabeledEdit_Title9", K::LabeledEdit, 300, 96, 250, 22};
  Component LabeledEdit_Title10{"LabeledEdit_Title10", K::LabeledEdit, 300, 136, 250, 22};
  Component LabeledEdit_Title11{"LabeledEdit_Title11", K::LabeledEdit, 300, 176, 250, 22};
  Component LabeledEdit_Title12{"LabeledEdit_Title12", K::LabeledEdit, 300, 216, 250, 22};
  Component LabeledEdit_Title13{"LabeledEdit_Title13", K::LabeledEdit, 300, 256, 250, 22};
  Component LabeledEdit_Title14{"LabeledEdit_Title14", K::LabeledEdit, 300, 296, 250, 22};
  Component LabeledEdit_Title15{"LabeledEdit_Title15", K::LabeledEdit, 300, 336, 250, 22};
  Component LabeledEdit_Title16{"LabeledEdit_Title16", K::LabeledEdit, 300, 376, 250, 22};

  Image Image_Title1{"Image_Title1", 24, 420, 448, 56};
  Component ProgressBar_title{"ProgressBar_title", K::ProgressBar, 24, 496, 448, 18};

  // Title box of channel `index` (0..15).
  Component& TitleEdit(int index) {
    Component* boxes[16] = {
        &LabeledEdit_Title1,  &LabeledEdit_Title2,  &LabeledEdit_Title3,  &LabeledEdit_Title4,
        &LabeledEdit_Title5,  &LabeledEdit_Title6,  &LabeledEdit_Title7,  &LabeledEdit_Title8,
        &LabeledEdit_Title9,  &LabeledEdit_Title10, &LabeledEdit_Title11, &LabeledEdit_Title12,
        &LabeledEdit_Title13, &LabeledEdit_Title14, &LabeledEdit_Title15, &LabeledEdit_Title16};
    return *boxes[index & 15];
  }
};

}  // namespace tevrano
