#include <gtest/gtest.h>

#include "host/EventListWindow.h"

namespace tevrano::host {
namespace {

TEST(EventList, RowsAreNewestFirstWithCameraAndKind) {
  const std::vector<TevranoEventItem> events = {
      {100, 1, "Alarm"}, {50, 1, "Motion"}, {200, 3, "Vloss"}, {100, 4, "Motion"}};
  const std::vector<EventListRow> rows = EventListRows(events);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][1], "CH3");
  EXPECT_EQ(rows[0][2], "Vloss");
  EXPECT_EQ(rows[1][1], "CH1");  // equal times keep camera order
  EXPECT_EQ(rows[2][1], "CH4");
  EXPECT_EQ(rows[3][2], "Motion");
  EXPECT_FALSE(rows[0][0].empty());
}

TEST(EventList, WindowShowsTheControlsEvents) {
  std::vector<TevranoEventItem> events = {{100, 2, "Alarm"}, {90, 2, "Motion"}};
  EventListWindow window([&] { return events; });
  window.Refresh();
  EXPECT_EQ(window.RowCount(), 2);
  events.clear();
  window.Refresh();
  EXPECT_EQ(window.RowCount(), 0);
}

}  // namespace
}  // namespace tevrano::host
