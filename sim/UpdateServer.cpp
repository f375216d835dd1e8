#include "UpdateServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace tevrano::sim {

namespace {
double NowSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
bool SendAnswer(int fd, uint32_t value) {
  const uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                        uint8_t(value >> 24)};
  size_t sent = 0;
  while (sent < 4) {
    const ssize_t n = ::send(fd, b + sent, 4 - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += size_t(n);
  }
  return true;
}
}  // namespace

uint32_t ImageByteSum(const std::vector<uint8_t>& bytes) {
  uint32_t sum = 0;
  for (uint8_t b : bytes) sum += b;
  return sum;
}

uint32_t ImageFnv1a(const std::vector<uint8_t>& bytes) {
  uint32_t h = 2166136261u;
  for (uint8_t b : bytes) h = (h ^ b) * 16777619u;
  return h;
}

UpdateServer::UpdateServer(const UpdateServerOptions& options, JsonLog& log)
    : options_(options), log_(log), start_(NowSeconds()) {}

UpdateServer::~UpdateServer() {
  Stop();
}

bool UpdateServer::Start(std::string& error) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) {
    error = std::strerror(errno);
    return false;
  }
  int one = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(options_.port);
  if (::inet_pton(AF_INET, options_.address.c_str(), &a.sin_addr) != 1) {
    error = "bad address " + options_.address;
    return false;
  }
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listenFd_, 4) != 0) {
    error = "update port " + std::to_string(options_.port) + ": " + std::strerror(errno);
    ::close(listenFd_);
    listenFd_ = -1;
    return false;
  }
  socklen_t len = sizeof a;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  JsonEvent e("update_listen");
  e.Add("port", int(port_));
  Log(e);
  thread_ = std::thread([this] { Run(); });
  return true;
}

void UpdateServer::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) ::close(listenFd_);
  listenFd_ = -1;
}

std::vector<uint8_t> UpdateServer::LastImage() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastImage_;
}

void UpdateServer::Log(JsonEvent& e) {
  log_.Write(e, NowSeconds() - start_);
}

void UpdateServer::Run() {
  while (!stop_) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    JsonEvent e("update_connect");
    Log(e);
    Serve(fd);
    ::close(fd);
    JsonEvent d("update_disconnect");
    Log(d);
  }
}

// Silence: reads and drops what arrives for the configured time.
bool UpdateServer::Silent(const char* phase, int fd) {
  if (options_.silentAt != phase) return false;
  JsonEvent e("update_silent");
  e.Add("phase", phase);
  Log(e);
  const double until = NowSeconds() + options_.silentSeconds;
  uint8_t sink[4096];
  while (!stop_ && NowSeconds() < until) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) > 0 && ::recv(fd, sink, sizeof sink, 0) <= 0) break;
  }
  return true;
}

void UpdateServer::Serve(int fd) {
  std::vector<uint8_t> packet(kPacketSize);
  std::vector<uint8_t> image;
  uint32_t announced = 0;
  bool announcedOk = false, repeated = false;
  uint32_t wanted = 0;  // the chunk asked for last
  size_t have = 0;
  for (;;) {
    // One whole packet.
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, 100);
    if (stop_) return;
    if (r <= 0) continue;
    const ssize_t n = ::recv(fd, packet.data() + have, kPacketSize - have, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    have += size_t(n);
    if (have < kPacketSize) continue;
    have = 0;

    const uint32_t size = Le32(packet.data());
    const uint32_t kind = Le32(packet.data() + 4);
    const uint32_t chunk = Le32(packet.data() + 4104);
    if (kind == kPoll) continue;
    if (kind == kAnnounce) {
      char name[1281] = {};
      std::memcpy(name, packet.data() + 8, 1280);
      JsonEvent e("update_announce");
      e.Add("size", size).Add("name", std::string(name)).Add("chunk", chunk);
      e.Add("accepted", !options_.refuseVersion);
      Log(e);
      if (Silent("announce", fd)) return;
      if (options_.refuseVersion) {
        SendAnswer(fd, 0xFFFF);
        continue;
      }
      announced = size;
      announcedOk = true;
      image.assign(size, 0);
      wanted = 1;
      if (!SendAnswer(fd, 1)) return;
      continue;
    }
    if ((kind != kData && kind != kLastData) || !announcedOk) {
      JsonEvent e("update_unexpected");
      e.Add("kind", kind).Add("chunk", chunk);
      Log(e);
      continue;
    }
    const uint64_t offset = uint64_t(chunk - 1) * kChunk;
    const bool fits = chunk >= 1 && size <= kChunk && offset + size <= announced;
    JsonEvent e("update_chunk");
    e.Add("chunk", chunk).Add("size", size).Add("last", kind == kLastData);
    e.Add("wanted", wanted).Add("fits", fits);
    Log(e);
    if (fits) std::memcpy(image.data() + offset, packet.data() + 8, size);
    if (chunk == 1 && Silent("upload", fd)) return;
    if (kind == kData) {
      const uint32_t next = options_.repeatChunk == chunk && !repeated ? chunk : chunk + 1;
      if (next == chunk) repeated = true;
      wanted = next;
      if (!SendAnswer(fd, next)) return;
      continue;
    }
    // The last chunk: the image is complete when it ends at the announced size.
    const bool whole = fits && offset + size == announced;
    {
      JsonEvent img("update_image");
      img.Add("size", int64_t(image.size())).Add("whole", whole);
      img.Add("byte_sum", ImageByteSum(image)).Add("fnv1a", ImageFnv1a(image));
      Log(img);
    }
    if (whole) {
      std::lock_guard<std::mutex> lock(mutex_);
      lastImage_ = image;
    }
    if (whole && !options_.savePath.empty()) {
      std::FILE* f = std::fopen(options_.savePath.c_str(), "wb");
      bool ok = f && std::fwrite(image.data(), 1, image.size(), f) == image.size();
      if (f) ok = std::fclose(f) == 0 && ok;
      JsonEvent s("update_saved");
      s.Add("path", options_.savePath).Add("ok", ok);
      Log(s);
    }
    if (!SendAnswer(fd, chunk + 1)) return;
    if (Silent("write", fd)) return;
    for (uint32_t w = 20; w <= 100 && !stop_; w += 20) {
      std::this_thread::sleep_for(std::chrono::milliseconds(options_.writeStepMs));
      if (!SendAnswer(fd, w)) return;
      JsonEvent wp("update_write");
      wp.Add("percent", w);
      Log(wp);
    }
  }
}

}  // namespace tevrano::sim
