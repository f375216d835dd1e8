#pragma once
#include <QImage>
#include <QRect>
#include <string>

#include "base/Form.h"

namespace tevrano::host {

// Draws the form model as the window shows it, without any widget: the
// snapshot of a headless run and of the window alike. Components are drawn
// in creation order, so later ones lie on top.
class FormRenderer {
 public:
  static constexpr uint32_t kFormColor = 0xF0F0F0;  // the widgets' face colour
  // The interface's dark background, where the form has no background picture.
  static constexpr uint32_t kInterfaceColor = 0x12161C;

  // What the form's area that no component covers is painted in: the colour
  // of the form's background picture (its bottom-left pixel, outside the
  // video frame) where there is one, else kInterfaceColor.
  static uint32_t BackgroundColor(const TTevranoX& form);

  // The whole form, 1518 × 673.
  static QImage RenderForm(const TTevranoX& form);
  // One component: an image's own picture, anything else cut out of the form.
  static QImage RenderComponent(const TTevranoX& form, const Component& component);

  // Writes RenderForm (or RenderComponent when a component is given) as PNG.
  static bool SaveSnapshot(const std::string& path, const TTevranoX& form,
                           const Component* component = nullptr);

  // Shown on screen: visible itself, and its tab sheet is the active one of
  // a visible page control.
  static bool Showing(const Component& component);
  // The component's rectangle in form coordinates.
  static QRect FormRect(const Component& component);
  // An edit's text as drawn: a password edit shows its mask character once
  // per character typed.
  static std::string ShownText(const Component& component);
  // A picture's pixels as a QImage that shares them (valid while the bitmap lives).
  static QImage View(const Bitmap& picture);
};

}  // namespace tevrano::host
