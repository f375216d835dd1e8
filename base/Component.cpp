#include "base/Component.h"

namespace tevrano {

std::string_view KindName(ComponentKind kind) {
  switch (kind) {
    case ComponentKind::Image: return "image";
    case ComponentKind::Label: return "label";
    case ComponentKind::PageControl: return "page_control";
    case ComponentKind::TabSheet: return "tab_sheet";
    case ComponentKind::Timer: return "timer";
    case ComponentKind::OpenDialog: return "open_dialog";
    case ComponentKind::SaveDialog: return "save_dialog";
    case ComponentKind::LabeledEdit: return "labeled_edit";
    case ComponentKind::Edit: return "edit";
    case ComponentKind::ComboBox: return "combo_box";
    case ComponentKind::CheckBox: return "check_box";
    case ComponentKind::RadioGroup: return "radio_group";
    case ComponentKind::Memo: return "memo";
    case ComponentKind::Button: return "button";
    case ComponentKind::ProgressBar: return "progress_bar";
    case ComponentKind::ScrollBar: return "scroll_bar";
  }
  return "unknown";
}

}  // namespace tevrano
