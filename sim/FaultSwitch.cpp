// The recorder's --fault switch (one fault, once, for a while) and its
// --hostile switch (random well-framed module messages and stream packets).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Recorder.h"

namespace tevrano::sim {

namespace {

// Pauses between the pieces of a split answer, and between the single
// bytes of a slow connection (seconds).
constexpr double kSplitPauseMin = 0.02, kSplitPauseMax = 0.1;
constexpr double kSlowPause = 0.002;
constexpr size_t kSplitPieceMost = 16 * 1024;

}  // namespace

bool Recorder::OpenListenSocket(std::string& error) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) {
    error = std::strerror(errno);
    return false;
  }
  int one = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(options_.listenPort);
  if (::inet_pton(AF_INET, options_.listenAddress.c_str(), &addr.sin_addr) != 1) {
    error = "not an IPv4 address: " + options_.listenAddress;
    ::close(listenFd_);
    listenFd_ = -1;
    return false;
  }
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 ||
      ::listen(listenFd_, 64) < 0) {
    error = options_.listenAddress + ":" + std::to_string(options_.listenPort) + ": " +
            std::strerror(errno);
    ::close(listenFd_);
    listenFd_ = -1;
    return false;
  }
  return true;
}

bool Recorder::FaultOn(FaultKind kind) const {
  return fault_.Active(kind, Now() - start_);
}

bool Recorder::RefusingLogins() const {
  return options_.refuse || FaultOn(FaultKind::Credentials);
}

void Recorder::FaultStarts(double now) {
  JsonEvent e("fault_start");
  e.Add("fault", FaultName(fault_.kind())).Add("connections", int(connections_.size()));
  Log(e, true);
  switch (fault_.kind()) {
    case FaultKind::Refuse:
      // Nobody is connected and nobody can connect until the fault ends.
      for (auto& [id, c] : connections_) Close(*c, "refuse fault");
      if (listenFd_ >= 0) ::close(listenFd_);
      listenFd_ = -1;
      relisten_ = true;
      break;
    case FaultKind::Oversize:
      for (auto& [id, c] : connections_)
        if (!c->dead) SendOversize(*c);
      break;
    case FaultKind::Reset:
      for (auto& [id, c] : connections_)
        if (!c->dead) ResetMidFrame(*c);
      break;
    default:
      break;
  }
  (void)now;
}

void Recorder::FaultEnds(double now) {
  if (relisten_) {
    std::string error;
    if (!OpenListenSocket(error)) {
      // Tried again on the next turn of the loop.
      Log(JsonEvent("listen_again_failed").Add("error", error), true);
      return;
    }
    relisten_ = false;
  }
  faultEnding_ = false;
  Log(JsonEvent("fault_end").Add("fault", FaultName(fault_.kind())), true);
  (void)now;
}

// Headers that announce lengths no answer, frame, message or packet can
// have: a module message, a "VIDO" packet and a frame inside answers of the
// right size, then an answer header whose Content-Length is absurd (which
// swallows whatever follows it); on a stream, a packet start whose length
// field says 4 MiB.
void Recorder::SendOversize(Connection& c) {
  if (c.kind == Connection::Kind::Stream) {
    FrameHeaderFields h;
    h.seconds = startSeconds_ + uint32_t(Now() - start_);
    h.widthMbs = 44, h.heightMbs = 36;
    std::vector<uint8_t> packet;
    AppendMarkerPacket(packet, h, nullptr, 0);
    PutLe16(&packet[18], 0xFFFF);
    c.out.insert(c.out.end(), packet.begin(), packet.end());
    Flush(c);
    return;
  }
  if (c.kind != Connection::Kind::Command) return;
  const uint32_t session = c.sessionId;
  std::vector<uint8_t> messages(32 + 64, 0x5A);
  PutLe32(&messages[0], 0x7FFFFFF0);
  PutLe32(&messages[4], Tag("ICMD"));
  std::vector<uint8_t> packet(kTransportHeaderSize + kStreamFrameHeaderSize, 0);
  PutLe32(&packet[0], 0x7FFFFFFF);
  PutLe32(&packet[32], 1);
  std::vector<uint8_t> vido =
      BuildModuleMessage(Tag("VIDO"), BuildSubHeaderBody(session, 0, packet));
  std::vector<uint8_t> payload = vido;
  payload.insert(payload.end(), messages.begin(), messages.end());
  std::vector<uint8_t> bytes =
      WrapAnswer(BuildCommandFrame(kReply, session, 0, c.socketIndex, payload));
  std::vector<uint8_t> frame = BuildCommandFrame(kReply, session, 0, c.socketIndex, {});
  PutLe32(&frame[0], 0xFFFFFFF0);
  std::vector<uint8_t> second = WrapAnswer(frame);
  bytes.insert(bytes.end(), second.begin(), second.end());
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: "
      "4000000000\r\n\r\n";
  bytes.insert(bytes.end(), head.begin(), head.end());
  c.out.insert(c.out.end(), bytes.begin(), bytes.end());
  Flush(c);
}

// What is waiting goes out, then half of an answer (or of a packet), then
// the connection is reset: SO_LINGER 0 makes the close send RST.
void Recorder::ResetMidFrame(Connection& c) {
  std::vector<uint8_t> whole;
  if (c.kind == Connection::Kind::Stream) {
    FrameHeaderFields h;
    h.seconds = startSeconds_ + uint32_t(Now() - start_);
    h.widthMbs = 44, h.heightMbs = 36;
    std::vector<uint8_t> payload(1000, 0x11);
    AppendMarkerPacket(whole, h, payload.data(), payload.size());
  } else {
    std::vector<uint8_t> body(200, 0);
    whole = WrapAnswer(BuildCommandFrame(kReply, c.sessionId, 0, c.socketIndex,
                                         BuildModuleMessage(Tag("ICTL"), body)));
  }
  c.out.insert(c.out.end(), whole.begin(), whole.begin() + ptrdiff_t(whole.size() / 2));
  while (c.pending() > 0) {
    const ssize_t n = ::send(c.fd, c.out.data() + c.outSent, c.pending(), MSG_NOSIGNAL);
    if (n <= 0) break;
    c.outSent += size_t(n);
  }
  linger l{1, 0};
  ::setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  Close(c, "reset fault");
}

size_t Recorder::WriteAllowance(Connection& c, double now) {
  if (c.writeHoldUntil > now) return 0;
  const size_t pending = c.pending();
  const double elapsed = now - start_;
  if (fault_.Active(FaultKind::Slow, elapsed)) return std::min<size_t>(pending, 1);
  if (c.kind == Connection::Kind::Command && fault_.Active(FaultKind::Split, elapsed)) {
    if (c.pieceLeft == 0) {
      std::uniform_int_distribution<size_t> piece(
          1, std::max<size_t>(1, std::min(pending / 2, kSplitPieceMost)));
      c.pieceLeft = piece(random_);
    }
    return std::min(pending, c.pieceLeft);
  }
  c.pieceLeft = 0;
  return pending;
}

void Recorder::AfterWrite(Connection& c, size_t written, double now) {
  const double elapsed = now - start_;
  if (fault_.Active(FaultKind::Slow, elapsed)) {
    c.writeHoldUntil = now + kSlowPause;
  } else if (c.pieceLeft > 0) {
    c.pieceLeft -= std::min(c.pieceLeft, written);
    if (c.pieceLeft == 0) {
      std::uniform_real_distribution<double> pause(kSplitPauseMin, kSplitPauseMax);
      c.writeHoldUntil = now + pause(random_);
    }
  }
}

size_t Recorder::ReadAllowance(Connection& c, double now) {
  if (!fault_.Active(FaultKind::Slow, now - start_)) return SIZE_MAX;
  c.readHoldUntil = now + kSlowPause;
  return 1;
}

void Recorder::AddHostile(Session& s, std::vector<uint8_t>& payload, size_t budget) {
  if (!hostile_ || !s.loggedIn) return;
  std::vector<uint8_t> extra;
  hostile_->Append(extra, s.id, budget);
  if (extra.empty()) return;
  // Before or after the recorder's own messages.
  if (hostile_->Chance(2))
    payload.insert(payload.begin(), extra.begin(), extra.end());
  else
    payload.insert(payload.end(), extra.begin(), extra.end());
}

void Recorder::AddHostilePacket(Connection& c, uint32_t seconds) {
  if (!hostile_ || !hostile_->Chance(25)) return;
  const std::vector<uint8_t> p = hostile_->StreamPacket(seconds);
  c.out.insert(c.out.end(), p.begin(), p.end());
}

void Recorder::LogHostile(double now) {
  if (!hostile_ || now - lastHostileLog_ < 10) return;
  lastHostileLog_ = now;
  std::string counts = "{";
  for (const auto& [tag, n] : hostile_->counts())
    counts += (counts.size() > 1 ? "," : "") + JsonString(tag) + ":" + std::to_string(n);
  Log(JsonEvent("hostile").AddRaw("messages", counts + "}"));
}

}  // namespace tevrano::sim
