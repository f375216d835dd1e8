#include "ui/Month.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/RecorderTime.h"

namespace tevrano::ui {
namespace {

constexpr uint32_t kDay = 86400;

TEST(RecorderTimeBase, PackingAndUnpackingAgree) {
  struct Case {
    const char* what;
    int y, m, d;
    int ey, em, ed;  // what unpacking gives back
  } cases[] = {
      {"start of the base", 2000, 1, 1, 2000, 1, 1},
      {"2004-02-29 exists", 2004, 2, 29, 2004, 2, 29},
      {"2000-02-29 does not: 1 March follows", 2000, 2, 29, 2000, 3, 1},
      {"2096-02-29 exists", 2096, 2, 29, 2096, 2, 29},
      {"a day 32 runs into the next month", 2026, 1, 32, 2026, 2, 1},
      {"years before 2000 clamp", 1999, 6, 1, 2000, 6, 1},
      {"years after 2099 clamp", 2150, 6, 1, 2099, 6, 1},
      {"months clamp to 12", 2026, 13, 1, 2026, 12, 1},
      {"the last day", 2099, 12, 31, 2099, 12, 31},
  };
  for (const Case& c : cases) {
    const RecorderDate d = UnpackRecorderTime(PackRecorderTime(c.y, c.m, c.d, 13, 14, 15));
    EXPECT_EQ(d.year, c.ey) << c.what;
    EXPECT_EQ(d.month, c.em) << c.what;
    EXPECT_EQ(d.day, c.ed) << c.what;
    EXPECT_EQ(d.hour * 10000 + d.minute * 100 + d.second, 131415) << c.what;
  }
  EXPECT_EQ(PackRecorderTime(2000, 1, 1), 0u);
  EXPECT_EQ(PackRecorderTime(2001, 1, 1), 365u * kDay);  // 2000 counts 365 days
  EXPECT_EQ(PackRecorderTime(2099, 12, 31, 23, 59, 59), kLastRecorderTime);
  const RecorderDate beyond = UnpackRecorderTime(0xFFFFFFFFu);
  EXPECT_EQ(beyond.year * 10000 + beyond.month * 100 + beyond.day, 20991231);
}

struct MonthFixture {
  UiVariables vars;
  Month month{vars};
  int level = 1;
  int held = 0;
  std::vector<uint32_t> playback;
  MonthFixture() {
    month.hooks.setLevel = [this](int l) { level = l; };
    month.hooks.holdArrow = [this] { ++held; };
    month.hooks.playbackRequested = [this](uint32_t t) { playback.push_back(t); };
  }
  void Open(int which) {
    vars.IE_Month_T = which;
    level = 2;
    month.Calendar_Open(which);
  }
};

TEST(Calendar, InitTakesThePcTimeAndKeepsTheBackupRangeFiveSecondsLong) {
  MonthFixture f;
  const uint32_t now = PackRecorderTime(2026, 5, 17, 8, 9, 10);
  f.month.Calendar_Init(now);
  EXPECT_EQ(uint32_t(f.vars.Mon_P_N_T), now);
  EXPECT_EQ(uint32_t(f.vars.Mon_B_F_T), now);
  EXPECT_EQ(uint32_t(f.vars.Mon_B_T_T), now + 5);
  EXPECT_EQ(f.vars.Mon_Y, 2026);
  EXPECT_EQ(f.vars.Mon_M, 5);
  EXPECT_EQ(f.vars.Mon_h * 10000 + f.vars.Mon_m2 * 100 + f.vars.Mon_s, 80910);
}

TEST(Calendar, GridStartsOnTheSundayBeforeTheFirst) {
  struct Case {
    const char* what;
    int y, m;
    int firstCellY, firstCellM, firstCellD;
  } cases[] = {
      // 1 March 2009 was a Sunday: the whole previous week comes first.
      {"a month whose 1st is a Sunday", 2009, 3, 2009, 2, 22},
      // 1 March 2026 is a Sunday too; 1 April 2026 a Wednesday.
      {"1st on a Sunday", 2026, 3, 2026, 2, 22},
      {"1st on a Wednesday", 2026, 4, 2026, 3, 29},
  };
  for (const Case& c : cases) {
    MonthFixture f;
    f.month.Calendar_Build(PackRecorderTime(c.y, c.m, 15, 12));
    EXPECT_EQ(uint32_t(f.vars.Mon_Day[0]),
              PackRecorderTime(c.firstCellY, c.firstCellM, c.firstCellD))
        << c.what;
    for (int i = 1; i < 42; ++i)
      ASSERT_EQ(uint32_t(f.vars.Mon_Day[i]) - uint32_t(f.vars.Mon_Day[i - 1]), kDay) << c.what;
    EXPECT_EQ(f.month.CalendarReference(), uint32_t(f.vars.Mon_Day[0]) + 1900800) << c.what;
    EXPECT_EQ(f.month.TimeBarReference(), PackRecorderTime(c.y, c.m, 15) + 45000) << c.what;
  }
}

TEST(Calendar, CellsBeforeTheYear2000HoldNoDay) {
  MonthFixture f;
  f.month.Calendar_Build(PackRecorderTime(2000, 1, 10));
  EXPECT_EQ(f.vars.Mon_Day[0], -1);
  int firstDay = 0;
  while (f.vars.Mon_Day[firstDay] == -1) ++firstDay;
  EXPECT_EQ(f.vars.Mon_Day[firstDay], 0);
}

TEST(Calendar, MarksShowRecordedDaysAndTheCursorsDay) {
  MonthFixture f;
  const uint32_t t = PackRecorderTime(2026, 3, 10, 9);
  f.month.Calendar_Build(t);
  uint8_t days[42] = {};
  days[0] = days[16] = 1;  // 2026-02-22 and 2026-03-10
  f.month.SetCalendarDays(days);
  EXPECT_EQ(f.vars.Mon_Data[0], Month::kRecorded);
  EXPECT_EQ(f.vars.Mon_Data[1], Month::kEmpty);
  EXPECT_EQ(uint32_t(f.vars.Mon_Day[16]), PackRecorderTime(2026, 3, 10));
  EXPECT_EQ(f.vars.Mon_Data[16], Month::kCursorRecorded);
  days[16] = 0;
  f.month.SetCalendarDays(days);
  EXPECT_EQ(f.vars.Mon_Data[16], Month::kCursorEmpty);
  // Changing the month keeps the marks until new ones arrive.
  f.vars.IE_Month_T = 1;
  f.month.SetCursor(t);
  f.vars.Mon_Add = 1;
  f.month.Calendar_Step();
  EXPECT_EQ(f.vars.Mon_Data[0], Month::kRecorded);
}

TEST(Calendar, MonthStepsCrossTheYear) {
  MonthFixture f;
  f.vars.Mon_P_N_T = int32_t(PackRecorderTime(2010, 1, 20, 7, 30));
  f.Open(1);
  f.vars.Mon_Sub = 1;
  f.month.Calendar_Step();
  EXPECT_EQ(f.vars.Mon_Y, 2009);
  EXPECT_EQ(f.vars.Mon_M, 12);
  EXPECT_EQ(f.month.Cursor(), PackRecorderTime(2009, 12, 1, 7, 30));
  EXPECT_EQ(f.vars.Mon_Sub, 0);
  f.vars.Mon_Add = 1;
  f.month.Calendar_Step();
  EXPECT_EQ(f.vars.Mon_Y * 100 + f.vars.Mon_M, 201001);
}

TEST(Calendar, StepsOutsideTheRecorderYearsAreRefused) {
  MonthFixture f;
  f.vars.Mon_P_N_T = 0;
  f.Open(1);
  for (int command : {1, 2, 3, 4}) {
    f.vars.Mon_Sub = command;
    f.month.Calendar_Step();
    EXPECT_EQ(f.month.Cursor(), 0u) << command;
  }
  f.vars.Mon_P_N_T = int32_t(kLastRecorderTime);
  f.Open(1);
  for (int command : {1, 2, 3, 4}) {
    f.vars.Mon_Add = command;
    f.month.Calendar_Step();
    EXPECT_EQ(f.month.Cursor(), kLastRecorderTime) << command;
  }
}

TEST(Calendar, SlotsSetTheTimeEntry) {
  struct Case {
    int slot, hour, minute;
  } cases[] = {{1, 0, 0}, {2, 0, 30}, {48, 23, 30}, {21, 10, 0}};
  for (const Case& c : cases) {
    MonthFixture f;
    f.vars.Mon_P_N_T = int32_t(PackRecorderTime(2026, 3, 10, 5, 6, 7));
    f.Open(1);
    f.vars.IE_ST3 = c.slot;
    EXPECT_TRUE(f.month.Calendar_Step());
    EXPECT_EQ(f.month.Cursor(), PackRecorderTime(2026, 3, 10, c.hour, c.minute, 0)) << c.slot;
    EXPECT_EQ(f.vars.Mon_h, c.hour);
    EXPECT_EQ(f.vars.Mon_m2, c.minute);
    EXPECT_EQ(f.vars.Mon_s, 0);
    EXPECT_EQ(f.vars.IE_ST3, c.slot);
    EXPECT_EQ(f.level, 16);
  }
}

TEST(Calendar, TimeStepsAreModalAndRepeat) {
  MonthFixture f;
  const uint32_t t = PackRecorderTime(2026, 3, 10, 23, 59, 30);
  f.vars.Mon_P_N_T = int32_t(t);
  f.Open(1);
  struct Step {
    bool up;
    int command;
    int64_t delta;
  } steps[] = {{true, 2, 3600}, {false, 3, -60}, {true, 4, 1}, {false, 2, -3600}};
  int64_t expected = t;
  for (const Step& s : steps) {
    (s.up ? f.vars.Mon_Add : f.vars.Mon_Sub) = s.command;
    EXPECT_TRUE(f.month.Calendar_Step());
    expected += s.delta;
    EXPECT_EQ(f.month.Cursor(), uint32_t(expected)) << s.command;
    EXPECT_EQ(f.level, 2);
  }
  EXPECT_EQ(f.held, 4);
  // The time entry and the selected slot follow the cursor: 23:58:31.
  EXPECT_EQ(f.vars.Mon_h * 10000 + f.vars.Mon_m2 * 100 + f.vars.Mon_s, 235831);
  EXPECT_EQ(f.vars.IE_ST3, 48);
}

TEST(Calendar, PickedDayOpensTheTimeEntryAtMidnightAndOkStartsPlayback) {
  MonthFixture f;
  f.vars.Mon_P_N_T = int32_t(PackRecorderTime(2026, 3, 10, 5));
  f.Open(1);
  f.vars.Mon_Cmd = f.vars.Mon_Day[30];
  const uint32_t day = uint32_t(f.vars.Mon_Day[30]);
  EXPECT_TRUE(f.month.Calendar_Step());
  EXPECT_EQ(f.month.Cursor(), day);
  EXPECT_EQ(f.level, 16);
  EXPECT_EQ(f.vars.Mon_h + f.vars.Mon_m2 + f.vars.Mon_s, 0);
  f.vars.IE_ST3 = 29;  // 14:00
  f.month.Calendar_Step();
  f.vars.IE_OK = 1;
  f.month.Calendar_Step();
  EXPECT_EQ(uint32_t(f.vars.Mon_P_N_T), day + 14 * 3600);
  EXPECT_EQ(f.playback, std::vector<uint32_t>{day + 14 * 3600});
  EXPECT_EQ(f.vars.IE_Month_T, 0);
  EXPECT_EQ(f.vars.IE_OK, 0);
  EXPECT_EQ(f.level, 1);
}

TEST(Calendar, CancelClosesWithoutStoring) {
  MonthFixture f;
  const int32_t before = int32_t(PackRecorderTime(2026, 3, 10, 5));
  f.vars.Mon_P_N_T = before;
  f.Open(1);
  f.vars.Mon_Add = 2;
  f.month.Calendar_Step();
  f.vars.IE_CL = 1;
  f.month.Calendar_Step();
  EXPECT_EQ(f.vars.Mon_P_N_T, before);
  EXPECT_TRUE(f.playback.empty());
  EXPECT_EQ(f.vars.IE_Month_T, 0);
  EXPECT_EQ(f.level, 1);
}

TEST(Calendar, BackupRangeStaysAtLeastFiveSeconds) {
  const uint32_t base = PackRecorderTime(2026, 3, 10, 12);
  struct Case {
    const char* what;
    int which;            // 2 from, 3 to
    uint32_t from, to;    // before
    uint32_t cursor;      // confirmed time
    uint32_t eFrom, eTo;  // after
  } cases[] = {
      {"from set 5 s before the end stays", 2, base, base + 100, base + 95, base + 95, base + 100},
      {"from set 3 s before the end pushes the end", 2, base, base + 100, base + 97, base + 97,
       base + 102},
      {"from set after the end pushes the end", 2, base, base + 100, base + 500, base + 500,
       base + 505},
      {"end set 3 s after the start pulls the start", 3, base, base + 100, base + 3, base - 2,
       base + 3},
      {"end set before the start pulls the start", 3, base, base + 100, base - 60, base - 65,
       base - 60},
      {"end set 5 s after the start stays", 3, base, base + 100, base + 5, base, base + 5},
      {"end within the first seconds of 2000", 3, 10, 100, 2, 0, 5},
  };
  for (const Case& c : cases) {
    MonthFixture f;
    f.vars.Mon_B_F_T = int32_t(c.from);
    f.vars.Mon_B_T_T = int32_t(c.to);
    f.Open(c.which);
    f.month.SetCursor(c.cursor);
    f.month.Calendar_Confirm();
    EXPECT_EQ(uint32_t(f.vars.Mon_B_F_T), c.eFrom) << c.what;
    EXPECT_EQ(uint32_t(f.vars.Mon_B_T_T), c.eTo) << c.what;
  }
  // Times past 2068 are negative as 32-bit signed variables: the rule
  // still compares them as recorder times.
  MonthFixture f;
  const uint32_t late = PackRecorderTime(2090, 1, 1);
  ASSERT_LT(int32_t(late), 0);
  f.vars.Mon_B_F_T = int32_t(late);
  f.vars.Mon_B_T_T = int32_t(late + 60);
  f.Open(2);
  f.month.SetCursor(late + 58);
  f.month.Calendar_Confirm();
  EXPECT_EQ(uint32_t(f.vars.Mon_B_T_T), late + 63);
}

}  // namespace
}  // namespace tevrano::ui
