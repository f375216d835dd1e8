// Skin files are untrusted: any bytes must load or be refused without
// reading or writing outside the file, the canvas or the element table, and
// drawing and clicking the result must stay inside them too.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/Form.h"
#include "ui/Ui.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static tevrano::TTevranoX form;
  static tevrano::ui::Ui ui(form);
  ui.ResetSkins();
  // The login set-up first, so that clicks act as they do once logged in.
  ui.SetUpRecorder(16, 0, 0);
  const std::span<const uint8_t> bytes(data, size);
  if (ui.Skin_LoadBytes(bytes, 0, 3, 0, "TevranoKeyForm_fuzz.YUV2") != 0) return 0;
  ui.Skin_LoadBytes(bytes, 0, 3, 0, "Mouse_Preset_fuzz.YUV2");
  ui.vars.IE_Page2 = size % 4;
  ui.vars.A_Num = (size & 1) ? 50 : 0;
  ui.OpenSpeedDome();
  ui.Skin_Redraw(1);
  // Press and release over a coarse grid of the key form.
  for (int y = 3; y < 640; y += 91) {
    for (int x = 5; x < 324; x += 79) {
      ui.Image1MouseMove(x, y);
      ui.Image1MouseDown(x, y);
      ui.Image1MouseUp(x, y);
      ui.Skin_Mouse(1, x, y, "Mouse_Preset");
      ui.Skin_Mouse(0, x, y, "Mouse_Preset");
    }
  }
  // Whatever the clicks wrote, the key form's post-click step and the
  // login's set-up (which index the page buttons by the latched page) must
  // stay inside the variables.
  ui.KeyFormStep();
  ui.SetUpRecorder(size % 3 == 0 ? 4 : size % 3 == 1 ? 8 : 16, 0, (size & 2) ? 4 : 0);
  ui.KeyFormStep();
  ui.Skin_Redraw(1);
  return 0;
}
