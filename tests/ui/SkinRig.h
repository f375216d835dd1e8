#pragma once
// A form with its on-screen interface for the skin tests: skins are loaded
// from bytes built by SkinBuilder, clicks land on the key form.
#include <gtest/gtest.h>

#include "base/Form.h"
#include "tests/ui/SkinBuilder.h"
#include "ui/Ui.h"

namespace tevrano::ui::test {

// The page buttons and the seven split keys most key forms carry: "Pages"
// 20 pixels above the background's centre, "Splits" on it.
inline void AddPageAndSplitKeys(SkinBuilder& b) {
  b.Element({.name = "Pages",
             .piece = "Btn",
             .parent = "Back",
             .offset_y = -20,
             .item_count = 4,
             .columns = 4,
             .source = "IE_Page#ADN",
             .target = "IE_Page2#SD"});
  b.Element({.name = "Splits",
             .piece = "Btn",
             .parent = "Back",
             .item_count = 7,
             .columns = 7,
             .source = "16#CS",
             .target = "IE_DOING#SD"});
}

struct SkinRig {
  TTevranoX form;
  Ui ui{form};

  SkinRig() { ui.ResetSkins(); }

  // Loads `skin` as the file `name`, registered at (x, y); 0 or -1 as
  // Skin_LoadBytes.
  int Load(const SkinBuilder& skin, const char* name = "TevranoKeyForm_t.YUV2", int x = 0,
           int y = 3) {
    const auto bytes = skin.Bytes();
    return ui.Skin_LoadBytes(bytes, x, y, 0, name);
  }

  // Presses and releases the mouse on item `item` (from one) of the key
  // form's elements with target `binding`.
  void Click(const char* binding, int item) {
    auto t = ui.FindTarget("TevranoKeyForm", binding, item);
    ASSERT_TRUE(t) << binding;
    ui.ThirtyThreeMsStep();  // the main loop draws what is pending before a click lands
    ui.Image1MouseDown(t->x, t->y);
    ui.Image1MouseUp(t->x, t->y);
  }
};

}  // namespace tevrano::ui::test
