#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Bitmap.h"

namespace tevrano {

enum class ComponentKind {
  Image,
  Label,
  PageControl,
  TabSheet,
  Timer,
  OpenDialog,
  SaveDialog,
  LabeledEdit,
  Edit,
  ComboBox,
  CheckBox,
  RadioGroup,
  Memo,
  Button,
  ProgressBar,
  ScrollBar,
};

std::string_view KindName(ComponentKind kind);

// One component of a form: a plain record the control reads and writes and
// the host mirrors with a widget. Every change the host must show goes
// through a setter (or Invalidate for pixels), which bumps `revision`.
struct Component {
  Component(std::string name, ComponentKind kind, int left, int top, int width, int height,
            bool visible = true, bool enabled = true)
      : name(std::move(name)),
        kind(kind),
        left(left),
        top(top),
        width(width),
        height(height),
        visible(visible),
        enabled(enabled) {}
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;
  virtual ~Component() = default;

  void SetVisible(bool v) { Set(visible, v); }
  void SetEnabled(bool v) { Set(enabled, v); }
  void SetCaption(std::string_view v) { SetString(caption, v); }
  void SetText(std::string_view v) { SetString(text, v); }
  void SetItemIndex(int v) { Set(itemIndex, v); }
  void SetPosition(int v) { Set(position, v); }
  void SetChecked(bool v) { Set(checked, v); }
  void SetMaxLength(int v) { Set(maxLength, v); }
  void SetItems(std::vector<std::string> v) {
    if (items == v) return;
    items = std::move(v);
    Invalidate();
  }
  void SetBounds(int l, int t, int w, int h) {
    left = l, top = t, width = w, height = h;
    Invalidate();
  }
  void Invalidate() { ++revision; }

  const std::string name;
  const ComponentKind kind;
  int left, top, width, height;
  bool visible, enabled;
  Component* parent = nullptr;     // the tab sheet it lies on; nullptr for the form
  std::string caption;             // labels, buttons, tabs, check boxes, edit labels
  std::string text;                // edits, memos, combo boxes
  std::vector<std::string> items;  // combo boxes, radio groups
  int itemIndex = -1;
  int position = 0, minimum = 0, maximum = 100;  // progress and scroll bars
  bool checked = false;
  int maxLength = 0;      // edits: most characters a user may type; 0 = any
  char passwordChar = 0;  // edits: shown in place of each character; 0 = plain
  uint32_t revision = 0;

  // Event handlers, bound by the control at start-up (VCL's OnXxx).
  std::function<void(int x, int y)> onMouseDown, onMouseMove, onMouseUp;
  std::function<void()> onClick, onChange;
  std::function<void()> onMouseLeave;  // the pointer left the component

 private:
  template <typename T>
  void Set(T& field, const T& v) {
    if (field == v) return;
    field = v;
    Invalidate();
  }
  void SetString(std::string& field, std::string_view v) {
    if (field == v) return;
    field.assign(v);
    Invalidate();
  }
};

// An image: owns its 32-bit picture.
struct Image : Component {
  Image(std::string name, int left, int top, int width, int height, bool visible = true,
        bool enabled = true)
      : Component(std::move(name), ComponentKind::Image, left, top, width, height, visible,
                  enabled) {}
  Bitmap picture;
  bool stretch = false;
  bool transparent = false;
  bool autoSize = false;
};

struct Label : Component {
  Label(std::string name, int left, int top, int width, int height, bool visible = true)
      : Component(std::move(name), ComponentKind::Label, left, top, width, height, visible) {}
  uint32_t fontColor = 0;  // 0x00RRGGBB
  int fontHeight = 11;     // pixels
  bool centred = false;
  bool transparentBackground = false;
};

struct Timer : Component {
  Timer(std::string name, int interval)
      : Component(std::move(name), ComponentKind::Timer, 0, 0, 0, 0, false, false),
        interval(interval) {}
  int interval;  // milliseconds
};

struct PageControl : Component {
  PageControl(std::string name, int left, int top, int width, int height, bool visible)
      : Component(std::move(name), ComponentKind::PageControl, left, top, width, height, visible) {}
  std::vector<Component*> pages;  // tab sheets in order
  int activePageIndex = 0;
  void SetActivePageIndex(int index) {
    if (index == activePageIndex) return;
    activePageIndex = index;
    Invalidate();
  }
};

}  // namespace tevrano
