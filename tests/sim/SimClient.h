// A scripted viewer for the simulator tests: starts the real simulator
// program on a loopback address and talks to it over plain sockets.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "Bytes.h"
#include "Credentials.h"
#include "LiveEvents.h"
#include "StreamPacket.h"
#include "Wire.h"

namespace tevrano::sim::test {

constexpr const char* kAddress = "127.0.0.2";

class SimProcess {
 public:
  // Starts the simulator with the options; picks a free port.
  explicit SimProcess(std::vector<std::string> args) {
    for (int attempt = 0; attempt < 20 && pid_ <= 0; ++attempt) {
      port_ = uint16_t(20000 + (getpid() * 7 + attempt * 131 + int(std::time(nullptr))) % 40000);
      std::vector<std::string> all = {TEVRANO_SIM_PROGRAM, "--listen",
                                      std::string(kAddress) + ":" + std::to_string(port_),
                                      "--quiet"};
      all.insert(all.end(), args.begin(), args.end());
      pid_t pid = fork();
      if (pid == 0) {
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
      }
      pid_ = pid;
      if (!WaitUntilListening()) {
        Stop();
        pid_ = -1;
      }
    }
  }
  ~SimProcess() { Stop(); }
  bool running() const { return pid_ > 0; }
  uint16_t port() const { return port_; }
  // Exit status once it ended by itself, -1 while it runs.
  int Stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }
  bool Alive() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

 private:
  bool WaitUntilListening();
  pid_t pid_ = -1;
  uint16_t port_ = 0;
};

class Socket {
 public:
  Socket() = default;
  explicit Socket(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, kAddress, &a.sin_addr);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  void Send(const std::vector<uint8_t>& b) {
    size_t at = 0;
    while (at < b.size()) {
      ssize_t n = ::send(fd_, b.data() + at, b.size() - at, MSG_NOSIGNAL);
      if (n <= 0) return;
      at += size_t(n);
    }
  }
  // Reads whatever arrives within the time; false when the peer closed.
  bool ReadSome(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return true;
    uint8_t buf[65536];
    ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) return false;
    in.insert(in.end(), buf, buf + n);
    return true;
  }
  std::vector<uint8_t> in;

 private:
  int fd_ = -1;
};

inline bool SimProcess::WaitUntilListening() {
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid_, nullptr, WNOHANG) != 0) return false;
    Socket probe(port_);
    if (probe.ok()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

inline std::string Creds(const std::string& user = "1234", const std::string& pass = "5678") {
  return ScrambleCredentials(user, pass, uint32_t(std::time(nullptr)));
}

// Takes one HTTP-wrapped answer from the front of the bytes; the body, or
// empty when not complete yet.
inline bool TakeAnswer(std::vector<uint8_t>& in, std::vector<uint8_t>& body) {
  const std::string text(in.begin(), in.end());
  if (text.rfind("HTTP/1.1 200 OK\r\n", 0) != 0) return false;
  size_t end = text.find("\r\n\r\n");
  if (end == std::string::npos) return false;
  size_t at = text.find("Content-Length: ");
  if (at == std::string::npos || at > end) return false;
  size_t length = std::stoul(text.substr(at + 16));
  if (in.size() < end + 4 + length) return false;
  body.assign(in.begin() + ptrdiff_t(end + 4), in.begin() + ptrdiff_t(end + 4 + length));
  in.erase(in.begin(), in.begin() + ptrdiff_t(end + 4 + length));
  return true;
}

inline bool AwaitAnswer(Socket& s, std::vector<uint8_t>& body, int timeoutMs = 5000) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < until) {
    if (TakeAnswer(s.in, body)) return true;
    if (!s.ReadSome(50)) return TakeAnswer(s.in, body);
  }
  return false;
}

struct Module {
  uint32_t tag;
  std::vector<uint8_t> body;
};

inline std::vector<Module> ModulesOf(const std::vector<uint8_t>& frameBody) {
  std::vector<Module> out;
  if (frameBody.size() < kFrameHeaderSize) return out;
  ByteReader payload(frameBody.data() + kFrameHeaderSize, frameBody.size() - kFrameHeaderSize);
  WalkModuleMessages(payload, [&](const ModuleMessageView& m) {
    if (m.checksumOk)
      out.push_back({m.tag, std::vector<uint8_t>(m.body.data(), m.body.data() + m.body.size())});
  });
  return out;
}

inline std::vector<uint8_t> Frame(uint32_t command, uint32_t session, uint32_t socketIndex,
                                  const std::vector<uint8_t>& payload,
                                  const std::string& creds = Creds()) {
  return BuildCommandFrame(command, session, 0, socketIndex, payload, creds);
}

inline std::vector<uint8_t> ZellHello(uint32_t session, uint32_t kind = 1) {
  std::vector<uint8_t> hello(256, 0);
  PutLe32(&hello[0], kind);
  PutLe32(&hello[4], 1);
  return BuildModuleMessage(Tag("ZELL"), BuildSubHeaderBody(session, 0, hello));
}

inline std::vector<uint8_t> StreamRequest(const std::string& creds = Creds()) {
  std::vector<uint8_t> r(256, 0);
  PutLe32(&r[0], 256);
  PutLe32(&r[4], Tag("RK9P"));
  std::memcpy(&r[32], "GVDO", 4);
  uint32_t sum = 0;
  for (size_t i = 32; i < 256; ++i) sum += r[i];
  PutLe32(&r[8], sum);
  return Frame(kExchange, 0, 2, r, creds);
}

// Logs in on a new command connection; the session, or 0.
inline uint32_t Login(Socket& s, std::vector<Module>* answer = nullptr) {
  s.Send(Frame(kHello, 0, 0, {}));
  std::vector<uint8_t> body;
  if (!AwaitAnswer(s, body) || body.size() < 64 || GetLe32(&body[8]) != kAssign) return 0;
  const uint32_t session = GetLe32(&body[12]);
  s.Send(Frame(kExchange, session, 0, ZellHello(session)));
  if (!AwaitAnswer(s, body)) return 0;
  if (answer) *answer = ModulesOf(body);
  return session;
}

// Polls until a module message of the tag for which `want` holds arrives
// (its body), or the time is up (empty).
template <typename Want>
inline std::vector<uint8_t> PollFor(Socket& s, uint32_t session, uint32_t tag, Want want,
                                    int timeoutMs = 8000, const std::vector<uint8_t>& first = {}) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<uint8_t> messages = first;
  while (std::chrono::steady_clock::now() < until) {
    s.Send(Frame(messages.empty() ? kPoll : kExchange, session, 0, messages));
    messages.clear();
    std::vector<uint8_t> body;
    if (!AwaitAnswer(s, body)) return {};
    for (const Module& m : ModulesOf(body))
      if (m.tag == tag && want(m.body)) return m.body;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return {};
}

// The name of an "ICTL" item write (sub-header, then total and name).
inline std::string ItemName(const std::vector<uint8_t>& body) {
  ByteReader r(body.data(), body.size());
  return r.Text(32 + 4, 252);
}

// A marker-framed packet parsed from the front of a byte stream.
struct MarkerPacket {
  uint32_t type, seconds, frame, widthMbs, heightMbs, subChannel, frameType, units, rateField,
      streamKind, counter, morePackets;
  std::vector<uint8_t> payload;
};

// False when the front is not a packet header; sets complete when it is
// whole.
inline bool TakeMarkerPacket(std::vector<uint8_t>& in, MarkerPacket& p, bool& complete) {
  complete = false;
  if (in.size() < 32) return true;
  if (!(in[0] == 0 && in[1] == 0 && in[2] == 0 && in[3] == 3)) return false;
  p.seconds = GetLe32(&in[4]);
  p.frame = in[8];
  p.type = in[11] >> 6;
  p.heightMbs = in[12];
  p.widthMbs = in[13];
  p.subChannel = in[14] >> 4;
  p.morePackets = in[15] & 15;
  p.frameType = (in[15] >> 4) & 3;
  p.units = GetLe16(&in[18]);
  p.rateField = (GetLe32(&in[20]) >> 5) & 0x1FFFF;
  p.streamKind = (in[23] >> 5) & 3;
  p.counter = GetLe16(&in[26]) >> 6;
  if (p.units == 0) return false;
  if (in.size() < p.units * 64u) return true;
  p.payload.assign(in.begin() + 32, in.begin() + p.units * 64);
  in.erase(in.begin(), in.begin() + p.units * 64);
  complete = true;
  return true;
}

}  // namespace tevrano::sim::test
