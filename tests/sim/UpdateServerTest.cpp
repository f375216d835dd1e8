// The simulator's firmware update service, driven by a raw client that
// speaks the wire layout.
#include "UpdateServer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tevrano::sim {
namespace {

void Put32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
}

class Client {
 public:
  explicit Client(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.2", &a.sin_addr);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ~Client() { ::close(fd_); }
  bool connected() const { return connected_; }

  void Send(uint32_t size, uint32_t kind, const uint8_t* bytes, size_t n, uint32_t chunk,
            size_t at = 8) {
    std::vector<uint8_t> p(4108, 0);
    Put32(p.data(), size);
    Put32(p.data() + 4, kind);
    if (n) std::memcpy(p.data() + at, bytes, n);
    Put32(p.data() + 4104, chunk);
    // Sent in two pieces: the service must read packets whole.
    ASSERT_EQ(::send(fd_, p.data(), 1000, MSG_NOSIGNAL), 1000);
    ASSERT_EQ(::send(fd_, p.data() + 1000, p.size() - 1000, MSG_NOSIGNAL), 3108);
  }
  // The next 4-byte answer; -1 when none comes within `ms`.
  int64_t Answer(int ms = 5000) {
    uint8_t b[4];
    size_t have = 0;
    while (have < 4) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, ms) <= 0) return -1;
      const ssize_t n = ::recv(fd_, b + have, 4 - have, 0);
      if (n <= 0) return -1;
      have += size_t(n);
    }
    return int64_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                   uint32_t(b[3]) << 24);
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 13 + (i >> 9));
  return v;
}

// Sends `image` as the recorder asks; returns the chunk numbers asked for.
std::vector<uint32_t> Upload(Client& c, const std::vector<uint8_t>& image) {
  std::vector<uint32_t> asked;
  c.Send(uint32_t(image.size()), UpdateServer::kAnnounce,
         reinterpret_cast<const uint8_t*>("dvr.rom"), 8, 0);
  int64_t answer = c.Answer();
  EXPECT_EQ(answer, 1);
  uint32_t chunk = 1;
  for (int guard = 0; guard < 100; ++guard) {
    asked.push_back(chunk);
    const size_t offset = size_t(chunk - 1) * 4096;
    const size_t n = std::min<size_t>(4096, image.size() - offset);
    const bool last = n < 4096;
    c.Send(uint32_t(n), last ? UpdateServer::kLastData : UpdateServer::kData, image.data() + offset,
           n, chunk);
    answer = c.Answer();
    if (answer < 0 || last) break;
    chunk = uint32_t(answer);
  }
  return asked;
}

TEST(UpdateServer, TakesTheImageInTheChunksItAsksForAndReportsTheWrite) {
  JsonLog log;
  UpdateServerOptions o;
  o.repeatChunk = 2;
  o.writeStepMs = 1;
  o.savePath = ::testing::TempDir() + "update-image.rom";
  UpdateServer server(o, log);
  std::string error;
  ASSERT_TRUE(server.Start(error)) << error;
  Client c(server.Port());
  ASSERT_TRUE(c.connected());
  const std::vector<uint8_t> image = Pattern(10000);
  EXPECT_EQ(Upload(c, image), (std::vector<uint32_t>{1, 2, 2, 3}));
  std::vector<int64_t> writes;
  for (int64_t w = c.Answer(); w >= 0; w = c.Answer()) {
    writes.push_back(w);
    if (w >= 100) break;
  }
  EXPECT_EQ(writes.back(), 100);
  EXPECT_EQ(server.LastImage(), image);
  std::ifstream saved(o.savePath, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(saved)),
                                   std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, image);
  server.Stop();
}

TEST(UpdateServer, ExactlyTwoChunksEndWithAnEmptyLastPacket) {
  JsonLog log;
  UpdateServerOptions o;
  o.writeStepMs = 1;
  UpdateServer server(o, log);
  std::string error;
  ASSERT_TRUE(server.Start(error)) << error;
  Client c(server.Port());
  const std::vector<uint8_t> image = Pattern(8192);
  EXPECT_EQ(Upload(c, image), (std::vector<uint32_t>{1, 2, 3}));
  for (int64_t w = c.Answer(); w >= 0 && w < 100; w = c.Answer()) {
  }
  EXPECT_EQ(server.LastImage(), image);
}

TEST(UpdateServer, RefusesTheVersionOrGoesSilent) {
  {
    JsonLog log;
    UpdateServerOptions o;
    o.refuseVersion = true;
    UpdateServer server(o, log);
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    Client c(server.Port());
    c.Send(100, UpdateServer::kAnnounce, nullptr, 0, 0);
    EXPECT_EQ(c.Answer(), 0xFFFF);
  }
  {
    JsonLog log;
    UpdateServerOptions o;
    o.silentAt = "announce";
    o.silentSeconds = 1;
    UpdateServer server(o, log);
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    Client c(server.Port());
    c.Send(100, UpdateServer::kAnnounce, nullptr, 0, 0);
    // Nothing answers while silent; the connection ends after the silence.
    EXPECT_EQ(c.Answer(3000), -1);
  }
}

}  // namespace
}  // namespace tevrano::sim
