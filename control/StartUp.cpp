// Form creation and the start-up sequence. The order of the steps matters:
// later subsystems hook in at their numbered place.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "base/BmpFile.h"
#include "control/AudioWiring.h"
#include "control/FormMouse.h"
#include "control/TevranoImpl1.h"
#include "control/ViewResume.h"

namespace tevrano {

namespace {
// Another viewer's live layout, received as an "ICMD" set of view record 1,
// becomes this viewer's live view too. It is shown, not sent back: the
// recorder already holds it.
void FollowRecorderLiveView(TevranoX& c) {
  ui::Ui& ui = c.OnScreen();
  auto following = std::make_shared<bool>(false);
  auto send = ui.hooks.viewCommand;
  ui.hooks.viewCommand = [send, following](int context, int channels, int page, int state,
                                           int layout, int noSend) {
    if (send) send(context, channels, page, state, layout, noSend != 0 || *following ? 1 : 0);
  };
  c.Streams().Icmd().GetHooks().liveViewChanged = [&ui, following](const LiveRecord& live) {
    *following = true;
    ui.View_Set(LayoutOf(live), 0);
    *following = false;
  };
}
// The settings tabs: pages over "ICMD" on the first connection, UPnP over
// the named items, the form set up from each system information.
void WireSettings(TevranoX& c) {
  SettingsPages& settings = c.Settings();
  IcmdModule& icmd = c.Streams().Icmd();
  RecorderNet& net = c.Net();
  SettingsPages::Hooks& h = settings.GetHooks();
  h.sendPage = [&icmd, &net](uint32_t operation, uint32_t mask) {
    return icmd.SendIcmd(net.Context(0).SessionId, operation, IcmdModule::kSettingsPage, mask);
  };
  h.sendItem = [&c](const char* name, const void* data, uint32_t size) {
    return c.Items().Item_Send(0, name, data, size, 1);
  };
  h.connected = [&net] { return net.Context(0).LoggedIn == 1; };
  IcmdModule::Hooks& ih = icmd.GetHooks();
  ih.buildSettingsPage = [&settings](ViewState& v, uint32_t mask, uint8_t* out, uint32_t room) {
    return settings.BuildPage(v, mask, out, room);
  };
  ih.receiveSettingsPage = [&settings](ViewState& v, uint32_t op, const uint8_t* p, uint32_t n) {
    return settings.ReceivePage(v, op, p, n);
  };
  UpdatePage& update = c.Update();
  net.Hooks().SystemInfoArrived.push_back(
      [&settings, &update](RecorderContext& rc, const uint8_t* info) {
        if (rc.Index != 0) return;
        settings.SystemInfoArrived(info, system_info::kSize);
        update.SystemInfoArrived();  // its help shows the OS text just set
      });
  c.Items().SetArrivalAction("Zell_Upnp_C_Data_R",
                             [&settings](uint32_t) { settings.UpnpArrived(); });
}
// Channel titles: "VDTT" on the first connection, the Title tab's load and
// Apply, its title boxes by the recorder's channel count.
void WireTitles(TevranoX& c) {
  ChannelTitles& titles = c.Titles();
  RecorderNet& net = c.Net();
  TTevranoX& form = c.Form();
  ChannelTitles::Hooks& h = titles.GetHooks();
  h.queue = [&net](const uint8_t* message, uint32_t n) {
    return net.QueueMessage(net.Context(0), message, n);
  };
  h.handle = [&net] { return net.Context(0).SessionId; };
  h.connected = [&net] { return net.Context(0).LoggedIn == 1; };
  h.tabShowing = [&form] {
    constexpr int kTitleTab = 5;
    return form.PageControl1.visible && form.PageControl1.activePageIndex == kTitleTab;
  };
  SettingsPages::Hooks& sh = c.Settings().GetHooks();
  sh.loadTitles = [&titles] { titles.LoadTitles(); };
  sh.applyTitles = [&titles] { titles.Apply(); };
  net.Hooks().SystemInfoArrived.push_back([&titles](RecorderContext& rc, const uint8_t* info) {
    if (rc.Index == 0) titles.SetChannelCount(static_cast<int>(LoadLe32(info)));
  });
  net.Context(0).Vdtt = &titles.State();
  titles.Bind();
}
}  // namespace

TevranoX::TevranoX(platform::Platform platform, int* startUpCount)
    : platform_(platform),
      startUpCount_(startUpCount ? startUpCount : &ownStartUpCount_),
      net_(platform_, form_, properties_, [this] { return ElapsedTicks(); }),
      items_(net_, form_, platform_.host),
      audio_(std::make_unique<Audiothread1>(platform_.audio, stream_.Stream().Connection(0),
                                            stream_.Stream().Picture())),
      audioThread_(std::make_unique<TAudioThread1>(*audio_)) {}

// The audio thread ends before the state it reads goes.
TevranoX::~TevranoX() {
  form_.Timer1.SetEnabled(false);
  PrepareUnload();
  // net_ closes the sockets of both contexts as it goes, after the stream
  // wiring and the on-screen interface that use it.
}

void TevranoX::ActiveFormCreate() {
  // 1. The form is this object's own (FormInstance).
  // 2. The start-up sequence.
  InitializeViewer();
  // 3. The main loop runs from now on, even when the start-up stopped early.
  form_.Timer1.SetEnabled(true);
  // 4. The speed-dome pad form exists from the start (hidden).
  pad_.Initialize();
  // 5. The event-mark overlay table: every mark named and off.
  eventMarks_.Initialize();
  markText_ = platform_.text.CreateTextSurface(EventMarkTable::kTextAreaWidth,
                                               EventMarkTable::kTextAreaHeight);
  // 6. The speaker button starts off with both images hidden.
  speaker_ = SpeakerState{};
  form_.Image_Trumpet_On.SetVisible(false);
  form_.Image_Trumpet_Off.SetVisible(false);
  // 7. Off-screen surfaces for drawing channel titles.
  CreateTitleImages();
  // 8. The overlay layer.
  form_.Image2.picture.SetSize(704, 576);
  form_.Image2.picture.Fill(0x00FFFFFF);
  form_.Image2.Invalidate();
  WireLiveEvents();
  // 9. The audio thread.
  WireAudio(*this);
  audioThread_->Start();
}

void TevranoX::InitializeViewer() {
  // 1. One control per process: the library entry (TevranoX_Create) ends the
  //    process on a second create; here the start-ups are only counted.
  ++*startUpCount_;

  // 2. Client sockets of both recorder contexts.
  net_.CreateSockets();

  // 3. The video image: 32-bit pixels, the image's size.
  form_.Image_video.picture.SetSize(form_.Image_video.width, form_.Image_video.height);
  form_.Image_video.SetEnabled(false);

  // 4. Video decoders 0 and 1; without them nothing else is set up.
  if (video_.Video_Decoder_Open(0) != 0 || video_.Video_Decoder_Open(1) != 0) {
    form_.Label_time.SetCaption("Decode_File Err");
    return;
  }

  // 5.
  form_.Label_time.SetCaption("Connecting ...");

  // 6. The settings tabs' Apply buttons.
  settings_.Bind();

  // 7. Where the skins and pictures are.
  FindSystemFolder();

  // 8. Both recorder contexts reset; socket 0 of context 0 wants a connection.
  net_.ResetAllContexts();

  // 9. Protocol modules, in this order: ZELL, ICMD, VIDO, the two stream
  //    connections, VDTT, ICTL, the named items, the watermark parameters,
  //    PBBA, SPDM, RK9P.
  net_.RegisterZell();
  stream_.RegisterModules();
  // Channel titles render on title surfaces 0 (measuring) and 1 (the box).
  CreateTitleImages();
  if (!titles_)
    titles_ = std::make_unique<ChannelTitles>(form_, platform_.host, platform_.files,
                                              *titleImages_[0], *titleImages_[1]);
  net_.Modules().RegisterModule(
      ChannelTitles::kTag, [this](const uint8_t* body, uint32_t n) { titles_->Receive(body, n); },
      nullptr, titles_->ReceiveBuffer(), ChannelTitles::kReceiveBufferSize);
  items_.RegisterModule();
  items_.RegisterItems();
  playback_.RegisterModule();
  net_.Modules().RegisterModule(
      ui::Speed_dome_form::kTag, [this](const uint8_t* body, uint32_t n) { pad_.Receive(body, n); },
      nullptr, padBuffer_, sizeof padBuffer_);
  net_.RegisterRk9p();

  // 10. The decoders' frame buffers (and the display's work buffers).
  video_.AllocateFrameBuffers();

  // 11. The PPPoE, DDNS and mail input fields cleared.
  settings_.ClearInputFields();

  // 12. The on-screen interface marked for a full redraw and initialised.
  ui_.ResetSkins();
  BindFormMouse(*this);
  WireOnScreen(*this);
  FollowRecorderLiveView(*this);
  pad_.Wire();
  playback_.Wire();
  WireSettings(*this);
  backup_.Wire();
  WireTitles(*this);
  WireViewResume(*this);  // last: after the other login hand-offs

  // 13. The key panel and speed-dome skins, the form's small pictures and
  //     the playback loader frames.
  LoadSkins(*this);
  stream_.LoadSkinPictures(platform_.files, systemFolder_, kVersion);

  // 14. The main-form background.
  LoadMainFormBitmap();

  // 15.
  form_.Label_Version.SetCaption(std::string("Ver.") + (kVersion + 2));

  // 16. Periodic stamps cleared; ElapsedTicks counts from here.
  loop_ = MainLoopState{};
  startMarkMs_ = platform_.clock.TickCountMs();
  startUpComplete_ = true;
}

void TevranoX::CreateTitleImages() {
  for (int i = 0; i < 7; ++i) {
    const bool large = i == 5 || i == 6;
    // The form's own pictures of the titles: named, never shown (no parent),
    // transparent and disabled; 5 and 6 hold a whole 704 x 576 picture.
    if (!titlePictures_[i]) {
      titlePictures_[i] = std::make_unique<Image>("Paint_Str_Side_Image" + std::to_string(i), 0, 0,
                                                  0, 0, false, false);
      form_.Add(*titlePictures_[i]);
    }
    Image& picture = *titlePictures_[i];
    picture.transparent = true;
    if (large) {
      picture.SetBounds(0, 0, 704, 576);
      picture.picture.SetSize(704, 576);
      picture.picture.Fill(0x00FFFFFF);
    }
    // Made once: the channel titles keep drawing on surfaces 0 and 1.
    if (!titleImages_[i])
      titleImages_[i] = platform_.text.CreateTextSurface(large ? 704 : 0, large ? 576 : 0);
    platform::FontSpec font;
    font.style = platform::kFontBold;
    font.color = 0x000000;
    titleImages_[i]->SetFont(font);
    titleImages_[i]->Fill(0x00FFFFFF);
  }
}

// The data folder that holds skins and pictures: TEVRANO_DATA_DIR when set,
// else the installed data folder, else the build tree's.
void TevranoX::FindSystemFolder() {
  if (auto dir = platform_.environment.Get("TEVRANO_DATA_DIR"); dir && !dir->empty()) {
    systemFolder_ = *dir;
  } else if (platform_.files.IsFolder(TEVRANO_INSTALLED_DATA_DIR)) {
    systemFolder_ = TEVRANO_INSTALLED_DATA_DIR;
  } else {
    systemFolder_ = TEVRANO_BUILD_DATA_DIR;
  }
  if (systemFolder_.size() > 127) systemFolder_.resize(127);
}

void TevranoX::LoadMainFormBitmap() {
  char path[512];
  std::snprintf(path, sizeof path, "%s/TevranoMainForm_%s.bmp", systemFolder_.c_str(), kVersion);
  backgroundPictureLoaded_ = LoadBmpFile(platform_.files, path, form_.Image3.picture);
  if (backgroundPictureLoaded_) form_.Image3.Invalidate();
}

void TevranoX::PrepareUnload() {
  // The audio thread ends, then its output stops.
  audioThread_->Terminate();
  audio_->StopAudioOutput();
}

ControlStatus TevranoX::Status() const {
  ControlStatus s;
  const RecorderContext& c = net_.Context(0);
  const ViewState& view = stream_.ViewOf(0);
  s.viewMode = static_cast<int>(view.Mode);
  // The page and layout the on-screen interface shows (Playback its own
  // channel, layout 18 of eight channels as 18), not the view records.
  s.page = ui_.Page();
  s.layout = ui_.Layout();
  s.loggedIn = static_cast<int>(c.LoggedIn);
  s.sessionId = c.SessionId;
  s.loginState = static_cast<int>(c.LoginState);
  s.playback.time = view.DisplayedPlaybackTime;
  s.playback.channel = static_cast<int>(view.PlaybackChannel());
  s.playback.state = ui_.PlaybackState();
  for (int c = 0; c < ui::Alarm_list::kChannels; ++c)
    for (int i = 0; i < alarms_.RecentCount(c); ++i) {
      const ui::Alarm_list::Event& e = alarms_.Recent(c, i);
      s.events.push_back({e.time, e.channel + 1, ui::Alarm_list::KindName(e.kind)});
    }
  s.speedDome = {form_.SpeedDome.visible, form_.SpeedDome.left, form_.SpeedDome.top};
  const ui::BindingTable& table = ui_.Bindings();
  for (int i = 0; i < ui::BindingTable::kEntries; ++i) {
    const std::string_view name = table.Name(i);
    bool seen = false;
    for (const auto& v : s.interfaceVariables) seen = seen || v.name == name;
    if (seen) continue;
    const ui::Binding b = table.Skin_Lookup(name);
    ControlStatus::InterfaceVariable v;
    v.name = std::string(name);
    const size_t hash = name.find('#');
    v.array = hash != std::string_view::npos && hash + 1 < name.size() &&
              (name[hash + 1] == 'A' || name[hash + 1] == 'a');
    for (int k = 0; k < b.length; ++k) v.values.push_back(b.Get(k));
    s.interfaceVariables.push_back(std::move(v));
  }
  s.audioLag = audio_->Lag();
  return s;
}

}  // namespace tevrano
