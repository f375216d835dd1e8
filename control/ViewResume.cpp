#include "control/ViewResume.h"

#include <memory>

#include "control/TevranoImpl1.h"

namespace tevrano {

void WireViewResume(TevranoX& c) {
  auto loggedInBefore = std::make_shared<bool>(false);
  // Runs after the other hand-offs of the system information, so that the
  // on-screen interface knows the recorder again.
  c.Net().Hooks().SystemInfoArrived.push_back(
      [&c, loggedInBefore](RecorderContext& context, const uint8_t*) {
        if (context.Index != 0) return;
        const bool again = *loggedInBefore;
        *loggedInBefore = true;
        if (!again) return;
        ui::Ui& ui = c.OnScreen();
        const int page = ui.Page(), layout = ui.Layout();
        if (page != kModeLive && page != kModePlayback) return;
        if (layout < 0 || layout > 22) return;
        ViewControl& view = c.Streams().View();
        if (page == kModePlayback) {
          // On from the last picture shown, not from where play was pressed.
          ViewState& state = c.Streams().Icmd().View(0);
          const uint32_t shown = c.Streams().Stream().Connection(0).Timestamp;
          view.SetPlaybackStart(state, shown != 0 ? shown : state.DisplayedPlaybackTime, 0);
        }
        view.ViewCommand(0, ui.vars.IE_M_CH, static_cast<uint32_t>(page),
                         static_cast<uint32_t>(ui.PlaybackState()), static_cast<uint32_t>(layout),
                         false);
      });
}

}  // namespace tevrano
