#include "base/UpdateTab.h"

#include "base/Form.h"

namespace tevrano {

namespace {
constexpr int kUpdateTabIndex = 7;
}

void TUpdateTab::Place(TTevranoX& form) {
  LabeledEdit_Updata3.caption = "File : ";
  Button_Updata1.caption = "Browse...";
  Button_Updata3.caption = "OS UPDATE";
  for (Component* c : {&Memo_Update, &LabeledEdit_Updata3, &Button_Updata1, &Button_Updata3}) {
    c->parent = form.Tab(kUpdateTabIndex);
    form.Add(*c);
  }
}

}  // namespace tevrano
