#pragma once
#include <string_view>

#include "base/Form.h"

namespace tevrano::host {

// What a user does to a component, applied to the form model and handed to
// the control's handlers, as the window's widgets and the script do it. Each
// call runs inside a ControlCall.
namespace UserActions {

// Mouse on an image, in its pixel coordinates.
void Press(Component& image, int x, int y);
void Move(Component& image, int x, int y);
void Leave(Component& image);
// Releasing over the image clicks it first, as the form library does
// (down, click, up).
void Release(Component& image, int x, int y, bool inside = true);
// A click without a position: images at their centre, check boxes toggle,
// anything else its onClick.
void Click(Component& component);
// Typed text: the component's text, then its onChange. An edit box with a
// maxLength keeps only as many characters as its widget would take.
void SetText(Component& component, std::string_view text);
// A chosen item (combo box, radio group): the index (and a combo box's text),
// then onChange (a radio group's onClick).
void Select(Component& component, int index);
// A chosen tab of the page control, then its onChange.
void SelectTab(PageControl& pages, int index);
// A check box clicked to a new state.
void Check(Component& checkBox, bool checked);
// A scroll bar moved by the user.
void Scroll(Component& scrollBar, int position);

}  // namespace UserActions

}  // namespace tevrano::host
