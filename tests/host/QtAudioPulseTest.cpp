// The Qt sound output against a real sound server: a PulseAudio daemon of
// the test's own, with a null sink, takes what the device plays.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "host/QtAudioDevice.h"

namespace tevrano::host {
namespace {

// A PulseAudio daemon in a runtime folder of its own; also as root (it then
// warns and runs for this user only).
class PulseDaemon {
 public:
  bool Start() {
    if (!dir_.isValid()) return Fail("no temporary folder");
    env_ = QProcessEnvironment::systemEnvironment();
    env_.insert("XDG_RUNTIME_DIR", dir_.path());
    env_.remove("PULSE_SERVER");
    QProcess start;
    start.setProcessEnvironment(env_);
    start.setProcessChannelMode(QProcess::MergedChannels);
    start.start("pulseaudio", {"--start", "--exit-idle-time=-1", "-n",
                               "--load=module-null-sink sink_name=tevrano_null",
                               "--load=module-native-protocol-unix"});
    if (!start.waitForFinished(20000) || start.exitCode() != 0)
      return Fail("pulseaudio --start: " + start.readAll().toStdString() +
                  start.errorString().toStdString());
    started_ = true;
    // The daemon is up once it answers.
    for (int i = 0; i < 100; ++i) {
      QProcess info;
      info.setProcessEnvironment(env_);
      info.start("pactl", {"info"});
      if (info.waitForFinished(5000) && info.exitCode() == 0) {
        qputenv("XDG_RUNTIME_DIR", dir_.path().toUtf8());
        qputenv("PULSE_SERVER", ("unix:" + dir_.path() + "/pulse/native").toUtf8());
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return Fail("the daemon never answered");
  }
  ~PulseDaemon() {
    if (!started_) return;
    QProcess kill;
    kill.setProcessEnvironment(env_);
    kill.start("pulseaudio", {"--kill"});
    kill.waitForFinished(10000);
  }
  const std::string& Why() const { return why_; }

 private:
  bool Fail(std::string why) {
    why_ = std::move(why);
    return false;
  }
  QTemporaryDir dir_;
  QProcessEnvironment env_;
  bool started_ = false;
  std::string why_;
};

TEST(QtAudioPulse, PlaysIntoANullSinkAndItsCursorAdvances) {
  PulseDaemon daemon;
  if (!daemon.Start()) GTEST_SKIP() << "no PulseAudio daemon could be started: " << daemon.Why();
  // Driven from a thread without an event loop, as the control's audio thread.
  std::thread audio([] {
    QtAudioDevice device;
    platform::AudioFormat format;
    format.bitsPerSample = 8;
    // 8-bit unsigned when the output takes it, else 16-bit, as the control does.
    if (!device.Create(format, 4096)) {
      format.bitsPerSample = 16;
      ASSERT_TRUE(device.Create(format, 8192)) << "no output for mono at 8000 Hz";
    }
    uint8_t block[512];
    for (int i = 0; i < 512; ++i) block[i] = uint8_t(128 + 60 * ((i / 10) % 2));
    // Fed as the control feeds it: a block whenever less than two are
    // queued ahead of the play cursor, which the output's fill tells.
    const int size = format.bitsPerSample == 8 ? 4096 : 8192;
    const int blockBytes = format.bitsPerSample == 8 ? 512 : 1024;
    std::vector<uint8_t> sound(size_t(blockBytes), 0);
    for (int i = 0; i < blockBytes; ++i) sound[size_t(i)] = block[i % 512];
    int64_t submitted = 0, played = 0;
    int last = 0, moves = 0;
    ASSERT_TRUE(device.Write(0, sound.data(), blockBytes));
    submitted += blockBytes;
    ASSERT_TRUE(device.PlayLooping());
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (played < 3 * size && std::chrono::steady_clock::now() < end) {
      const int cursor = device.PlayCursor();
      if (cursor != last) ++moves;
      played += (cursor - last + size) % size;
      last = cursor;
      while (submitted - played < 2 * blockBytes) {
        ASSERT_TRUE(device.Write(int(submitted % size), sound.data(), blockBytes));
        submitted += blockBytes;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // The sink consumed three loops' worth and the cursor went round.
    EXPECT_GE(played, 3 * size) << "the play cursor moved " << moves << " times";
    EXPECT_GE(moves, 3);
    device.Stop();
  });
  audio.join();
}

}  // namespace
}  // namespace tevrano::host
