// The settings pages the recorder sends ("ICMD" type 4096) through the
// module into the settings tabs, the system information that shapes them,
// the UPnP item, and the user's Apply and tab changes on whatever the pages
// put into the controls: nothing may read or write outside a message, a
// page or a field, and every page built for sending fits its message.
#include <cstdint>
#include <cstdlib>

#include "base/ByteReader.h"
#include "platform/fake/FakeHost.h"
#include "settings/SettingsPages.h"
#include "tests/support/StreamRig.h"
#include "view/IcmdModule.h"
#include "view/SettingsPageStore.h"

using namespace tevrano;

namespace {

constexpr uint32_t kFirstSession = 0x03000000u;

struct Harness : test::StreamRig {
  IcmdModule icmd{contexts};
  platform::FakeHostServices host;
  uint32_t upnp = 0;
  SettingsPages settings{form, host, icmd.View(0), upnp};

  Harness() : StreamRig(kFirstSession) {
    for (int i = 0; i < 2; ++i) {
      ctx[i].LoggedIn = 1;
      zell[i].Kind = 1 + i;
      UseView(i, icmd.View(i));
    }
    // Bound as control/ binds them at start-up.
    IcmdModule::Hooks& ih = icmd.GetHooks();
    ih.setViewMode = [this](ViewState& v, uint32_t mode) { stream.SetViewMode(v, mode); };
    ih.liveViewChanged = [](const LiveRecord&) {};
    ih.buildSettingsPage = [this](ViewState& v, uint32_t mask, uint8_t* out, uint32_t room) {
      const uint32_t n = settings.BuildPage(v, mask, out, room);
      if (n > room) std::abort();
      return n;
    };
    ih.receiveSettingsPage = [this](ViewState& v, uint32_t op, const uint8_t* p, uint32_t n) {
      return settings.ReceivePage(v, op, p, n);
    };
    SettingsPages::Hooks& sh = settings.GetHooks();
    sh.sendPage = [this](uint32_t operation, uint32_t mask) {
      return icmd.SendIcmd(ctx[0].SessionId, operation, IcmdModule::kSettingsPage, mask);
    };
    sh.sendItem = [](const char*, const void*, uint32_t) { return 0; };
    sh.connected = [] { return true; };
    settings.Bind();
    settings.ClearInputFields();
  }
};

// A settings page body whose flag asks for it: the page's byte sum made
// right, so that the page is taken.
void MendPageSum(uint8_t* body, uint32_t n) {
  if (n < 8 || !(body[7] & 0x80)) return;
  body[7] &= 0x7F;
  const uint32_t payload = IcmdModule::kSubHeader;
  if (n < payload + settings_page::kHeaderBytes) return;
  const settings_page::Slot* slot = settings_page::Find(LoadLe32(body + payload));
  if (!slot || n - payload - settings_page::kHeaderBytes < slot->size) return;
  StoreLe32(body + payload + 8,
            settings_page::ByteSum(body + payload + settings_page::kHeaderBytes, slot->size));
}

}  // namespace

// Input: items, each a kind byte, a 2-byte little-endian length and that
// many bytes. Kinds (low 2 bits): 0 an "ICMD" body, 1 the system
// information, 2 the UPnP item's value, 3 a user action (first byte: tab;
// second: 0 chosen, 1 Apply, 2 test mail, 3 the fallback passes).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness* h = new Harness;
  for (int i = 0; i < 2; ++i) h->icmd.View(i).Initialize();
  h->host.messageBoxes.clear();
  while (size >= 3) {
    const uint8_t kind = data[0] & 3;
    size_t n = size_t(data[1] | data[2] << 8);
    data += 3, size -= 3;
    if (n > size) n = size;
    // The bytes lie in a buffer of exactly their size, as a module's copy would.
    uint8_t* bytes = new uint8_t[n ? n : 1];
    for (size_t i = 0; i < n; ++i) bytes[i] = data[i];
    const uint32_t length = uint32_t(n);
    switch (kind) {
      case 0:
        // Most bodies should name a context.
        if (n >= 4 && (bytes[3] & 0x80)) StoreLe32(bytes, kFirstSession + (bytes[3] & 1));
        MendPageSum(bytes, length);
        h->icmd.Receive(bytes, length);
        break;
      case 1:
        h->settings.SystemInfoArrived(bytes, length);
        break;
      case 2: {
        ByteReader r(bytes, length);
        r.Le32(h->upnp);
        h->settings.UpnpArrived();
        break;
      }
      case 3:
        if (n >= 2) {
          h->form.PageControl1.activePageIndex = bytes[0] % 8;
          switch (bytes[1] % 4) {
            case 0:
              h->settings.PageControl1Change();
              break;
            case 1:
              h->settings.ApplyClick();
              break;
            case 2:
              h->settings.TestMail();
              break;
            case 3:
              for (int pass = 0; pass < settings_page::kReadyFallback + 1; ++pass)
                h->settings.Periodic();
              break;
          }
        }
        break;
    }
    delete[] bytes;
    data += n, size -= n;
    for (RecorderContext& c : h->ctx) EmptySendRing(c);
  }
  return 0;
}
