#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Platform.h"
#include "record/BackupAudio.h"
#include "record/BackupJob.h"

namespace tevrano {

class NamedItems;
class StreamSubsystem;
class TTevranoX;
namespace ui {
class Ui;
}

// The backup: the job that writes the recorder's backup stream into movies,
// wired to the stream's Backup mode, the view's start and stop, the
// watermark item, the Backup page's button and progress, and the host's
// folder opening. One per control; runs on the control's thread.
class BackupSubsystem {
 public:
  BackupSubsystem(platform::Platform& platform, StreamSubsystem& streams, NamedItems& items,
                  ui::Ui& ui, TTevranoX& form);

  // Start-up, after the on-screen interface is wired.
  void Wire();
  // Every main-loop run: the job's states that need no frame.
  void Poll();
  // The one-second job: the progress shown on the Backup page.
  void OneSecondStep();

  // The Backup page's button: 0 start, 1 stop, 2 reset progress; 1 when started.
  int ToggleBackup(int control);
  // Makes the backup folder and the default file; the path, or empty (after
  // the message) when it can't be written.
  std::string PrepareBackupFile();

  // A backup without the page (the host's command line): camera `channel`
  // (0-based) from `from` to `to` (recorder seconds) into `path` (FILE.mov;
  // parts FILE(1).mov …). Switches the view to Backup. False when refused.
  bool StartBackup(uint32_t channel, uint32_t from, uint32_t to, std::string_view path);
  void StopBackup();
  // Whether the folder is opened when a backup ends (not for the command line).
  void SetOpenFolderAtEnd(bool open) { openFolderAtEnd_ = open; }

  record::BackupJob& Job() { return job_; }
  const record::BackupJob& Job() const { return job_; }

 private:
  void Finished(bool complete);

  platform::Platform& platform_;
  StreamSubsystem& streams_;
  NamedItems& items_;
  ui::Ui& ui_;
  TTevranoX& form_;
  record::BackupJob job_;
  bool openFolderAtEnd_ = true;
  uint8_t audioScratch_[record::kBackupAudioMax] = {};
};

}  // namespace tevrano
