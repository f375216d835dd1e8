// The Backup page end to end: a script logs in, goes to the Backup page on
// the key panel, chooses the span on the calendar and starts the backup; the
// page's progress moves, the movie lands in DVR_Backup of the user's home,
// players and the recorder's USB agent read it whole, and the host is asked
// to open that folder. A recorder that goes silent leaves "backup incomplete".
#include "tests/e2e/BackupE2eCommon.h"

namespace tevrano::e2e {
namespace {

QJsonObject Interface(const QJsonObject& dump) {
  return dump.value("interface").toObject();
}

// 10:30:00 (slot 22) to 10:32:00 (slot 22 and two minute steps) of `day`.
PageSpan TwoMinutes(const QDate& day, int midPercent) {
  PageSpan span;
  span.day = day;
  span.fromSlot = 22;
  span.toSlot = 22;
  span.toMinutes = 2;
  span.midPercent = midPercent;
  return span;
}

TEST(BackupPageE2e, ASpanChosenOnTheCalendarBecomesAMovieInDvrBackup) {
  const std::string dir = TestOutputDir();
  const QDate day = QDate::currentDate().addDays(-1);
  Simulator sim;
  ASSERT_TRUE(StartRecorded(sim, dir, day, "10:00:00", "12:00:00", {"--backup-speed", "20"}));
  const PageBackupResult r =
      RunPageBackup(sim, dir, TwoMinutes(day, 30), std::chrono::seconds(200));
  ASSERT_TRUE(r.run.finished) << r.run.output;
  ASSERT_EQ(0, r.run.exitCode) << r.run.output;

  // The recorder was asked for the span chosen.
  const auto record =
      sim.WaitForLog([](const QJsonObject& l) { return l.value("backup_state").toInt() == 1; },
                     std::chrono::seconds(1));
  ASSERT_TRUE(record) << "no backup record in the simulator's log";
  EXPECT_EQ(Stamp(day, "10:30:00"), record->value("backup_start").toString());
  EXPECT_EQ(Stamp(day, "10:32:00"), record->value("backup_end").toString());
  EXPECT_EQ(0, record->value("backup_channel").toInt());

  // Halfway the page shows the backup running with its progress.
  const QJsonObject middle = Interface(r.middle);
  EXPECT_EQ(1, middle.value("IE_ST2#SD").toInt());
  EXPECT_GE(middle.value("IE_percentage#SD").toInt(), 30);
  EXPECT_LT(middle.value("IE_percentage#SD").toInt(), 100);
  EXPECT_EQ("running", r.middle.value("backup").toObject().value("outcome").toString());
  // At the end: complete, 100 %, the button back to "start".
  const QJsonObject end = Interface(r.end);
  EXPECT_EQ(0, end.value("IE_ST2#SD").toInt());
  EXPECT_EQ(100, end.value("IE_percentage#SD").toInt());
  const QJsonObject backup = r.end.value("backup").toObject();
  EXPECT_EQ("complete", backup.value("outcome").toString());
  EXPECT_EQ(1, backup.value("parts_written").toInt());

  // One movie, named after the camera and the span's start, in DVR_Backup;
  // the page's label shows its path.
  const QStringList movies = BackupMovies(r.home);
  ASSERT_EQ(1, movies.size()) << movies.join(' ').toStdString();
  const QString name = movies[0];
  EXPECT_TRUE(name.startsWith("ch01_" + day.toString("yyyyMMdd") + "_103000_"))
      << name.toStdString();
  const std::string path = r.home + "/DVR_Backup/" + name.toStdString();
  EXPECT_EQ(path, backup.value("file").toString().toStdString());
  EXPECT_EQ(path, ComponentOf(r.end, "Label1").value("caption").toString().toStdString());

  // The host was asked to open the folder the movie was written to.
  EXPECT_NE(std::string::npos,
            r.run.output.find("tevrano-viewer: open " + r.home + "/DVR_Backup\n"))
      << r.run.output;

  CheckMovie(path, 120 * 25 + 1);
}

TEST(BackupPageE2e, ARecorderThatGoesSilentLeavesBackupIncomplete) {
  const std::string dir = TestOutputDir();
  const QDate day = QDate::currentDate().addDays(-1);
  Simulator sim;
  // Silent after 20 s of the span: the job ends after 15 s without a frame.
  ASSERT_TRUE(StartRecorded(sim, dir, day, "10:00:00", "12:00:00",
                            {"--backup-speed", "20", "--backup-stall-after", "20"}));
  const PageBackupResult r = RunPageBackup(sim, dir, TwoMinutes(day, 0), std::chrono::seconds(200));
  ASSERT_TRUE(r.run.finished) << r.run.output;
  ASSERT_EQ(0, r.run.exitCode) << r.run.output;

  const QJsonObject end = Interface(r.end);
  EXPECT_EQ(0, end.value("IE_ST2#SD").toInt());
  EXPECT_LT(end.value("IE_percentage#SD").toInt(), 100);
  EXPECT_EQ("incomplete", r.end.value("backup").toObject().value("outcome").toString());
  const QJsonObject label = ComponentOf(r.end, "Label1");
  EXPECT_EQ("backup incomplete", label.value("caption").toString().toStdString());
  EXPECT_TRUE(label.value("visible").toBool());

  // What arrived before the silence is a finished movie all the same, and
  // its folder is opened.
  const QStringList movies = BackupMovies(r.home);
  ASSERT_EQ(1, movies.size()) << movies.join(' ').toStdString();
  EXPECT_NE(std::string::npos,
            r.run.output.find("tevrano-viewer: open " + r.home + "/DVR_Backup\n"))
      << r.run.output;
  CheckMovie(r.home + "/DVR_Backup/" + movies[0].toStdString(), 0);
}

}  // namespace
}  // namespace tevrano::e2e
