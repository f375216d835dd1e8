#include "record/BackupJob.h"

#include <gtest/gtest.h>

#include "base/RecorderTime.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/ManualClock.h"
#include "record/BackupNames.h"
#include "stream/ParamSetPrefix.h"
#include "stream/StreamConnection.h"
#include "tests/record/MovieFixtures.h"
#include "view/ViewRecords.h"

namespace tevrano::record {
namespace {

using test::AudioPacket;
using test::PacketSpec;
using test::VideoPacket;

constexpr uint32_t kStart = 300000;

class BackupJobTest : public ::testing::Test {
 protected:
  platform::FakeFileSystem files;
  platform::ManualClock clock;
  ViewState view{};
  StreamContextLinks links;
  StreamConnection c;
  BackupJob job{files, clock};
  int finishedCalls = 0;
  bool finishedComplete = false;
  std::string openedFolder;
  uint32_t requestedChannel = 99;

  void SetUp() override {
    files.AddFolder("/out");
    links.view = &view;
    c.Context = &links;
    c.FrameBuffer.reset(new uint8_t[StreamConnection::kBufferSize]);
    view.Mode = kModeBackup;
    job.Hooks().requestWatermark = [this](uint32_t ch) { requestedChannel = ch; };
    job.Hooks().watermarkAnswer = [](uint32_t& v) {
      v = 0x57A70003;
      return true;
    };
    job.Hooks().finished = [this](bool complete) {
      ++finishedCalls;
      finishedComplete = complete;
      view.Backup.State = 0;
    };
    job.Hooks().openFolder = [this](const std::string& f) { openedFolder = f; };
  }
  void Start(uint32_t from, uint32_t to, const std::string& path = "/out/movie.mov") {
    view.Backup.Channel = 3;
    view.Backup.StartTime = from;
    view.Backup.EndTime = to;
    view.Backup.State = 1;
    job.SetBasePath(path);
    job.ResetPart();
    job.SetState(BackupJob::kStart);
  }
  PacketSpec Spec(uint32_t sec, uint32_t frame, bool key, uint32_t offset = 0) {
    PacketSpec s;
    s.seconds = sec;
    s.frame = frame;
    s.key = key;
    s.timeOffset = offset;
    s.channel = 3;
    return s;
  }
  // Hands a packet to the job as the parser does; the job may hold it.
  void Give(const std::vector<uint8_t>& p) {
    for (int tries = 0; tries < 8; ++tries) {
      if (c.FrameLength == 0) {
        std::memcpy(c.FrameBuffer.get(), p.data(), p.size());
        c.FrameLength = uint32_t(p.size());
        job.Step(c);
        if (c.FrameLength == 0) return;
      } else {
        job.Step(c);
        if (c.FrameLength == 0) {
          std::memcpy(c.FrameBuffer.get(), p.data(), p.size());
          c.FrameLength = uint32_t(p.size());
          job.Step(c);
          if (c.FrameLength == 0) return;
        }
      }
      clock.AdvanceMs(10);
    }
  }
  void Video(uint32_t sec, uint32_t frame, uint32_t offset = 0) {
    const bool key = frame == 0;
    Give(VideoPacket(Spec(sec, frame, key, offset),
                     {key ? std::vector<uint8_t>{0x65, 0x88, 0x80}
                          : std::vector<uint8_t>{0x41, 0x9A, 0x02, 0x80}}));
  }
  void Seconds(uint32_t from, uint32_t to, uint32_t offset = 0) {
    for (uint32_t s = from; s < to; ++s)
      for (uint32_t f = 0; f < 30; ++f) Video(s, f, offset);
  }
  uint32_t MovieSamples(const std::string& path) {
    const auto f = files.Contents(path);
    if (!f || f->size() < 48) return 0;
    const size_t moov = 40 + LoadBe32(f->data() + 40);
    for (size_t p = moov + 576; p + 4 < f->size() && p < moov + 2624; ++p)
      if (std::memcmp(f->data() + p, "stss", 4) == 0) {
        const size_t stss = p - 4;
        const size_t stsc = stss + LoadBe32(f->data() + stss);
        const size_t stsz = stsc + LoadBe32(f->data() + stsc);
        return LoadBe32(f->data() + stsz + 16);
      }
    return 0;
  }
  uint32_t MovieCreation(const std::string& path) {
    const auto f = files.Contents(path);
    const size_t moov = 40 + LoadBe32(f->data() + 40);
    return LoadBe32(f->data() + moov + 20);
  }
};

TEST(BackupNamesTest, NamesAndPaths) {
  struct Case {
    const char* path;
    const char* base;
  } cases[] = {{"/a/movie.mov", "/a/movie"},
               {"/a/MOVIE.MOV", "/a/MOVIE"},
               {"/a/m.mov.bak", "/a/m.mov.bak"},
               {"/a.mov/x", "/a.mov/x"},
               {"x.Mov", "x"},
               {".mov", ""}};
  for (const auto& c : cases) EXPECT_EQ(c.base, MovieBase(c.path)) << c.path;
  EXPECT_EQ("/a/m.mov", MoviePartName("/a/m", 0));
  EXPECT_EQ("/a/m(1).mov", MoviePartName("/a/m", 1));
  EXPECT_EQ("/a/m(12).mov", MoviePartName("/a/m", 12));
  EXPECT_EQ("/home/u/DVR_Backup", BackupFolder("/home/u/"));
  EXPECT_EQ("/DVR_Backup", BackupFolder("/"));
  EXPECT_EQ("/home/u", FolderOf("/home/u/m.mov"));
  EXPECT_EQ(".", FolderOf("m.mov"));
  // 2009-03-07 14:05:09, camera index 9.
  const uint32_t t = ui::PackRecorderTime(2009, 3, 7, 14, 5, 9);
  EXPECT_EQ("ch10_20090307_140509_000000042.mov", DefaultBackupName(9, t, 42));
  EXPECT_EQ("ch01_20090307_140509_123456789.mov", DefaultBackupName(0, t, 123456789));
}

TEST(BackupTimeBaseTest, ChosenFromThreeOffsets) {
  struct Case {
    int32_t o1, o2, o3, base;
  } cases[] = {{5, 5, 7, 5},
               {5, 7, 5, 5},
               {7, 5, 5, 5},
               {1, 2, 3, 3},
               {-3, -3, 0, -3},
               {70000, 70000, 9, 9},
               {70000, 9, 70000, 70000},
               {70000, 1, 2, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(c.base, ChooseTimeBase(c.o1, c.o2, c.o3)) << c.o1 << " " << c.o2 << " " << c.o3;
}

TEST_F(BackupJobTest, ALongSpanBecomesMovieAndMovie1) {
  Start(kStart, kStart + 1860);
  Seconds(kStart, kStart + 1860);
  Video(kStart + 1860, 0);  // the recorder closes the span at its end time
  job.Poll(c);
  EXPECT_EQ(3u, requestedChannel);
  EXPECT_EQ(BackupOutcome::kComplete, job.Outcome());
  EXPECT_EQ(1, finishedCalls);
  EXPECT_TRUE(finishedComplete);
  EXPECT_EQ(2, job.PartsWritten());
  EXPECT_EQ(100, job.Percent());
  EXPECT_EQ(1800u * 30, MovieSamples("/out/movie.mov"));
  EXPECT_EQ(60u * 30 + 1, MovieSamples("/out/movie(1).mov"));
  EXPECT_EQ(kStart, MovieCreation("/out/movie.mov"));
  EXPECT_EQ(kStart + 1800, MovieCreation("/out/movie(1).mov"));
  EXPECT_EQ("/out", openedFolder);
}

TEST_F(BackupJobTest, TheTimeBaseMovesTheLimits) {
  // The recorder's seconds run 5 behind the shown time.
  Start(kStart, kStart + 3);
  Seconds(kStart - 5, kStart - 2, 5);
  Video(kStart - 2, 0, 5);
  EXPECT_EQ(BackupOutcome::kComplete, job.Outcome());
  EXPECT_EQ(3u * 30 + 1, MovieSamples("/out/movie.mov"));
}

TEST_F(BackupJobTest, FifteenSecondsWithoutFramesEndIncompleteWithTheMovieFinished) {
  Start(kStart, kStart + 100);
  Seconds(kStart, kStart + 2);
  clock.AdvanceMs(14000);
  job.Poll(c);
  EXPECT_EQ(BackupOutcome::kRunning, job.Outcome());
  clock.AdvanceMs(1001);
  job.Poll(c);
  EXPECT_EQ(BackupOutcome::kIncomplete, job.Outcome());
  EXPECT_FALSE(finishedComplete);
  EXPECT_EQ(60u, MovieSamples("/out/movie.mov"));
}

TEST_F(BackupJobTest, AFileThatCannotBeCreatedEndsIncomplete) {
  Start(kStart, kStart + 100, "/missing/movie.mov");
  Video(kStart, 0);
  job.Poll(c);
  EXPECT_EQ(BackupOutcome::kIncomplete, job.Outcome());
  EXPECT_EQ(1, finishedCalls);
  EXPECT_EQ("", openedFolder);
}

TEST_F(BackupJobTest, StoppingMidwayFinishesTheMovieAsIncomplete) {
  Start(kStart, kStart + 100);
  Seconds(kStart, kStart + 1);
  view.Backup.State = 0;
  job.SetState(BackupJob::kEnd);
  job.Poll(c);
  EXPECT_EQ(BackupOutcome::kIncomplete, job.Outcome());
  EXPECT_EQ(30u, MovieSamples("/out/movie.mov"));
}

TEST_F(BackupJobTest, AFrameFarPastTheEndEndsIncomplete) {
  Start(kStart, kStart + 100);
  Seconds(kStart, kStart + 1);
  Video(kStart + 200, 0);
  job.Poll(c);
  EXPECT_EQ(BackupOutcome::kIncomplete, job.Outcome());
  EXPECT_EQ(30u, MovieSamples("/out/movie.mov"));
}

// The live stream's packets from before the backup request may reach the
// job among the span's: video ahead of the span's first frame (the rings
// keep the arrival order), sound at any time (the audio ring is read apart
// from the video). None of them is the span's: none is written, none
// starts the movie, none ends the backup, which goes on to its end.
TEST_F(BackupJobTest, LivePacketsFromBeforeTheRequestNeitherStartNorEndTheBackup) {
  constexpr uint32_t kLive = kStart + 3600;  // the recorder's clock now
  struct Case {
    const char* what;
    bool sound;
    uint32_t liveSecond, liveFrame;
    uint32_t spanSecondsBefore;  // seconds of the span given before it
  } cases[] = {
      {"live sound after the movie started", true, kLive, 18, 1},
      {"live sound before the span", true, kLive, 18, 0},
      {"live I-frame before the span", false, kLive, 0, 0},
      {"live P-frame before the span", false, kLive, 7, 0},
      {"live I-frame at the span's end before the span", false, kStart + 2, 0, 0},
  };
  int n = 0;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const std::string path = "/out/movie" + std::to_string(n++) + ".mov";
    finishedCalls = 0;
    Start(kStart, kStart + 2, path);
    Seconds(kStart, kStart + k.spanSecondsBefore);
    if (k.sound)
      Give(AudioPacket(Spec(k.liveSecond, k.liveFrame, true), 512, 1));
    else
      Video(k.liveSecond, k.liveFrame);
    EXPECT_EQ(BackupOutcome::kRunning, job.Outcome());
    Seconds(kStart + k.spanSecondsBefore, kStart + 2);
    Video(kStart + 2, 0);
    EXPECT_EQ(BackupOutcome::kComplete, job.Outcome());
    EXPECT_EQ(1, finishedCalls);
    EXPECT_EQ(2u * 30 + 1, MovieSamples(path));
    EXPECT_EQ(kStart, MovieCreation(path));
    EXPECT_EQ(0, job.Writer().AudioSamples());
  }
}

// Packets that are not the span's are no sign of life: a recorder that
// sends only those ends the backup after 15 s, as one that sends nothing.
TEST_F(BackupJobTest, PacketsNotOfTheSpanDoNotKeepAStalledBackupAlive) {
  Start(kStart, kStart + 100);
  Seconds(kStart, kStart + 1);
  for (int i = 0; i < 160 && job.Outcome() == BackupOutcome::kRunning; ++i) {
    Give(AudioPacket(Spec(kStart + 3600 + uint32_t(i / 10), 0, true), 512, 1));
    clock.AdvanceMs(100);
    job.Poll(c);
  }
  EXPECT_EQ(BackupOutcome::kIncomplete, job.Outcome());
  EXPECT_EQ(30u, MovieSamples("/out/movie.mov"));
}

// A span of exactly one part: the I-frame that closes it ends the backup
// as complete (it starts no movie(1), which would wait for more frames).
TEST_F(BackupJobTest, ASpanOfExactlyOnePartEndsComplete) {
  Start(kStart, kStart + 1800);
  Seconds(kStart, kStart + 1800);
  Video(kStart + 1800, 0);
  job.Poll(c);
  EXPECT_EQ(BackupOutcome::kComplete, job.Outcome());
  EXPECT_EQ(1800u * 30, MovieSamples("/out/movie.mov"));
  EXPECT_FALSE(files.Contents("/out/movie(1).mov"));
}

TEST_F(BackupJobTest, APictureSizeChangeStartsTheNextPartAtItsIFrame) {
  Start(kStart, kStart + 4);
  Seconds(kStart, kStart + 2);
  for (uint32_t s = kStart + 2; s < kStart + 4; ++s)
    for (uint32_t f = 0; f < 30; ++f) {
      PacketSpec p = Spec(s, f, f == 0);
      p.widthMb = 4;
      Give(VideoPacket(p, {{uint8_t(f == 0 ? 0x65 : 0x41), 0x9A, 0x80}}));
    }
  PacketSpec end = Spec(kStart + 4, 0, true);
  end.widthMb = 4;
  Give(VideoPacket(end, {{0x65, 0x88, 0x80}}));
  EXPECT_EQ(BackupOutcome::kComplete, job.Outcome());
  EXPECT_EQ(60u, MovieSamples("/out/movie.mov"));
  EXPECT_EQ(61u, MovieSamples("/out/movie(1).mov"));
  EXPECT_EQ(kStart + 2, MovieCreation("/out/movie(1).mov"));
}

TEST_F(BackupJobTest, SoundGoesIntoTheMovieOnceVideoHasStarted) {
  Start(kStart, kStart + 2);
  job.StepAudio(c, AudioPacket(Spec(kStart, 0, true), 512, 1).data(), 64 + 1024);
  Seconds(kStart, kStart + 1);
  for (uint32_t f = 0; f < 30; f += 2) {
    auto a = AudioPacket(Spec(kStart, f, true), 512, 1);
    job.StepAudio(c, a.data(), uint32_t(a.size()));
  }
  EXPECT_EQ(int64_t(15 * 512), job.Writer().AudioSamples());
  Video(kStart + 2, 0);
  EXPECT_EQ(BackupOutcome::kComplete, job.Outcome());
}

TEST_F(BackupJobTest, FramesOfSeveralPacketsAreJoined) {
  Start(kStart, kStart + 1);
  PacketSpec s = Spec(kStart, 0, true);
  s.extraPackets = 1;
  auto first = VideoPacket(s, {{0x65, 0x88, 0x80}});
  s.extraPackets = 0;
  auto second = VideoPacket(s, {{0x65, 0x88, 0x84}});
  Give(first);
  Give(second);
  Video(kStart, 1);
  Video(kStart, 2);
  Video(kStart + 1, 0);
  EXPECT_EQ(BackupOutcome::kComplete, job.Outcome());
  EXPECT_EQ(31u, MovieSamples("/out/movie.mov"));
}

// The preview (state 5): each whole I-frame of the stream is shown on
// display slot 0 with its parameter sets in front, written over the
// FrameHeader; everything else is dropped; nothing is written.
TEST_F(BackupJobTest, ThePreviewShowsWholeIFramesLedByTheirParameterSets) {
  std::vector<std::vector<uint8_t>> shown;
  job.Hooks().showPreview = [&](const uint8_t* f, uint32_t n) { shown.emplace_back(f, f + n); };
  view.Backup.State = 2;
  job.SetState(BackupJob::kPreview);
  struct Case {
    const char* what;
    bool key;
    uint32_t extraPackets;
    bool audio;
    bool shown;
  };
  const Case cases[] = {{"whole I-frame", true, 0, false, true},
                        {"P-frame", false, 0, false, false},
                        {"first packet of an I-frame of two", true, 1, false, false},
                        {"sound", false, 0, true, false}};
  const std::vector<uint8_t> slice{0x65, 0x88, 0x80, 0x40};
  for (const Case& k : cases) {
    shown.clear();
    PacketSpec s = Spec(kStart, 0, k.key);
    s.extraPackets = k.extraPackets;
    const std::vector<uint8_t> p = k.audio ? AudioPacket(s, 64, 0x10) : VideoPacket(s, {slice});
    std::memcpy(c.FrameBuffer.get(), p.data(), p.size());
    c.FrameLength = uint32_t(p.size());
    EXPECT_EQ(0, job.Step(c)) << k.what;
    EXPECT_EQ(0u, c.FrameLength) << k.what;  // taken either way
    ASSERT_EQ(k.shown ? 1u : 0u, shown.size()) << k.what;
    if (!k.shown) continue;
    uint8_t prefix[ParamSetPrefix::kMaxBytes];
    const uint32_t n = ParamSetPrefix::Build(s.widthMb, s.heightMb, prefix);
    ASSERT_EQ(n + p.size() - 32, shown[0].size());
    EXPECT_TRUE(std::equal(prefix, prefix + n, shown[0].begin()));
    EXPECT_TRUE(std::equal(p.begin() + 32, p.end(), shown[0].begin() + n));
  }
  EXPECT_EQ(BackupJob::kPreview, job.State());
  // Leaving the preview (the view's end step) reports no backup.
  job.SetState(BackupJob::kEnd);
  job.Poll(c);
  EXPECT_EQ(BackupJob::kIdle, job.State());
  EXPECT_EQ(0, finishedCalls);
  EXPECT_EQ(BackupOutcome::kNone, job.Outcome());
  EXPECT_TRUE(openedFolder.empty());
  EXPECT_FALSE(files.Exists("/out/movie.mov"));
}

}  // namespace
}  // namespace tevrano::record
