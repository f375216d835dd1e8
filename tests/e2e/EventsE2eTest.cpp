#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <fstream>
#include <functional>

#include "tests/e2e/E2eHarness.h"

namespace tevrano::e2e {
namespace {

using std::chrono::seconds;

// Pixels of the alarm word's colour (pure red, as the overlay carries it)
// in one cell of the quad drawn over a 704 × 576 video image.
int RedPixelsInQuadCell(const QImage& image, int cell) {
  const int w = image.width() / 2, h = image.height() / 2;
  const int x0 = (cell % 2) * w, y0 = (cell / 2) * h;
  int n = 0;
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() >= 245 && c.green() <= 30 && c.blue() <= 30) ++n;
    }
  return n;
}

bool Spdm(const QJsonObject& l, const char* message) {
  return l.value("event").toString() == "module" && l.value("tag").toString() == "SPDM" &&
         l.value("message").toString() == message;
}

// The simulator's alarm on camera 3 shows as the word "Alarm" over the
// third cell (lower left) of the quad 1-4, and nowhere else; the event is
// in the dump's event list.
TEST(EventsE2e, AlarmOfCameraThreeIsMarkedOverItsQuadCell) {
  const std::string dir = TestOutputDir();
  Simulator sim;
  ASSERT_TRUE(sim.Start({"--alarm", "3"})) << sim.Output();
  const std::string script = dir + "/alarm.txt";
  {
    std::ofstream f(script);
    // IE_DOING#SD: the 16 channel keys, then the split keys (17: quad 1-4).
    f << "wait-until logged-in\n"
         "wait-until picture\n"
         "click-target TevranoKeyForm IE_DOING#SD 17\n"
         "wait 5\n"
         "snapshot "
      << dir << "/quad.png Image_video\n"
      << "quit\n";
  }
  QStringList args = RecorderArgs(sim);
  args << "--script" << QString::fromStdString(script) << "--run-for"
       << "40";
  ViewerResult r = RunViewer(args, "alarm");
  ASSERT_TRUE(r.finished) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  ASSERT_TRUE(sim.WaitForLog(
      [](const QJsonObject& l) { return l.value("event").toString() == "live_event"; },
      seconds(1)));

  const QImage quad(QString::fromStdString(dir + "/quad.png"));
  ASSERT_FALSE(quad.isNull());
  EXPECT_GT(RedPixelsInQuadCell(quad, 2), 40) << "no alarm word over camera 3";
  for (int cell : {0, 1, 3}) EXPECT_EQ(RedPixelsInQuadCell(quad, cell), 0) << "cell " << cell;

  const QJsonArray events = r.dump.value("events").toArray();
  bool alarm3 = false;
  for (const auto& e : events) {
    const QJsonObject o = e.toObject();
    alarm3 = alarm3 || (o.value("channel").toInt() == 3 && o.value("kind").toString() == "Alarm" &&
                        !o.value("time").toString().isEmpty());
  }
  EXPECT_TRUE(alarm3) << "event list: " << QJsonDocument(events).toJson().toStdString();
}

// The pad opens from the speed-dome button, its steering, preset and
// window clicks reach the simulator as "SPDM" messages, and a press on an
// empty part of it drags the window.
TEST(EventsE2e, PadClicksReachTheRecorderAndThePadIsDragged) {
  const std::string dir = TestOutputDir();
  Simulator sim;
  ASSERT_TRUE(sim.Start()) << sim.Output();
  const std::string script = dir + "/pad.txt";
  {
    std::ofstream f(script);
    // Dm_Cmd#SD items: 1 close, 2..9 the directions from left clockwise
    // (6 right), then zoom (10, 11), focus, iris, the preset page (16),
    // the preset actions go, set, clear (17, 18, 19).
    f << "wait-until logged-in\n"
         "wait-until picture\n"
         "click Image_SpeedDome_Off\n"
         "wait 2\n"
         "click-target Mouse_Preset Dm_Cmd#SD 6\n"
         "click-target Mouse_Preset Dm_Cmd#SD 6\n"
         "click-target Mouse_Preset Dm_Cmd#SD 6\n"
         "click-target Mouse_Preset Dm_Pre#SD 3\n"
         "click-target Mouse_Preset Dm_Cmd#SD 18\n"
         "click-target Mouse_Preset Dm_Cmd#SD 17\n"
         "click-target Mouse_Preset Dm_Cmd#SD 19\n"
         "press Image5 4 150\n"
         "move Image5 44 170\n"
         "release Image5 44 170\n"
         "wait 2\n"
         "dump "
      << dir << "/pad.json\n"
      << "quit\n";
  }
  QStringList args = RecorderArgs(sim);
  args << "--script" << QString::fromStdString(script) << "--run-for"
       << "40";
  ViewerResult r = RunViewer(args, "pad");
  ASSERT_TRUE(r.finished) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;

  const auto log = sim.Log();
  std::vector<QJsonObject> moves, commands, tables;
  bool open = false, request = false;
  for (const QJsonObject& l : log) {
    if (Spdm(l, "move")) moves.push_back(l);
    if (Spdm(l, "command")) commands.push_back(l);
    if (Spdm(l, "preset table")) tables.push_back(l);
    open = open || (Spdm(l, "open") && l.value("class").toInt() == 0);
    request = request || (Spdm(l, "request") && l.value("class").toInt() == 1);
  }
  EXPECT_TRUE(open);
  EXPECT_TRUE(request);
  ASSERT_EQ(moves.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(moves[i].value("pan_speed").toInt(), 2 * (i + 1));
    EXPECT_EQ(moves[i].value("tilt_speed").toInt(), 0);
    EXPECT_EQ(moves[i].value("channel").toInt(), 0);
  }
  // Each steering release stops; then set (4), go (5) and clear (13) of
  // preset 3 on camera 1.
  std::vector<int> codes;
  for (const QJsonObject& c : commands) codes.push_back(c.value("code").toInt());
  EXPECT_EQ(codes, (std::vector<int>{0, 0, 0, 4, 5, 13}));
  ASSERT_EQ(commands.size(), 6u);
  for (int i = 3; i < 6; ++i) {
    EXPECT_EQ(commands[i].value("preset").toInt(), 3);
    EXPECT_EQ(commands[i].value("channel").toInt(), 0);
  }
  EXPECT_EQ(commands[0].value("parameter").toInt(), -1);
  // The table follows each preset action: set stores camera 1 in slot 3,
  // clear empties it.
  ASSERT_EQ(tables.size(), 3u);
  EXPECT_EQ(tables[0].value("marker").toString(), "Ufw3");
  EXPECT_EQ(QJsonDocument(tables[0].value("slots").toArray()).toJson(QJsonDocument::Compact),
            "[[3,0,1]]");
  EXPECT_TRUE(tables[2].value("slots").toArray().isEmpty());

  const QJsonObject dump = [&] {
    QFile f(QString::fromStdString(dir + "/pad.json"));
    f.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(f.readAll()).object();
  }();
  const QJsonObject pad = dump.value("speed_dome").toObject();
  EXPECT_TRUE(pad.value("open").toBool());
  EXPECT_EQ(pad.value("left").toInt(), 40);
  EXPECT_EQ(pad.value("top").toInt(), 20);
}

}  // namespace
}  // namespace tevrano::e2e
