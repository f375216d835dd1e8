// 5. The backup's movie writer against decoding: writing a D1 (704x576,
// 25 fps) span into a movie, frame by frame as the backup job does (limits,
// skip-frame and text bookkeeping, the sample and its tail written to a
// file), compared with decoding the same frames with libavcodec (one
// thread). The writer copies, it never decodes: the goal is under 5 %.
// Prints the cost per frame of both and the ratio; and the allocations made
// while writing (none per frame).
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "BenchSupport.h"
#include "platform/posix/PosixFileSystem.h"
#include "record/MovieWriter.h"

using namespace tevrano;
using namespace tevrano::bench;

namespace {
std::atomic<long> gAllocations{0};
}  // namespace

void* operator new(size_t n) {
  ++gAllocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t n) {
  return operator new(n);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
  std::free(p);
}

namespace {

constexpr uint8_t kConfig[] = {1, 66, 0, 30, 0xFF, 0xE0, 0};

// Wraps a unit as a backup packet: FrameHeader, payload, padding to 64.
std::vector<uint8_t> Packet(const Unit& u, uint32_t seconds, uint32_t frame) {
  const size_t n = (32 + u.bytes.size() + 63) / 64 * 64;
  std::vector<uint8_t> p(n, 0);
  p[3] = 3;
  std::memcpy(p.data() + 4, &seconds, 4);
  p[8] = uint8_t(frame);
  p[11] = 1 << 6;
  p[12] = 36;
  p[13] = 44;
  p[15] = u.key ? 0 : 0x10;
  p[18] = uint8_t(n / 64);
  p[19] = uint8_t(n / 64 >> 8);
  std::memcpy(p.data() + 32, u.bytes.data(), u.bytes.size());
  return p;
}

}  // namespace

int main() {
  constexpr int kFrames = 250;  // 10 s, looped
  const std::vector<Unit> units = Encode(704, 576, kFrames, 25);
  if (units.empty()) {
    std::printf("MovieWriteBench: no libx264 encoder\n");
    return 1;
  }

  // Decoding, one thread.
  const AVCodec* codec = avcodec_find_decoder_by_name("h264");
  AVCodecContext* c = avcodec_alloc_context3(codec);
  c->extradata = static_cast<uint8_t*>(av_mallocz(sizeof kConfig + AV_INPUT_BUFFER_PADDING_SIZE));
  std::memcpy(c->extradata, kConfig, sizeof kConfig);
  c->extradata_size = sizeof kConfig;
  c->thread_count = 1;
  avcodec_open2(c, codec, nullptr);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* picture = av_frame_alloc();
  size_t next = 0;
  auto decode = [&] {
    const Unit& u = units[next++ % units.size()];
    av_new_packet(pkt, int(u.bytes.size()));
    std::memcpy(pkt->data, u.bytes.data(), u.bytes.size());
    avcodec_send_packet(c, pkt);
    av_packet_unref(pkt);
    while (avcodec_receive_frame(c, picture) == 0) {
    }
  };
  const double decodeSeconds = SecondsPerCall(3, kFrames, decode);

  // Writing a 30-minute span (45000 frames) to a file.
  std::vector<std::vector<uint8_t>> packets;
  for (int i = 0; i < kFrames; ++i) packets.push_back(Packet(units[size_t(i)], 0, 0));
  std::vector<uint8_t> frame(1 << 20);
  platform::PosixFileSystem disk;
  const std::string path = "/tmp/tevrano_movie_bench_" + std::to_string(getpid()) + ".mov";
  record::MovieWriter writer;
  constexpr uint32_t kStart = 500000, kSpanFrames = 30 * 60 * 25;
  double writeSeconds = 1e30;
  long allocations = 0;
  for (int round = 0; round < 2; ++round) {
    writer.Create(disk, path, kStart, kStart + 3600, 1, 0);
    const long before = gAllocations.load();
    const auto t0 = std::chrono::steady_clock::now();
    for (uint32_t i = 0; i < kSpanFrames - 1; ++i) {
      const std::vector<uint8_t>& p = packets[i % kFrames];
      std::memcpy(frame.data(), p.data(), p.size());
      const uint32_t seconds = kStart + i / 25, f = i % 25;
      std::memcpy(frame.data() + 4, &seconds, 4);
      frame[8] = uint8_t(f);
      if (writer.CheckFrameLimits(frame.data(), uint32_t(p.size())) != 0) break;
      writer.WriteFrames(frame.data(), uint32_t(p.size()));
    }
    allocations = gAllocations.load() - before;
    writer.FinishMovie();
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    writeSeconds = std::min(writeSeconds, s / kSpanFrames);
  }
  std::remove(path.c_str());
  std::printf("MovieWriteBench: D1 25 fps, 30-minute span (%u frames)\n", kSpanFrames);
  std::printf("  decode (libavcodec, 1 thread): %8.1f us/frame\n", decodeSeconds * 1e6);
  std::printf("  movie writer (to a file):      %8.1f us/frame\n", writeSeconds * 1e6);
  std::printf("  writer / decode: %.2f %% (goal under 5 %%)\n", 100 * writeSeconds / decodeSeconds);
  std::printf("  allocations while writing %u frames: %ld\n", kSpanFrames, allocations);
  av_frame_free(&picture);
  av_packet_free(&pkt);
  avcodec_free_context(&c);
  return 0;
}
