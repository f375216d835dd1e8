// Camera sound end to end: the headless viewer writes what its speakers
// would play into a WAV file (--audio-out); the simulator sends each
// channel's own tone (400 + 50 x channel Hz).
#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

#include "tests/e2e/E2eHarness.h"

namespace tevrano::e2e {
namespace {

constexpr int kRate = 8000;
constexpr int kWindow = kRate / 4;  // 250 ms

std::vector<uint8_t> WavSamples(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray wav = file.readAll();
  if (wav.size() < 44 || wav.left(4) != "RIFF" || uint8_t(wav[34]) != 8) return {};
  return std::vector<uint8_t>(wav.begin() + 44, wav.end());
}

// Power of `hz` in samples [from, from + n) (Goertzel), over the mean square.
double Power(const std::vector<uint8_t>& s, size_t from, size_t n, double hz) {
  const double k = 2 * std::cos(2 * M_PI * hz / kRate);
  double a = 0, b = 0;
  for (size_t i = 0; i < n; ++i) {
    const double x = double(s[from + i]) - 128;
    const double c = x + k * a - b;
    b = a;
    a = c;
  }
  return (a * a + b * b - k * a * b) / double(n);
}

double Rms(const std::vector<uint8_t>& s, size_t from, size_t n) {
  double sum = 0;
  for (size_t i = 0; i < n; ++i) sum += (double(s[from + i]) - 128) * (double(s[from + i]) - 128);
  return std::sqrt(sum / double(n));
}

// What each 250 ms window holds: 0 = silence, a channel's tone (its Hz), or
// -1 for anything else.
std::vector<int> Classify(const std::vector<uint8_t>& s) {
  std::vector<int> out;
  for (size_t at = 0; at + kWindow <= s.size(); at += kWindow) {
    if (Rms(s, at, kWindow) < 2) {
      out.push_back(0);
      continue;
    }
    int best = -1;
    double bestPower = 0, total = 0;
    for (int ch = 0; ch < 16; ++ch) {
      const double p = Power(s, at, kWindow, 400 + 50 * ch);
      total += p;
      if (p > bestPower) bestPower = p, best = 400 + 50 * ch;
    }
    out.push_back(bestPower > 0.6 * total ? best : -1);
  }
  return out;
}

// The strongest frequency near `hz` over windows [first, last), to 0.25 Hz.
double MeasuredHz(const std::vector<uint8_t>& s, size_t first, size_t last, double hz) {
  double best = hz, bestPower = -1;
  for (double f = hz * 0.97; f <= hz * 1.03; f += 0.25) {
    double p = 0;
    for (size_t w = first; w < last; ++w) p += Power(s, w * kWindow, kWindow, f);
    if (p > bestPower) bestPower = p, best = f;
  }
  return best;
}

// Longest run of windows equal to `value` at or after `from`: [begin, end).
std::pair<size_t, size_t> LongestRun(const std::vector<int>& w, int value, size_t from = 0) {
  std::pair<size_t, size_t> best{0, 0};
  for (size_t i = from; i < w.size();) {
    if (w[i] != value) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < w.size() && w[j] == value) ++j;
    if (j - i > best.second - best.first) best = {i, j};
    i = j;
  }
  return best;
}

TEST(AudioE2e, SpeakerPlaysTheShownCamerasToneAndFallsSilentWhenOffOrChanged) {
  Simulator sim;
  ASSERT_TRUE(sim.Start({"--channels", "16"})) << sim.Output();
  const std::string dir = TestOutputDir();
  const std::string wavPath = dir + "/sound.wav";
  const std::string scriptPath = dir + "/sound.txt";
  {
    std::ofstream script(scriptPath);
    script << "wait-until logged-in\n"
              "wait-until picture\n"
              "click-target TevranoKeyForm IE_DOING#SD 1\n"  // channel 1 alone: 400 Hz
              "wait 3\n"
              "move Image_Trumpet_BG 100 100\n"
              "click Image_Trumpet_Off\n"  // speaker on
              "wait 62\n"
              "dump "
           << dir
           << "/lag.json\n"
              "click Image_Trumpet_On\n"  // speaker off
              "wait 5\n"
              "click Image_Trumpet_Off\n"  // on again
              "wait 4\n"
              "click-target TevranoKeyForm IE_DOING#SD 4\n"  // channel 4 alone: 550 Hz
              "wait 8\n"
              "quit\n";
  }
  QStringList args = RecorderArgs(sim);
  args << "--script" << QString::fromStdString(scriptPath) << "--audio-out"
       << QString::fromStdString(wavPath);
  const ViewerResult run = RunViewer(args, "sound", std::chrono::seconds(200));
  ASSERT_TRUE(run.finished) << run.output;
  ASSERT_EQ(run.exitCode, 0) << run.output;

  const std::vector<uint8_t> samples = WavSamples(wavPath);
  ASSERT_GT(samples.size(), size_t(kRate) * 60) << "no sound file or too short";
  const std::vector<int> windows = Classify(samples);
  std::string timeline;
  for (int w : windows)
    timeline += w == 0 ? '.' : w == 400 ? 'a' : w == 550 ? 'd' : w < 0 ? '?' : 'x';
  std::printf("sound windows (250 ms; . silence, a 400 Hz, d 550 Hz): %s\n", timeline.c_str());

  // Channel 1's tone while the speaker is on.
  const auto tone = LongestRun(windows, 400);
  ASSERT_GE(tone.second - tone.first, size_t(40)) << timeline;  // 10 s and more
  const double hz = MeasuredHz(samples, tone.first, tone.second, 400);
  std::printf("channel 1 tone: %.2f Hz (400 expected)\n", hz);
  EXPECT_NEAR(hz, 400, 4);
  // Switched off: silence, then the tone again.
  const auto off = LongestRun(windows, 0, tone.second);
  EXPECT_GE(off.second - off.first, size_t(12)) << timeline;  // 3 s and more
  // Another camera: its own tone, and never the first one's after it.
  const auto other = LongestRun(windows, 550, off.second);
  ASSERT_GE(other.second - other.first, size_t(12)) << timeline;
  const double hz2 = MeasuredHz(samples, other.first, other.second, 550);
  std::printf("channel 4 tone: %.2f Hz (550 expected)\n", hz2);
  EXPECT_NEAR(hz2, 550, 5.5);
  EXPECT_EQ(std::count(windows.begin() + long(other.first), windows.end(), 400), 0) << timeline;

  // How far the sound was from the picture over the minute the speaker was
  // on before the dump (measured by the viewer at the play cursor each audio
  // cycle against the picture's clock; printed, not asserted).
  QFile lagFile(QString::fromStdString(dir + "/lag.json"));
  if (lagFile.open(QIODevice::ReadOnly)) {
    // The dump may carry texts that are not UTF-8 (a memo's own bytes): they
    // become replacement characters so the rest still parses.
    const QJsonObject control =
        ControlOf(QJsonDocument::fromJson(QString::fromUtf8(lagFile.readAll()).toUtf8()).object());
    std::printf("[ measured ] sound against the picture over a minute: mean %d ms, largest %d ms\n",
                control.value("audio_lag_mean_ms").toInt(),
                control.value("audio_lag_max_ms").toInt());
    std::printf("[ measured ] last %d ms (negative: the sound behind the picture), %d readings\n",
                control.value("audio_lag_last_ms").toInt(),
                control.value("audio_lag_samples").toInt());
  }
}

}  // namespace
}  // namespace tevrano::e2e
