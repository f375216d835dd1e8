// The audio reader and feeder against a fake device whose play cursor the
// test moves; no thread runs: each test drives the cycle itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "audio/Audiothread1.h"
#include "platform/fake/FakeAudioDevice.h"
#include "platform/fake/ManualClock.h"
#include "stream/StreamSystem.h"
#include "tests/stream/StreamPackets.h"
#include "view/ViewRecords.h"

namespace tevrano {
namespace {

using test::PacketSpec;
using test::TransportPacket;

struct AudioRig {
  platform::FakeAudioDeviceFactory factory;
  ViewState view{};
  StreamStats stats;
  StreamContextLinks links;
  StreamConnection c;
  PictureGlobals picture;
  std::unique_ptr<Audiothread1> audio;

  AudioRig() {
    view.Initialize();  // live, channel 0 alone
    links.view = &view;
    links.stats = &stats;
    c.Context = &links;
    c.AllocateBuffers();
    audio = std::make_unique<Audiothread1>(factory, c, picture);
    audio->SetEnabled(true);
  }
  // An audio packet of `bytes` (header included) whose samples are all `sample`.
  static PacketSpec Audio(uint32_t frame = 0, uint16_t sample = 0, uint32_t bytes = 1024) {
    PacketSpec s;
    s.type = 2;
    s.seconds = 1000;
    s.frame = frame;
    s.payload.resize(bytes - 32);
    for (size_t i = 0; i + 1 < s.payload.size(); i += 2) {
      s.payload[i] = uint8_t(sample);
      s.payload[i + 1] = uint8_t(sample >> 8);
    }
    return s;
  }
  void Push(const PacketSpec& s) {
    const auto p = TransportPacket(s);
    ASSERT_EQ(c.AudioRing.Write(p.data(), uint32_t(p.size())), 0);
  }
  int Read() { return audio->ReadAudioPacket(c, view.Mode); }
  uint64_t Staged() const { return audio->Playback().Written.load(); }
  // The first packet of a camera only chooses it.
  void ChooseCamera() {
    Push(Audio());
    ASSERT_EQ(Read(), 0);
    ASSERT_EQ(audio->Playback().Channel, 0);
  }
  platform::FakeAudioDevice& Device() { return *factory.last; }
};

TEST(Audiothread1, PacketOfLength16Yields480Samples) {
  AudioRig r;
  r.ChooseCamera();
  EXPECT_EQ(r.Staged(), 0u);
  r.Push(AudioRig::Audio(1));
  EXPECT_EQ(r.Read(), 0);
  EXPECT_EQ(r.Staged(), 480u);
  EXPECT_TRUE(r.c.AudioRing.Empty());
}

TEST(Audiothread1, SamplesBecomeTheirHighByteMadeUnsignedByTheBias) {
  struct Case {
    uint32_t bias;
    uint16_t sample;
    uint8_t played;
  } cases[] = {{0x80, 0x0000, 0x80},
               {0, 0x0000, 0x00},
               {0x80, 0x7F12, 0xFF},
               {0x80, 0x8000, 0x00},
               {0, 0xFFFF, 0xFF}};
  for (const Case& k : cases) {
    AudioRig r;
    r.picture.audioSampleBias = k.bias;
    r.ChooseCamera();
    r.Push(AudioRig::Audio(1, k.sample));
    r.Read();
    EXPECT_EQ(r.audio->Playback().Base[0], k.played) << k.bias << " " << k.sample;
    EXPECT_EQ(r.audio->Playback().Base[479], k.played);
  }
}

TEST(Audiothread1, FirstPacketAfterAChannelChangeIsNotPlayed) {
  AudioRig r;
  r.ChooseCamera();
  r.Push(AudioRig::Audio(1));
  r.Read();
  EXPECT_EQ(r.Staged(), 480u);
  r.audio->RequestChannel(-1);  // the view command chose another camera
  r.audio->Cycle();             // takes the request; the ring is empty
  r.view.Live.Channel = 3;
  PacketSpec p = AudioRig::Audio(2);
  p.subChannel = 3;
  r.Push(p);
  r.Read();
  EXPECT_EQ(r.audio->Playback().Channel, 3);
  EXPECT_EQ(r.Staged(), 0u);  // chosen, restarted, not played
  p.frame = 3;
  r.Push(p);
  r.Read();
  EXPECT_EQ(r.Staged(), 480u);
}

TEST(Audiothread1, PacketTwoFramesAheadOfThePictureIsPutBackAndPlayedLater) {
  AudioRig r;
  r.ChooseCamera();
  const uint32_t pos = (1000 & 0xFFFFFF) * 25 + 10;
  r.c.Pacers[0].FrameCount = pos - 2;
  r.Push(AudioRig::Audio(10));
  const uint32_t used = r.c.AudioRing.Used();
  EXPECT_EQ(r.Read(), 1);
  EXPECT_EQ(r.c.AudioRing.Used(), used);  // nothing consumed
  EXPECT_EQ(r.Staged(), 0u);
  r.c.Pacers[0].FrameCount = pos;  // the picture caught up
  EXPECT_EQ(r.Read(), 0);
  EXPECT_EQ(r.Staged(), 480u);
  EXPECT_TRUE(r.c.AudioRing.Empty());
}

TEST(Audiothread1, HoldingGivesUpAfterThirtyTries) {
  AudioRig r;
  r.ChooseCamera();
  r.c.Pacers[0].FrameCount = 1;
  r.Push(AudioRig::Audio(10));
  for (int i = 0; i < Audiothread1::kMaxHold; ++i) ASSERT_EQ(r.Read(), 1);
  EXPECT_EQ(r.Read(), 0);
  EXPECT_EQ(r.Staged(), 480u);
}

TEST(Audiothread1, SpeakerOffConsumesPacketsWithoutQueueing) {
  AudioRig r;
  r.ChooseCamera();
  r.audio->SetEnabled(false);
  for (uint32_t f = 1; f <= 3; ++f) r.Push(AudioRig::Audio(f));
  r.audio->Cycle();
  EXPECT_TRUE(r.c.AudioRing.Empty());
  EXPECT_EQ(r.Staged(), 0u);
  EXPECT_FALSE(r.Device().Playing());
  EXPECT_EQ(r.Device().Writes(), 0);
}

TEST(Audiothread1, PacketsOfOtherCamerasOrFramingsAreRefused) {
  struct Case {
    const char* what;
    PacketSpec spec;
    bool ringKept;  // false: the whole ring is discarded
  };
  auto spec = [](auto change) {
    PacketSpec s = AudioRig::Audio(1);
    change(s);
    return s;
  };
  const Case cases[] = {
      {"another camera", spec([](PacketSpec& s) { s.subChannel = 5; }), true},
      {"playback kind in live", spec([](PacketSpec& s) { s.kind = 1; }), true},
      {"length beyond the transport total", spec([](PacketSpec& s) { s.lengthOverride = 40; }),
       true},
      {"another connection tag", spec([](PacketSpec& s) { s.tag = 9; }), true},
      {"channel 17", spec([](PacketSpec& s) { s.channel = 17; }), false},
      {"total of 8 KiB", spec([](PacketSpec& s) { s.totalOverride = 0x2000; }), false},
      {"total shorter than its headers", spec([](PacketSpec& s) { s.totalOverride = 100; }), false},
  };
  for (const Case& k : cases) {
    AudioRig r;
    r.ChooseCamera();
    r.Push(k.spec);
    r.Push(AudioRig::Audio(2));
    const uint32_t next = uint32_t(TransportPacket(AudioRig::Audio(2)).size());
    r.Read();
    EXPECT_EQ(r.Staged(), 0u) << k.what;
    EXPECT_EQ(r.c.AudioRing.Used(), k.ringKept ? next : 0u) << k.what;
  }
}

TEST(Audiothread1, ChannelSixteenPassesTheFramingTest) {
  AudioRig r;
  r.ChooseCamera();
  PacketSpec s = AudioRig::Audio(1);
  s.channel = 16;
  r.Push(s);
  EXPECT_EQ(r.Read(), 0);
  EXPECT_EQ(r.Staged(), 480u);
}

// The device is a 4,096-sample loop; the feeder keeps ahead of its cursor.
struct FeedRig : AudioRig {
  FeedRig() {
    ChooseCamera();
    for (uint32_t f = 1; f <= 12; ++f) Push(Audio(f, uint16_t(f << 8)));
    while (Read() == 0 && !c.AudioRing.Empty()) {
    }
  }
};

TEST(Audiothread1, FeedSubmitsOneBlockPerCallAtTheNextDevicePosition) {
  FeedRig r;
  r.Device().SetPlayCursor(1000);
  EXPECT_EQ(r.audio->FeedAudio(), 0);
  const auto buffer = r.Device().Buffer();
  EXPECT_EQ(buffer[1000], 1 + 0x00);  // the first staged sample, at the cursor
  EXPECT_EQ(r.audio->Playback().BytesSubmitted, 1512);
  EXPECT_EQ(r.audio->Playback().Read.load(), 512u);
}

TEST(Audiothread1, FullDeviceDropsABlockInsteadOfWriting) {
  FeedRig r;
  for (int i = 0; i < 7; ++i) ASSERT_EQ(r.audio->FeedAudio(), 0);  // 3584 queued, cursor at 0
  const int writes = r.Device().Writes();
  const uint64_t read = r.audio->Playback().Read.load();
  EXPECT_EQ(r.audio->FeedAudio(), 1);
  EXPECT_EQ(r.Device().Writes(), writes);
  EXPECT_EQ(r.audio->Playback().Read.load(), read + 512);
}

TEST(Audiothread1, NearlyDryDeviceGetsPaddingAtTheWritePositionOnly) {
  FeedRig r;
  r.audio->FeedAudio();  // nothing queued at the cursor: padded once
  const uint64_t written = r.Staged();
  const uint8_t last = r.audio->Playback().Base[(written - 1) % Audiothread1::kStagingSize];
  r.audio->FeedAudio();  // 512 queued: not dry
  EXPECT_EQ(r.Staged(), written);
  const uint64_t read = r.audio->Playback().Read.load();
  const uint8_t unread = r.audio->Playback().Base[read];
  r.Device().SetPlayCursor(800);  // 224 queued: about to run dry
  r.audio->FeedAudio();
  EXPECT_EQ(r.Staged(), written + 1024);
  EXPECT_EQ(r.audio->Playback().Base[written % Audiothread1::kStagingSize], last);
  EXPECT_EQ(r.audio->Playback().Base[(written + 1023) % Audiothread1::kStagingSize], last);
  EXPECT_EQ(r.audio->Playback().Base[read], unread);  // staged sound is untouched
}

TEST(Audiothread1, DeviceThatPlayedPastTheSubmittedSoundResynchronises) {
  FeedRig r;
  r.audio->FeedAudio();            // 512 submitted at 0
  r.Device().SetPlayCursor(3000);  // played 3000: 2488 past what it was given
  EXPECT_EQ(r.audio->FeedAudio(), 0);
  EXPECT_EQ(r.audio->Playback().BytesSubmitted, 3512);
  r.Device().SetPlayCursor(100);  // wrapped: 4196 played
  EXPECT_EQ(r.audio->FeedAudio(), 0);
  EXPECT_EQ(r.audio->Playback().CursorWraps, 1u);
  EXPECT_EQ(r.audio->Playback().BytesSubmitted, 4196 + 512);
}

TEST(Audiothread1, PaddingStillUnreadWhenSoundArrivesIsTakenBack) {
  AudioRig r;
  r.ChooseCamera();
  r.audio->FeedAudio();  // nothing staged, the device dry: 1024 padded, 512 of it submitted
  EXPECT_EQ(r.Staged(), 1024u);
  EXPECT_EQ(r.audio->Playback().Read.load(), 512u);
  r.Push(AudioRig::Audio(1, 0x4000));
  r.Read();
  // The sound follows what was played, not the rest of the padding.
  EXPECT_EQ(r.Staged(), 512u + 480u);
  EXPECT_EQ(r.audio->Playback().Base[512], 0x40);
}

// Short of a block, the feeder waits while the device can play on to the
// next cycle; otherwise it sends what is staged and only as much filler as
// keeps the device playing past the next cycle, since every filler sample is
// heard in front of all the sound that follows.
TEST(Audiothread1, ShortOfABlockWaitsOrFillsOnlyWhatTheNextCycleNeeds) {
  struct Case {
    const char* name;
    int64_t ahead;    // queued in the device, the cursor at 0
    uint64_t staged;  // samples waiting in the staging ring
    int result;
    int64_t submitted;
  } cases[] = {
      {"the device bridges the next cycle", 600, 100, 1, 0},
      {"the device runs low: filler up to the mark", 300, 100, 1, 388},
      {"the staged sound passes the mark", 300, 450, 1, 450},
      {"about to run dry: padded to a full block", 100, 100, 0, 512},
  };
  for (const Case& k : cases) {
    AudioRig r;
    r.ChooseCamera();
    AudioPlayback& p = r.audio->Playback();
    p.Synchronised = true;
    p.BytesSubmitted = k.ahead;
    p.Written.store(k.staged);
    EXPECT_EQ(r.audio->FeedAudio(), k.result) << k.name;
    EXPECT_EQ(p.BytesSubmitted - k.ahead, k.submitted) << k.name;
  }
}

// Sound that would be heard too long after its picture is skipped down to
// the settle mark, a full block still going to the device; the lag is then
// read at the play cursor through the block that holds it.
TEST(Audiothread1, SoundLateForItsPictureIsSkippedDownToTheSettleMark) {
  AudioRig r;
  r.ChooseCamera();
  r.c.Pacers[0].FrameCount = 1000 * 25 + 10;  // the picture: 1000.400 s
  r.Push(AudioRig::Audio(1, 0x1000, 7936));   // 3936 samples from 1000.040 s
  ASSERT_EQ(r.Read(), 0);
  ASSERT_EQ(r.Staged(), 3936u);
  // Nothing queued, the picture's clock half a frame on (1000.420 s): the
  // staged sound would be heard 380 ms late.
  EXPECT_EQ(r.audio->FeedAudio(), 0);
  const uint64_t skipped = uint64_t(380 - Audiothread1::kSettleMs) * 8;
  EXPECT_EQ(r.audio->Playback().Read.load(), skipped + Audiothread1::kBlock);
  EXPECT_EQ(r.audio->Playback().BytesSubmitted, int64_t(Audiothread1::kBlock));
  // 32 ms on, the next frame shown: the sound heard is the settle mark behind.
  r.c.Pacers[0].FrameCount = 1000 * 25 + 11;
  r.Device().SetPlayCursor(256);
  r.audio->FeedAudio();
  const AudioLagStats lag = r.audio->Lag();
  ASSERT_EQ(lag.samples, 1u);
  EXPECT_NEAR(lag.lastMs, -Audiothread1::kSettleMs, 5);
}

// A minute of sound at the real rate against the device's real-rate cursor,
// the picture shown at the time the packets carry, the audio thread's cycle
// about every 50 ms (some late, which the thread does not make up): what is
// queued ahead of the sound being heard stays short, and the sound stays
// near its picture.
TEST(Audiothread1, QueueAndLagStayShortOverAMinuteAtTheRealRate) {
  struct Case {
    const char* name;
    uint32_t packetBytes;  // 1024: 480 samples, 1088: 512 samples
    uint32_t packetMs;     // how often the recorder sends one
    uint32_t lateEvery;    // every n-th cycle and packet comes late
    uint32_t lateMs;
    bool sentWithFrame = false;  // sent, and stamped, with the next frame after it is complete
  } cases[] = {{"480 samples, steady", 1024, 60, 0, 0},
               {"512 samples, steady", 1088, 64, 0, 0},
               {"480 samples, late cycles and packets", 1024, 60, 7, 40},
               {"512 samples, late cycles and packets", 1088, 64, 5, 30},
               {"512 samples stamped with the frame sent after them", 1088, 64, 0, 0, true}};
  for (const Case& k : cases) {
    AudioRig r;
    platform::ManualClock clock;
    const uint32_t t0 = clock.TickCountMs();
    const auto now = [&] { return clock.TickCountMs() - t0; };
    // Recorder time of a moment of the run, as a frame position (25 fps).
    const auto position = [](uint32_t ms) { return (1000 + ms / 1000) * 25 + ms % 1000 / 40; };
    uint32_t nextPacket = 0, nextCycle = 0, cycles = 0, sent = 0;
    int64_t maxAhead = 0;
    r.ChooseCamera();
    while (now() < 60000) {
      clock.AdvanceMs(std::min(nextPacket, nextCycle) - now());
      // The device plays 8 samples a millisecond round its 4,096-sample
      // loop; the picture shows the present.
      r.Device().SetPlayCursor(int((uint64_t(now()) * 8) % 4096));
      r.c.Pacers[0].FrameCount = position(now());
      if (now() == nextPacket) {
        const uint32_t at = k.sentWithFrame ? now() : sent * k.packetMs;  // the packet's time
        PacketSpec packet = AudioRig::Audio(at % 1000 / 40, 0x1000, k.packetBytes);
        packet.seconds = 1000 + at / 1000;
        r.Push(packet);
        ASSERT_EQ(r.Read(), 0);
        ++sent;
        // Packets keep the recorder's rate, some of them late; or go with
        // the first frame (every 40 ms) after their last sample.
        nextPacket = sent * k.packetMs + (k.lateEvery && sent % k.lateEvery == 0 ? k.lateMs : 0);
        if (k.sentWithFrame) nextPacket = ((sent + 1) * k.packetMs + 39) / 40 * 40;
      }
      if (now() == nextCycle) {
        r.audio->FeedAudio();
        ++cycles;
        nextCycle += 50 + (k.lateEvery && cycles % k.lateEvery == 0 ? k.lateMs : 0);
        if (now() < 2000) continue;  // settled
        const AudioPlayback& p = r.audio->Playback();
        const int64_t played = int64_t(p.LastPlayCursor) + int64_t(p.CursorWraps) * 4096;
        maxAhead = std::max(maxAhead, p.BytesSubmitted - played);
      }
    }
    const AudioLagStats lag = r.audio->Lag();
    std::printf("%s: device queue at most %lld samples; lag mean %d ms, max %d ms\n", k.name,
                (long long)maxAhead, lag.meanAbsMs, lag.maxAbsMs);
    // The device never fills towards its full mark (3,584 samples, the
    // half second the sound used to lag by); the sound stays near its picture.
    EXPECT_LT(maxAhead, int64_t(Audiothread1::kLagBound + Audiothread1::kBlock)) << k.name;
    EXPECT_LE(lag.meanAbsMs, 130) << k.name;
    EXPECT_LE(lag.maxAbsMs, 250) << k.name;
  }
}

TEST(Audiothread1, DeviceWithoutEightBitGetsSixteenBitSamples) {
  AudioRig r;
  r.factory.takes8Bit = false;
  r.ChooseCamera();
  r.Push(AudioRig::Audio(1, 0x4000));
  r.Push(AudioRig::Audio(2, 0x4000));
  r.Read(), r.Read();
  ASSERT_EQ(r.Device().Format().bitsPerSample, 16);
  r.audio->FeedAudio();
  const auto buffer = r.Device().Buffer();
  ASSERT_EQ(buffer.size(), 8192u);
  EXPECT_EQ(buffer[0], 0x00);  // 0x40 + 0 bias = 0x40 → (0x40 - 128) * 256 = 0xC000
  EXPECT_EQ(buffer[1], 0xC0);
}

TEST(Audiothread1, NoDeviceStaysSilentWithoutError) {
  AudioRig r;
  r.factory.available = false;
  r.ChooseCamera();
  r.Push(AudioRig::Audio(1));
  r.Read();
  EXPECT_EQ(r.audio->FeedAudio(), 1);
  EXPECT_EQ(r.audio->Device(), nullptr);
}

TEST(Audiothread1, BackupTakesTheReaderRoleAndNeverOverwritesAPendingFrame) {
  AudioRig r;
  int steps = 0;
  r.audio->Hooks().backupStep = [&](StreamConnection& c) {
    ++steps;
    EXPECT_EQ(c.FrameLength, 1024u);
    c.FrameLength = 0;
    return 1;
  };
  r.view.Mode = kModeBackup;
  r.Push(AudioRig::Audio(1));
  EXPECT_EQ(r.audio->BackupReadAudioPacket(r.c), 1);  // asks for the role
  EXPECT_FALSE(r.audio->BackupHoldsReader());
  r.audio->Cycle();  // the audio thread gives it up and reads nothing
  EXPECT_TRUE(r.audio->BackupHoldsReader());
  r.c.FrameLength = 200;  // a video frame waits in the FrameBuffer
  EXPECT_EQ(r.audio->BackupReadAudioPacket(r.c), 1);
  EXPECT_EQ(steps, 0);
  EXPECT_FALSE(r.c.AudioRing.Empty());
  r.c.FrameLength = 0;
  EXPECT_EQ(r.audio->BackupReadAudioPacket(r.c), 0);
  EXPECT_EQ(steps, 1);
  EXPECT_TRUE(r.c.AudioRing.Empty());
  // Back to live: the role returns to the audio thread.
  r.view.Mode = kModeLive;
  r.audio->MainThreadStep(kModeLive);
  r.audio->Cycle();
  EXPECT_FALSE(r.audio->BackupHoldsReader());
  r.Push(AudioRig::Audio(2));
  r.audio->Cycle();
  EXPECT_EQ(r.audio->Playback().Channel, 0);  // the thread read it
}

TEST(Audiothread1, FlushIsDoneByTheRingsReader) {
  AudioRig r;
  r.Push(AudioRig::Audio(1));
  r.audio->RequestFlush();
  EXPECT_FALSE(r.c.AudioRing.Empty());  // the asking side leaves it alone
  r.Read();
  EXPECT_TRUE(r.c.AudioRing.Empty());
  EXPECT_EQ(r.audio->Playback().Channel, -1);
}

}  // namespace
}  // namespace tevrano
