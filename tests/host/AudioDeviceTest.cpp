#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

#include "host/QtAudioDevice.h"
#include "host/WavFileAudioDevice.h"

namespace tevrano::host {
namespace {

uint32_t Le32(const QByteArray& b, int at) {
  return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 |
         uint32_t(uint8_t(b[at + 3])) << 24;
}

TEST(WavFileAudioDevice, PlaysTheLoopingBufferIntoAWaveFile) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("out.wav").toStdString();
  int cursor = -1;
  {
    WavFileAudioDevice device(path);
    platform::AudioFormat format;
    format.sampleRate = 8000;
    format.bitsPerSample = 8;
    format.channels = 1;
    ASSERT_TRUE(device.Create(format, 4096));
    std::vector<uint8_t> block(512, 0x40);
    ASSERT_TRUE(device.Write(4096 - 256, block.data(), 512));  // wraps at the end
    ASSERT_TRUE(device.PlayLooping());
    QThread::msleep(120);
    device.Stop();
    // Stopped, the cursor stays where playing ended: at the bytes played
    // (all of them in the file) modulo the looping buffer.
    cursor = device.PlayCursor();
    EXPECT_EQ(device.PlayCursor(), cursor);
  }
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QByteArray wav = file.readAll();
  ASSERT_GE(wav.size(), 44);
  EXPECT_EQ(wav.left(4), "RIFF");
  EXPECT_EQ(wav.mid(8, 8), "WAVEfmt ");
  EXPECT_EQ(Le32(wav, 24), 8000u);                      // samples per second
  EXPECT_EQ(uint8_t(wav[34]), 8);                       // bits per sample
  EXPECT_EQ(Le32(wav, 40), uint32_t(wav.size() - 44));  // the data chunk's length
  EXPECT_EQ(Le32(wav, 4), uint32_t(wav.size() - 8));
  // Silence until the buffer plays; playing starts at offset 0, where the
  // wrapped tail of the block lies.
  int start = 44;
  while (start < wav.size() && uint8_t(wav[start]) == 0x80) ++start;
  ASSERT_GT(wav.size(), start + 256);
  EXPECT_LT(start - 44, 80);  // a few milliseconds at most
  EXPECT_EQ(uint8_t(wav[start]), 0x40);
  EXPECT_EQ(uint8_t(wav[start + 255]), 0x40);
}

// What a push-mode output takes, with a room that the test sets.
struct ScriptedOutput {
  int64_t room = 0;
  std::vector<uint8_t> took;
  std::function<int64_t(const char*, int64_t)> Writer() {
    return [this](const char* data, int64_t n) {
      const int64_t k = std::min(n, room);
      took.insert(took.end(), data, data + k);
      room -= k;
      return k;
    };
  }
};

TEST(PushStream, BlocksWaitInOrderUntilTheOutputHasRoom) {
  PushStream stream;
  stream.Reset(8);
  ScriptedOutput out;
  const uint8_t a[] = {1, 2, 3, 4, 5}, b[] = {6, 7, 8};
  ASSERT_TRUE(stream.Queue(a, 5));
  out.room = 3;
  stream.Flush(out.Writer());
  ASSERT_TRUE(stream.Queue(b, 3));  // wraps round the pending ring
  const uint8_t c[4] = {9, 9, 9, 9};
  EXPECT_FALSE(stream.Queue(c, 4));  // more than a loop's worth would wait: refused
  out.room = 100;
  stream.Flush(out.Writer());
  EXPECT_EQ(out.took, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(stream.Pending(), 0);
  EXPECT_EQ(stream.Pushed(), 8);
}

TEST(PushStream, CursorIsWhatWasPushedLessWhatTheOutputHoldsRoundTheLoop) {
  struct Case {
    int64_t pushed, queued;
    int cursor;
  } cases[] = {{0, 0, 0},          {512, 512, 0},    {1024, 300, 724}, {4096, 0, 0},
               {5000, 1000, 4000}, {9000, 100, 708}, {100, 400, 0}};
  for (const Case& k : cases) {
    PushStream stream;
    stream.Reset(4096);
    ScriptedOutput out;
    std::vector<uint8_t> bytes(512, 0x80);
    for (int64_t left = k.pushed; left > 0; left -= 512) {
      ASSERT_TRUE(stream.Queue(bytes.data(), int(std::min<int64_t>(left, 512))));
      out.room = 512;
      stream.Flush(out.Writer());
    }
    EXPECT_EQ(stream.Pushed(), k.pushed);
    EXPECT_EQ(stream.Cursor(k.queued), k.cursor) << k.pushed << " " << k.queued;
  }
  PushStream stream;  // a new start plays from the loop's start again
  stream.Reset(4096);
  ScriptedOutput out;
  out.room = 1000;
  const uint8_t byte = 0;
  for (int i = 0; i < 700; ++i) stream.Queue(&byte, 1), stream.Flush(out.Writer());
  stream.Rewind();
  EXPECT_EQ(stream.Cursor(0), 0);
}

TEST(QtAudioDevice, IsDrivenFromTheControlsAudioThread) {
  // The control's audio thread has no event loop; every call is carried to
  // the output thread and back. Without a sound device Create says so.
  std::thread audio([] {
    QtAudioDevice device;
    platform::AudioFormat format;
    format.bitsPerSample = 8;
    const bool created = device.Create(format, 4096);
    if (created) {
      const uint8_t block[512] = {};
      EXPECT_TRUE(device.Write(0, block, 512));
      EXPECT_TRUE(device.PlayLooping());
      EXPECT_GE(device.PlayCursor(), 0);
      EXPECT_LT(device.PlayCursor(), 4096);
      device.Stop();
    }
    EXPECT_FALSE(device.Lost());
  });
  audio.join();
}

TEST(WavFileAudioDevice, RecordsSilenceWhileStoppedSoTheFileKeepsTheClock) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("quiet.wav").toStdString();
  {
    WavFileAudioDevice device(path);
    platform::AudioFormat format;
    format.bitsPerSample = 8;
    ASSERT_TRUE(device.Create(format, 4096));
    QThread::msleep(100);
  }
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray wav = file.readAll();
  EXPECT_GE(wav.size() - 44, 700);  // 100 ms at 8000 samples/s, less rounding
  for (int i = 44; i < wav.size(); ++i) ASSERT_EQ(uint8_t(wav[i]), 0x80) << i;
}

TEST(WavFileAudioDevice, FailsWhenItsFileCannotBeMade) {
  WavFileAudioDevice device("/nonexistent-dir/x/out.wav");
  EXPECT_FALSE(device.Create(platform::AudioFormat{}, 4096));
}

}  // namespace
}  // namespace tevrano::host
