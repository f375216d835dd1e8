#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "base/Form.h"
#include "platform/fake/FakePlatform.h"
#include "update/FirmwareImage.h"
#include "update/Unit1.h"
#include "update/UpdatePage.h"

namespace tevrano {
namespace {

// One packet the control sent, decoded.
struct Packet {
  uint32_t size = 0, kind = 0, chunk = 0;
  std::vector<uint8_t> bytes;  // all 4,108
};

// The recorder's end of the update connection, scripted: each packet the
// control sends is handed to `onPacket`, which queues the answers. A wait
// with nothing queued moves the clock by its time-out, as a real wait would.
struct ScriptedRecorder {
  platform::ManualClock* clock = nullptr;
  bool acceptConnect = true;
  std::string host;
  int port = 0;
  bool closed = false;
  std::vector<Packet> packets;
  std::deque<uint8_t> inbox;
  std::function<void(const Packet&)> onPacket;
  int maxPieceBytes = 4;  // answers may arrive in pieces

  void Answer(uint32_t value) {
    uint8_t b[4];
    StoreLe32(b, value);
    inbox.insert(inbox.end(), b, b + 4);
  }
};

class ScriptedSocket : public platform::BlockingSocket {
 public:
  explicit ScriptedSocket(ScriptedRecorder& r) : r_(r) {}
  bool Connect(std::string_view host, int port, int) override {
    r_.host = host;
    r_.port = port;
    return r_.acceptConnect;
  }
  int Send(const uint8_t* bytes, int count) override {
    Packet p;
    p.bytes.assign(bytes, bytes + count);
    p.size = LoadLe32(bytes);
    p.kind = LoadLe32(bytes + 4);
    p.chunk = count >= 4108 ? LoadLe32(bytes + 4104) : 0;
    r_.packets.push_back(p);
    if (r_.onPacket) r_.onPacket(r_.packets.back());
    return count;
  }
  int Receive(uint8_t* into, int maxBytes, int timeoutMs) override {
    if (r_.inbox.empty()) {
      r_.clock->AdvanceMs(static_cast<uint32_t>(timeoutMs));
      return 0;
    }
    int n = 0;
    while (n < maxBytes && n < r_.maxPieceBytes && !r_.inbox.empty()) {
      into[n++] = r_.inbox.front();
      r_.inbox.pop_front();
    }
    return n;
  }
  void Close() override { r_.closed = true; }

 private:
  ScriptedRecorder& r_;
};

class ScriptedSockets : public platform::SocketFactory {
 public:
  explicit ScriptedSockets(ScriptedRecorder& r) : r_(r) {}
  std::unique_ptr<platform::ClientSocket> CreateClientSocket() override { return nullptr; }
  std::unique_ptr<platform::BlockingSocket> CreateBlockingSocket() override {
    return std::make_unique<ScriptedSocket>(r_);
  }
  int UpdatePort() const override { return 2121; }

 private:
  ScriptedRecorder& r_;
};

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

// An image with the marker at `markerAt` and `version` 11 bytes after it.
std::vector<uint8_t> Image(size_t size, size_t markerAt, const std::string& version) {
  std::vector<uint8_t> bytes = Pattern(size);
  StoreLe32(bytes.data() + markerAt, firmware::kMarker);
  for (size_t i = 0; i < 23; ++i)
    bytes[markerAt + 4 + 11 + i] = i < version.size() ? static_cast<uint8_t>(version[i]) : 0;
  return bytes;
}

struct Rig {
  Rig() {
    recorder.clock = &fake.clock;
    form.LabeledEdit_System1.SetText("dvr.local");
    form.Label_System1.SetCaption("[OS] 1.0.7_20260101");
    form.Timer1.SetEnabled(true);
  }
  // Opens the dialog on `bytes` as "/roms/dvr.rom" and presses "Yes".
  void Start(std::vector<uint8_t> bytes) {
    fake.files.AddFile("/roms/dvr.rom", std::move(bytes));
    dialog.ShowModal("/roms/dvr.rom");
    dialog.Button_Update_YesClick();
  }
  // Runs timer events until `done` or the timer stops (bounded).
  void RunUntil(const std::function<bool()>& done, int maxTicks = 2000) {
    for (int i = 0; i < maxTicks && !done(); ++i) {
      if (!dialog.Visible() || dialog.Timer_Update.interval == 0) return;
      dialog.Timer_UpdateTimer();
      if (dialog.Timer_Update.interval >= 1000) fake.clock.AdvanceMs(1000);
    }
  }
  std::vector<Packet> Data() const {
    std::vector<Packet> out;
    for (const Packet& p : recorder.packets)
      if (p.kind == TForm_Update::kData || p.kind == TForm_Update::kLastData) out.push_back(p);
    return out;
  }
  // A recorder that accepts the version and asks for the chunks in order
  // (asking for `repeat` twice), then reports `writes`.
  void FollowInOrder(uint32_t repeat = 0, std::vector<uint32_t> writes = {100}) {
    recorder.onPacket = [this, repeat, writes](const Packet& p) {
      if (p.kind == TForm_Update::kAnnounce) recorder.Answer(1);
      if (p.kind == TForm_Update::kData) {
        if (p.chunk == repeat && !repeated) {
          repeated = true;
          recorder.Answer(p.chunk);
        } else {
          recorder.Answer(p.chunk + 1);
        }
      }
      if (p.kind == TForm_Update::kLastData) {
        recorder.Answer(p.chunk + 1);
        for (uint32_t w : writes) pendingWrites.push_back(w);
      }
    };
  }
  // Write progress answers go out one per tick once the upload has ended.
  void FeedWrite() {
    if (!pendingWrites.empty() && recorder.inbox.empty()) {
      recorder.Answer(pendingWrites.front());
      pendingWrites.erase(pendingWrites.begin());
    }
  }

  platform::FakePlatform fake;
  ScriptedRecorder recorder;
  ScriptedSockets sockets{recorder};
  platform::Platform platform{fake.clock, sockets,          fake.audio, fake.text,
                              fake.host,  fake.environment, fake.files};
  TTevranoX form;
  TForm_Update dialog{form, platform};
  bool repeated = false;
  std::vector<uint32_t> pendingWrites;
};

TEST(FirmwareImage, VersionLineFromTheMarker) {
  struct Case {
    const char* name;
    size_t size;
    long markerAt;  // -1: none
    std::string versionText;
    std::string expected;
  };
  const Case cases[] = {
      {"marker at the search start", 600000, 524288, "DVR 1.0.8_20261201", "1.0.8"},
      {"marker further on", 700000, 524288 + 4 * 1000, "X 2.1_beta", "2.1"},
      {"marker beyond the first block", 700000, 524288 + 65536 + 8, "R 3.0_a", "3.0"},
      {"no underscore: up to the text's end", 600000, 524288, "DVR 1.2.3", "1.2.3"},
      {"no space: empty", 600000, 524288, "DVR1.2.3_x", ""},
      {"23 bytes without a terminator", 600000, 524288, "A BCDEFGHIJKLMNOPQRSTUVWXYZ",
       "BCDEFGHIJKLMNOPQRSTUV"},
      {"no marker: empty", 600000, -1, "", ""},
      {"short file: empty", 10000, -1, "", ""},
      {"marker off the 4-byte step is not seen", 600000, 524288 + 2, "DVR 9.9_x", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::FakeFileSystem files;
    std::vector<uint8_t> bytes = Pattern(c.size);
    if (c.markerAt >= 0) bytes = Image(c.size, static_cast<size_t>(c.markerAt), c.versionText);
    files.AddFile("/f.rom", bytes);
    const firmware::ImageInfo info = firmware::ReadImageInfo(files, "/f.rom");
    EXPECT_TRUE(info.opened);
    EXPECT_EQ(info.size, static_cast<int64_t>(c.size));
    EXPECT_EQ(firmware::NewVersion(info.versionText), c.expected);
  }
}

TEST(FirmwareImage, VersionTextNearTheEndIsCutAndTerminated) {
  platform::FakeFileSystem files;
  std::vector<uint8_t> bytes = Pattern(524288 + 20);
  StoreLe32(bytes.data() + 524288, firmware::kMarker);
  for (size_t i = 524288 + 15; i < bytes.size(); ++i) bytes[i] = 'A' + (i & 1);
  bytes[524288 + 15] = ' ';
  files.AddFile("/f.rom", bytes);
  const firmware::ImageInfo info = firmware::ReadImageInfo(files, "/f.rom");
  EXPECT_TRUE(info.marker);
  EXPECT_EQ(std::string(info.versionText).size(), 5u);
  EXPECT_EQ(firmware::NewVersion(info.versionText), "ABAB");
}

TEST(FirmwareImage, CurrentVersionAndFileName) {
  EXPECT_EQ(firmware::CurrentVersion("[OS] 1.0.7_20260101"), " 1.0.7");
  EXPECT_EQ(firmware::CurrentVersion("[OS]"), "");
  EXPECT_EQ(firmware::CurrentVersion("[OS] 2.0"), " 2.0");
  EXPECT_EQ(firmware::FileNameOf("/a/b/dvr.rom"), "dvr.rom");
  EXPECT_EQ(firmware::FileNameOf("C:\\roms\\dvr.rom"), "dvr.rom");
  EXPECT_EQ(firmware::FileNameOf("dvr.rom"), "dvr.rom");
}

TEST(TForm_Update, ShowsTheVersionLine) {
  Rig rig;
  rig.fake.files.AddFile("/roms/dvr.rom", Image(600000, 524288, "DVR 1.0.8_20261201"));
  rig.dialog.ShowModal("/roms/dvr.rom");
  EXPECT_EQ(rig.dialog.Label_Update1.caption, "Start OS Update ?");
  EXPECT_EQ(rig.dialog.Label_Update2.caption, " 1.0.7 --> 1.0.8");
  EXPECT_EQ(rig.dialog.Button_Update_No.caption, "No");
  EXPECT_FALSE(rig.dialog.Timer_Update.enabled);
  EXPECT_TRUE(rig.recorder.packets.empty());
}

TEST(TForm_Update, UploadsInChunksTheRecorderAsksFor) {
  struct Case {
    const char* name;
    size_t size;
    uint32_t repeat;
    std::vector<std::pair<uint32_t, uint32_t>> chunks;  // number, size; the last is last data
  };
  const Case cases[] = {
      {"10,000 bytes", 10000, 0, {{1, 4096}, {2, 4096}, {3, 1808}}},
      {"exactly 8,192 bytes", 8192, 0, {{1, 4096}, {2, 4096}, {3, 0}}},
      {"chunk 2 asked twice", 10000, 2, {{1, 4096}, {2, 4096}, {2, 4096}, {3, 1808}}},
      {"smaller than a chunk", 100, 0, {{1, 100}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.FollowInOrder(c.repeat);
    const std::vector<uint8_t> image = Pattern(c.size);
    rig.Start(image);
    rig.RunUntil([&] { return rig.dialog.State() == 3; });
    ASSERT_EQ(rig.dialog.State(), 3);
    EXPECT_EQ(rig.recorder.host, "dvr.local");
    EXPECT_EQ(rig.recorder.port, 2121);
    EXPECT_FALSE(rig.form.Timer1.enabled);

    // The announce: length, name, the first bytes, chunk 0; always 4,108 bytes.
    const Packet& announce = rig.recorder.packets.front();
    ASSERT_EQ(announce.bytes.size(), 4108u);
    EXPECT_EQ(announce.kind, TForm_Update::kAnnounce);
    EXPECT_EQ(announce.size, c.size);
    EXPECT_EQ(announce.chunk, 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(announce.bytes.data() + 8), "dvr.rom");
    const size_t head = std::min<size_t>(1024, c.size);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + head, announce.bytes.begin() + 1288));

    const std::vector<Packet> data = rig.Data();
    ASSERT_EQ(data.size(), c.chunks.size());
    for (size_t i = 0; i < data.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(data[i].bytes.size(), 4108u);
      EXPECT_EQ(data[i].chunk, c.chunks[i].first);
      EXPECT_EQ(data[i].size, c.chunks[i].second);
      EXPECT_EQ(data[i].kind, i + 1 == data.size() ? TForm_Update::kLastData : TForm_Update::kData);
      const size_t offset = (data[i].chunk - 1) * 4096u;
      EXPECT_TRUE(std::equal(image.begin() + offset, image.begin() + offset + data[i].size,
                             data[i].bytes.begin() + 8));
    }
    EXPECT_EQ(rig.dialog.ProgressBar1.position, 50);
    EXPECT_EQ(rig.dialog.Label_Update1.caption, "Write data");
  }
}

TEST(TForm_Update, WriteProgressThenTheSixtySecondCountdown) {
  Rig rig;
  rig.FollowInOrder(0, {40, 100});
  rig.Start(Pattern(10000));
  rig.RunUntil([&] { return rig.dialog.State() == 3; });
  ASSERT_EQ(rig.dialog.State(), 3);
  rig.FeedWrite();
  rig.dialog.Timer_UpdateTimer();
  EXPECT_EQ(rig.dialog.ProgressBar1.position, 70);
  EXPECT_EQ(rig.dialog.State(), 3);
  rig.FeedWrite();
  rig.dialog.Timer_UpdateTimer();
  EXPECT_EQ(rig.dialog.State(), 4);
  rig.dialog.Timer_UpdateTimer();
  EXPECT_EQ(rig.dialog.State(), 6);
  EXPECT_TRUE(rig.recorder.closed);
  EXPECT_EQ(rig.dialog.Label_Update1.caption, "DVR rebooting : 60 second... ");
  EXPECT_EQ(rig.dialog.Button_Update_No.caption, "Close");
  EXPECT_EQ(rig.dialog.Timer_Update.interval, 1000);
  rig.dialog.Timer_UpdateTimer();
  EXPECT_EQ(rig.dialog.Label_Update1.caption, "DVR rebooting : 59 second... ");
  EXPECT_EQ(rig.dialog.ProgressBar1.position, 1);
  rig.RunUntil([] { return false; });
  EXPECT_EQ(rig.dialog.Label_Update1.caption, "OS update completed.");
  EXPECT_EQ(rig.dialog.Button_Update_No.caption, "OK");
  EXPECT_EQ(rig.dialog.ProgressBar1.position, 100);
  EXPECT_EQ(rig.dialog.Timer_Update.interval, 0);
  EXPECT_FALSE(rig.dialog.Timer_Update.enabled);
  rig.dialog.Button_Update_NoClick();
  EXPECT_FALSE(rig.dialog.Visible());
  EXPECT_TRUE(rig.form.PageControl1.enabled);
  EXPECT_FALSE(rig.form.Timer1.enabled);  // the recorder reboots: the main loop stays stopped
}

TEST(TForm_Update, WriteProgressAboveOneHundredEndsTheWritePhase) {
  Rig rig;
  rig.FollowInOrder(0, {250});
  rig.Start(Pattern(5000));
  rig.RunUntil([&] { return rig.dialog.State() == 3; });
  rig.FeedWrite();
  rig.dialog.Timer_UpdateTimer();
  EXPECT_EQ(rig.dialog.State(), 4);
  EXPECT_EQ(rig.dialog.ProgressBar1.position, 100);
}

TEST(TForm_Update, AnswersInPiecesAreReadWhole) {
  Rig rig;
  rig.recorder.maxPieceBytes = 1;
  rig.FollowInOrder();
  rig.Start(Pattern(10000));
  rig.RunUntil([&] { return rig.dialog.State() == 3; });
  ASSERT_EQ(rig.dialog.State(), 3);
  ASSERT_EQ(rig.Data().size(), 3u);
  EXPECT_EQ(rig.Data()[2].chunk, 3u);
}

TEST(TForm_Update, ASilentRecorderLeadsToTheHundredSecondCountdown) {
  struct Case {
    const char* name;
    int silentAfterData;  // data packets answered before the silence; -1: the announce unanswered
  };
  const Case cases[] = {{"silent after the announce", -1},
                        {"silent during the upload", 1},
                        {"silent while writing", 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    int answered = 0;
    rig.recorder.onPacket = [&](const Packet& p) {
      if (p.kind == TForm_Update::kAnnounce && c.silentAfterData >= 0) rig.recorder.Answer(1);
      if ((p.kind == TForm_Update::kData || p.kind == TForm_Update::kLastData) &&
          answered < c.silentAfterData) {
        ++answered;
        rig.recorder.Answer(p.chunk + 1);
      }
    };
    rig.Start(Pattern(10000));
    rig.RunUntil([&] { return rig.dialog.State() == 7; });
    ASSERT_EQ(rig.dialog.State(), 7);
    ASSERT_EQ(rig.fake.host.messageBoxes.size(), 1u);
    EXPECT_EQ(rig.fake.host.messageBoxes[0].text, "LAN Disconnect !");
    EXPECT_EQ(rig.fake.host.messageBoxes[0].caption, "LAN Disconnect");
    EXPECT_EQ(rig.dialog.Label_Update1.caption, "DVR rebooting : 100 second... ");
    EXPECT_TRUE(rig.recorder.closed);
    rig.dialog.Timer_UpdateTimer();
    EXPECT_EQ(rig.dialog.Label_Update1.caption, "DVR rebooting : 99 second... ");
    EXPECT_EQ(rig.dialog.ProgressBar1.position, 1);
    rig.RunUntil([] { return false; });
    EXPECT_EQ(rig.dialog.Label_Update1.caption, "DVR rebooting finished.");
    EXPECT_EQ(rig.dialog.Button_Update_No.caption, "Close");
    EXPECT_EQ(rig.dialog.ProgressBar1.position, 100);
    // A chunk already sent is not sent again while its answer is awaited.
    if (c.silentAfterData == 1) EXPECT_EQ(rig.Data().size(), 2u);
  }
}

TEST(TForm_Update, StopAsksAndNoKeepsTheTransferRunning) {
  Rig rig;
  rig.FollowInOrder();
  rig.Start(Pattern(20000));
  rig.dialog.Timer_UpdateTimer();  // connect, announce, answer 1
  ASSERT_EQ(rig.dialog.State(), 2);
  EXPECT_EQ(rig.dialog.Button_Update_No.caption, "STOP");
  EXPECT_FALSE(rig.dialog.Button_Update_Yes.visible);
  EXPECT_EQ(rig.dialog.Button_Update_No.left, TForm_Update::kWidth / 2 - 37);

  rig.fake.host.messageBoxAnswer = platform::kIdNo;
  rig.dialog.Button_Update_NoClick();
  ASSERT_EQ(rig.fake.host.messageBoxes.size(), 1u);
  EXPECT_EQ(rig.fake.host.messageBoxes[0].text, "Stop update OS ?");
  EXPECT_EQ(rig.fake.host.messageBoxes[0].caption, "Stop update");
  EXPECT_EQ(rig.fake.host.messageBoxes[0].flags & 0xF, platform::kMbYesNo);
  EXPECT_TRUE(rig.dialog.Visible());
  EXPECT_TRUE(rig.dialog.Timer_Update.enabled);
  rig.RunUntil([&] { return rig.dialog.State() == 3; });
  EXPECT_EQ(rig.dialog.State(), 3);

  // Yes during the upload stops it: the socket is closed and the main loop
  // takes up the recorder again.
  Rig stopped;
  stopped.FollowInOrder();
  stopped.Start(Pattern(20000));
  stopped.dialog.Timer_UpdateTimer();
  stopped.fake.host.messageBoxAnswer = platform::kIdYes;
  stopped.dialog.Button_Update_NoClick();
  EXPECT_FALSE(stopped.dialog.Visible());
  EXPECT_FALSE(stopped.dialog.Timer_Update.enabled);
  EXPECT_TRUE(stopped.recorder.closed);
  EXPECT_TRUE(stopped.form.Timer1.enabled);
  EXPECT_TRUE(stopped.form.PageControl1.enabled);
}

TEST(TForm_Update, RefusalsAndFailures) {
  // The version refused: message box, the dialog closes, nothing more sent.
  {
    Rig rig;
    rig.recorder.onPacket = [&](const Packet& p) {
      if (p.kind == TForm_Update::kAnnounce) rig.recorder.Answer(0xFFFF);
    };
    rig.Start(Pattern(10000));
    rig.dialog.Timer_UpdateTimer();
    ASSERT_EQ(rig.fake.host.messageBoxes.size(), 1u);
    EXPECT_EQ(rig.fake.host.messageBoxes[0].text, "Upload OS version error !");
    EXPECT_EQ(rig.fake.host.messageBoxes[0].caption, "Version error");
    EXPECT_FALSE(rig.dialog.Visible());
    EXPECT_EQ(rig.dialog.State(), 0);
    EXPECT_TRUE(rig.recorder.closed);
    EXPECT_EQ(rig.recorder.packets.size(), 1u);
  }
  // The connect fails: the dialog stays with "Close".
  {
    Rig rig;
    rig.recorder.acceptConnect = false;
    rig.Start(Pattern(10000));
    rig.dialog.Timer_UpdateTimer();
    EXPECT_EQ(rig.dialog.Label_Update1.caption, "Connect failed !");
    EXPECT_EQ(rig.dialog.Button_Update_No.caption, "Close");
    EXPECT_EQ(rig.dialog.State(), 0);
    EXPECT_FALSE(rig.dialog.Timer_Update.enabled);
    EXPECT_TRUE(rig.dialog.Visible());
  }
  // An empty file: nothing is sent.
  {
    Rig rig;
    rig.Start({});
    rig.dialog.Timer_UpdateTimer();
    EXPECT_TRUE(rig.recorder.packets.empty());
    EXPECT_FALSE(rig.dialog.Timer_Update.enabled);
    EXPECT_EQ(rig.dialog.Button_Update_No.caption, "Close");
  }
  // Chunk numbers 0 and beyond the file end the upload.
  for (uint32_t bad : {0u, 4u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(bad);
    Rig rig;
    rig.recorder.onPacket = [&](const Packet& p) {
      if (p.kind == TForm_Update::kAnnounce) rig.recorder.Answer(1);
      if (p.kind == TForm_Update::kData) rig.recorder.Answer(bad);
    };
    rig.Start(Pattern(10000));  // three chunks: 4 lies beyond the end
    rig.RunUntil([] { return false; });
    EXPECT_EQ(rig.Data().size(), 1u);
    EXPECT_EQ(rig.dialog.Timer_Update.interval, 0);
    EXPECT_TRUE(rig.recorder.closed);
    EXPECT_EQ(rig.dialog.Button_Update_No.caption, "Close");
  }
}

TEST(UpdatePage, ChoosesTheFileAndRefusesWhatIsNoImage) {
  platform::FakePlatform fake;
  ScriptedRecorder recorder;
  recorder.clock = &fake.clock;
  ScriptedSockets sockets(recorder);
  platform::Platform platform{fake.clock, sockets,          fake.audio, fake.text,
                              fake.host,  fake.environment, fake.files};
  TTevranoX form;
  UpdatePage page(form, platform);
  EXPECT_EQ(form.Find("Button_Updata3")->caption, "OS UPDATE");
  EXPECT_EQ(form.Find("Button_Updata1")->caption, "Browse...");
  EXPECT_EQ(form.Find("LabeledEdit_Updata3")->caption, "File : ");
  EXPECT_EQ(form.Find("Memo_Update")->parent, form.Tab(7));

  // No file chosen.
  page.Tab().Button_Updata3.onClick();
  ASSERT_EQ(fake.host.messageBoxes.size(), 1u);
  EXPECT_EQ(fake.host.messageBoxes[0].text, "Plese select the file !");
  EXPECT_EQ(fake.host.messageBoxes[0].caption, "No file");
  EXPECT_FALSE(page.Dialog().Visible());

  // Images without the marker, or empty, are refused before the dialog opens.
  fake.files.AddFile("/roms/plain.rom", Pattern(10000));
  fake.files.AddFile("/roms/empty.rom", {});
  for (const char* path : {"/roms/plain.rom", "/roms/empty.rom", "/roms/missing.rom"}) {
    SCOPED_TRACE(path);
    fake.host.openFileAnswer = path;
    page.Tab().Button_Updata1.onClick();
    EXPECT_EQ(page.Tab().LabeledEdit_Updata3.text, path);
    page.Tab().Button_Updata3.onClick();
    EXPECT_FALSE(page.Dialog().Visible());
    EXPECT_TRUE(form.PageControl1.enabled);
  }
  EXPECT_TRUE(recorder.packets.empty());

  // A real image opens the dialog with the main form disabled.
  fake.files.AddFile("/roms/good.rom", Image(600000, 524288, "DVR 1.0.8_x"));
  fake.host.openFileAnswer = "/roms/good.rom";
  page.Tab().Button_Updata1.onClick();
  page.Tab().Button_Updata3.onClick();
  EXPECT_TRUE(page.Dialog().Visible());
  EXPECT_FALSE(form.PageControl1.enabled);
  EXPECT_FALSE(form.Image_video.enabled);
  EXPECT_TRUE(page.Dialog().Label_Update2.caption.ends_with(" --> 1.0.8"));

  // The help text carries the OS text.
  form.Label_System1.SetCaption("[OS] 1.0.7_20260101");
  page.SystemInfoArrived();
  EXPECT_NE(page.Tab().Memo_Update.text.find("  * Current OS version: [OS] 1.0.7_20260101\r\n"),
            std::string::npos);
  EXPECT_EQ(page.Tab().Memo_Update.text.rfind(" \r\n  * OS Update \r\n", 0), 0u);
}

}  // namespace
}  // namespace tevrano
