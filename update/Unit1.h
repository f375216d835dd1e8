#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "base/Component.h"
#include "base/Form.h"
#include "platform/Platform.h"

namespace tevrano {

// The firmware upload dialog. "Yes" starts Timer_Update; each tick runs one
// step of the transfer, chosen by the timer's Tag:
//   0 connect, 1 announce, 2 upload, 3 writing, 4 written, 5 lost,
//   6 reboot wait (60 s), 7 reboot wait (100 s).
// The upload runs over a blocking socket of its own to the recorder's update
// port; each tick blocks at most about half a second waiting for an answer.
// Everything runs on the control's thread.
class TForm_Update {
 public:
  // Packet kinds (word 1 of every packet).
  static constexpr uint32_t kPoll = 0x32DB2900;
  static constexpr uint32_t kAnnounce = 0x32DB2901;
  static constexpr uint32_t kData = 0x32DB2902;
  static constexpr uint32_t kLastData = 0x32DB2906;
  static constexpr uint32_t kVersionRefused = 0xFFFF;
  static constexpr size_t kPacketSize = 4108;
  static constexpr size_t kChunkSize = 4096;
  static constexpr size_t kNameRoom = 1280;    // bytes 8 .. 1287
  static constexpr size_t kHeadOffset = 1288;  // announce: the file's first bytes
  static constexpr size_t kHeadBytes = 1024;
  static constexpr size_t kChunkNumberOffset = 4104;
  static constexpr int kAnswerWaitMs = 500;
  static constexpr uint32_t kSilenceMs = 30000;
  static constexpr int kConnectTimeoutMs = 5000;
  // A fixed dialog centred on the screen, without border icons.
  const std::string Caption = "Update";
  static constexpr int kWidth = 360;
  static constexpr int kHeight = 150;

  // `form` is the main form (its page control, video image, main timer,
  // recorder address and OS text); the dialog's components are added to it.
  TForm_Update(TTevranoX& form, platform::Platform& platform);
  TForm_Update(const TForm_Update&) = delete;
  TForm_Update& operator=(const TForm_Update&) = delete;
  ~TForm_Update();

  // Opens the dialog for `path` (state 0, timer off) and runs FormShow.
  void ShowModal(std::string path);
  bool Visible() const { return visible_; }

  // Events.
  void FormShow();
  void Button_Update_YesClick();
  void Button_Update_NoClick();
  void Timer_UpdateTimer();
  void FormClose();
  // The host's turn: runs the timer event when Timer_Update is enabled and
  // its interval has passed on the platform clock.
  void Poll();

  int State() const { return Timer_Update.Tag; }
  // The packet last built (what the last send carried).
  const uint8_t* Packet() const { return packet_; }

  Label Label_Update1{"Label_Update1", 24, 16, 312, 16};
  Label Label_Update2{"Label_Update2", 24, 40, 312, 16};
  Component ProgressBar1{"ProgressBar1", ComponentKind::ProgressBar, 24, 68, 312, 18};
  Component Button_Update_Yes{"Button_Update_Yes", ComponentKind::Button, 88, 100, 75, 25};
  Component Button_Update_No{"Button_Update_No", ComponentKind::Button, 196, 100, 75, 25};
  struct UpdateTimer : Timer {
    UpdateTimer() : Timer("Timer_Update", 1) {}
    int Tag = 0;
  } Timer_Update;

 private:
  // Result of waiting for a 4-byte answer.
  enum class Answer { kNone, kTaken, kLost };

  void StepConnect();
  void StepAnnounce();
  void StepUpload();
  void StepWriting();
  void StepWritten();
  void StepLost();
  void StepRebootWait(int seconds, const char* doneText, const char* doneButton);

  // Refuses the image before anything is sent; false when it is unusable.
  bool CheckImage();
  bool BuildAnnounce();
  // Waits up to half a second for the rest of a 4-byte answer. kLost also
  // when more than 30 s have passed since the last answer.
  Answer WaitAnswer(uint32_t& value);
  bool SendPacket();
  void StopTimer() { Timer_Update.interval = 0; }
  void Fail(const char* status);
  void ReleaseTransfer();
  void EnableMainForm(bool on);
  void SetStatus(const std::string& text) { Label_Update1.SetCaption(text); }
  void SetBar(int64_t value);

  TTevranoX& form_;
  platform::Platform& platform_;
  bool visible_ = false;
  std::string path_;
  std::unique_ptr<platform::BlockingSocket> socket_;
  std::unique_ptr<platform::File> file_;
  int64_t fileLength_ = 0;
  uint32_t lastAnswerMs_ = 0;    // platform clock of the last answer
  uint32_t lastAnswer_ = 0;      // the last answer taken
  int64_t uploadPercent_ = 0;    // 0..100
  int64_t writePercent_ = 0;     // 0..100
  int64_t uploadPosition_ = 0;   // the file position after the chunk last sent
  bool uploadEnd_ = false;       // the chunk last sent reached the end of the file
  int counter_ = 0;              // seconds of the reboot wait
  bool awaitingAnswer_ = false;  // a data packet went out and its answer has not come
  uint8_t answer_[4] = {};
  size_t answerHave_ = 0;
  bool mainTimerStopped_ = false;
  bool rebooting_ = false;  // a reboot countdown was reached
  uint32_t lastFireMs_ = 0;
  uint8_t packet_[kPacketSize] = {};
};

}  // namespace tevrano
