// The form's image handlers and the pictures they show.
#include "control/FormMouse.h"

#include <cstdio>

#include "base/BmpFile.h"
#include "control/TevranoImpl1.h"

namespace tevrano {

namespace {

void SpeakerHover(TevranoX& c) {
  SpeakerState& speaker = c.Speaker();
  speaker.hot = true;
  speaker.lastMovement = c.ElapsedTicks();
}

// A click on a speaker image flips the audio on or off; style 0 comes from
// the Off image, 1 from the On image.
void SpeakerClick(TevranoX& c, int style) {
  SpeakerState& speaker = c.Speaker();
  speaker.enabled = !speaker.enabled;
  speaker.toggledAt = c.ElapsedTicks();
  c.ShowSpeakerImages(speaker.hot, speaker.audioHeard, speaker.enabled, speaker.previousEnabled);
  speaker.previousEnabled = speaker.enabled;
  if (c.OnScreen().hooks.speakerToggle) c.OnScreen().hooks.speakerToggle(style);
}

// SNAP: the video area as it is shown now, as a PNG in the backup folder
// (DVR_Backup in the user's home), named by the view and the PC's time. The
// saved path, or the failure, shows in Label1 as the backup path does.
void SaveSnapshot(TevranoX& c) {
  platform::Platform& p = c.Platform();
  const Bitmap& picture = c.Form().Image_video.picture;
  if (picture.Empty()) return;
  const platform::LocalTimeFields t = p.clock.LocalTime(p.clock.CalendarTime());
  const int layout = c.OnScreen().Layout();
  char name[96];
  if (layout < 16)
    std::snprintf(name, sizeof name, "snap_ch%02d", layout + 1);
  else
    std::snprintf(name, sizeof name, "snap_split%02d", layout);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "_%04d%02d%02d_%02d%02d%02d_%03u.png", t.year, t.month, t.day,
                t.hour, t.minute, t.second, p.clock.TickCountMs() % 1000);
  const std::string path = p.environment.HomeDir() + "/DVR_Backup/" + name + stamp;
  const bool saved =
      p.host.SavePng(path, picture.Row(0), picture.Width(), picture.Height(), picture.Width());
  c.Form().Label1.SetCaption(saved ? path : "Cannot write " + path);
}

}  // namespace

void BindFormMouse(TevranoX& c) {
  TTevranoX& form = c.Form();
  ui::Ui& ui = c.OnScreen();
  form.Image1.onMouseDown = [&ui](int x, int y) { ui.Image1MouseDown(x, y); };
  form.Image1.onMouseMove = [&ui](int x, int y) { ui.Image1MouseMove(x, y); };
  form.Image1.onMouseUp = [&ui](int x, int y) { ui.Image1MouseUp(x, y); };
  form.Image1.onMouseLeave = [&ui] { ui.Image1MouseLeave(); };

  form.Image_Trumpet_BG.onMouseDown = [&ui](int x, int y) { ui.VideoAreaMouseDown(x, y); };
  form.Image_Trumpet_BG.onMouseMove = [&c](int, int) {
    if (c.Speaker().audioHeard) SpeakerHover(c);
  };
  form.Image_Trumpet_Off.onMouseMove = [&c](int, int) { SpeakerHover(c); };
  form.Image_Trumpet_On.onMouseMove = [&c](int, int) { SpeakerHover(c); };
  form.Image_Trumpet_Off.onClick = [&c] { SpeakerClick(c, 0); };
  form.Image_Trumpet_On.onClick = [&c] { SpeakerClick(c, 1); };

  form.Image_SpeedDome_On.onMouseDown = [&ui](int, int) { ui.SpeedDomeButton(); };
  form.Image_SpeedDome_Off.onMouseDown = [&ui](int, int) { ui.SpeedDomeButton(); };

  // The pad's own mouse: press, drag and release on its skin, or a window
  // drag from a press on no element.
  Image& pad = form.SpeedDome.Image5;
  ui::Speed_dome_form& dome = c.SpeedDomePad();
  pad.onMouseDown = [&dome](int x, int y) { dome.FormMouseDown(x, y); };
  pad.onMouseMove = [&dome](int x, int y) { dome.FormMouseMove(x, y); };
  pad.onMouseUp = [&dome](int x, int y) { dome.FormMouseUp(x, y); };
  pad.onMouseLeave = [&ui] { ui.PadMouseLeave(); };
}

void WireOnScreen(TevranoX& c) {
  ui::Ui& ui = c.OnScreen();
  ViewControl& view = c.Streams().View();
  ui.hooks.viewCommand = [&view](int context, int channels, int page, int state, int layout,
                                 int noSend) {
    view.ViewCommand(context, channels, static_cast<uint32_t>(page), static_cast<uint32_t>(state),
                     static_cast<uint32_t>(layout), noSend != 0);
  };
  ViewControl::Hooks& vh = view.GetHooks();
  vh.hideSpeedDomePad = [&ui] { ui.HideSpeedDomeWindow(); };
  vh.redrawInterface = [&ui] {
    ui.RequestRedraw();
    ui.Skin_Redraw(1);
  };
  c.Streams().Stream().Hooks().redrawInterface = vh.redrawInterface;
  // The FREEZE and SNAP keys.
  ui.hooks.freezePicture = [&c](bool hold) { c.GetVideo().HoldPicture(hold); };
  ui.hooks.snapshot = [&c] { SaveSnapshot(c); };
  vh.speakerReset = [&c] { c.Speaker().hot = c.Speaker().lastShownHot = false; };
  vh.showSpeakerImages = [&c] {
    c.ShowSpeakerImages(false, false, c.Speaker().enabled, c.Speaker().previousEnabled);
  };
  // Login: the recorder's channel count and service variant, with the page
  // rights of the web page.
  c.Net().Hooks().SystemInfoArrived.push_back([&c](RecorderContext&, const uint8_t* info) {
    auto word = [info](int offset) {
      return static_cast<int32_t>(info[offset] | info[offset + 1] << 8 | info[offset + 2] << 16 |
                                  static_cast<uint32_t>(info[offset + 3]) << 24);
    };
    c.OnScreen().SetUpRecorder(word(system_info::kChannels), word(system_info::kValue4),
                               c.Properties().HttpPage());
  });
}

void LoadSkins(TevranoX& c) {
  ui::Ui& ui = c.OnScreen();
  const std::string& folder = c.SystemFolder();
  char name[64];
  for (const char* skin : {"TevranoKeyForm", "Mouse_Preset"}) {
    std::snprintf(name, sizeof name, "%s_%s.YUV2", skin, TevranoX::kVersion);
    ui.Skin_Load(c.Platform().files, folder, 0, 3, 0, name);
  }
  // The small pictures of the form, as designed.
  TTevranoX& form = c.Form();
  struct Picture {
    Image& image;
    const char* file;
  };
  const Picture pictures[] = {
      {form.Image_Conn, "Image_Conn"},
      {form.Image_Disconn, "Image_Disconn"},
      {form.Image_Trumpet_On, "Image_Trumpet_On"},
      {form.Image_Trumpet_Off, "Image_Trumpet_Off"},
      {form.Image_SpeedDome_On, "Image_SpeedDome_On"},
      {form.Image_SpeedDome_Off, "Image_SpeedDome_Off"},
      {form.Image_SpeedDome_Disabled, "Image_SpeedDome_Disabled"},
  };
  for (const Picture& p : pictures) {
    char path[512];
    std::snprintf(path, sizeof path, "%s/%s_%s.bmp", folder.c_str(), p.file, TevranoX::kVersion);
    if (LoadBmpFile(c.Platform().files, path, p.image.picture)) p.image.Invalidate();
  }
  ui.KeyFormStep(true);
  ui.Skin_Redraw(1);
}

std::optional<TevranoX::SkinTarget> TevranoX::FindSkinTarget(std::string_view skin,
                                                             std::string_view binding,
                                                             int item) const {
  const auto t = ui_.FindTarget(skin, binding, item);
  if (!t) return std::nullopt;
  return SkinTarget{t->image, t->x, t->y};
}

}  // namespace tevrano
