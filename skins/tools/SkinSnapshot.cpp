// Draws our skins through the control's own skin code in a few typical
// states and writes each picture as a bitmap: the pictures of the README.
//
//   skin_snapshot DATA_DIR OUT_DIR
#include <cstdio>
#include <string>

#include "base/BmpFile.h"
#include "base/Form.h"
#include "platform/posix/PosixFileSystem.h"
#include "ui/Ui.h"

using tevrano::TTevranoX;
using tevrano::ui::Ui;

namespace {

// The tool works on the real disk.
tevrano::platform::PosixFileSystem disk;

constexpr uint32_t kDay = 86400;
// 2026-12-01 00:00:00 in recorder seconds (since 2000-01-01, 2000 with 365 days).
uint32_t RecorderDays(int year, int month, int day) {
  static const int kMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  uint32_t days = 0;
  for (int y = 2000; y < year; ++y) days += (y - 2000) % 4 == 0 && y != 2000 ? 366 : 365;
  for (int m = 1; m < month; ++m)
    days += kMonth[m - 1] + (m == 2 && (year - 2000) % 4 == 0 && year != 2000);
  return (days + day - 1) * kDay;
}

// What the calendar shows once the recorder has told its recordings.
void FillCalendar(Ui& ui) {
  auto& v = ui.vars;
  const uint32_t first = RecorderDays(2026, 12, 1);
  const uint32_t w = first / kDay % 7;
  const uint32_t start = first - (w == 0 ? 7 : w) * kDay;
  for (int i = 0; i < 42; ++i) {
    v.Mon_Day[i] = static_cast<int32_t>(start + i * kDay);
    v.Mon_Data[i] = (i % 7 == 2 || i % 5 == 0) && i < 18 ? 1 : 0;
  }
  v.Mon_Data[11] = 5;  // the cursor's day, recorded
  v.Mon_Time = static_cast<int32_t>(RecorderDays(2026, 12, 9) + 14 * 3600);
  v.Mon_Y = 2026;
  v.Mon_M = 12;
  v.Mon_h = 14, v.Mon_m2 = 30, v.Mon_s = 0;
  for (int i = 0; i < 48; ++i) v.IE_Data[i] = (i >= 14 && i < 22) || (i >= 28 && i < 41) ? 1 : 0;
  v.IE_ST3 = 30;
  v.Mon_P_N_T = static_cast<int32_t>(RecorderDays(2026, 12, 9) + 14 * 3600 + 1800);
  v.Mon_B_F_T = static_cast<int32_t>(RecorderDays(2026, 12, 9) + 8 * 3600);
  v.Mon_B_T_T = static_cast<int32_t>(RecorderDays(2026, 12, 9) + 8 * 3600 + 900);
}

bool Save(const tevrano::Bitmap& picture, const std::string& dir, const char* name) {
  const std::string path = dir + "/" + name;
  if (!tevrano::SaveBmpFile(disk, path, picture)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("wrote %s\n", path.c_str());
  return true;
}

// Finds the centre of an element's item on the key form.
void Click(Ui& ui, const char* binding, int item) {
  if (auto t = ui.FindTarget("TevranoKeyForm", binding, item)) {
    ui.Image1MouseDown(t->x, t->y);
    ui.Image1MouseUp(t->x, t->y);
  }
}

void Hover(Ui& ui, const char* binding, int item) {
  if (auto t = ui.FindTarget("TevranoKeyForm", binding, item)) ui.Image1MouseMove(t->x, t->y);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: skin_snapshot DATA_DIR OUT_DIR\n");
    return 2;
  }
  const std::string data = argv[1], out = argv[2];
  bool ok = true;

  {  // Live, 16 channels, the quad 5-8, pointer over channel 6.
    TTevranoX form;
    Ui ui(form);
    ui.ResetSkins();
    if (ui.Skin_Load(disk, data, 0, 3, 0, "TevranoKeyForm_02030330.YUV2") != 0 ||
        ui.Skin_Load(disk, data, 0, 3, 0, "Mouse_Preset_02030330.YUV2") != 0) {
      std::fprintf(stderr, "skins missing in %s\n", data.c_str());
      return 1;
    }
    FillCalendar(ui);
    ui.SetUpRecorder(16, 0, 0);
    ui.Skin_Redraw(1);
    Click(ui, "IE_DOING#SD", 16 + 2);
    Hover(ui, "IE_DOING#SD", 6);
    ui.Skin_Redraw(0);
    ok &= Save(form.Image1.picture, out, "keyform_live.bmp");

    // Playback with the calendar open for the playback time.
    Click(ui, "IE_Page2#SD", 2);
    Click(ui, "IE_PB_PS#SD", 4);
    Click(ui, "IE_SET_T#SD", 1);
    Hover(ui, "Mon_Cmd#SD", 17);
    ui.Skin_Redraw(1);
    ok &= Save(form.Image1.picture, out, "keyform_calendar.bmp");
    ui.vars.IE_CL = 1;
    ui.KeyFormStep();
    ui.Skin_Redraw(1);
    ok &= Save(form.Image1.picture, out, "keyform_playback.bmp");

    // Backup running at 42 %.
    Click(ui, "IE_Page2#SD", 3);
    ui.vars.IE_ST2 = 1;
    ui.vars.IE_percentage = 42;
    ui.Skin_Redraw(1);
    ok &= Save(form.Image1.picture, out, "keyform_backup.bmp");

    // The pad: presets on the first page, a few stored, channel 3 chosen.
    for (int i : {0, 1, 2, 5, 9, 17}) ui.vars.Dm_SPre[i] = 1;
    ui.vars.Dm_Pre = 5;
    ui.vars.MOD3 = 4;
    ui.vars.MOD4 = 6;
    ui.View_Set(2, 0);
    ui.OpenSpeedDome();
    ui.Skin_Redraw(1);
    ok &= Save(form.SpeedDome.Image5.picture, out, "pad.bmp");
  }
  {  // A 4-channel recorder for a user with narrowed page rights.
    TTevranoX form;
    Ui ui(form);
    ui.ResetSkins();
    ui.Skin_Load(disk, data, 0, 3, 0, "TevranoKeyForm_02030330.YUV2");
    ui.SetUpRecorder(4, 0, 4);
    ui.vars.IE_DOING = 16;
    ui.KeyFormStep(true);
    ui.View_Set(16, 0);
    ui.Skin_Redraw(1);
    ok &= Save(form.Image1.picture, out, "keyform_4ch.bmp");
  }
  return ok ? 0 : 1;
}
