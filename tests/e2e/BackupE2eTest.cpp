// Backup end to end: the headless viewer's --backup takes a span of the
// simulator's archive into QuickTime movies; the distribution's ffprobe and
// ffmpeg read them whole, and the index the recorder's USB agent reads
// matches each file.
#include "tests/e2e/BackupE2eCommon.h"

namespace tevrano::e2e {
namespace {

// The recorder's variants that change how the backup stream arrives: one
// command connection and a stream socket; two command connections and no
// stream socket (the packets in the poll answers of both, put back in order
// by the viewer, after the live stream's still in flight).
TEST(BackupE2e, ATwoMinuteSpanBecomesOneMovieThatPlayersReadWhole) {
  struct Variant {
    const char* name;
    QStringList options;
  } variants[] = {
      {"one_connection_stream_socket", {"--connections", "1", "--stream-socket", "yes"}},
      {"two_connections_no_stream_socket", {"--connections", "2", "--stream-socket", "no"}},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    // A folder of its own beside the test's (which the simulator empties).
    const std::string dir = TestOutputDir() + "_" + v.name;
    QDir(QString::fromStdString(dir)).removeRecursively();
    QDir().mkpath(QString::fromStdString(dir));
    const QDate day = QDate::currentDate().addDays(-1);
    const std::string archive = dir + "_archive.json";
    WriteArchive(archive, day, "10:00:00", "12:00:00");
    Simulator sim;
    ASSERT_TRUE(sim.Start(
        QStringList{"--archive", QString::fromStdString(archive), "--backup-speed", "20"} +
        v.options))
        << sim.Output();

    const std::string out = dir + "/movie.mov";
    QStringList args = RecorderArgs(sim);
    args << "--backup"
         << "1"
         << "--from" << Stamp(day, "10:30:00") << "--to" << Stamp(day, "10:32:00") << "--out"
         << QString::fromStdString(out);
    const ViewerResult r =
        RunViewer(args, std::string("backup_") + v.name, std::chrono::seconds(200));
    ASSERT_TRUE(r.finished) << r.output;
    EXPECT_EQ(0, r.exitCode) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("backup complete")) << r.output;
    EXPECT_NE(std::string::npos, r.output.find("backup: 50%")) << r.output;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir + "/movie(1).mov")));

    // 120 s at 25 fps and the I-frame that closes the span.
    CheckMovie(out, 120 * 25 + 1);
  }
}

TEST(BackupE2e, ARefusedSpanExitsOne) {
  const std::string dir = TestOutputDir();
  const QDate day = QDate::currentDate().addDays(-1);
  const std::string archive = dir + "_archive.json";
  WriteArchive(archive, day, "10:00:00", "10:10:00");
  Simulator sim;
  ASSERT_TRUE(sim.Start({"--archive", QString::fromStdString(archive)})) << sim.Output();
  // Nothing recorded in the span: the recorder sends nothing, the job ends
  // after 15 s without a frame.
  QStringList args = RecorderArgs(sim);
  args << "--backup"
       << "1"
       << "--from" << Stamp(day, "14:00:00") << "--to" << Stamp(day, "14:01:00") << "--out"
       << QString::fromStdString(dir + "/none.mov");
  const ViewerResult r = RunViewer(args, "refused", std::chrono::seconds(120));
  ASSERT_TRUE(r.finished) << r.output;
  EXPECT_EQ(1, r.exitCode) << r.output;
  EXPECT_NE(std::string::npos, r.output.find("backup incomplete")) << r.output;
}

TEST(BackupE2e, BadBackupOptionsExitTwo) {
  const QStringList cases[] = {
      {"--dvr-ip", kAddress, "--backup", "0", "--from", "2026-01-01T00:00:00", "--to",
       "2026-01-01T00:01:00", "--out", "x.mov"},
      {"--dvr-ip", kAddress, "--backup", "1", "--from", "2026-01-01 00:00:00", "--to",
       "2026-01-01T00:01:00", "--out", "x.mov"},
      {"--dvr-ip", kAddress, "--backup", "1", "--from", "2026-01-01T00:02:00", "--to",
       "2026-01-01T00:01:00", "--out", "x.mov"},
      {"--dvr-ip", kAddress, "--backup", "1", "--from", "2026-01-01T00:00:00"},
      {"--backup", "1", "--from", "2026-01-01T00:00:00", "--to", "2026-01-01T00:01:00", "--out",
       "x.mov"},
  };
  for (const QStringList& args : cases) {
    const ViewerResult r = RunViewer(args, "bad", std::chrono::seconds(60));
    ASSERT_TRUE(r.finished) << r.output;
    EXPECT_EQ(2, r.exitCode) << args.join(' ').toStdString() << "\n" << r.output;
  }
}

}  // namespace
}  // namespace tevrano::e2e
