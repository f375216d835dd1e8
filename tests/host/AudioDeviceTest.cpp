#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <thread>

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

TEST(LoopBuffer, WritesWrapAtTheEndAndTheCursorFollowsThePulls) {
  LoopBuffer buffer;
  buffer.Reset(8);
  const uint8_t bytes[] = {1, 2, 3, 4};
  buffer.Write(6, bytes, 4);   // 6, 7, then 0, 1
  buffer.Write(-6, bytes, 1);  // an offset before the start counts from the end
  char pulled[10];
  buffer.Pull(pulled, 10);
  EXPECT_EQ(std::vector<int>(pulled, pulled + 10),
            (std::vector<int>{3, 4, 1, 0, 0, 0, 1, 2, 3, 4}));
  EXPECT_EQ(buffer.Cursor(), 2);
  buffer.Rewind();
  EXPECT_EQ(buffer.Cursor(), 0);
}

TEST(LoopReader, HandsOutOnlyALeadAheadOfWhatWasPlayed) {
  LoopBuffer buffer;
  buffer.Reset(4096);
  LoopReader reader(buffer);
  qint64 played = 0;
  reader.Start([&] { return played; }, 1024);
  reader.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
  char data[8192];
  EXPECT_EQ(reader.read(data, 8192), 1024);  // an output asking for much gets the lead
  EXPECT_EQ(buffer.Cursor(), 1024);
  EXPECT_EQ(reader.read(data, 8192), 0);  // nothing more until some is played
  played = 3000;
  EXPECT_EQ(reader.read(data, 100), 100);
  EXPECT_EQ(reader.read(data, 8192), 4024 - 1124);
  EXPECT_EQ(buffer.Cursor(), 4024);
  played = 10000;  // the cursor wraps with the looping buffer
  EXPECT_EQ(reader.read(data, 8192), 4096);
  EXPECT_EQ(reader.read(data, 8192), 11024 - 8120);
  EXPECT_EQ(buffer.Cursor(), 11024 % 4096);
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
