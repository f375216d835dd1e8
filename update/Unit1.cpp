#include "update/Unit1.h"

#include <cstring>

#include "base/ByteReader.h"
#include "update/FirmwareImage.h"

namespace tevrano {

namespace {
// Message-box icons and default button (the Windows values).
constexpr int kMbIconStop = 0x10;
constexpr int kMbIconWarning = 0x30;
constexpr int kMbDefButton2 = 0x100;

enum State : int {
  kConnect = 0,
  kAnnounceState = 1,
  kUpload = 2,
  kWriting = 3,
  kWritten = 4,
  kLost = 5,
  kRebootWait60 = 6,
  kRebootWait100 = 7,
};

std::string RebootText(int seconds) {
  return "DVR rebooting : " + std::to_string(seconds) + " second... ";
}
}  // namespace

TForm_Update::TForm_Update(TTevranoX& form, platform::Platform& platform)
    : form_(form), platform_(platform) {
  Button_Update_Yes.caption = "Yes";
  Button_Update_No.caption = "No";
  Label_Update1.caption = "Start OS Update ?";
  Label_Update2.caption = "Are You Sure Update OS ?";
  Timer_Update.enabled = false;
  for (Component* c :
       {static_cast<Component*>(&Label_Update1), static_cast<Component*>(&Label_Update2),
        &ProgressBar1, &Button_Update_Yes, &Button_Update_No}) {
    c->visible = false;
    form_.Add(*c);
  }
  form_.Add(Timer_Update);
  Button_Update_Yes.onClick = [this] { Button_Update_YesClick(); };
  Button_Update_No.onClick = [this] { Button_Update_NoClick(); };
}

TForm_Update::~TForm_Update() {
  ReleaseTransfer();
}

void TForm_Update::ShowModal(std::string path) {
  ReleaseTransfer();
  path_ = std::move(path);
  Timer_Update.Tag = kConnect;
  Timer_Update.interval = 1;
  Timer_Update.SetEnabled(false);
  Label_Update1.SetCaption("Start OS Update ?");
  Label_Update2.SetCaption("Are You Sure Update OS ?");
  ProgressBar1.SetPosition(0);
  Button_Update_Yes.SetVisible(true);
  Button_Update_No.SetCaption("No");
  Button_Update_No.SetBounds(196, 100, 75, 25);
  mainTimerStopped_ = false;
  rebooting_ = false;
  uploadPercent_ = 0;
  counter_ = 0;
  visible_ = true;
  for (Component* c :
       {static_cast<Component*>(&Label_Update1), static_cast<Component*>(&Label_Update2),
        &ProgressBar1, &Button_Update_Yes, &Button_Update_No})
    c->SetVisible(true);
  FormShow();
}

void TForm_Update::FormShow() {
  const firmware::ImageInfo info = firmware::ReadImageInfo(platform_.files, path_);
  // Without a marker the new version is shown empty; the upload refuses it.
  const std::string next = firmware::NewVersion(info.versionText);
  const std::string current = firmware::CurrentVersion(form_.Label_System1.caption);
  Label_Update2.SetCaption(current + " --> " + next);
}

void TForm_Update::Button_Update_YesClick() {
  lastFireMs_ = platform_.clock.TickCountMs() - 1;
  Timer_Update.SetEnabled(true);
}

void TForm_Update::Button_Update_NoClick() {
  const int state = Timer_Update.Tag;
  if (state == kAnnounceState || state == kUpload) {
    const int answer = platform_.host.MessageBox(
        "Stop update OS ?", "Stop update", platform::kMbYesNo | kMbIconWarning | kMbDefButton2);
    if (answer != platform::kIdYes) return;
  }
  Timer_Update.SetEnabled(false);
  EnableMainForm(true);
  FormClose();
}

void TForm_Update::FormClose() {
  ReleaseTransfer();
  Timer_Update.SetEnabled(false);
  EnableMainForm(true);
  // An upload that ended without a reboot leaves the recorder as it was:
  // the main loop takes up its connection again.
  if (mainTimerStopped_ && !rebooting_) form_.Timer1.SetEnabled(true);
  mainTimerStopped_ = false;
  visible_ = false;
  for (Component* c :
       {static_cast<Component*>(&Label_Update1), static_cast<Component*>(&Label_Update2),
        &ProgressBar1, &Button_Update_Yes, &Button_Update_No})
    c->SetVisible(false);
}

void TForm_Update::Poll() {
  if (!visible_ || !Timer_Update.enabled || Timer_Update.interval <= 0) return;
  const uint32_t now = platform_.clock.TickCountMs();
  if (now - lastFireMs_ < static_cast<uint32_t>(Timer_Update.interval)) return;
  lastFireMs_ = now;
  Timer_UpdateTimer();
}

void TForm_Update::Timer_UpdateTimer() {
  Timer_Update.SetEnabled(false);
  std::memset(packet_, 0, sizeof packet_);
  StoreLe32(packet_ + 4, kPoll);
  switch (Timer_Update.Tag) {
    case kConnect:
      StepConnect();
      if (Timer_Update.Tag == kAnnounceState) StepAnnounce();
      break;
    case kAnnounceState:
      StepAnnounce();
      break;
    case kUpload:
      StepUpload();
      break;
    case kWriting:
      StepWriting();
      break;
    case kWritten:
      StepWritten();
      break;
    case kLost:
      StepLost();
      break;
    case kRebootWait60:
      StepRebootWait(60, "OS update completed.", "OK");
      break;
    case kRebootWait100:
      StepRebootWait(100, "DVR rebooting finished.", "Close");
      break;
    default:
      StopTimer();
      break;
  }
  // A stopped timer (interval 0) does not fire again; a closed dialog neither.
  if (visible_ && Timer_Update.interval != 0) Timer_Update.SetEnabled(true);
}

// ---- The steps ----

void TForm_Update::StepConnect() {
  if (!mainTimerStopped_) {
    form_.Timer1.SetEnabled(false);
    mainTimerStopped_ = true;
  }
  Button_Update_Yes.SetVisible(false);
  Button_Update_No.SetBounds(kWidth / 2 - 37, Button_Update_No.top, Button_Update_No.width,
                             Button_Update_No.height);
  Button_Update_No.SetCaption("STOP");
  lastAnswerMs_ = platform_.clock.TickCountMs();

  // An empty file is never offered (the Update tab refuses images without
  // the version marker before the dialog opens).
  if (!CheckImage()) return;
  socket_ = platform_.sockets.CreateBlockingSocket();
  if (!socket_ || !socket_->Connect(form_.LabeledEdit_System1.text, platform_.sockets.UpdatePort(),
                                    kConnectTimeoutMs)) {
    ReleaseTransfer();
    Fail("Connect failed !");
    return;
  }
  if (!BuildAnnounce()) {
    ReleaseTransfer();
    Fail("Read file failed !");
    return;
  }
  answerHave_ = 0;
  awaitingAnswer_ = false;
  Timer_Update.Tag = kAnnounceState;
}

bool TForm_Update::CheckImage() {
  const firmware::ImageInfo info = firmware::ReadImageInfo(platform_.files, path_);
  if (!info.opened) {
    Fail("Open file failed !");
    return false;
  }
  // An empty file has nothing to send and no percentage to show.
  if (info.size <= 0) {
    Fail("The file is empty !");
    return false;
  }
  return true;
}

bool TForm_Update::BuildAnnounce() {
  file_ = platform_.files.Open(path_, platform::FileMode::kRead);
  if (!file_) return false;
  fileLength_ = file_->Size();
  if (fileLength_ <= 0 || fileLength_ > 0xFFFFFFFFll) return false;
  ByteWriter w(packet_, sizeof packet_);
  w.Le32(static_cast<uint32_t>(fileLength_));
  w.Le32(kAnnounce);
  const std::string_view name = firmware::FileNameOf(path_);
  w.Text(std::string(name).c_str(), kNameRoom);  // cut so its terminator fits
  // The first bytes of the file (fewer when the file is shorter).
  size_t got = 0;
  while (got < kHeadBytes) {
    const int64_t n = file_->Read(packet_ + kHeadOffset + got, kHeadBytes - got);
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  StoreLe32(packet_ + kChunkNumberOffset, 0);
  return w.Ok();
}

void TForm_Update::StepAnnounce() {
  if (!SendPacket()) {
    Timer_Update.Tag = kLost;
    return;
  }
  uint32_t answer = 0;
  const Answer a = WaitAnswer(answer);
  if (a == Answer::kLost) {
    Timer_Update.Tag = kLost;
    return;
  }
  if (a == Answer::kNone) return;
  if (answer == 1) {
    lastAnswerMs_ = platform_.clock.TickCountMs();
    Timer_Update.Tag = kUpload;
    SetStatus("Upload rom file...");
    Button_Update_No.SetCaption("STOP");
  } else if (answer == kVersionRefused) {
    StopTimer();
    platform_.host.MessageBox("Upload OS version error !", "Version error",
                              platform::kMbOk | kMbIconStop);
    Timer_Update.Tag = kConnect;
    EnableMainForm(true);
    FormClose();
  }
}

void TForm_Update::StepUpload() {
  if (!awaitingAnswer_) {
    const uint32_t chunk = lastAnswer_;
    const int64_t offset = (static_cast<int64_t>(chunk) - 1) * static_cast<int64_t>(kChunkSize);
    // Chunk numbers count from 1; one past the last full chunk still names
    // the (empty) end of the file.
    if (chunk == 0 || offset > fileLength_) {
      ReleaseTransfer();
      Fail("Upload failed !");
      return;
    }
    int64_t got = 0;
    if (file_->Seek(offset)) {
      while (got < static_cast<int64_t>(kChunkSize)) {
        const int64_t n = file_->Read(packet_ + 8 + got, kChunkSize - static_cast<size_t>(got));
        if (n <= 0) {
          if (n < 0) got = -1;
          break;
        }
        got += n;
      }
    } else {
      got = -1;
    }
    if (got < 0) {
      ReleaseTransfer();
      Fail("Read file failed !");
      return;
    }
    const bool end = got < static_cast<int64_t>(kChunkSize);
    StoreLe32(packet_, static_cast<uint32_t>(got));
    StoreLe32(packet_ + 4, end ? kLastData : kData);
    StoreLe32(packet_ + kChunkNumberOffset, chunk);
    if (!SendPacket()) {
      Timer_Update.Tag = kLost;
      return;
    }
    uploadPosition_ = offset + got;
    uploadEnd_ = end;
    awaitingAnswer_ = true;
  }
  uint32_t answer = 0;
  const Answer a = WaitAnswer(answer);
  if (a == Answer::kLost) {
    Timer_Update.Tag = kLost;
    return;
  }
  if (a == Answer::kNone) return;
  awaitingAnswer_ = false;
  lastAnswerMs_ = platform_.clock.TickCountMs();
  uploadPercent_ = uploadPosition_ * 100 / fileLength_;
  SetBar(uploadPercent_ / 2);
  if (uploadEnd_) {
    SetBar(50);
    file_.reset();
    writePercent_ = 0;
    Timer_Update.Tag = kWriting;
    SetStatus("Write data");
  }
}

void TForm_Update::StepWriting() {
  uint32_t w = 0;
  const Answer a = WaitAnswer(w);
  if (a == Answer::kLost) {
    Timer_Update.Tag = kLost;
    return;
  }
  if (a == Answer::kNone) return;
  lastAnswerMs_ = platform_.clock.TickCountMs();
  writePercent_ = w > 100 ? 100 : static_cast<int64_t>(w);
  SetBar((uploadPercent_ + writePercent_) / 2);
  if (w >= 100) Timer_Update.Tag = kWritten;
}

void TForm_Update::StepWritten() {
  Button_Update_No.SetCaption("Close");
  SetStatus(RebootText(60));
  SetBar(0);
  counter_ = 0;
  ReleaseTransfer();
  rebooting_ = true;
  Timer_Update.interval = 1000;
  Timer_Update.Tag = kRebootWait60;
}

void TForm_Update::StepLost() {
  platform_.host.MessageBox("LAN Disconnect !", "LAN Disconnect", platform::kMbOk | kMbIconStop);
  SetStatus(RebootText(100));
  SetBar(0);
  counter_ = 0;
  ReleaseTransfer();
  rebooting_ = true;
  Timer_Update.interval = 1000;
  Timer_Update.Tag = kRebootWait100;
}

void TForm_Update::StepRebootWait(int seconds, const char* doneText, const char* doneButton) {
  ++counter_;
  if (counter_ > seconds) {
    SetStatus(doneText);
    Button_Update_No.SetCaption(doneButton);
    SetBar(100);
    StopTimer();
    return;
  }
  SetBar(static_cast<int64_t>(counter_) * 100 / seconds);
  SetStatus(RebootText(seconds - counter_));
}

// ---- Helpers ----

TForm_Update::Answer TForm_Update::WaitAnswer(uint32_t& value) {
  int n = 0;
  if (socket_)
    n = socket_->Receive(answer_ + answerHave_, static_cast<int>(sizeof answer_ - answerHave_),
                         kAnswerWaitMs);
  else
    n = -1;
  // The silence is measured after the wait, before the answer is taken.
  if (platform_.clock.TickCountMs() - lastAnswerMs_ > kSilenceMs) return Answer::kLost;
  if (n < 0) return Answer::kLost;  // the recorder closed the connection
  answerHave_ += static_cast<size_t>(n);
  if (answerHave_ < sizeof answer_) return Answer::kNone;
  answerHave_ = 0;
  value = LoadLe32(answer_);
  lastAnswer_ = value;
  return Answer::kTaken;
}

bool TForm_Update::SendPacket() {
  return socket_ && socket_->Send(packet_, static_cast<int>(sizeof packet_)) ==
                        static_cast<int>(sizeof packet_);
}

void TForm_Update::Fail(const char* status) {
  StopTimer();
  Button_Update_No.SetCaption("Close");
  SetStatus(status);
  Timer_Update.Tag = kConnect;
}

void TForm_Update::ReleaseTransfer() {
  if (socket_) socket_->Close();
  socket_.reset();
  file_.reset();
  answerHave_ = 0;
  awaitingAnswer_ = false;
}

void TForm_Update::EnableMainForm(bool on) {
  form_.PageControl1.SetEnabled(on);
  form_.Image_video.SetEnabled(on);
}

void TForm_Update::SetBar(int64_t value) {
  if (value < 0) value = 0;
  if (value > 100) value = 100;
  ProgressBar1.SetPosition(static_cast<int>(value));
}

}  // namespace tevrano
