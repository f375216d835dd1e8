// A backup over 30 minutes end to end: a 45-minute span becomes movie.mov
// (the first 1800 s) and movie(1).mov (the other 900 s, from the first
// I-frame after the limit), through --backup and through the Backup page;
// every movie is read whole by ffprobe, ffmpeg and mediainfo and indexed by
// the agent's read.
#include "tests/e2e/BackupE2eCommon.h"

namespace tevrano::e2e {
namespace {

TEST(BackupLongE2e, A45MinuteSpanBecomesMovieAndMovie1) {
  const std::string dir = TestOutputDir();
  const QDate day = QDate::currentDate().addDays(-1);
  Simulator sim;
  ASSERT_TRUE(StartRecorded(sim, dir, day, "09:00:00", "11:00:00", {"--backup-speed", "100"}));

  const std::string out = dir + "/movie.mov";
  QStringList args = RecorderArgs(sim);
  args << "--backup"
       << "1"
       << "--from" << Stamp(day, "09:10:00") << "--to" << Stamp(day, "09:55:00") << "--out"
       << QString::fromStdString(out);
  const ViewerResult r = RunViewer(args, "backup_long", std::chrono::seconds(580));
  ASSERT_TRUE(r.finished) << r.output;
  EXPECT_EQ(0, r.exitCode) << r.output;
  EXPECT_NE(std::string::npos, r.output.find("backup complete: 2 movie file(s)")) << r.output;
  EXPECT_FALSE(QFile::exists(QString::fromStdString(dir + "/movie(2).mov")));

  CheckMovie(out, 1800 * 25);
  // 900 s from the I-frame at 1800 s, and the I-frame that closes the span.
  CheckMovie(dir + "/movie(1).mov", 900 * 25 + 1);
}

TEST(BackupLongE2e, A45MinuteSpanThroughTheBackupPageBecomesTwoMovies) {
  const std::string dir = TestOutputDir();
  const QDate day = QDate::currentDate().addDays(-1);
  Simulator sim;
  ASSERT_TRUE(StartRecorded(sim, dir, day, "09:00:00", "11:00:00", {"--backup-speed", "100"}));

  // 09:00:00 (slot 19) to 09:45:00 (slot 20 and 15 minute steps).
  PageSpan span;
  span.day = day;
  span.fromSlot = 19;
  span.toSlot = 20;
  span.toMinutes = 15;
  span.midPercent = 50;
  const PageBackupResult r = RunPageBackup(sim, dir, span, std::chrono::seconds(480));
  ASSERT_TRUE(r.run.finished) << r.run.output;
  ASSERT_EQ(0, r.run.exitCode) << r.run.output;

  const QJsonObject middle = r.middle.value("interface").toObject();
  EXPECT_GE(middle.value("IE_percentage#SD").toInt(), 50);
  EXPECT_LT(middle.value("IE_percentage#SD").toInt(), 100);
  const QJsonObject end = r.end.value("interface").toObject();
  EXPECT_EQ(100, end.value("IE_percentage#SD").toInt());
  EXPECT_EQ(0, end.value("IE_ST2#SD").toInt());
  const QJsonObject backup = r.end.value("backup").toObject();
  EXPECT_EQ("complete", backup.value("outcome").toString());
  EXPECT_EQ(2, backup.value("parts_written").toInt());

  // ch01_<day>_090000_<now>.mov and the same name with (1).
  const QStringList movies = BackupMovies(r.home);
  ASSERT_EQ(2, movies.size()) << movies.join(' ').toStdString();
  const QString first = movies[0].endsWith("(1).mov") ? movies[1] : movies[0];
  EXPECT_TRUE(first.startsWith("ch01_" + day.toString("yyyyMMdd") + "_090000_"))
      << first.toStdString();
  const QString second = first.left(first.size() - 4) + "(1).mov";
  EXPECT_TRUE(movies.contains(second)) << movies.join(' ').toStdString();
  EXPECT_NE(std::string::npos,
            r.run.output.find("tevrano-viewer: open " + r.home + "/DVR_Backup\n"))
      << r.run.output;

  const std::string folder = r.home + "/DVR_Backup/";
  CheckMovie(folder + first.toStdString(), 1800 * 25);
  CheckMovie(folder + second.toStdString(), 900 * 25 + 1);
}

}  // namespace
}  // namespace tevrano::e2e
