// "VDTT" messages from the recorder while the viewer fetches its titles or
// offers its own: requests for pieces, the title record, pieces of the
// bitmaps with right or wrong sums. Nothing may read or write outside the
// message or the title set, and every message the viewer queues in answer
// fits a poll.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "base/ByteReader.h"
#include "net/ModuleTable.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeHost.h"
#include "tests/support/FuzzTextSurface.h"
#include "titles/ChannelTitles.h"

using namespace tevrano;

namespace {

struct Harness {
  TTevranoX form;
  platform::FakeHostServices host;
  platform::FakeFileSystem files;
  test::FuzzTextSurface measure, box;
  // The set the viewer offers, its titles rendered once.
  VdttState offered;

  Harness() {
    ChannelTitles titles(form, host, files, measure, box);
    titles.SetTitle(0, "Gate");
    titles.SetTitle(15, "Yard 16");
    titles.RedrawMarked();
    offered = titles.State();
  }
};

}  // namespace

// Input: a control byte (bit 0: the viewer offers its titles instead of
// fetching the recorder's; bit 1: the queue refuses messages), then
// messages, each a 2-byte little-endian length and that many body bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness* h = new Harness;
  if (size < 1) return 0;
  const uint8_t control = *data++;
  --size;
  auto titles = std::make_unique<ChannelTitles>(h->form, h->host, h->files, h->measure, h->box);
  titles->Bind();
  ChannelTitles::Hooks& hooks = titles->GetHooks();
  const bool refuse = control & 2;
  hooks.queue = [refuse](const uint8_t* message, uint32_t n) {
    if (n > kMaxModuleMessage || LoadLe32(message) != n) std::abort();
    return refuse ? -1 : 0;
  };
  hooks.handle = [] { return 77u; };
  hooks.connected = [] { return true; };
  hooks.tabShowing = [] { return true; };
  titles->State() = h->offered;
  if (control & 1)
    titles->Apply();
  else
    titles->LoadTitles();
  titles->ThreeHundredMsStep();

  while (size >= 2) {
    size_t n = size_t(data[0] | data[1] << 8);
    data += 2, size -= 2;
    if (n > size) n = size;
    // The body lies in a buffer of exactly its size, as the module's copy would.
    uint8_t* body = new uint8_t[n ? n : 1];
    for (size_t i = 0; i < n; ++i) body[i] = data[i];
    titles->Receive(body, uint32_t(n));
    delete[] body;
    titles->ThreeHundredMsStep();
    data += n, size -= n;
  }
  if (h->form.ProgressBar_title.position > 100) std::abort();
  return 0;
}
