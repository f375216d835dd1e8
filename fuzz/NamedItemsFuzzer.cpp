// Named items ("ICTL") written by the recorder: each body travels as a
// module message with a sound checksum through the module table into the
// item table, and the arrival actions the control binds run on what was
// stored: the live event report into the event marks, the UPnP setting into
// its tab, the machine type, the acknowledgement box.
#include <cstdint>
#include <cstring>

#include "base/ByteReader.h"
#include "net/ModuleTable.h"
#include "settings/SettingsPages.h"
#include "tests/support/NetRig.h"
#include "ui/Alarm_list.h"
#include "ui/Ui.h"

using namespace tevrano;

namespace {

struct Harness {
  test::NetRig rig;
  ui::Ui ui{rig.form};
  ui::Alarm_list alarms{ui, [this](uint32_t sessionId) {
                          const RecorderContext& c = rig.net.Context(0);
                          return c.LoggedIn == 1 && c.SessionId == sessionId;
                        }};
  ViewState view;
  SettingsPages settings{rig.form, rig.fakes.host, view, rig.items.UpnpSetting};
  uint8_t message[kMaxModuleMessage] = {};

  Harness() {
    view.Initialize();
    // The actions control/ binds at start-up.
    rig.items.SetArrivalAction("Zell_LIVE_Event_W", [this](uint32_t sessionId) {
      alarms.Event_Report(sessionId, rig.items.LiveEvent, sizeof rig.items.LiveEvent);
    });
    rig.items.SetArrivalAction("Zell_Upnp_C_Data_R", [this](uint32_t) { settings.UpnpArrived(); });
  }
};

}  // namespace

// Input: a control byte (bit 0: the picture shown has the time of the last
// alarm report), then bodies, each a 2-byte little-endian length and
// that many bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness* h = new Harness;
  if (size < 1) return 0;
  h->rig.Reset();
  const uint8_t control = *data++;
  --size;
  while (size >= 2) {
    size_t n = size_t(data[0] | data[1] << 8);
    data += 2, size -= 2;
    if (n > size) n = size;
    const uint32_t room = kMaxModuleMessage - kModuleHeaderSize;
    const uint32_t bodyLength = uint32_t(n < room ? n : room);
    uint8_t* body = h->message + kModuleHeaderSize;
    std::memcpy(body, data, bodyLength);
    // Most bodies should name the logged-in session.
    if (bodyLength >= 4 && (body[3] & 0x80)) StoreLe32(body, test::NetRig::kSession);
    FinishModuleMessage(h->message, kModuleHeaderSize + bodyLength, Tag("ICTL"));
    h->rig.net.DispatchModuleMessages(test::NetRig::kSession, h->message,
                                      kModuleHeaderSize + bodyLength);
    data += n, size -= n;
  }
  // The marks follow the reports stored.
  if (control & 1) h->alarms.SetShownTime(LoadLe32(h->rig.items.LiveEvent + 76));
  h->alarms.Event_Markers_Refresh(576);
  h->alarms.ClearChanged();
  return 0;
}
