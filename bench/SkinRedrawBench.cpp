// Cost of one full redraw of the key panel and the pad (compose every
// element, convert to RGB) against a reference pass that only writes the
// same number of output pixels. A hovered element changes at most once per
// 33 ms step, so a redraw must stay far below that.
//
//   build/bench/SkinRedrawBench [DATA_DIR]   (default: build/data)
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/Form.h"
#include "platform/posix/PosixFileSystem.h"
#include "ui/Ui.h"

namespace {
template <typename F>
double MicrosPerRun(F&& f, int runs) {
  f();  // warm up
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < runs; ++i) f();
  const auto t1 = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::micro>(t1 - t0).count() / runs;
}
}  // namespace

int main(int argc, char** argv) {
  const std::string data = argc > 1 ? argv[1] : "build/data";
  tevrano::platform::PosixFileSystem disk;
  tevrano::TTevranoX form;
  tevrano::ui::Ui ui(form);
  ui.ResetSkins();
  if (ui.Skin_Load(disk, data, 0, 3, 0, "TevranoKeyForm_02030330.YUV2") != 0 ||
      ui.Skin_Load(disk, data, 0, 3, 0, "Mouse_Preset_02030330.YUV2") != 0) {
    std::fprintf(stderr, "skins not found in %s\n", data.c_str());
    return 1;
  }
  ui.SetUpRecorder(16, 0, 0);
  ui.OpenSpeedDome();  // both skins drawn, as while the pad is open
  const int runs = 200;
  const double redraw = MicrosPerRun([&] { ui.Skin_Redraw(1); }, runs);
  const double show = MicrosPerRun(
      [&] {
        ui.Skin_Show(0);
        ui.Skin_Show(1);
      },
      runs);
  tevrano::Bitmap& a = form.Image1.picture;
  tevrano::Bitmap& b = form.SpeedDome.Image5.picture;
  uint32_t colour = 0;
  const double reference = MicrosPerRun(
      [&] {
        a.Fill(++colour);
        b.Fill(colour);
      },
      runs);
  std::printf("skin redraw (key panel %dx%d + pad %dx%d): %.1f us\n", a.Width(), a.Height(),
              b.Width(), b.Height(), redraw);
  std::printf("  of which the conversion to RGB:           %.1f us\n", show);
  std::printf("reference fill of the same pixels:          %.1f us\n", reference);
  std::printf("ratio redraw / fill: %.1f; share of a 33 ms step: %.2f %%\n", redraw / reference,
              redraw / 330.0);
  return 0;
}
