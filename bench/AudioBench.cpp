// The audio thread's processor time while it plays: the real thread, about
// every 50 ms, reading audio packets that arrive at the real rate (480
// samples every 60 ms) and feeding a device that plays by the clock into
// nothing. The device runs on the audio thread, so it reads the thread's
// own processor time there.
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "audio/Audiothread1.h"
#include "stream/StreamSystem.h"
#include "tests/stream/StreamPackets.h"
#include "view/ViewRecords.h"

namespace tevrano::bench {
namespace {

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t ThreadCpuUs() {
  rusage u{};
  getrusage(RUSAGE_THREAD, &u);
  return int64_t(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000 + u.ru_utime.tv_usec +
         u.ru_stime.tv_usec;
}

// Plays by the clock into nothing; notes the calling thread's time.
class NullDevice : public platform::AudioDevice {
 public:
  bool Create(const platform::AudioFormat&, int bufferBytes) override {
    size_ = bufferBytes;
    return true;
  }
  bool PlayLooping() override {
    startUs_ = NowUs();
    return true;
  }
  void Stop() override {}
  int PlayCursor() const override {
    const int64_t now = NowUs();
    const int64_t cpu = ThreadCpuUs();
    if (firstWallUs.load() == 0) {
      firstWallUs = now;
      firstCpuUs = cpu;
    }
    lastWallUs = now, lastCpuUs = cpu;
    return int(((now - startUs_) * 8000 / 1000000) % size_);
  }
  bool Write(int, const uint8_t*, int count) override {
    bytes += count;
    return true;
  }
  bool Lost() const override { return false; }
  bool Restore() override { return true; }

  mutable std::atomic<int64_t> firstWallUs{0}, firstCpuUs{0}, lastWallUs{0}, lastCpuUs{0};
  std::atomic<int64_t> bytes{0};

 private:
  int size_ = 4096;
  int64_t startUs_ = 0;
};

class NullFactory : public platform::AudioDeviceFactory {
 public:
  std::unique_ptr<platform::AudioDevice> CreateAudioDevice() override {
    auto d = std::make_unique<NullDevice>();
    last = d.get();
    return d;
  }
  NullDevice* last = nullptr;
};

}  // namespace
}  // namespace tevrano::bench

int main(int argc, char** argv) {
  using namespace tevrano;
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
  bench::NullFactory factory;
  ViewState view{};
  view.Initialize();  // live, channel 0 alone
  StreamStats stats;
  StreamContextLinks links;
  links.view = &view;
  links.stats = &stats;
  StreamConnection c;
  c.Context = &links;
  c.AllocateBuffers();
  PictureGlobals picture;
  Audiothread1 audio(factory, c, picture);
  audio.SetEnabled(true);

  // The recorder's packets, built before the clock starts: 480 samples of a
  // tone each.
  std::vector<std::vector<uint8_t>> packets;
  for (uint32_t i = 0; i < 50; ++i) {
    test::PacketSpec s;
    s.type = 2;
    s.frame = i % 25;
    s.payload.resize(1024 - 32);
    for (size_t k = 0; k + 1 < s.payload.size(); k += 2)
      s.payload[k + 1] = uint8_t((k / 16) % 2 ? 0x20 : 0xE0);
    packets.push_back(test::TransportPacket(s));
  }

  TAudioThread1 thread(audio);
  thread.Start();
  const auto start = std::chrono::steady_clock::now();
  uint32_t sent = 0;
  while (std::chrono::steady_clock::now() - start < std::chrono::seconds(seconds)) {
    const auto& p = packets[sent % packets.size()];
    c.AudioRing.Write(p.data(), uint32_t(p.size()));
    ++sent;
    std::this_thread::sleep_until(start + std::chrono::milliseconds(60) * sent);
  }
  thread.Terminate();

  const bench::NullDevice* d = factory.last;
  if (!d || d->lastWallUs <= d->firstWallUs) {
    std::printf("audio: the device was never fed\n");
    return 1;
  }
  const double wall = double(d->lastWallUs - d->firstWallUs);
  const double cpu = double(d->lastCpuUs - d->firstCpuUs);
  std::printf(
      "audio thread while playing: %.3f %% of a core (%.1f ms processor time over %.1f s, "
      "%llu cycles, %u packets, %lld bytes played)\n",
      100.0 * cpu / wall, cpu / 1000.0, wall / 1e6, (unsigned long long)audio.Cycles(), sent,
      (long long)d->bytes.load());
  return 0;
}
