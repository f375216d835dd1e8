#include "record/MovieWriter.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/fake/FakeFileSystem.h"
#include "platform/posix/PosixFileSystem.h"
#include "record/SkipFrame.h"
#include "tests/record/MovieFixtures.h"

namespace tevrano::record {
namespace {

using test::Atom;
using test::AudioPacket;
using test::FindAtom;
using test::IdrSlice;
using test::PacketSpec;
using test::PSlice;
using test::VideoPacket;

constexpr uint32_t kStart = 100000;

class MovieWriterTest : public ::testing::Test {
 protected:
  platform::FakeFileSystem files;
  MovieWriter writer;

  void SetUp() override { files.AddFolder("/out"); }

  void Begin(int64_t start = kStart, int64_t end = kStart + 3600) {
    ASSERT_TRUE(writer.Create(files, "/out/m.mov", start, end, 0x57A70001, 0));
  }
  int Feed(std::vector<uint8_t> p) {
    if (writer.CheckFrameLimits(p.data(), uint32_t(p.size())) != 0) return -2;
    return writer.WriteFrames(p.data(), uint32_t(p.size()));
  }
  PacketSpec Spec(uint32_t sec, uint32_t frame, bool key = false) {
    PacketSpec s;
    s.seconds = sec;
    s.frame = frame;
    s.key = key;
    s.widthMb = 2;
    s.heightMb = 2;
    return s;
  }
  std::vector<uint8_t> Key(uint32_t sec, uint32_t frame) {
    return VideoPacket(Spec(sec, frame, true), {IdrSlice(2, 2)});
  }
  std::vector<uint8_t> P(uint32_t sec, uint32_t frame) {
    return VideoPacket(Spec(sec, frame), {PSlice(2, 2, 0)});
  }
  std::vector<uint8_t> Finish() {
    EXPECT_TRUE(writer.FinishMovie());
    return files.Contents("/out/m.mov").value_or(std::vector<uint8_t>{});
  }
  static size_t MoovAt(const std::vector<uint8_t>& f) { return 40 + LoadBe32(f.data() + 40); }
  // The children of moov, in order.
  static std::vector<Atom> MoovChildren(const std::vector<uint8_t>& f) {
    std::vector<Atom> out;
    const size_t moov = MoovAt(f);
    const size_t end = moov + LoadBe32(f.data() + moov);
    for (size_t at = moov + 8; at + 8 <= end;) {
      const uint32_t size = LoadBe32(f.data() + at);
      if (size < 8) break;
      out.push_back({at, size});
      at += size;
    }
    return out;
  }
  static std::string Type(const std::vector<uint8_t>& f, size_t at) {
    return std::string(reinterpret_cast<const char*>(f.data() + at + 4), 4);
  }
  // An atom below the atom `in` by path.
  static Atom Below(const std::vector<uint8_t>& f, Atom in, const std::string& path) {
    const auto a = FindAtom(f, path, in.at + 8, in.at + in.size);
    EXPECT_TRUE(a.has_value()) << path;
    return a.value_or(Atom{});
  }
};

// The index read of the recorder's USB agent, as it reads our movies.
struct AgentIndex {
  bool ok = false;
  uint32_t creation = 0, modification = 0, stszAt = 0, stcoAt = 0, count = 0;
  std::vector<uint32_t> sizes, offsets;
};
AgentIndex ReadIndexLikeAgent(const std::vector<uint8_t>& f, int formatA, int formatB) {
  AgentIndex r;
  if (f.size() < 48 || std::memcmp(f.data() + 44, "mdat", 4) != 0) return r;
  const size_t moov = 40 + LoadBe32(f.data() + 40);
  if (moov + 576 > f.size()) return r;
  const uint8_t* m = f.data() + moov;
  if (std::memcmp(m + 4, "moov", 4) || std::memcmp(m + 42, "vorn", 4)) return r;
  if (int8_t(m[46]) != formatA || int8_t(m[47]) != formatB) return r;
  r.creation = LoadBe32(m + 20);
  r.modification = LoadBe32(m + 24);
  size_t p = 0;
  for (; p < 2048 && moov + 576 + p + 4 <= f.size(); ++p)
    if (std::memcmp(f.data() + moov + 576 + p, "stss", 4) == 0) break;
  if (p == 2048) return r;
  const size_t stss = moov + 576 + p - 4;
  const size_t next = stss + LoadBe32(f.data() + stss);
  const size_t stsz = next + LoadBe32(f.data() + next);
  const size_t stco = stsz + LoadBe32(f.data() + stsz);
  r.count = LoadBe32(f.data() + stsz + 16);
  r.stszAt = uint32_t(stsz);
  r.stcoAt = uint32_t(stco);
  for (uint32_t i = 0; i < r.count; ++i) {
    r.sizes.push_back(LoadBe32(f.data() + stsz + 20 + 4 * i));
    r.offsets.push_back(LoadBe32(f.data() + stco + 16 + 4 * i));
  }
  r.ok = true;
  return r;
}

TEST_F(MovieWriterTest, LayoutIsTheOneTheRecordersAgentReads) {
  Begin();
  Feed(Key(kStart, 0));
  Feed(AudioPacket(Spec(kStart, 0), 512, 0x10));
  for (uint32_t i = 1; i < 40; ++i) Feed(P(kStart + i / 30, i % 30));
  const auto f = Finish();
  ASSERT_GT(f.size(), 4096u);
  EXPECT_EQ(0, std::memcmp(f.data() + 4, "ftypqt  ", 8));
  EXPECT_EQ(0, std::memcmp(f.data() + 36, "wide", 4));
  EXPECT_EQ(0, std::memcmp(f.data() + 44, "mdat", 4));
  const size_t moov = MoovAt(f);
  EXPECT_EQ("moov", Type(f, moov));
  EXPECT_EQ("mvhd", Type(f, moov + 8));
  EXPECT_EQ(108u, LoadBe32(f.data() + moov + 8));
  EXPECT_EQ(0, std::memcmp(f.data() + moov + 42, "vorn", 4));
  EXPECT_EQ(2, f[moov + 46]);
  EXPECT_EQ(1, f[moov + 47]);
  EXPECT_EQ(kStart, LoadBe32(f.data() + moov + 20));
  EXPECT_EQ(kStart + 1, LoadBe32(f.data() + moov + 24));
  const auto children = MoovChildren(f);
  ASSERT_EQ(4u, children.size());  // mvhd, video, sound, text
  EXPECT_EQ(moov + 116, children[1].at);
  for (size_t i = 1; i < children.size(); ++i) EXPECT_EQ("trak", Type(f, children[i].at));
  // The movie atom ends where the agent's fix-up computes it.
  EXPECT_EQ(LoadBe32(f.data() + moov),
            116 + children[1].size + children[2].size + children[3].size);
  // Signature after the movie atom, padding to 512.
  EXPECT_EQ(0u, f.size() % 512);
  // Video: stss in the agent's window, then stsc, stsz, stco.
  const Atom stbl = Below(f, children[1], "mdia/minf/stbl");
  const Atom stss = Below(f, stbl, "stss");
  EXPECT_GE(stss.at + 4, moov + 576);
  EXPECT_LT(stss.at + 4, moov + 576 + 2048);
  const size_t stsc = stss.at + stss.size;
  EXPECT_EQ("stsc", Type(f, stsc));
  const size_t stsz = stsc + LoadBe32(f.data() + stsc);
  EXPECT_EQ("stsz", Type(f, stsz));
  const size_t stco = stsz + LoadBe32(f.data() + stsz);
  EXPECT_EQ("stco", Type(f, stco));

  const AgentIndex index = ReadIndexLikeAgent(f, 2, 1);
  ASSERT_TRUE(index.ok);
  EXPECT_EQ(40u, index.count);
  EXPECT_EQ(writer.VideoSamples(), index.count);
  for (uint32_t i = 0; i < index.count; ++i) {
    const uint32_t at = index.offsets[i], size = index.sizes[i];
    ASSERT_LE(size_t(at) + size, MoovAt(f));
    // The sample ends with its 64-byte tail: 00 00 00 02 and the FrameHeader.
    EXPECT_EQ(2u, LoadBe32(f.data() + at + size - 64)) << i;
    EXPECT_EQ(3, f[at + size - 60 + 3]) << i;
  }
  EXPECT_FALSE(ReadIndexLikeAgent(f, 2, 2).ok);
}

TEST_F(MovieWriterTest, DurationsComeFromTheSamplesWritten) {
  Begin();
  Feed(Key(kStart, 0));
  for (uint32_t i = 1; i < 10; ++i) Feed(P(kStart, i));
  const auto f = Finish();
  // 10 frames at 30 fps, 20 units each: 200, not (last - start seconds) = 0.
  const size_t moov = MoovAt(f);
  EXPECT_EQ(600u, LoadBe32(f.data() + moov + 28));  // time scale
  EXPECT_EQ(200u, LoadBe32(f.data() + moov + 32));  // duration
  const auto children = MoovChildren(f);
  ASSERT_EQ(3u, children.size());  // no sound: mvhd, video, text
  for (size_t t = 1; t < 3; ++t) {
    const Atom tkhd = Below(f, children[t], "tkhd");
    EXPECT_EQ(200u, LoadBe32(f.data() + tkhd.at + 28)) << t;
    const Atom elst = Below(f, children[t], "edts/elst");
    EXPECT_EQ(200u, LoadBe32(f.data() + elst.at + 16)) << t;
    EXPECT_EQ(0x10000u, LoadBe32(f.data() + elst.at + 24)) << t;  // rate 1.0
    const Atom mdhd = Below(f, children[t], "mdia/mdhd");
    EXPECT_EQ(600u, LoadBe32(f.data() + mdhd.at + 20)) << t;
    EXPECT_EQ(200u, LoadBe32(f.data() + mdhd.at + 24)) << t;
  }
  // Next track ID 4 (the sound track is 3).
  EXPECT_EQ(4u, LoadBe32(f.data() + moov + 8 + 104));
}

TEST_F(MovieWriterTest, TextTrackHasOneSamplePerSecondCoveringTheVideo) {
  Begin();
  Feed(Key(kStart, 10));
  for (uint32_t slot = 11; slot < 100; ++slot) Feed(P(kStart + slot / 30, slot % 30));
  const auto f = Finish();
  const auto children = MoovChildren(f);
  ASSERT_EQ(3u, children.size());
  const Atom stts = Below(f, children[2], "mdia/minf/stbl/stts");
  const uint32_t entries = LoadBe32(f.data() + stts.at + 12);
  uint64_t samples = 0, total = 0;
  for (uint32_t i = 0; i < entries; ++i) {
    const uint32_t n = LoadBe32(f.data() + stts.at + 16 + 8 * i);
    const uint32_t d = LoadBe32(f.data() + stts.at + 20 + 8 * i);
    samples += n;
    total += uint64_t(n) * d;
  }
  EXPECT_EQ(4u, samples);                                  // seconds 0..3
  EXPECT_EQ(90u * 20, total);                              // the whole video
  EXPECT_EQ(20u * 20, LoadBe32(f.data() + stts.at + 20));  // first: 20 frames to the next second
  // Each sample: 22-character date and time, then the "orig" atom.
  const Atom stco = Below(f, children[2], "mdia/minf/stbl/stco");
  const uint32_t first = LoadBe32(f.data() + stco.at + 16);
  EXPECT_EQ(22u, LoadBe16(f.data() + first));
  EXPECT_EQ(0, std::memcmp(f.data() + first + 24 + 4, "orig", 4));
  const std::string text(reinterpret_cast<const char*>(f.data() + first + 2), 22);
  EXPECT_EQ("2000/01/02 03:46:40   ", text);
}

TEST_F(MovieWriterTest, MissingHalfSecondAt30FpsBecomes14SkipFramesWithConsecutiveFrameNum) {
  Begin();
  Feed(Key(kStart, 0));
  Feed(P(kStart, 1));
  Feed(P(kStart, 16));  // 0.5 s after the last frame: slots 2..15 missing
  const auto f = Finish();
  const AgentIndex index = ReadIndexLikeAgent(f, 2, 1);
  ASSERT_TRUE(index.ok);
  ASSERT_EQ(17u, index.count);
  int skip = 0;
  for (uint32_t i = 0; i < index.count; ++i) {
    if (index.sizes[i] == 32) ++skip;
    const int fn = ReadFrameNum(f.data() + index.offsets[i], index.sizes[i]);
    EXPECT_EQ(int(i % 16), fn) << "sample " << i;
  }
  EXPECT_EQ(14, skip);
}

TEST_F(MovieWriterTest, SkipFramesForEveryPictureSize) {
  for (uint32_t w : {1u, 7u, 22u, 40u, 44u, 60u, 120u})
    for (uint32_t h : {1u, 5u, 18u, 36u, 68u}) {
      const SkipFrame s = MakeSkipFrame(w, h, 9);
      EXPECT_EQ(0x1Cu, LoadBe32(s.bytes));
      EXPECT_EQ(0x9A | (9 >> 3), s.bytes[5]);
      EXPECT_EQ(9, ReadFrameNum(s.bytes, sizeof s.bytes)) << w << "x" << h;
    }
}

TEST_F(MovieWriterTest, FrameNumIsPatchedOnlyInPSlices) {
  struct Case {
    std::vector<std::vector<uint8_t>> nals;
    int patched;
  } cases[] = {
      {{PSlice(4, 4, 3)}, 1},
      {{PSlice(4, 4, 3, 7)}, 0},                               // an I slice in a non-IDR unit
      {{{0x06, 0x05, 0x01, 0x00, 0x80}, PSlice(4, 4, 3)}, 1},  // SEI first
      {{PSlice(4, 4, 3, 0), PSlice(4, 4, 3, 0)}, 2},           // two slices
      {{{0x67, 0x42, 0x00, 0x1E}}, 0},                         // a parameter set
  };
  for (auto& c : cases) {
    auto p = VideoPacket(Spec(kStart, 1), c.nals);
    const std::vector<uint8_t> before = p;
    EXPECT_EQ(c.patched, PatchFrameNum(p.data() + 32, p.size() - 32, 11));
    if (c.patched) {
      EXPECT_EQ(11, ReadFrameNum(p.data() + 32, p.size() - 32));
    } else {
      EXPECT_EQ(before, p);
    }
  }
}

TEST_F(MovieWriterTest, TheLengthPrefixOfTheLastNalUnitCoversTheSample) {
  Begin();
  const std::vector<uint8_t> sei = {0x06, 0x05, 0x01, 0x00, 0x80};
  auto key = VideoPacket(Spec(kStart, 0, true), {sei, IdrSlice(2, 2)});
  Feed(key);
  const auto f = Finish();
  const AgentIndex index = ReadIndexLikeAgent(f, 2, 1);
  ASSERT_EQ(1u, index.count);
  const uint8_t* s = f.data() + index.offsets[0];
  EXPECT_EQ(sei.size(), LoadBe32(s));  // the SEI keeps its own length
  const uint32_t lastAt = 4 + uint32_t(sei.size());
  EXPECT_EQ(index.sizes[0] - lastAt - 4, LoadBe32(s + lastAt));
  EXPECT_EQ(0x65, s[lastAt + 4]);
}

TEST_F(MovieWriterTest, AvcCCarriesTheSpsProfileAndLevel) {
  struct Case {
    uint32_t w, h, level;
  } cases[] = {{44, 36, 30}, {22, 18, 30}, {60, 36, 31}, {60, 30, 31}};
  for (const auto& c : cases) {
    Begin();
    PacketSpec s = Spec(kStart, 0, true);
    s.widthMb = c.w;
    s.heightMb = c.h;
    Feed(VideoPacket(s, {{0x65, 0x88, 0x80}}));
    const auto f = Finish();
    const auto children = MoovChildren(f);
    const Atom avcc = Below(f, children[1], "mdia/minf/stbl/stsd/avc1/avcC");
    const uint8_t* a = f.data() + avcc.at + 8;
    EXPECT_EQ(1, a[0]);
    EXPECT_EQ(66, a[1]);
    EXPECT_EQ(c.level, a[3]) << c.w;
    EXPECT_EQ(0xFF, a[4]);
    EXPECT_EQ(0xE1, a[5]);
    const uint32_t spsLen = LoadBe16(a + 6);
    EXPECT_EQ(0x67, a[8]);
    EXPECT_EQ(c.level, a[8 + 3]);
    EXPECT_EQ(1, a[8 + spsLen]);
    EXPECT_EQ(0x68, a[8 + spsLen + 3]);
  }
}

TEST_F(MovieWriterTest, AudioGapsBelow800SamplesAreNotFilled) {
  // 25 fps (18 macroblocks high): one frame is 320 samples.
  struct Case {
    uint32_t firstSamples;
    int64_t expectFill;
  } cases[] = {{256, 0} /* gap 704 */, {192, 0} /* 768 */, {160, 800}, {128, 832}};
  for (const auto& c : cases) {
    Begin();
    PacketSpec s = Spec(kStart, 0, true);
    s.heightMb = 18;
    s.widthMb = 22;
    Feed(VideoPacket(s, {{0x65, 0x88, 0x80}}));
    s.key = false;
    Feed(AudioPacket(s, c.firstSamples, 0x11));
    s.frame = 3;  // 960 samples from the start
    Feed(AudioPacket(s, 64, 0x22));
    EXPECT_EQ(25u, writer.Fps());
    EXPECT_EQ(int64_t(c.firstSamples + c.expectFill + 64), writer.AudioSamples());
    EXPECT_EQ(c.expectFill ? 3u : 2u, writer.AudioChunks());
    const auto f = Finish();
    const auto children = MoovChildren(f);
    ASSERT_EQ(4u, children.size());
    const Atom stco = Below(f, children[2], "mdia/minf/stbl/stco");
    if (c.expectFill) {
      // The fill repeats the last sample value written (with the bias).
      const uint32_t fill = LoadBe32(f.data() + stco.at + 20);
      EXPECT_EQ(uint8_t(0x11 + 0x80), f[fill]);
      EXPECT_EQ(uint8_t(0x11 + 0x80), f[fill + c.expectFill - 1]);
    }
  }
}

TEST_F(MovieWriterTest, NoSoundBeforeTheFirstIFrame) {
  Begin();
  Feed(AudioPacket(Spec(kStart, 0), 512, 0x10));
  Feed(P(kStart, 1));
  EXPECT_FALSE(writer.Started());
  Feed(Key(kStart, 2));
  Feed(AudioPacket(Spec(kStart, 2), 512, 0x10));
  EXPECT_EQ(512, writer.AudioSamples());
  EXPECT_EQ(1u, writer.VideoSamples());
}

TEST_F(MovieWriterTest, LateFramesAreDroppedNotWrapped) {
  Begin();
  Feed(Key(kStart + 1, 5));
  Feed(P(kStart + 1, 6));
  Feed(P(kStart + 1, 3));  // an earlier slot
  Feed(P(kStart + 1, 6));  // the same slot again
  EXPECT_EQ(2u, writer.VideoSamples());
  Feed(P(kStart + 1, 7));
  EXPECT_EQ(3u, writer.VideoSamples());
  // Time going back a second: predicted frames wait for the next I-frame.
  Feed(P(kStart, 29));
  Feed(P(kStart + 1, 8));
  EXPECT_EQ(3u, writer.VideoSamples());
  Feed(Key(kStart + 1, 9));
  EXPECT_EQ(5u, writer.VideoSamples());  // slot 8 as a skip frame, then the I-frame
}

TEST_F(MovieWriterTest, AFrameOfSeveralPacketsIsOneSampleBoundedByTheBytesBuffered) {
  Begin();
  PacketSpec s = Spec(kStart, 0, true);
  s.extraPackets = 1;
  auto slice = IdrSlice(2, 2);
  // Split the length-prefixed slice across two packets: the first filled exactly.
  std::vector<uint8_t> units(4 + slice.size());
  StoreBe32(units.data(), uint32_t(slice.size()));
  std::memcpy(units.data() + 4, slice.data(), slice.size());
  const size_t firstBytes = 64 * 10 - 32;
  std::vector<uint8_t> frame(64 * 10, 0);
  test::PutHeader(frame.data(), s, 1, 64 * 10);
  std::memcpy(frame.data() + 32, units.data(), firstBytes);
  const size_t rest = units.size() - firstBytes;
  const uint32_t second = uint32_t((32 + rest + 63) / 64 * 64);
  std::vector<uint8_t> p2(second, 0);
  s.extraPackets = 0;
  test::PutHeader(p2.data(), s, 1, second);
  std::memcpy(p2.data() + 32, units.data() + firstBytes, rest);
  frame.insert(frame.end(), p2.begin(), p2.end());
  // A third packet claims more bytes than are buffered: not read.
  std::vector<uint8_t> p3(64, 0);
  test::PutHeader(p3.data(), s, 1, 64 * 100);
  frame.insert(frame.end(), p3.begin(), p3.end());
  EXPECT_NE(0, writer.WriteFrames(frame.data(), uint32_t(frame.size())));
  EXPECT_EQ(1u, writer.VideoSamples());
  const auto f = Finish();
  const AgentIndex index = ReadIndexLikeAgent(f, 2, 1);
  ASSERT_EQ(1u, index.count);
  EXPECT_EQ(firstBytes + (second - 32) + 64, index.sizes[0]);
  EXPECT_EQ(0, std::memcmp(f.data() + index.offsets[0] + 4, slice.data(), slice.size()));
}

TEST_F(MovieWriterTest, AFullTableEndsThePartNotTheBackup) {
  Begin(kStart, kStart + 100000);
  Feed(Key(kStart, 0));
  // Key frames every frame: the key-frame table (4096) fills first.
  uint32_t written = 1;
  int result = 0;
  for (uint32_t i = 1; i < 5000 && result == 0; ++i) {
    auto p = Key(kStart + i / 30, i % 30);
    result = writer.CheckFrameLimits(p.data(), uint32_t(p.size()));
    if (result == 0) writer.WriteFrames(p.data(), uint32_t(p.size())), ++written;
  }
  EXPECT_EQ(1, result);
  EXPECT_EQ(5u, writer.Diagnostic().code);
  EXPECT_EQ(4095u, written);
  // A frame far past the end time ends the backup.
  auto late = Key(kStart + 200000, 0);
  EXPECT_EQ(-1, writer.CheckFrameLimits(late.data(), uint32_t(late.size())));
  EXPECT_EQ(9u, writer.Diagnostic().code);
}

TEST_F(MovieWriterTest, APartEndsAt1800SecondsOfTimelineEvenAcrossAGap) {
  Begin(kStart, kStart + 100000);
  Feed(Key(kStart, 0));
  Feed(P(kStart, 1));
  auto far = Key(kStart + 1800, 0);
  EXPECT_EQ(1, writer.CheckFrameLimits(far.data(), uint32_t(far.size())));
  auto near = Key(kStart + 1799, 29);
  EXPECT_EQ(0, writer.CheckFrameLimits(near.data(), uint32_t(near.size())));
  EXPECT_NE(0, writer.WriteFrames(near.data(), uint32_t(near.size())));
  EXPECT_EQ(1800u * 30, writer.VideoSamples());
}

TEST_F(MovieWriterTest, AFrameAtTheEndTimeCompletesTheBackup) {
  Begin(kStart, kStart + 2);
  EXPECT_NE(0, Feed(Key(kStart, 0)));
  EXPECT_NE(0, Feed(P(kStart + 1, 0)));
  EXPECT_EQ(0, Feed(Key(kStart + 2, 0)));
}

TEST_F(MovieWriterTest, AMovieAlignedTo512IsStillPadded) {
  // Vary the sound until the movie before its padding is 512-aligned.
  for (uint32_t seconds = 1; seconds <= 16; ++seconds)
    for (uint32_t frame : {3u, 4u, 5u})
      for (uint32_t k = 1; k <= 16; ++k) {
        Begin();
        Feed(Key(kStart, 0));
        Feed(AudioPacket(Spec(kStart, frame), 32 * k, 0x40));
        Feed(P(kStart + seconds - 1, 29));
        ASSERT_TRUE(writer.FinishMovie());
        const auto f = files.Contents("/out/m.mov").value();
        const size_t moov = MoovAt(f);
        const size_t unpadded = moov + LoadBe32(f.data() + moov) + 160;
        ASSERT_EQ(0u, f.size() % 512);
        ASSERT_GT(f.size(), unpadded);
        if (unpadded % 512 != 0) continue;
        EXPECT_EQ(unpadded + 512, f.size());
        for (size_t i = unpadded; i < f.size(); ++i) ASSERT_EQ(0, f[i]);
        return;
      }
  FAIL() << "no aligned case found";
}

TEST_F(MovieWriterTest, TheSignatureVerifiesWithTheKey) {
  Begin();
  Feed(Key(kStart, 0));
  Feed(P(kStart, 1));
  Feed(P(kStart, 2));
  const uint32_t sum = writer.SignatureWords()[0];
  const auto f = Finish();
  const size_t moov = MoovAt(f);
  const uint8_t* sig = f.data() + moov + LoadBe32(f.data() + moov);
  uint32_t w[40], total = 0;
  for (int i = 0; i < 40; ++i) w[i] = LoadLe32(sig + 4 * i);
  for (int i = 0; i < 39; ++i) total += w[i];
  EXPECT_EQ(total, w[39]);
  for (int i = 0; i < 40; ++i) w[i] = w[i] >> 1 | w[i] << 31;  // undo the rotation
  EXPECT_EQ(0u, w[0]);
  EXPECT_EQ(0x57A70001u, w[9]);
  uint8_t block[160];
  for (int i = 0; i < 40; ++i) StoreLe32(block + 4 * i, w[i]);
  auto decrypt = [](uint32_t c) {
    uint32_t r = 1;
    for (int i = 0; i < 173; ++i) r = r * c % MovieWriter::kSignatureModulus;
    return r;
  };
  uint32_t word0 = 0, word1 = 0;
  for (int b = 0; b < 4; ++b) {
    word0 |= decrypt(LoadLe16(block + 136 + 2 * b)) << (8 * b);
    word1 |= decrypt(LoadLe16(block + 144 + 2 * b)) << (8 * b);
  }
  EXPECT_EQ(sum, word0);
  EXPECT_EQ(0x57A70001u, word1);
  // The sum covers every sample after the first.
  const AgentIndex index = ReadIndexLikeAgent(f, 2, 1);
  uint32_t expect = 0x57A70001u;
  for (uint32_t i = 1; i < index.count; ++i)
    for (uint32_t k = 0; k < index.sizes[i]; k += 4)
      expect += LoadLe32(f.data() + index.offsets[i] + k);
  EXPECT_EQ(expect, sum);
}

TEST_F(MovieWriterTest, AFailedWriteIsNotReportedAsSuccess) {
  Begin();
  Feed(Key(kStart, 0));
  files.failWrites = true;
  Feed(P(kStart, 1));
  EXPECT_TRUE(writer.Failed());
  EXPECT_FALSE(writer.FinishMovie());
  EXPECT_FALSE(writer.Create(files, "/missing/m.mov", kStart, kStart + 10, 0, 0));
}

TEST_F(MovieWriterTest, FramesPastTheEndBeforeTheMovieStartsAreOnlySkipped) {
  // Live frames still arriving when the backup starts lie after the span.
  Begin(kStart, kStart + 10);
  auto live = Key(kStart + 5000, 0);
  EXPECT_EQ(0, writer.CheckFrameLimits(live.data(), uint32_t(live.size())));
  EXPECT_NE(0, writer.WriteFrames(live.data(), uint32_t(live.size())));
  EXPECT_FALSE(writer.Started());
  EXPECT_NE(0, Feed(Key(kStart, 0)));
  EXPECT_TRUE(writer.Started());
  EXPECT_EQ(-2, Feed(Key(kStart + 5000, 0)));  // once started: the end of the span
}

TEST_F(MovieWriterTest, TheDiagnosticBlockEndsTheMediaData) {
  Begin(kStart, kStart + 10);
  Feed(Key(kStart, 0));
  auto late = Key(kStart + 100, 0);
  writer.CheckFrameLimits(late.data(), uint32_t(late.size()));
  const auto f = Finish();
  const size_t diag = MoovAt(f) - 4096;
  EXPECT_EQ(0, std::memcmp(f.data() + diag, "pqrs", 4));
  EXPECT_EQ(9u, LoadLe32(f.data() + diag + 4));
  EXPECT_EQ(kStart + 100, LoadLe32(f.data() + diag + 8));
  EXPECT_EQ(kStart + 15, LoadLe32(f.data() + diag + 12));
  EXPECT_EQ(0, std::memcmp(f.data() + diag + 44, "tuvw", 4));
}

// A real file, read back by the distribution's ffprobe and ffmpeg when they
// are installed.
TEST_F(MovieWriterTest, ARealFileIsReadWholeByFfmpeg) {
  if (std::system("ffprobe -version > /dev/null 2>&1") != 0 ||
      std::system("ffmpeg -version > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "ffprobe/ffmpeg not installed";
  const auto dir =
      std::filesystem::temp_directory_path() / ("tevrano_movie_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "real.mov").string();
  platform::PosixFileSystem disk;
  ASSERT_TRUE(writer.Create(disk, path, kStart, kStart + 100, 1, 0));
  PacketSpec s = Spec(kStart, 0, true);
  s.widthMb = 4;
  s.heightMb = 3;
  for (uint32_t slot = 0; slot < 90; ++slot) {
    s.seconds = kStart + slot / 30;
    s.frame = slot % 30;
    s.key = slot % 30 == 0;
    if (slot >= 40 && slot < 55) continue;  // a gap: skip frames
    auto v = s.key ? VideoPacket(s, {IdrSlice(4, 3, uint8_t(0x40 + slot))})
                   : VideoPacket(s, {PSlice(4, 3, 0)});
    writer.CheckFrameLimits(v.data(), uint32_t(v.size()));
    writer.WriteFrames(v.data(), uint32_t(v.size()));
    if (slot % 2 == 0 && (slot < 20 || slot > 30)) {
      auto a = AudioPacket(s, 512, uint8_t(slot));
      writer.WriteFrames(a.data(), uint32_t(a.size()));
    }
  }
  ASSERT_TRUE(writer.FinishMovie());
  const std::string out = (dir / "probe.txt").string();
  const std::string probe =
      "ffprobe -v error -count_frames -show_entries stream=codec_type,nb_read_frames,duration -of "
      "csv=p=0 '" +
      path + "' > '" + out + "' 2>&1";
  ASSERT_EQ(0, std::system(probe.c_str()));
  std::ifstream in(out);
  std::string all((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(std::string::npos, all.find("video")) << all;
  EXPECT_NE(std::string::npos, all.find(",90")) << all;
  EXPECT_NE(std::string::npos, all.find("audio")) << all;
  EXPECT_NE(std::string::npos, all.find("subtitle")) << all;
  const std::string decode = "ffmpeg -v error -i '" + path + "' -f null - > '" + out + "' 2>&1";
  EXPECT_EQ(0, std::system(decode.c_str()));
  std::ifstream errs(out);
  std::string errors((std::istreambuf_iterator<char>(errs)), {});
  EXPECT_EQ("", errors);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tevrano::record
