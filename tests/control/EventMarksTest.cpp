#include <gtest/gtest.h>

#include "base/ByteReader.h"
#include "base/Form.h"
#include "control/EventMarks.h"
#include "platform/fake/FakeHost.h"
#include "ui/Alarm_list.h"
#include "ui/Ui.h"

namespace tevrano {
namespace {

// The alarm word of channel 3 in the quad lands in the lower left cell of
// the overlay in red, cut to its marker; everything else stays white.
TEST(EventMarksTest, AlarmMarkerIsDrawnInsideItsCellOnly) {
  TTevranoX form;
  ui::Ui ui{form};
  ui.SetUpRecorder(16, 0, 0);
  ui.View_Set(16, 0);
  ui::Alarm_list alarms{ui, [](uint32_t id) { return id == 7; }};
  uint8_t item[96] = {};
  StoreLe32(item + 72, 1u << 2);
  StoreLe32(item + 76, 500);
  alarms.Event_Report(7, item, sizeof item);
  alarms.SetShownTime(500);
  alarms.Event_Markers_Refresh(576);

  EventMarkTable table;
  table.Initialize();
  table.TakeEventMarkers(alarms);
  Bitmap overlay;
  overlay.SetSize(704, 576);
  platform::FakeTextSurface text(EventMarkTable::kTextAreaWidth, EventMarkTable::kTextAreaHeight);
  table.Redraw(overlay, nullptr, 0, &text);

  const ui::Alarm_list::Marker& m = alarms.MarkerOf(2, 0);
  ASSERT_EQ(m.state, 2);
  int red = 0, other = 0;
  for (int y = 0; y < 576; ++y) {
    for (int x = 0; x < 704; ++x) {
      const uint32_t p = overlay.At(x, y);
      if (p == 0x00FFFFFF) continue;
      const bool inside = x >= m.x && x < m.x + m.width && y >= m.y && y < m.y + m.height;
      if (p == 0xFF0000 && inside && x < 352 && y >= 288)
        ++red;
      else
        ++other;
    }
  }
  EXPECT_GT(red, 100);
  EXPECT_EQ(other, 0);
  ASSERT_FALSE(text.drawn.empty());
  EXPECT_EQ(text.drawn.back(), "Alarm");
  EXPECT_EQ(text.Font().size, 24);
}

}  // namespace
}  // namespace tevrano
