// Playback end to end: the headless viewer searches the simulator's archive
// through the calendar, plays a chosen half-hour and steers it with the
// transport keys; the simulator logs each playback record it receives.
#include <gtest/gtest.h>

#include <QDate>
#include <QFile>
#include <QTime>
#include <fstream>
#include <set>

#include "tests/e2e/E2eHarness.h"

namespace tevrano::e2e {
namespace {

using std::chrono::seconds;

// Recorder seconds since 2000-01-01, whose year 2000 counts 365 days.
QDate RecorderDay(int64_t seconds) {
  const int64_t days = seconds / 86400;
  return QDate(2000, 1, 1).addDays(days + (days >= 59 ? 1 : 0));
}
int64_t RecorderSeconds(const QDate& d, int hour, int minute) {
  int64_t days = QDate(2000, 1, 1).daysTo(d);
  if (d >= QDate(2000, 3, 1)) --days;
  return days * 86400 + hour * 3600 + minute * 60;
}

QJsonObject ReadJson(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(f.readAll()).object();
}

// The recorder time of a dump's "playback" object, in recorder seconds.
int64_t PlaybackSeconds(const QJsonObject& dump) {
  const QString text = dump.value("playback").toObject().value("time").toString();
  const QDateTime t = QDateTime::fromString(text, "yyyy-MM-dd HH:mm:ss");
  if (!t.isValid()) return -1;
  return RecorderSeconds(t.date(), t.time().hour(), t.time().minute()) + t.time().second();
}

bool PlaybackSet(const QJsonObject& l) {
  return l.value("event").toString() == "module" && l.value("tag").toString() == "ICMD" &&
         l.value("op").toInt() == 2 && l.value("type").toInt() == 512;
}

TEST(PlaybackE2e, CalendarMarksTheArchiveAndTheTransportSteersPlayback) {
  const std::string dir = TestOutputDir();
  // Camera 3 (wire channel 2) recorded from 08:00 to 09:30 two days ago
  // (two days ahead early in a month) and around noon on the month's last
  // day; the calendar opens on this month.
  const QDate today = QDate::currentDate();
  const QDate recorded = today.day() > 2 ? today.addDays(-2) : today.addDays(2);
  const QDate first(today.year(), today.month(), 1);
  const QDate last = first.addDays(first.daysInMonth() - 1);
  auto day = [](const QDate& d) { return d.toString("yyyy-MM-dd").toStdString(); };
  // The simulator empties the test's folder as it starts: the archive lies
  // beside it.
  const std::string archive = dir + "_archive.json";
  {
    std::ofstream f(archive);
    f << "{\"channels\": {\"3\": [[\"" << day(recorded) << "T08:00:00\", \"" << day(recorded)
      << "T09:30:00\"], [\"" << day(last) << "T11:10:00\", \"" << day(last)
      << "T12:05:00\"]], \"1\": [[\"" << day(today) << "T00:00:00\", \"" << day(today)
      << "T01:00:00\"]]}}";
  }
  const std::set<QDate> recordedDays = {recorded, last};

  // The grid starts on the Sunday before the 1st (a whole week when the 1st
  // is a Sunday).
  const int w = first.dayOfWeek() % 7;
  const QDate gridStart = first.addDays(-(w == 0 ? 7 : w));
  const int cell = int(gridStart.daysTo(recorded)) + 1;

  Simulator sim;
  ASSERT_TRUE(sim.Start({"--archive", QString::fromStdString(archive)})) << sim.Output();

  const std::string script = dir + "/playback.txt";
  {
    std::ofstream f(script);
    // A press while the key panel's redraw after the login is pending is
    // ignored; by the first live picture it has been drawn.
    f << "wait-until logged-in\n"
         "wait-until picture\n"
         "click-target TevranoKeyForm IE_Page2#SD 2\n"
         "wait 1\n"
         // Camera 3 on the Playback page, then the calendar for the playback time.
         "click-target TevranoKeyForm IE_DOING#SD 3\n"
         "wait 1\n"
         "click-target TevranoKeyForm IE_SET_T#SD 1\n"
         "wait 3\n"
      << "dump " << dir << "/calendar.json\n"
      << "snapshot " << dir << "/calendar.png Image1\n"
      << "click-target TevranoKeyForm Mon_Cmd#SD " << cell << "\n"
      << "wait 3\n"
      << "dump " << dir
      << "/day.json\n"
      // Slot 18 is 08:30; OK confirms it.
      << "click-target TevranoKeyForm IE_ST3#SD 18\n"
         "click-target TevranoKeyForm IE_OK#SD 1\n"
         "wait 1\n"
         // Play (the third transport key).
         "click-target TevranoKeyForm IE_PB_PS#SD 3\n";
    for (int i = 0; i < 6; ++i) f << "wait 1\ndump " << dir << "/play" << i << ".json\n";
    f << "snapshot " << dir << "/playing.png\n"
      << "snapshot " << dir << "/keyform_playing.png Image1\n"
      << "click-target TevranoKeyForm IE_PB_PS#SD 2\n";
    for (int i = 0; i < 4; ++i) f << "wait 1\ndump " << dir << "/pause" << i << ".json\n";
    f << "click-target TevranoKeyForm IE_PB_PS#SD 1\n";
    for (int i = 0; i < 5; ++i) f << "wait 1\ndump " << dir << "/reverse" << i << ".json\n";
    f << "quit\n";
  }
  QStringList args = RecorderArgs(sim);
  args << "--script" << QString::fromStdString(script) << "--run-for"
       << "90";
  ViewerResult r = RunViewer(args, "playback");
  ASSERT_TRUE(r.finished) << r.output;
  ASSERT_EQ(r.exitCode, 0) << r.output;

  // The calendar's marks are the archive's days of camera 3.
  const QJsonObject calendar = ReadJson(dir + "/calendar.json");
  const QJsonObject ui = calendar.value("interface").toObject();
  ASSERT_EQ(ui.value("IE_Month_T#SD").toInt(), 1);
  const QJsonArray cells = ui.value("Mon_Day#AD").toArray();
  const QJsonArray marks = ui.value("Mon_Data#AD").toArray();
  ASSERT_EQ(cells.size(), 42);
  ASSERT_EQ(marks.size(), 42);
  for (int i = 0; i < 42; ++i) {
    const QDate d = RecorderDay(uint32_t(cells[i].toInt()));
    EXPECT_EQ(d, gridStart.addDays(i)) << i;
    const int mark = marks[i].toInt();
    const bool marked = mark == 1 || mark == 5;
    EXPECT_EQ(marked, recordedDays.count(d) == 1) << d.toString().toStdString();
  }

  // The picked day's half-hours: 08:00, 08:30 and 09:00.
  const QJsonArray halfHours =
      ReadJson(dir + "/day.json").value("interface").toObject().value("IE_Data#ADN").toArray();
  ASSERT_EQ(halfHours.size(), 48);
  for (int k = 0; k < 48; ++k)
    EXPECT_EQ(halfHours[k].toInt(), k >= 16 && k <= 18 ? 1 : 0) << "slot " << k + 1;

  // The recorder was asked to play camera 3 from 08:30 of that day.
  const int64_t chosen = RecorderSeconds(recorded, 8, 30);
  const auto log = sim.Log();
  bool askedFromChosen = false, paused = false, reversed = false;
  int64_t pausedAt = -1;  // where the recorder was told to stand
  for (const QJsonObject& l : log) {
    if (!PlaybackSet(l)) continue;
    askedFromChosen = askedFromChosen || (l.value("start_seconds").toInteger() == chosen &&
                                          l.value("playback_channel").toInt() == 2);
    if (l.value("play_flag").toInt() == 0 && l.value("start_seconds").toInteger() > chosen) {
      paused = true;
      pausedAt = l.value("start_seconds").toInteger();
    }
    if (l.value("play_flag").toInt() == 1 && l.value("direction").toInt() == -1) reversed = true;
  }
  EXPECT_TRUE(askedFromChosen) << "no playback record from the chosen time";
  ASSERT_TRUE(paused) << "pause did not reach the recorder";
  EXPECT_TRUE(reversed) << "reverse did not reach the recorder";

  // Playing: the time runs on from the chosen time, on camera 3.
  std::vector<int64_t> play;
  for (int i = 0; i < 6; ++i) {
    const QJsonObject d = ReadJson(dir + "/play" + std::to_string(i) + ".json");
    EXPECT_EQ(d.value("playback").toObject().value("channel").toInt(), 2);
    EXPECT_EQ(d.value("playback").toObject().value("state").toInt(), 2);
    play.push_back(PlaybackSeconds(d));
  }
  EXPECT_GE(play.front(), chosen);
  EXPECT_LT(play.front(), chosen + 1800);
  EXPECT_GT(play.back(), play.front()) << "the playback time did not advance";

  // Paused: from the first dump after the pause the time stands at the point
  // the recorder was told to pause at. Frames it had already sent ahead
  // (still in the socket when the pause went out) are not shown.
  std::vector<int64_t> pause;
  for (int i = 0; i < 4; ++i) {
    const QJsonObject d = ReadJson(dir + "/pause" + std::to_string(i) + ".json");
    EXPECT_EQ(d.value("playback").toObject().value("state").toInt(), 1) << "pause " << i;
    pause.push_back(PlaybackSeconds(d));
  }
  EXPECT_EQ(pause[0], pausedAt) << "the shown time is not where the recorder stands";
  for (int i = 1; i < 4; ++i) EXPECT_EQ(pause[i], pause[0]) << "the time ran on while paused";
  EXPECT_GE(pause[0], play.back());

  // Reverse: the time runs backwards from where it stood.
  std::vector<int64_t> reverse;
  for (int i = 0; i < 5; ++i)
    reverse.push_back(PlaybackSeconds(ReadJson(dir + "/reverse" + std::to_string(i) + ".json")));
  EXPECT_LT(reverse.back(), pause[0]) << "the time did not run backwards";
  EXPECT_LT(reverse.back(), reverse[1]);

  // The picture is camera 3's (blue), not the live channel 1's.
  const QImage playing(QString::fromStdString(dir + "/playing.png"));
  ASSERT_FALSE(playing.isNull());
  const QJsonObject video = ComponentOf(r.dump, "Image_video");
  const Rgb centre =
      MeanColour(playing, video.value("left").toInt() + video.value("width").toInt() / 2,
                 video.value("top").toInt() + video.value("height").toInt() / 2, 64, 64);
  EXPECT_GT(centre.b, centre.r + 80) << centre.r << "," << centre.g << "," << centre.b;
}

}  // namespace
}  // namespace tevrano::e2e
