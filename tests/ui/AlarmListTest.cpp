#include <gtest/gtest.h>

#include <cstdint>

#include "base/ByteReader.h"
#include "base/Form.h"
#include "ui/Alarm_list.h"
#include "ui/Ui.h"

namespace tevrano::ui {
namespace {

constexpr uint32_t kSession = 0x1234;
constexpr uint32_t kBit1 = 1u << 0, kBit2 = 1u << 1, kBit3 = 1u << 2;

struct Report {
  uint32_t alarm = 0, motion = 0, vloss = 0, time = 1000;
};

class AlarmListTest : public ::testing::Test {
 protected:
  AlarmListTest() {
    ui.SetUpRecorder(16, 0, 0);  // a 16-channel recorder accepted the viewer
    ui.View_Set(16, 0);          // quad 1-4, Live
  }

  void Send(const Report& r, uint32_t session = kSession, uint32_t length = 96) {
    uint8_t item[96] = {};
    const uint32_t words[6] = {r.alarm, r.time, r.motion, r.time, r.vloss, r.time};
    for (int i = 0; i < 6; ++i) StoreLe32(item + 72 + 4 * i, words[i]);
    alarms.Event_Report(session, item, length);
  }
  // A picture of `time` drawn, then the refresh after the decode call.
  void Picture(uint32_t time) {
    alarms.SetShownTime(time);
    alarms.Event_Markers_Refresh(576);
  }
  int Shown(int channel) const {
    for (int k = 0; k < Alarm_list::kKinds; ++k)
      if (alarms.MarkerOf(channel, k).state == 2) return k;
    return -1;
  }
  int ShownCount() const {
    int n = 0;
    for (int c = 0; c < Alarm_list::kChannels; ++c)
      for (int k = 0; k < Alarm_list::kKinds; ++k) n += alarms.MarkerOf(c, k).state == 2;
    return n;
  }

  TTevranoX form;
  Ui ui{form};
  Alarm_list alarms{ui, [](uint32_t id) { return id == kSession; }};
};

TEST_F(AlarmListTest, AChannelWithAlarmAndMotionShowsAlarmOnly) {
  Send({.alarm = kBit2, .motion = kBit2 | kBit3, .vloss = kBit1});
  Picture(1000);
  EXPECT_EQ(Shown(1), Alarm_list::kAlarm);
  EXPECT_EQ(alarms.MarkerOf(1, Alarm_list::kMotion).state, 0);
  EXPECT_EQ(Shown(2), Alarm_list::kMotion);
  EXPECT_EQ(Shown(0), Alarm_list::kVloss);
  EXPECT_EQ(alarms.MarkerOf(1, 0).color, 0xFF0000u);
  EXPECT_EQ(alarms.MarkerOf(2, 1).color, 0x00FF00u);
  EXPECT_EQ(alarms.MarkerOf(0, 2).color, 0x0000FFu);
  EXPECT_STREQ(Alarm_list::KindName(Shown(1)), "Alarm");
  EXPECT_EQ(ShownCount(), 3);
}

TEST_F(AlarmListTest, NoMarksOutsideLive) {
  Send({.alarm = kBit1 | kBit2, .motion = kBit3});
  for (int page : {1, 2, 3}) {
    ui.View_Set(16, page);
    Picture(1000);
    EXPECT_EQ(ShownCount(), 0) << "page " << page;
  }
  ui.View_Set(16, 0);
  Picture(1000);
  EXPECT_EQ(ShownCount(), 3);
}

TEST_F(AlarmListTest, TheSecondNineWayViewsNinthCellShowsChannelTwo) {
  ui.View_Set(21, 0);
  Send({.alarm = kBit2});
  Picture(1000);
  const Alarm_list::Marker& m = alarms.MarkerOf(1, Alarm_list::kAlarm);
  ASSERT_EQ(m.state, 2);
  // Bottom right cell of the 3 × 3 grid over 704 × 576, marker 67 × 20.
  EXPECT_EQ(m.width, 67);
  EXPECT_EQ(m.height, 20);
  EXPECT_EQ(m.fontSize, 16);
  EXPECT_EQ(m.x, 2 * 234 + (234 - 67) / 2);
  EXPECT_EQ(m.y, 2 * 192 + (192 - 20) / 2);
}

TEST_F(AlarmListTest, CellsFollowTheSplit) {
  struct Case {
    const char* what;
    int layout, channel, x, y, w, h;
  } cases[] = {
      {"one channel", 4, 4, (704 - 148) / 2, (576 - 40) / 2, 148, 40},
      {"quad 5-8, fourth cell", 17, 7, 352 + (352 - 100) / 2, 288 + (288 - 27) / 2, 100, 27},
      {"nine from 1, centre", 20, 4, 234 + (234 - 67) / 2, 192 + (192 - 20) / 2, 67, 20},
      {"sixteen, last", 22, 15, 3 * 176 + (176 - 52) / 2, 3 * 144 + (144 - 16) / 2, 52, 16},
  };
  Send({.alarm = 0xFFFF});
  for (const Case& c : cases) {
    ui.View_Set(c.layout, 0);
    Picture(1000);
    const Alarm_list::Marker& m = alarms.MarkerOf(c.channel, 0);
    EXPECT_EQ(m.state, 2) << c.what;
    EXPECT_EQ(m.x, c.x) << c.what;
    EXPECT_EQ(m.y, c.y) << c.what;
    EXPECT_EQ(m.width, c.w) << c.what;
    EXPECT_EQ(m.height, c.h) << c.what;
    EXPECT_LE(m.x + m.width, 704) << c.what;
    EXPECT_LE(m.y + m.height, 576) << c.what;
  }
  ui.View_Set(0, 0);
  Picture(1000);
  EXPECT_EQ(ShownCount(), 1);  // channel 1 alone
}

TEST_F(AlarmListTest, MarkersStayInsideASmallOverlay) {
  alarms.SetOverlaySize(100, 30);
  ui.View_Set(3, 0);
  Send({.alarm = kBit1 << 3});
  Picture(1000);
  const Alarm_list::Marker& m = alarms.MarkerOf(3, 0);
  EXPECT_GE(m.x, 0);
  EXPECT_GE(m.y, 0);
  EXPECT_LE(m.x + m.width, 100);
  EXPECT_LE(m.y + m.height, 30);
}

TEST_F(AlarmListTest, AnEventLaterThanThePictureWaitsForAPictureOfItsTime) {
  Send({.motion = kBit1, .time = 1000});
  Send({.alarm = kBit1, .time = 1005});
  Picture(1003);
  EXPECT_EQ(Shown(0), Alarm_list::kMotion);  // the report of 1000 applies
  Picture(1004);
  EXPECT_EQ(Shown(0), Alarm_list::kMotion);
  Picture(1005);
  EXPECT_EQ(Shown(0), Alarm_list::kAlarm);
}

TEST_F(AlarmListTest, NoMarksWhenEveryReportIsLaterOrNothingWasShown) {
  Send({.alarm = kBit1, .time = 2000});
  alarms.Event_Markers_Refresh(576);
  EXPECT_EQ(ShownCount(), 0);  // no picture yet
  Picture(1999);
  EXPECT_EQ(ShownCount(), 0);
}

TEST_F(AlarmListTest, ReportsFromUnknownSessionsOrShortRecordsChangeNothing) {
  Send({.alarm = kBit1}, 0x9999);
  Send({.alarm = kBit1}, kSession, 95);
  EXPECT_FALSE(alarms.Enabled());
  alarms.SetShownTime(1000);
  EXPECT_EQ(alarms.ShownTime(), 0u);  // the shown time follows only once enabled
  EXPECT_EQ(alarms.History(0, 0).mask, 0u);
  Send({.alarm = kBit1});
  EXPECT_TRUE(alarms.Enabled());
}

TEST_F(AlarmListTest, HistoryKeepsTheLast32ReportsNewestFirst) {
  for (uint32_t i = 1; i <= 40; ++i) Send({.alarm = i, .time = 100 + i});
  EXPECT_EQ(alarms.History(Alarm_list::kAlarm, 0).mask, 40u);
  EXPECT_EQ(alarms.History(Alarm_list::kAlarm, 0).time, 140u);
  EXPECT_EQ(alarms.History(Alarm_list::kAlarm, 31).mask, 9u);
  EXPECT_EQ(alarms.History(Alarm_list::kVloss, 31).time, 109u);
}

TEST_F(AlarmListTest, TheChangeFlagRisesOnlyWhenAMarkerChanges) {
  Send({.alarm = kBit1});
  Picture(1000);
  EXPECT_TRUE(alarms.Changed());
  alarms.ClearChanged();
  Picture(1001);
  EXPECT_FALSE(alarms.Changed());
  ui.View_Set(17, 0);
  Picture(1002);
  EXPECT_TRUE(alarms.Changed());  // channel 1 is no longer shown
}

TEST_F(AlarmListTest, EventListKeepsTheLast32EventsOfEachChannel) {
  Send({.alarm = kBit1, .motion = kBit2, .time = 50});
  Send({.alarm = kBit1, .motion = kBit2, .time = 51});  // still on: no new event
  EXPECT_EQ(alarms.RecentCount(0), 1);
  EXPECT_EQ(alarms.Recent(0, 0).kind, Alarm_list::kAlarm);
  EXPECT_EQ(alarms.Recent(0, 0).time, 50u);
  EXPECT_EQ(alarms.Recent(1, 0).kind, Alarm_list::kMotion);
  for (uint32_t t = 0; t < 40; ++t) {
    Send({.vloss = kBit3, .time = 100 + 2 * t});
    Send({.time = 101 + 2 * t});
  }
  EXPECT_EQ(alarms.RecentCount(2), 32);
  EXPECT_EQ(alarms.Recent(2, 0).time, 178u);
  EXPECT_EQ(alarms.Recent(2, 31).time, 116u);
  EXPECT_EQ(alarms.Recent(2, 0).channel, 2);
}

TEST_F(AlarmListTest, VideoLossLatchSetsHadVideoOnceSeenWithout) {
  Send({.vloss = kBit1});
  Picture(1000);
  EXPECT_TRUE(alarms.HadVideo(0));  // no loss before this picture
  EXPECT_TRUE(alarms.HadVideo(5));
}

}  // namespace
}  // namespace tevrano::ui
