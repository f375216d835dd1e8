// Firmware images and the recorder's answers during their upload: the image
// check of the Update tab (the version marker from 0x80000 on, the version
// text after it), the dialog's versions, then the upload driven by answers
// from the fuzzer: the announce packet carries the image's length and first
// bytes, and every data packet carries exactly the chunk the recorder named.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "base/ByteReader.h"
#include "base/Form.h"
#include "platform/fake/FakePlatform.h"
#include "update/Unit1.h"
#include "update/UpdatePage.h"

using namespace tevrano;

namespace {

constexpr const char* kPath = "/roms/dvr.rom";

// The recorder's end: checks what the viewer sends against the image and
// answers from the script.
struct Recorder {
  platform::ManualClock* clock = nullptr;
  std::vector<uint8_t> image;
  const uint8_t* script = nullptr;
  size_t scriptLeft = 0;
  bool acceptConnect = true;

  void Check(const uint8_t* p, int count) {
    if (count != int(TForm_Update::kPacketSize)) std::abort();
    const uint32_t size = LoadLe32(p), kind = LoadLe32(p + 4);
    if (kind == TForm_Update::kAnnounce) {
      if (size != image.size()) std::abort();
      const size_t head =
          image.size() < TForm_Update::kHeadBytes ? image.size() : TForm_Update::kHeadBytes;
      if (std::memcmp(p + TForm_Update::kHeadOffset, image.data(), head) != 0) std::abort();
    } else if (kind == TForm_Update::kData || kind == TForm_Update::kLastData) {
      const uint32_t chunk = LoadLe32(p + TForm_Update::kChunkNumberOffset);
      if (chunk == 0 || size > TForm_Update::kChunkSize) std::abort();
      const uint64_t offset = uint64_t(chunk - 1) * TForm_Update::kChunkSize;
      if (offset + size > image.size()) std::abort();
      if (size && std::memcmp(p + 8, image.data() + offset, size) != 0) std::abort();
      // The last packet is the one that reaches the end of the image.
      const bool last = offset + size == image.size() && size < TForm_Update::kChunkSize;
      if (last != (kind == TForm_Update::kLastData)) std::abort();
    } else if (kind != TForm_Update::kPoll) {
      std::abort();
    }
  }

  // One op byte per wait: 0-4 that many answer bytes, 5 the connection
  // closed, 6 as many bytes as asked for, 7 (and an empty script) silence.
  int Receive(uint8_t* into, int maxBytes, int timeoutMs) {
    int op = 7;
    if (scriptLeft) op = *script++ & 7, --scriptLeft;
    if (op == 5) return -1;
    int n = op == 6 ? maxBytes : op <= 4 ? op : 0;
    if (n > maxBytes) n = maxBytes;
    if (size_t(n) > scriptLeft) n = int(scriptLeft);
    if (n == 0) {
      clock->AdvanceMs(uint32_t(timeoutMs));
      return 0;
    }
    std::memcpy(into, script, size_t(n));
    script += n, scriptLeft -= size_t(n);
    return n;
  }
};

class RecorderSocket : public platform::BlockingSocket {
 public:
  explicit RecorderSocket(Recorder& r) : r_(r) {}
  bool Connect(std::string_view, int, int) override { return r_.acceptConnect; }
  int Send(const uint8_t* bytes, int count) override {
    r_.Check(bytes, count);
    return count;
  }
  int Receive(uint8_t* into, int maxBytes, int timeoutMs) override {
    return r_.Receive(into, maxBytes, timeoutMs);
  }
  void Close() override {}

 private:
  Recorder& r_;
};

class RecorderSockets : public platform::SocketFactory {
 public:
  explicit RecorderSockets(Recorder& r) : r_(r) {}
  std::unique_ptr<platform::ClientSocket> CreateClientSocket() override { return nullptr; }
  std::unique_ptr<platform::BlockingSocket> CreateBlockingSocket() override {
    return std::make_unique<RecorderSocket>(r_);
  }

 private:
  Recorder& r_;
};

struct Harness {
  platform::FakePlatform fakes;
  Recorder recorder;
  RecorderSockets sockets{recorder};
  platform::Platform platform{fakes.clock, sockets,           fakes.audio, fakes.text,
                              fakes.host,  fakes.environment, fakes.files};
  TTevranoX form;
  UpdatePage page{form, platform};

  Harness() {
    recorder.clock = &fakes.clock;
    form.LabeledEdit_System1.SetText("dvr.local");
    form.Label_System1.SetCaption("[OS] 1.0.7_20260101");
  }
};

// Where the fuzzer's image bytes start in the file, by layout.
constexpr size_t kLayoutStart[4] = {0, 0x80000 - 32, 0x90000 - 32, 0x80000 - 33};

}  // namespace

// Input: a control byte (bits 0-1: layout of the image bytes; bit 2: the
// connection is refused; bit 3: a raw image goes to the dialog without the
// tab's check), a 2-byte little-endian script length, the recorder's answer
// script, then the image bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness* h = new Harness;
  if (size < 3) return 0;
  const uint8_t control = data[0];
  size_t scriptLength = size_t(data[1] | data[2] << 8);
  data += 3, size -= 3;
  if (scriptLength > size) scriptLength = size;
  Recorder& r = h->recorder;
  r.script = data, r.scriptLeft = scriptLength;
  r.acceptConnect = !(control & 4);
  data += scriptLength, size -= scriptLength;

  const size_t start = kLayoutStart[control & 3];
  r.image.assign(start, 0);
  r.image.insert(r.image.end(), data, data + size);
  h->fakes.files.AddFile(kPath, r.image);
  h->fakes.host.messageBoxes.clear();

  TForm_Update& dialog = h->page.Dialog();
  if ((control & 3) == 0 && (control & 8)) {
    dialog.ShowModal(kPath);
  } else {
    h->page.Tab().LabeledEdit_Updata3.SetText(kPath);
    h->page.Button_Updata3Click();
  }
  if (!dialog.Visible()) return 0;
  dialog.Button_Update_YesClick();
  for (int tick = 0; tick < 400 && dialog.Visible() && dialog.Timer_Update.interval != 0; ++tick) {
    dialog.Timer_UpdateTimer();
    if (dialog.Timer_Update.interval >= 1000) h->fakes.clock.AdvanceMs(1000);
  }
  if (dialog.ProgressBar1.position < 0 || dialog.ProgressBar1.position > 100) std::abort();
  if (dialog.Visible()) dialog.FormClose();
  return 0;
}
