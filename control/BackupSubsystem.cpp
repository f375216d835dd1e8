// The backup job wired into the control.
#include "control/BackupSubsystem.h"

#include "base/Form.h"
#include "base/RecorderTime.h"
#include "control/StreamSubsystem.h"
#include "record/BackupNames.h"
#include "ui/NamedItems.h"
#include "ui/Ui.h"
#include "view/ViewRecords.h"

namespace tevrano {

BackupSubsystem::BackupSubsystem(platform::Platform& platform, StreamSubsystem& streams,
                                 NamedItems& items, ui::Ui& ui, TTevranoX& form)
    : platform_(platform),
      streams_(streams),
      items_(items),
      ui_(ui),
      form_(form),
      job_(platform.files, platform.clock) {}

void BackupSubsystem::Wire() {
  StreamHooks& hooks = streams_.Stream().Hooks();
  hooks.backupStep = [this](StreamConnection& c) { return job_.Step(c); };
  hooks.readAudioPacket = [this](StreamConnection& c) {
    return record::ReadBackupAudioPacket(c, job_, streams_.Stream().MarkerFraming(), audioScratch_);
  };
  hooks.backupToEndState = [this] { job_.SetState(record::BackupJob::kEnd); };

  ViewControl::Hooks& view = streams_.View().GetHooks();
  view.setBackupJobState = [this](int state) { job_.SetState(state); };
  view.setBackupPath = [this](std::string_view path) { job_.SetBasePath(path); };
  view.resetBackupFilePart = [this] { job_.ResetPart(); };

  ui_.hooks.backupControl = [this](int control) { return ToggleBackup(control); };

  record::BackupHooks& jobHooks = job_.Hooks();
  jobHooks.requestWatermark = [this](uint32_t channel) {
    items_.WatermarkCheck = 0;
    items_.Item_Send(0, "Zell_Watermark_Var_R", &channel, 4, 1);
  };
  jobHooks.watermarkAnswer = [this](uint32_t& value) {
    if (items_.WatermarkCheck == 0) return false;
    value = items_.WatermarkCheck;
    return true;
  };
  jobHooks.finished = [this](bool complete) { Finished(complete); };
  jobHooks.showPreview = [this](const uint8_t* frame, uint32_t length) {
    StreamHooks& stream = streams_.Stream().Hooks();
    if (stream.decodeFrame) stream.decodeFrame(frame, length, 0);
  };
  jobHooks.openFolder = [this](const std::string& folder) {
    if (openFolderAtEnd_) platform_.host.OpenFolderOrAddress(folder);
  };
}

void BackupSubsystem::Poll() {
  // Backup state 2 of the view (the Backup page's preview): the recorder
  // streams the span and the job shows its I-frames until the state or the
  // mode changes. A running backup is never turned into a preview.
  const ViewState& view = streams_.Icmd().View(0);
  const bool preview = view.Mode == kModeBackup && view.Backup.State == 2;
  if (preview && job_.State() == record::BackupJob::kIdle)
    job_.SetState(record::BackupJob::kPreview);
  else if (!preview && job_.State() == record::BackupJob::kPreview)
    job_.SetState(record::BackupJob::kIdle);
  job_.Poll(streams_.Stream().Connection(0));
}

void BackupSubsystem::OneSecondStep() {
  if (job_.Outcome() == record::BackupOutcome::kRunning) ui_.vars.IE_percentage = job_.Percent();
}

void BackupSubsystem::Finished(bool complete) {
  ViewState& view = streams_.Icmd().View(0);
  // The recorder stops the span; the page's button shows "not running".
  if (view.Backup.State != 0) streams_.View().SetBackupRunning(view, false, {});
  ui_.vars.IE_ST2 = 0;
  ui_.vars.IE_percentage = job_.Percent();
  if (!complete) {
    form_.Label1.SetCaption("backup incomplete");
    form_.Label1.SetVisible(true);
  }
}

std::string BackupSubsystem::PrepareBackupFile() {
  const ViewState& view = streams_.Icmd().View(0);
  const std::string folder = record::BackupFolder(platform_.environment.HomeDir());
  bool folderOk = platform_.files.IsFolder(folder) || platform_.files.MakeFolder(folder);
  const platform::LocalTimeFields now = platform_.clock.LocalTime(platform_.clock.CalendarTime());
  const uint32_t packedNow =
      ui::PackRecorderTime(now.year, now.month, now.day, now.hour, now.minute, now.second);
  const std::string name =
      record::DefaultBackupName(view.Backup.Channel, view.Backup.StartTime, packedNow);
  form_.Label1.SetCaption(name);
  const std::string path = folder + "/" + name;
  if (folderOk) {
    if (auto f = platform_.files.Open(path, platform::FileMode::kWrite)) {
      f->Close();
      form_.Label1.SetCaption(path);
      return path;
    }
  }
  platform_.host.MessageBox(
      "Save As\n\t" + folder + "\nA required privilege is not held by the client", "",
      platform::kMbOk);
  return {};
}

int BackupSubsystem::ToggleBackup(int control) {
  ViewState& view = streams_.Icmd().View(0);
  if (control == 2) {
    ui_.vars.IE_percentage = 0;
    return 0;
  }
  if (control != 0) {
    streams_.View().SetBackupRunning(view, false, {});
    return 0;
  }
  if (ui_.vars.Mon_B_F_T != 0 && ui_.vars.Mon_B_T_T != 0) {
    view.Backup.StartTime = uint32_t(ui_.vars.Mon_B_F_T);
    view.Backup.EndTime = uint32_t(ui_.vars.Mon_B_T_T);
  }
  const std::string path = PrepareBackupFile();
  if (path.empty()) {
    ui_.vars.IE_percentage = 0;
    streams_.View().SetBackupRunning(view, false, {});
    return 0;
  }
  return streams_.View().SetBackupRunning(view, true, path) == 1 ? 1 : 0;
}

bool BackupSubsystem::StartBackup(uint32_t channel, uint32_t from, uint32_t to,
                                  std::string_view path) {
  if (channel >= 16 || from >= to || path.empty()) return false;
  // The view command switches to the Backup page with the camera as its
  // channel and tells the recorder.
  streams_.View().ViewCommand(0, ui_.ChannelCount() > 0 ? ui_.ChannelCount() : 16, kModeBackup, 0,
                              channel, false);
  ViewState& view = streams_.Icmd().View(0);
  view.Backup.Channel = channel;
  view.Backup.StartTime = from;
  view.Backup.EndTime = to;
  ui_.vars.IE_ST2 = 1;
  return streams_.View().SetBackupRunning(view, true, path) == 1;
}

void BackupSubsystem::StopBackup() {
  streams_.View().SetBackupRunning(streams_.Icmd().View(0), false, {});
}

}  // namespace tevrano
