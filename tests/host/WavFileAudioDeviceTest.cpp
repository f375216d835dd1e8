#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "host/QtAudioDevice.h"

namespace tevrano::host {
namespace {

uint32_t Le32(const QByteArray& b, int at) {
  return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 |
         uint32_t(uint8_t(b[at + 3])) << 24;
}

TEST(WavFileAudioDevice, PlaysTheLoopingBufferIntoAWaveFile) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("out.wav").toStdString();
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
    const int cursor = device.PlayCursor();
    EXPECT_GE(cursor, 0);
    EXPECT_LT(cursor, 4096);
    device.Stop();
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
  ASSERT_GT(wav.size(), 44 + 256);
  // Playing starts at offset 0, where the wrapped tail of the block lies.
  EXPECT_EQ(uint8_t(wav[44]), 0x40);
  EXPECT_EQ(uint8_t(wav[44 + 255]), 0x40);
}

TEST(WavFileAudioDevice, FailsWhenItsFileCannotBeMade) {
  WavFileAudioDevice device("/nonexistent-dir/x/out.wav");
  EXPECT_FALSE(device.Create(platform::AudioFormat{}, 4096));
}

}  // namespace
}  // namespace tevrano::host
