#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/Audiothread1.h"
#include "base/Form.h"
#include "base/Properties.h"
#include "base/Ticks.h"
#include "control/BackupSubsystem.h"
#include "control/EventMarks.h"
#include "control/MainLoop.h"
#include "control/NoVideoPicture.h"
#include "control/PlaybackSubsystem.h"
#include "control/StreamSubsystem.h"
#include "control/VideoState.h"
#include "net/RecorderNet.h"
#include "platform/Platform.h"
#include "settings/SettingsPages.h"
#include "titles/ChannelTitles.h"
#include "ui/Alarm_list.h"
#include "ui/NamedItems.h"
#include "ui/Speed_dome_form.h"
#include "ui/Ui.h"
#include "update/UpdatePage.h"
#include "video/Video.h"

namespace tevrano {

// What the host reports about the control (the --dump "control" object).
struct ControlStatus {
  int loggedIn = 0;
  uint32_t sessionId = 0;
  int loginState = 0;
  int viewMode = 0;
  int page = 0;
  int layout = 0;
  // Playback on context 0: the time shown (recorder seconds), the played
  // channel (0..15) and the key panel's playback state (0 reverse, 1 pause,
  // 2 play, 3 forward).
  struct Playback {
    uint32_t time = 0;
    int channel = 0;
    int state = 0;
  } playback;
  // Every variable of the on-screen interface's binding table by its name,
  // once each, in table order; `array` for the names of arrays.
  struct InterfaceVariable {
    std::string name;
    std::vector<int32_t> values;
    bool array = false;
  };
  std::vector<InterfaceVariable> interfaceVariables;
  AudioLagStats audioLag;  // sound against picture while sound plays
  // The event list: the last events of each channel, channel by channel,
  // newest first. `kind` is "Alarm", "Motion" or "Vloss".
  struct EventItem {
    uint32_t time = 0;  // recorder seconds
    int channel = 1;    // camera number, from 1
    std::string kind;
  };
  std::vector<EventItem> events;
  // The speed-dome pad's window.
  struct SpeedDome {
    bool open = false;
    int left = 0, top = 0;
  } speedDome;
};

// The control: the form, the four properties and every subsystem's state,
// built once by the start-up sequence. All of it runs on the thread that
// created it; the audio thread is the only other one.
class TevranoX {
 public:
  static constexpr const char* kVersion = "02030330";

  // `startUpCount` is the process-wide count of start-ups (the library entry
  // point passes its own); tests leave it null to get a private count.
  explicit TevranoX(platform::Platform platform, int* startUpCount = nullptr);
  // Stops what the control started: the main loop's timer, the audio, and
  // (with the recorder connection) every socket.
  ~TevranoX();
  TevranoX(const TevranoX&) = delete;
  TevranoX& operator=(const TevranoX&) = delete;

  // Form creation (OnCreate): the start-up sequence, then Timer1 runs.
  void ActiveFormCreate();
  // One run of the 10 ms main loop. The host calls it 10 ms after the end of
  // the previous run while Timer1 is enabled.
  void Timer1Timer();
  // The library's unload query: stops the audio output first.
  void PrepareUnload();

  int32_t GetProperty(int dispid, Variant& out) const { return properties_.Get(dispid, out); }
  int32_t PutProperty(int dispid, const Variant& value) { return properties_.Put(dispid, value); }
  const ControlProperties& Properties() const { return properties_; }

  TTevranoX& Form() { return form_; }
  const TTevranoX& Form() const { return form_; }
  platform::Platform& Platform() { return platform_; }

  // Time since start-up in 10 µs units (milliseconds × 100), wrapping.
  Ticks ElapsedTicks() const {
    return (platform_.clock.TickCountMs() - startMarkMs_) * kTicksPerMs;
  }

  // True once the start-up sequence ran to its end (no "Decode_File Err").
  bool StartUpComplete() const { return startUpComplete_; }
  // True when the main-form background picture was found in the data folder.
  bool BackgroundPictureLoaded() const { return backgroundPictureLoaded_; }
  const std::string& SystemFolder() const { return systemFolder_; }
  const MainLoopState& MainLoop() const { return loop_; }
  MainLoopState& MainLoop() { return loop_; }
  EventMarkTable& EventMarks() { return eventMarks_; }
  // The speed-dome pad.
  ui::Speed_dome_form& SpeedDomePad() { return pad_; }
  // The recorder's live event reports and the markers laid out from them.
  ui::Alarm_list& Alarms() { return alarms_; }
  const ui::Alarm_list& Alarms() const { return alarms_; }
  // Decoder slots and the frame display.
  Video& GetVideo() { return video_; }
  SpeakerState& Speaker() { return speaker_; }
  // Camera sound and its thread.
  Audiothread1& Audio() { return *audio_; }
  TAudioThread1& AudioThread() { return *audioThread_; }
  platform::TextSurface* TitleImage(int index) { return titleImages_[index].get(); }
  // The form's picture of title image `index` ("Paint_Str_Side_Image" + index).
  Image* TitlePicture(int index) { return titlePictures_[index].get(); }
  // The on-screen recorder interface: skins, pages, layouts, keys.
  ui::Ui& OnScreen() { return ui_; }
  const ui::Ui& OnScreen() const { return ui_; }

  ControlStatus Status() const;

  // The link and picture state the user is shown ("connecting", "logged
  // in", "no video") and the time since the last picture.
  const VideoStateMonitor& VideoStateWatch() const { return videoState_; }

  // The recorder connection and the named items exchanged with it.
  RecorderNet& Net() { return net_; }
  const RecorderNet& Net() const { return net_; }
  NamedItems& Items() { return items_; }
  // Live video: stream parsing and pacing, view records, video over the
  // command channel.
  StreamSubsystem& Streams() { return stream_; }
  // Recording search, calendar and playback start.
  PlaybackSubsystem& Playback() { return playback_; }
  // The settings tabs.
  SettingsPages& Settings() { return settings_; }
  // The backup into movie files.
  BackupSubsystem& Backup() { return backup_; }
  // The Update tab and the firmware upload dialog.
  UpdatePage& Update() { return update_; }
  // Channel titles and their "VDTT" exchange (made at start-up).
  ChannelTitles& Titles() { return *titles_; }

  // Where a scripted click on a skin element lands: the centre of item
  // `item` (1-based) of the first element of the skin whose file name
  // contains `skin` and whose target binding is `binding`.
  struct SkinTarget {
    std::string image;  // the form component showing that skin ("Image1", "Image5")
    int x = 0, y = 0;   // in that image's pixels
  };
  std::optional<SkinTarget> FindSkinTarget(std::string_view skin, std::string_view binding,
                                           int item) const;

  // Speaker button: hides both images, then shows the one for the state
  // when the pointer is over it, audio is heard and the view carries audio.
  void ShowSpeakerImages(bool hot, bool audioHeard, bool enabled, bool previousEnabled);

 private:
  void InitializeViewer();
  void WireLiveEvents();
  void CreateTitleImages();
  void FindSystemFolder();
  void LoadMainFormBitmap();
  void SpeakerTimeout();
  bool ViewCarriesAudio() const;
  // Main loop, after the streams were parsed: the frozen-picture watch, the
  // dimmed picture and the connection indicator.
  void VideoStateStep();

  platform::Platform platform_;
  int ownStartUpCount_ = 0;
  int* startUpCount_;
  bool startUpComplete_ = false;
  bool backgroundPictureLoaded_ = false;

  TTevranoX form_;
  Video video_{form_};
  ControlProperties properties_;
  std::string systemFolder_;
  uint32_t startMarkMs_ = 0;
  MainLoopState loop_;
  EventMarkTable eventMarks_;
  std::unique_ptr<platform::TextSurface> markText_;
  SpeakerState speaker_;
  std::unique_ptr<platform::TextSurface> titleImages_[7];
  std::unique_ptr<Image> titlePictures_[7];  // "Paint_Str_Side_Image0" .. 6
  RecorderNet net_;
  NamedItems items_;
  StreamSubsystem stream_{platform_.clock, form_, net_, video_, loop_.framePacingCounter};
  ui::Ui ui_{form_};
  PlaybackSubsystem playback_{net_, stream_, ui_, platform_.clock};
  std::unique_ptr<Audiothread1> audio_;
  std::unique_ptr<TAudioThread1> audioThread_;
  bool lastAudioHeard_ = false;
  SettingsPages settings_{form_, platform_.host, stream_.Icmd().View(0), items_.UpnpSetting};
  ui::Alarm_list alarms_{ui_, [this](uint32_t id) {
                           const RecorderContext* c = net_.FindBySession(id);
                           return c != nullptr && c->LoggedIn != 0;
                         }};
  uint64_t picturesSeenByMarkers_ = 0;
  ui::Speed_dome_form pad_{ui_, form_.SpeedDome, net_.Context(0)};
  uint8_t padBuffer_[1024] = {};
  BackupSubsystem backup_{platform_, stream_, items_, ui_, form_};
  UpdatePage update_{form_, platform_};
  std::unique_ptr<ChannelTitles> titles_;
  VideoStateMonitor videoState_;
  NoVideoPicture noVideo_{form_};
};

}  // namespace tevrano
