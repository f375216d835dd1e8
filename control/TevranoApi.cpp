#include "control/TevranoApi.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "base/ByteReader.h"
#include "control/TevranoImpl1.h"
#include "control/TypeLibrary.h"

namespace {
// How often a control was created in this process.
int gStartUpCount = 0;
// The live controls (the framework's object count).
int gObjectCount = 0;
tevrano::TevranoX* gControl = nullptr;

tevrano::TevranoX* Control(TevranoXHandle* handle) {
  return reinterpret_cast<tevrano::TevranoX*>(handle);
}

void CopyText(char* into, size_t size, const std::string& text) {
  if (size == 0) return;
  const size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(into, text.data(), n);
  into[n] = 0;
}
}  // namespace

extern "C" {

TevranoXHandle* TevranoX_Create(void* platform) {
  if (!platform) return nullptr;
  // One control per process, for the life of the process.
  if (gStartUpCount != 0) std::exit(1);
  // Damaged units are expected and survived; the decoder's complaints about
  // them go nowhere, like the control's own diagnostics. The level is the
  // whole process's, so it is set here, once, and not by each decoder.
  av_log_set_level(AV_LOG_FATAL);
  auto* control =
      new tevrano::TevranoX(*static_cast<tevrano::platform::Platform*>(platform), &gStartUpCount);
  control->ActiveFormCreate();
  ++gObjectCount;
  gControl = control;
  return reinterpret_cast<TevranoXHandle*>(control);
}

void TevranoX_Destroy(TevranoXHandle* handle) {
  if (!handle) return;
  tevrano::TevranoX* control = Control(handle);
  control->PrepareUnload();
  if (gControl == control) gControl = nullptr;
  delete control;  // closes its sockets and stops its timer
  --gObjectCount;
}

int32_t TevranoX_PutProperty(TevranoXHandle* handle, int32_t dispid,
                             const TevranoVariantIn* value) {
  if (!handle || !value) return tevrano::kEInvalidArg;
  tevrano::Variant v;
  v.vt = value->vt;
  v.intVal = value->intVal;
  if (value->vt == tevrano::Variant::kBstr) v.str = value->str ? value->str : "";
  return Control(handle)->PutProperty(dispid, v);
}

int32_t TevranoX_GetProperty(TevranoXHandle* handle, int32_t dispid, uint16_t* vt, int32_t* intVal,
                             char* text, size_t textSize) {
  if (!handle) return tevrano::kEInvalidArg;
  tevrano::Variant v;
  int32_t hr = Control(handle)->GetProperty(dispid, v);
  if (hr != tevrano::kSOk) return hr;
  if (vt) *vt = v.vt;
  if (intVal) *intVal = v.intVal;
  if (text) CopyText(text, textSize, v.str);
  return tevrano::kSOk;
}

void TevranoX_Timer(TevranoXHandle* handle) {
  if (!handle) return;
  // The firmware upload dialog stops the main loop and runs its own timer.
  if (Control(handle)->Form().Timer1.enabled) Control(handle)->Timer1Timer();
  Control(handle)->Update().Poll();
}

int TevranoX_TimerEnabled(TevranoXHandle* handle) {
  if (!handle) return 0;
  return Control(handle)->Form().Timer1.enabled || Control(handle)->Update().TimerWanted() ? 1 : 0;
}

void* TevranoX_Form(TevranoXHandle* handle) {
  return handle ? &Control(handle)->Form() : nullptr;
}

int32_t TevranoX_GetScriptingView(TevranoXHandle* handle, TevranoScriptingView* view) {
  if (!handle || !view) return tevrano::kEInvalidArg;
  tevrano::TevranoX& control = *Control(handle);
  const tevrano::ControlStatus status = control.Status();
  *view = TevranoScriptingView{};
  view->loggedIn = status.loggedIn;
  view->sessionId = status.sessionId;
  view->loginState = status.loginState;
  const tevrano::RecorderContext& context = control.Net().Context(0);
  view->recorderKnown = context.Zell && tevrano::LoadLe32(context.Zell->SystemInfo +
                                                          tevrano::system_info::kChannels) != 0
                            ? 1
                            : 0;
  view->viewMode = status.viewMode;
  view->page = status.page;
  view->layout = status.layout;
  view->picturesShown = control.GetVideo().PicturesShown();
  view->mainLoopRuns = control.MainLoop().runs;
  view->keyPanelSkinLoaded = control.OnScreen().FindSkin("TevranoKeyForm") >= 0 ? 1 : 0;
  view->backgroundPictureLoaded = control.BackgroundPictureLoaded() ? 1 : 0;
  CopyText(view->dataFolder, sizeof view->dataFolder, control.SystemFolder());
  view->playbackTime = status.playback.time;
  view->playbackChannel = status.playback.channel;
  view->playbackState = status.playback.state;
  view->audioLagLastMs = status.audioLag.lastMs;
  view->audioLagMaxMs = status.audioLag.maxAbsMs;
  view->audioLagMeanMs = status.audioLag.meanAbsMs;
  view->audioLagSamples = status.audioLag.samples;
  view->speedDomeOpen = status.speedDome.open ? 1 : 0;
  view->speedDomeLeft = status.speedDome.left;
  view->speedDomeTop = status.speedDome.top;
  view->streamFlowing = control.Streams().Stream().StreamState() == 3 ? 1 : 0;
  view->keyPanelRedrawPending = control.OnScreen().RedrawPending() ? 1 : 0;
  const tevrano::VideoStateMonitor& watch = control.VideoStateWatch();
  CopyText(view->videoState, sizeof view->videoState, tevrano::VideoStateText(watch.State()));
  view->secondsWithoutPicture = watch.SecondsWithoutPicture(control.Platform().clock.TickCountMs());
  return tevrano::kSOk;
}

int32_t TevranoX_StartBackup(TevranoXHandle* handle, uint32_t channel, uint32_t from, uint32_t to,
                             const char* path, int32_t openFolderAtEnd) {
  if (!handle || !path) return tevrano::kEInvalidArg;
  tevrano::BackupSubsystem& backup = Control(handle)->Backup();
  backup.SetOpenFolderAtEnd(openFolderAtEnd != 0);
  return backup.StartBackup(channel, from, to, path) ? tevrano::kSOk : tevrano::kEFail;
}

void TevranoX_StopBackup(TevranoXHandle* handle) {
  if (!handle) return;
  tevrano::BackupSubsystem& backup = Control(handle)->Backup();
  backup.StopBackup();
  backup.Poll();
}

static_assert(int(tevrano::record::BackupOutcome::kComplete) == 2 &&
                  int(tevrano::record::BackupOutcome::kIncomplete) == 3,
              "TevranoBackupStatus outcomes");

int32_t TevranoX_GetBackupStatus(TevranoXHandle* handle, TevranoBackupStatus* status) {
  if (!handle || !status) return tevrano::kEInvalidArg;
  const tevrano::record::BackupJob& job = Control(handle)->Backup().Job();
  *status = TevranoBackupStatus{};
  status->outcome = static_cast<int32_t>(job.Outcome());
  status->percent = job.Percent();
  status->partsWritten = job.PartsWritten();
  CopyText(status->fileName, sizeof status->fileName, job.FileName());
  return tevrano::kSOk;
}

int32_t TevranoX_GetEvents(TevranoXHandle* handle, TevranoEventItem* out, int32_t capacity) {
  if (!handle) return 0;
  const tevrano::ControlStatus status = Control(handle)->Status();
  const int32_t total = static_cast<int32_t>(status.events.size());
  for (int32_t i = 0; out && i < total && i < capacity; ++i) {
    const tevrano::ControlStatus::EventItem& e = status.events[i];
    out[i] = TevranoEventItem{};
    out[i].time = e.time;
    out[i].channel = e.channel;
    CopyText(out[i].kind, sizeof out[i].kind, e.kind);
  }
  return total;
}

int32_t TevranoX_GetInterfaceVariables(TevranoXHandle* handle, TevranoInterfaceVariable* out,
                                       int32_t capacity) {
  if (!handle) return 0;
  const tevrano::ControlStatus status = Control(handle)->Status();
  const int32_t total = static_cast<int32_t>(status.interfaceVariables.size());
  for (int32_t i = 0; out && i < total && i < capacity; ++i) {
    const tevrano::ControlStatus::InterfaceVariable& v = status.interfaceVariables[i];
    TevranoInterfaceVariable& o = out[i];
    o = TevranoInterfaceVariable{};
    CopyText(o.name, sizeof o.name, v.name);
    o.isArray = v.array ? 1 : 0;
    const size_t n = std::min(v.values.size(), std::size(o.values));
    std::copy_n(v.values.begin(), n, o.values);
    o.count = static_cast<int32_t>(n);
  }
  return total;
}

int32_t TevranoX_FindSkinTarget(TevranoXHandle* handle, const char* skin, const char* binding,
                                int32_t item, TevranoSkinTarget* target) {
  if (!handle || !skin || !binding || !target) return tevrano::kEInvalidArg;
  const auto found = Control(handle)->FindSkinTarget(skin, binding, item);
  if (!found) return tevrano::kEFail;
  CopyText(target->image, sizeof target->image, found->image);
  target->x = found->x;
  target->y = found->y;
  return tevrano::kSOk;
}

const void* TevranoX_TypeLibrary(void) {
  return &tevrano::TevranoTypeLibrary();
}

int32_t DllCanUnloadNow(void) {
  if (gControl) gControl->PrepareUnload();
  return gObjectCount == 0 ? tevrano::kSOk : tevrano::kSFalse;
}

}  // extern "C"
