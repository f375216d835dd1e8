// The live event reports wired to the named items, the decoder and the
// overlay's event marks.
#include "control/TevranoImpl1.h"

namespace tevrano {

void TevranoX::WireLiveEvents() {
  alarms_.SetOverlaySize(form_.Image2.picture.Width(), form_.Image2.picture.Height());
  items_.SetArrivalAction("Zell_LIVE_Event_W", [this](uint32_t sessionId) {
    alarms_.Event_Report(sessionId, items_.LiveEvent, sizeof items_.LiveEvent);
  });
  // After every decode call: a picture drawn since the last call gives the
  // shown time (its time stamp, as the time label shows it); then the
  // markers follow, and the overlay is repainted by the main loop when they
  // changed.
  video_.SetMarkerRefresh([this](int height) {
    if (video_.PicturesShown() != picturesSeenByMarkers_) {
      picturesSeenByMarkers_ = video_.PicturesShown();
      const int slot = video_.CurrentSlot() == 1 ? 1 : 0;
      alarms_.SetShownTime(stream_.Stream().Connection(slot).Timestamp);
    }
    alarms_.Event_Markers_Refresh(height);
    if (alarms_.Changed()) {
      eventMarks_.TakeEventMarkers(alarms_);
      alarms_.ClearChanged();
    }
  });
}

}  // namespace tevrano
