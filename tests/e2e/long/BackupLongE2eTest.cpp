// A backup over 30 minutes end to end: --backup writes movie.mov (the first
// 1800 s) and movie(1).mov (the rest, from the first I-frame after it); both
// are read whole by ffprobe and ffmpeg and indexed by the agent's read.
#include "tests/e2e/BackupE2eCommon.h"

namespace tevrano::e2e {
namespace {

TEST(BackupLongE2e, ASpanOver30MinutesBecomesMovieAndMovie1) {
  const std::string dir = TestOutputDir();
  const QDate day = QDate::currentDate().addDays(-1);
  const std::string archive = dir + "_archive.json";
  WriteArchive(archive, day, "09:00:00", "11:00:00");
  Simulator sim;
  ASSERT_TRUE(sim.Start({"--archive", QString::fromStdString(archive), "--backup-speed", "100"}))
      << sim.Output();

  const std::string out = dir + "/movie.mov";
  QStringList args = RecorderArgs(sim);
  args << "--backup"
       << "1"
       << "--from" << Stamp(day, "09:10:00") << "--to" << Stamp(day, "09:41:00") << "--out"
       << QString::fromStdString(out);
  const ViewerResult r = RunViewer(args, "backup_long", std::chrono::seconds(580));
  ASSERT_TRUE(r.finished) << r.output;
  EXPECT_EQ(0, r.exitCode) << r.output;
  EXPECT_NE(std::string::npos, r.output.find("backup complete: 2 movie file(s)")) << r.output;
  EXPECT_FALSE(QFile::exists(QString::fromStdString(dir + "/movie(2).mov")));

  CheckMovie(out, 1800 * 25);
  // 60 s from the I-frame at 1800 s, and the I-frame that closes the span.
  CheckMovie(dir + "/movie(1).mov", 60 * 25 + 1);
}

}  // namespace
}  // namespace tevrano::e2e
