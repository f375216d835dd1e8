// What the backup end-to-end tests share: the archive they give the
// simulator and the checks of a written movie.
#pragma once
#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tests/e2e/E2eHarness.h"

namespace tevrano::e2e {

inline void WriteArchive(const std::string& path, const QDate& day, const char* from,
                         const char* to) {
  const std::string d = day.toString("yyyy-MM-dd").toStdString();
  std::ofstream f(path);
  f << "{\"channels\": {\"1\": [[\"" << d << "T" << from << "\", \"" << d << "T" << to << "\"]]}}";
}

inline QString Stamp(const QDate& day, const char* time) {
  return day.toString("yyyy-MM-dd") + "T" + time;
}

// Starts `sim` with camera 1 recorded on `day` from `from` to `to` (the
// archive lies beside the test's folder, which the simulator empties) and
// the options `extra`.
inline ::testing::AssertionResult StartRecorded(Simulator& sim, const std::string& dir,
                                                const QDate& day, const char* from, const char* to,
                                                const QStringList& extra) {
  const std::string archive = dir + "_archive.json";
  WriteArchive(archive, day, from, to);
  if (sim.Start(QStringList{"--archive", QString::fromStdString(archive)} + extra))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << sim.Output();
}

// Recorder seconds since 2000-01-01 (whose year 2000 counts 365 days).
inline int64_t RecorderSeconds(const QDate& d, int hour, int minute, int second = 0) {
  int64_t days = QDate(2000, 1, 1).daysTo(d);
  if (d >= QDate(2000, 3, 1)) --days;
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

// The Backup page driven by a script, as a user does it: the Backup page and
// camera 1 on the key panel, the span's start and end each chosen on the
// calendar (a day cell of this month's grid, a half-hour slot, then minute
// steps) and confirmed, then the start button. Every step waits for the
// key panel's variables to show it took effect.
struct PageSpan {
  QDate day;
  int fromSlot = 1, fromMinutes = 0;  // slot k starts at (k - 1) × 30 minutes
  int toSlot = 1, toMinutes = 0;
  int midPercent = 0;  // > 0: a dump once the progress reaches it
};
struct PageBackupResult {
  ViewerResult run;
  std::string home;    // the viewer's home: the movies go to its DVR_Backup
  QJsonObject middle;  // the dump at midPercent (when asked)
  QJsonObject end;     // the dump once the backup ended
};

inline QJsonObject ReadJsonFile(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(f.readAll()).object();
}

inline int SlotMinutes(int slot) {
  return (slot - 1) * 30;
}

inline PageBackupResult RunPageBackup(const Simulator& sim, const std::string& dir,
                                      const PageSpan& span, std::chrono::seconds timeout) {
  PageBackupResult r;
  r.home = dir + "/home";
  QDir().mkpath(QString::fromStdString(r.home));
  // The calendar opens on this month; its grid starts on the Sunday before
  // the 1st (a whole week when the 1st is a Sunday), so yesterday is in it.
  const QDate today = QDate::currentDate();
  const QDate first(today.year(), today.month(), 1);
  const int w = first.dayOfWeek() % 7;
  const QDate gridStart = first.addDays(-(w == 0 ? 7 : w));
  const int cell = int(gridStart.daysTo(span.day)) + 1;
  const int64_t dayStart = RecorderSeconds(span.day, 0, 0);

  const std::string script = dir + "/backup_page.txt";
  {
    std::ofstream f(script);
    f << "wait-until logged-in\n"
         "wait-until picture\n"
         "click-target TevranoKeyForm IE_Page2#SD 3\n"
         "wait-until interface IE_Page2#SD = 2\n"
         "click-target TevranoKeyForm IE_DOING#SD 1\n"
         "wait-until interface IE_DOING#SD = 0\n";
    auto choose = [&](int which, int slot, int minutes, const char* result) {
      const int64_t at = dayStart + int64_t(SlotMinutes(slot)) * 60;
      f << "click-target TevranoKeyForm IE_SET_T#SD " << which << "\n"
        << "wait-until interface IE_Month_T#SD = " << which << "\n"
        << "click-target TevranoKeyForm Mon_Cmd#SD " << cell << "\n"
        << "wait-until interface Mon_Time#SD = " << dayStart << "\n"
        << "click-target TevranoKeyForm IE_ST3#SD " << slot << "\n"
        << "wait-until interface Mon_Time#SD = " << at << "\n";
      // The minute arrow (the second of the three time steps).
      for (int m = 1; m <= minutes; ++m)
        f << "click-target TevranoKeyForm Mon_Add#SD 3\n"
          << "wait-until interface Mon_Time#SD = " << at + m * 60 << "\n";
      f << "click-target TevranoKeyForm IE_OK#SD 1\n"
        << "wait-until interface " << result << " = " << at + minutes * 60 << "\n"
        << "wait-until interface IE_Month_T#SD = 0\n";
    };
    choose(2, span.fromSlot, span.fromMinutes, "Mon_B_F_T#SD");
    choose(3, span.toSlot, span.toMinutes, "Mon_B_T_T#SD");
    f << "click-target TevranoKeyForm IE_ST#SD 1\n"
         "wait-until interface IE_ST2#SD = 1\n";
    if (span.midPercent > 0)
      f << "wait-until interface IE_percentage#SD >= " << span.midPercent << " " << timeout.count()
        << "\n"
        << "dump " << dir << "/middle.json\n"
        << "snapshot " << dir << "/keyform_middle.png Image1\n";
    f << "wait-until backup-ended " << timeout.count() << "\n"
      << "dump " << dir << "/end.json\n"
      << "snapshot " << dir << "/keyform_end.png Image1\n"
      << "quit\n";
  }

  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("HOME", QString::fromStdString(r.home));
  p.setProcessEnvironment(env);
  QStringList args{"--headless", "--script", QString::fromStdString(script)};
  args += RecorderArgs(sim);
  p.start(TEVRANO_VIEWER, args);
  if (!p.waitForStarted(10000)) return r;
  r.run.finished = p.waitForFinished(int(timeout.count() + 120) * 1000);
  if (!r.run.finished) {
    p.kill();
    p.waitForFinished(5000);
  }
  r.run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.run.output = p.readAll().toStdString();
  if (span.midPercent > 0) r.middle = ReadJsonFile(dir + "/middle.json");
  r.end = ReadJsonFile(dir + "/end.json");
  return r;
}

// The movies of a page backup in the viewer's DVR_Backup, by name.
inline QStringList BackupMovies(const std::string& home) {
  return QDir(QString::fromStdString(home + "/DVR_Backup"))
      .entryList({"*.mov"}, QDir::Files, QDir::Name);
}

inline uint32_t Be32(const std::vector<uint8_t>& f, size_t at) {
  return at + 4 <= f.size() ? uint32_t(f[at]) << 24 | uint32_t(f[at + 1]) << 16 |
                                  uint32_t(f[at + 2]) << 8 | f[at + 3]
                            : 0;
}

// The index read of the recorder's USB agent (op 1): the sample-size and
// chunk-offset tables found from the sync-sample atom in the 2,048 bytes
// after movie atom + 576.
struct MovieIndex {
  bool ok = false;
  uint32_t count = 0;
  std::vector<uint32_t> sizes, offsets;
};
inline MovieIndex AgentIndexRead(const std::vector<uint8_t>& f) {
  MovieIndex r;
  if (f.size() < 48 || std::memcmp(f.data() + 44, "mdat", 4) != 0) return r;
  const size_t moov = 40 + size_t(Be32(f, 40));
  if (moov + 576 > f.size() || std::memcmp(f.data() + moov + 4, "moov", 4) != 0 ||
      std::memcmp(f.data() + moov + 42, "vorn", 4) != 0 || f[moov + 46] != 2 || f[moov + 47] != 1)
    return r;
  size_t p = 0;
  for (; p < 2048; ++p)
    if (moov + 576 + p + 4 <= f.size() && std::memcmp(f.data() + moov + 576 + p, "stss", 4) == 0)
      break;
  if (p == 2048) return r;
  const size_t stss = moov + 576 + p - 4;
  const size_t stsc = stss + Be32(f, stss);
  const size_t stsz = stsc + Be32(f, stsc);
  const size_t stco = stsz + Be32(f, stsz);
  r.count = Be32(f, stsz + 16);
  if (r.count == 0 || r.count > 65535) return r;
  for (uint32_t i = 0; i < r.count; ++i) {
    r.sizes.push_back(Be32(f, stsz + 20 + 4 * i));
    r.offsets.push_back(Be32(f, stco + 16 + 4 * i));
  }
  r.ok = true;
  return r;
}

// The recorder's USB agent itself, when built: its index read (command 6,
// op 1) on the movie copied to a stick folder, through the proc files it
// reads and writes under USB_AGENT_ROOT. Empty `ok` when the agent is not
// built.
struct AgentAnswer {
  bool ran = false;
  int32_t status = -1;
  std::vector<uint8_t> qti, stsz, stco;
};
AgentAnswer RunAgentIndexRead(const std::string& movie, const std::string& root, int op = 1);

inline std::string Run(const QString& program, const QStringList& args, int* exitCode) {
  QProcess p;
  p.setProgram(program);
  p.setArguments(args);
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start();
  if (!p.waitForFinished(300000)) {
    *exitCode = -1;
    return "timed out";
  }
  *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  return p.readAll().toStdString();
}

inline bool HaveFfmpeg() {
  int code = 0;
  Run("ffprobe", {"-version"}, &code);
  return code == 0;
}

inline bool HaveMediainfo() {
  int code = 0;
  Run("mediainfo", {"--Version"}, &code);
  return code == 0;
}

// mediainfo's reading of a movie: a QuickTime file, not cut short, with an
// AVC video track of `videoFrames` frames, 8 kHz PCM sound and a text track
// of one sample a second, whose durations agree.
inline void CheckMediainfo(const std::string& path, uint32_t videoFrames) {
  if (!HaveMediainfo()) {
    std::printf("mediainfo not installed: its reading not checked\n");
    return;
  }
  int code = 0;
  const std::string info = Run("mediainfo", {"--Output=JSON", QString::fromStdString(path)}, &code);
  ASSERT_EQ(0, code) << info;
  const QJsonArray tracks = QJsonDocument::fromJson(QByteArray::fromStdString(info))
                                .object()
                                .value("media")
                                .toObject()
                                .value("track")
                                .toArray();
  ASSERT_EQ(4, tracks.size()) << info;
  const double seconds = videoFrames / 25.0;
  bool general = false, video = false, audio = false, text = false;
  for (const auto& t : tracks) {
    const QJsonObject o = t.toObject();
    const QString type = o.value("@type").toString();
    const double duration = o.value("Duration").toString().toDouble();
    if (type == "General") {
      general = true;
      EXPECT_EQ("QuickTime", o.value("Format_Profile").toString()) << info;
      EXPECT_FALSE(o.value("extra").toObject().contains("IsTruncated")) << info;
      EXPECT_NEAR(seconds, duration, 0.05) << info;
    } else if (type == "Video") {
      video = true;
      EXPECT_EQ("AVC", o.value("Format").toString()) << info;
      EXPECT_EQ(QString::number(videoFrames), o.value("FrameCount").toString()) << info;
      EXPECT_NEAR(seconds, duration, 0.05) << info;
    } else if (type == "Audio") {
      audio = true;
      EXPECT_EQ("PCM", o.value("Format").toString()) << info;
      EXPECT_EQ("8000", o.value("SamplingRate").toString()) << info;
      EXPECT_NEAR(seconds, duration, 1.0) << info;
    } else if (type == "Text") {
      text = true;
      EXPECT_NEAR(seconds, o.value("FrameCount").toString().toDouble(), 1.5) << info;
      EXPECT_NEAR(seconds, duration, 0.05) << info;
    }
  }
  EXPECT_TRUE(general && video && audio && text) << info;
}

// Checks one movie: the agent's index matches the samples in the file,
// ffprobe finds video (with `videoFrames` frames; 0: as many as the index
// holds), sound and text streams whose durations agree, ffmpeg decodes
// every frame without an error, and mediainfo reads it whole.
inline void CheckMovie(const std::string& path, uint32_t videoFrames) {
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path;
  const QByteArray bytes = file.readAll();
  const std::vector<uint8_t> f(bytes.begin(), bytes.end());
  EXPECT_EQ(0u, f.size() % 512) << path;
  const MovieIndex index = AgentIndexRead(f);
  ASSERT_TRUE(index.ok) << path;
  if (videoFrames == 0) videoFrames = index.count;
  EXPECT_EQ(videoFrames, index.count) << path;
  const size_t moov = 40 + size_t(Be32(f, 40));
  for (uint32_t i = 0; i < index.count; ++i) {
    const size_t at = index.offsets[i], size = index.sizes[i];
    ASSERT_LE(at + size, moov) << path << " sample " << i;
    // A recorded frame ends with its tail (00 00 00 02, FrameHeader); a
    // skip frame is 32 bytes.
    if (size != 32) {
      ASSERT_EQ(2u, Be32(f, at + size - 64)) << path << " sample " << i;
      ASSERT_EQ(3, f[at + size - 57]) << path << " sample " << i;
    }
  }

  // The signature block after the movie atom: its words sum up, and with
  // the rotation undone word 9 is the recorder's watermark for camera 1
  // (the simulator answers 0x57A70000 + channel), which word 1 carries
  // encrypted with the key (N 323, e 5; d 173) in 16-bit values at 144.
  const size_t sig = moov + Be32(f, moov);
  ASSERT_LE(sig + 160, f.size()) << path;
  auto le = [&](size_t at) {
    return uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 |
           uint32_t(f[at + 3]) << 24;
  };
  uint32_t sum = 0, words[40];
  for (int i = 0; i < 40; ++i) {
    words[i] = le(sig + 4 * size_t(i));
    if (i < 39) sum += words[i];
    words[i] = words[i] >> 1 | words[i] << 31;
  }
  EXPECT_EQ(sum, le(sig + 156)) << path;
  EXPECT_EQ(0x57A70000u, words[9]) << path;
  uint32_t watermark = 0;
  for (int b = 0; b < 4; ++b) {
    const uint32_t word = words[36 + b / 2];
    const uint32_t c = (word >> (16 * (b % 2))) & 0xFFFF;
    uint32_t m = 1;
    for (int k = 0; k < 173; ++k) m = m * c % 323;
    watermark |= m << (8 * b);
  }
  EXPECT_EQ(0x57A70000u, watermark) << path;

  // The agent's own index read returns the same tables, in its native
  // (little-endian) order, and the positions of the two atoms.
  const AgentAnswer agent = RunAgentIndexRead(path, path + ".stick");
  if (agent.ran) {
    EXPECT_EQ(4, agent.status) << path;
    ASSERT_EQ(20u, agent.qti.size()) << path;
    auto le = [](const std::vector<uint8_t>& b, size_t at) {
      return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
             uint32_t(b[at + 3]) << 24;
    };
    EXPECT_EQ(index.count, le(agent.qti, 16)) << path;
    ASSERT_EQ(size_t(index.count) * 4, agent.stsz.size()) << path;
    ASSERT_EQ(size_t(index.count) * 4, agent.stco.size()) << path;
    for (uint32_t i = 0; i < index.count; ++i) {
      ASSERT_EQ(index.sizes[i], le(agent.stsz, 4 * i)) << path << " entry " << i;
      ASSERT_EQ(index.offsets[i], le(agent.stco, 4 * i)) << path << " entry " << i;
    }
    // Op 2: the first entry only.
    const AgentAnswer first = RunAgentIndexRead(path, path + ".stick", 2);
    ASSERT_EQ(20u, first.qti.size()) << path;
    EXPECT_EQ(1u, le(first.qti, 16)) << path;
    ASSERT_EQ(4u, first.stsz.size()) << path;
    EXPECT_EQ(index.sizes[0], le(first.stsz, 0)) << path;
    EXPECT_EQ(index.offsets[0], le(first.stco, 0)) << path;
  } else {
    std::printf("usb_storage_agent not built: its index read not run\n");
  }

  if (!HaveFfmpeg()) {
    std::printf("ffprobe/ffmpeg not installed: players' reading not checked\n");
    CheckMediainfo(path, videoFrames);
    return;
  }
  int code = 0;
  const std::string probe = Run(
      "ffprobe",
      {"-v", "error", "-count_frames", "-show_entries", "stream=codec_type,nb_read_frames,duration",
       "-of", "json", QString::fromStdString(path)},
      &code);
  ASSERT_EQ(0, code) << probe;
  const QJsonArray streams =
      QJsonDocument::fromJson(QByteArray::fromStdString(probe)).object().value("streams").toArray();
  ASSERT_EQ(3, streams.size()) << probe;
  double videoDuration = 0;
  bool sound = false, text = false;
  for (const auto& s : streams) {
    const QJsonObject o = s.toObject();
    const QString type = o.value("codec_type").toString();
    const double duration = o.value("duration").toString().toDouble();
    if (type == "video") {
      EXPECT_EQ(QString::number(videoFrames), o.value("nb_read_frames").toString()) << probe;
      videoDuration = duration;
      EXPECT_NEAR(videoFrames / 25.0, duration, 0.05) << probe;
    } else if (type == "audio") {
      sound = true;
      EXPECT_NEAR(videoFrames / 25.0, duration, 1.0) << probe;
    } else if (type == "subtitle") {
      text = true;
      // One text sample a second of video.
      const int samples = o.value("nb_read_frames").toString().toInt();
      EXPECT_NEAR(videoFrames / 25.0, samples, 1.5) << probe;
    }
  }
  EXPECT_TRUE(sound) << probe;
  EXPECT_TRUE(text) << probe;
  EXPECT_GT(videoDuration, 0);
  const std::string decode =
      Run("ffmpeg", {"-v", "error", "-i", QString::fromStdString(path), "-f", "null", "-"}, &code);
  EXPECT_EQ(0, code) << decode;
  EXPECT_EQ("", decode) << path;
  CheckMediainfo(path, videoFrames);
}

inline AgentAnswer RunAgentIndexRead(const std::string& movie, const std::string& root, int op) {
  AgentAnswer a;
#if defined(TEVRANO_AGENT)
  QDir(QString::fromStdString(root)).removeRecursively();
  QDir().mkpath(QString::fromStdString(root + "/proc/dvr"));
  QDir().mkpath(QString::fromStdString(root + "/mnt/Movie"));
  if (!QFile::copy(QString::fromStdString(movie),
                   QString::fromStdString(root + "/mnt/Movie/m.mov")))
    return a;
  auto put = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
    QFile f(QString::fromStdString(root + "/proc/dvr/" + name));
    if (f.open(QIODevice::WriteOnly))
      f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
  };
  auto le32 = [](std::vector<uint8_t>& out, int32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(uint32_t(v) >> (8 * i)));
  };
  std::vector<uint8_t> command, request;
  le32(command, 6);   // read
  le32(request, op);  // 1: the whole index, 2: its first entry
  le32(request, 2);   // format bytes 02 01
  le32(request, 1);
  le32(request, 0);
  le32(request, 0);
  le32(request, 0);  // below /mnt/Movie
  const char name[] = "m.mov";
  for (size_t i = 0; i < 64; ++i) request.push_back(i < sizeof name - 1 ? uint8_t(name[i]) : 0);
  put("usb_storage_com", command);
  put("usb_storage_inf", request);
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("USB_AGENT_ROOT", QString::fromStdString(root));
  p.setProcessEnvironment(env);
  p.start(TEVRANO_AGENT, {});
  if (!p.waitForFinished(60000)) return a;
  auto read = [&](const std::string& name) {
    QFile f(QString::fromStdString(root + "/proc/dvr/" + name));
    if (!f.open(QIODevice::ReadOnly)) return std::vector<uint8_t>{};
    const QByteArray b = f.readAll();
    return std::vector<uint8_t>(b.begin(), b.end());
  };
  a.ran = true;
  a.qti = read("usb_storage_inf");
  a.stsz = read("usb_storage_stsz");
  a.stco = read("usb_storage_stco");
  const std::vector<uint8_t> status = read("usb_storage");
  if (status.size() >= 4)
    a.status = int32_t(uint32_t(status[0]) | uint32_t(status[1]) << 8 | uint32_t(status[2]) << 16 |
                       uint32_t(status[3]) << 24);
  QDir(QString::fromStdString(root)).removeRecursively();
#else
  (void)movie;
  (void)root;
  (void)op;
#endif
  return a;
}

}  // namespace tevrano::e2e
