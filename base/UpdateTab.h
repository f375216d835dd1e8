#pragma once
#include "base/Component.h"

namespace tevrano {

class TTevranoX;

// The components of the Update tab (tab 7): the help text, the chosen
// firmware file and its two buttons. Place puts them on their tab sheet.
struct TUpdateTab {
  using K = ComponentKind;

  Component Memo_Update{"Memo_Update", K::Memo, 24, 16, 648, 360};
  Component LabeledEdit_Updata3{"LabeledEdit_Updata3", K::LabeledEdit, 24, 420, 420, 24};
  Component Button_Updata1{"Button_Updata1", K::Button, 456, 416, 100, 30};
  Component Button_Updata3{"Button_Updata3", K::Button, 572, 416, 100, 30};

  // Captions, and the components added to `form` on the Update tab sheet.
  void Place(TTevranoX& form);
};

}  // namespace tevrano
