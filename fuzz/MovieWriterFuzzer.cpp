// The movie writer fed with arbitrary backup packets: frames of one or more
// packets (FrameHeader first) go through the limits and the writer, then the
// movie is finished. Nothing may read or write outside its buffers, and the
// finished movie is read back by libavformat (when built with it) without a
// crash.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/fake/FakeFileSystem.h"
#include "record/MovieWriter.h"

#if defined(TEVRANO_HAVE_AVFORMAT)
extern "C" {
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/mem.h>
}
#endif

using namespace tevrano;

namespace {

constexpr uint32_t kStart = 400000;

#if defined(TEVRANO_HAVE_AVFORMAT)
struct Reader {
  const std::vector<uint8_t>* bytes;
  size_t pos = 0;
};
int ReadPacket(void* opaque, uint8_t* buf, int size) {
  auto* r = static_cast<Reader*>(opaque);
  const size_t n = std::min(size_t(size), r->bytes->size() - r->pos);
  if (n == 0) return AVERROR_EOF;
  std::memcpy(buf, r->bytes->data() + r->pos, n);
  r->pos += n;
  return int(n);
}
int64_t SeekPacket(void* opaque, int64_t offset, int whence) {
  auto* r = static_cast<Reader*>(opaque);
  if (whence == AVSEEK_SIZE) return int64_t(r->bytes->size());
  int64_t to = offset;
  if ((whence & 3) == SEEK_CUR) to += int64_t(r->pos);
  if ((whence & 3) == SEEK_END) to += int64_t(r->bytes->size());
  if (to < 0 || to > int64_t(r->bytes->size())) return -1;
  r->pos = size_t(to);
  return to;
}
void ReadBack(const std::vector<uint8_t>& movie) {
  Reader r{&movie};
  uint8_t* buffer = static_cast<uint8_t*>(av_malloc(4096));
  AVIOContext* io = avio_alloc_context(buffer, 4096, 0, &r, ReadPacket, nullptr, SeekPacket);
  AVFormatContext* fmt = avformat_alloc_context();
  fmt->pb = io;
  if (avformat_open_input(&fmt, nullptr, av_find_input_format("mov"), nullptr) == 0) {
    avformat_find_stream_info(fmt, nullptr);
    AVPacket* pkt = av_packet_alloc();
    for (int i = 0; i < 100000 && av_read_frame(fmt, pkt) >= 0; ++i) av_packet_unref(pkt);
    av_packet_free(&pkt);
    avformat_close_input(&fmt);
  } else {
    avformat_free_context(fmt);
  }
  av_freep(&io->buffer);
  avio_context_free(&io);
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::FakeFileSystem* files = [] {
    auto* f = new platform::FakeFileSystem;
    f->AddFolder("/f");
    return f;
  }();
  static record::MovieWriter* writer = new record::MovieWriter;
  static std::vector<uint8_t> frame(1 << 20);
  if (size < 2) return 0;
  writer->Create(*files, "/f/m.mov", kStart, kStart + (data[0] % 64), 0x1234, data[1] % 3);
  size_t at = 2;
  while (size - at >= 2) {
    size_t n = size_t(data[at]) << 8 | data[at + 1];
    at += 2;
    n = std::min(n, size - at);
    std::memcpy(frame.data(), data + at, n);
    at += n;
    // Most chunks start as packets: the magic and a time near the span.
    if (n >= 32) {
      frame[0] = frame[1] = frame[2] = 0;
      frame[3] = 3;
      const uint32_t seconds = kStart - 2 + (frame[4] & 63);
      std::memcpy(frame.data() + 4, &seconds, 4);
    }
    if (writer->CheckFrameLimits(frame.data(), uint32_t(n)) < 0) break;
    if (writer->WriteFrames(frame.data(), uint32_t(n)) == 0) break;
  }
  if (writer->FinishMovie()) {
#if defined(TEVRANO_HAVE_AVFORMAT)
    if (auto movie = files->Contents("/f/m.mov")) ReadBack(*movie);
#endif
  }
  return 0;
}
