#include "platform/fake/FakeNetwork.h"

#include <algorithm>

namespace tevrano::platform {

void FakeClientSocket::SetActive(bool active) {
  if (active) {
    if (active_) return;
    active_ = true;
    ++connectAttempts_;
    return;
  }
  if (!active_) return;
  active_ = false;
  connected_ = false;
  incoming_.clear();
  network_.Queue(this, FakeNetwork::Kind::Disconnect);
}

int FakeClientSocket::Read(uint8_t* into, int maxBytes) {
  int n = std::min<int>(maxBytes, static_cast<int>(incoming_.size()));
  std::copy_n(incoming_.begin(), n, into);
  incoming_.erase(incoming_.begin(), incoming_.begin() + n);
  return n;
}

int FakeClientSocket::Send(const uint8_t* bytes, int count) {
  if (!connected_) return -1;
  sent_.insert(sent_.end(), bytes, bytes + count);
  allSent_.insert(allSent_.end(), bytes, bytes + count);
  return count;
}

std::vector<uint8_t> FakeClientSocket::TakeSent() {
  std::vector<uint8_t> out;
  out.swap(sent_);
  return out;
}

std::unique_ptr<ClientSocket> FakeNetwork::CreateClientSocket() {
  auto socket = std::make_unique<FakeClientSocket>(*this);
  sockets_.push_back(socket.get());
  ++live_;
  return socket;
}

FakeClientSocket::~FakeClientSocket() {
  --network_.live_;
  std::erase_if(network_.queue_, [this](const FakeNetwork::Event& e) { return e.socket == this; });
}

namespace {
// Blocking sockets of the fake network never reach a peer.
class UnreachableBlockingSocket : public BlockingSocket {
 public:
  bool Connect(std::string_view, int, int) override { return false; }
  int Send(const uint8_t*, int) override { return -1; }
  int Receive(uint8_t*, int, int) override { return -1; }
  void Close() override {}
};
}  // namespace

std::unique_ptr<BlockingSocket> FakeNetwork::CreateBlockingSocket() {
  return std::make_unique<UnreachableBlockingSocket>();
}

void FakeNetwork::AcceptConnect(FakeClientSocket& socket) {
  if (!socket.active_) return;
  socket.connected_ = true;
  Queue(&socket, Kind::Connect);
  Queue(&socket, Kind::Write);
}

void FakeNetwork::FailConnect(FakeClientSocket& socket, int errorCode) {
  if (!socket.active_) return;
  Queue(&socket, Kind::Error, errorCode);
}

void FakeNetwork::Deliver(FakeClientSocket& socket, const std::vector<uint8_t>& bytes) {
  if (!socket.connected_) return;
  socket.incoming_.insert(socket.incoming_.end(), bytes.begin(), bytes.end());
  Queue(&socket, Kind::Read);
}

void FakeNetwork::Deliver(FakeClientSocket& socket, std::string_view bytes) {
  Deliver(socket, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void FakeNetwork::PeerClose(FakeClientSocket& socket) {
  if (!socket.active_) return;
  socket.active_ = false;
  socket.connected_ = false;
  socket.incoming_.clear();
  Queue(&socket, Kind::Disconnect);
}

int FakeNetwork::Pump() {
  for (FakeClientSocket* s : sockets_) {
    bool readQueued = std::any_of(queue_.begin(), queue_.end(), [s](const Event& e) {
      return e.socket == s && e.kind == Kind::Read;
    });
    if (s->connected_ && !s->incoming_.empty() && !readQueued) Queue(s, Kind::Read);
  }
  int delivered = 0;
  while (!queue_.empty()) {
    Event e = queue_.front();
    queue_.pop_front();
    ClientSocketEvents* events = e.socket->Events();
    ++delivered;
    if (!events) continue;
    switch (e.kind) {
      case Kind::Connect:
        events->OnConnect(*e.socket);
        break;
      case Kind::Disconnect:
        events->OnDisconnect(*e.socket);
        break;
      case Kind::Error: {
        int code = e.errorCode;
        events->OnError(*e.socket, code);
        break;
      }
      case Kind::Read:
        if (e.socket->connected_ && !e.socket->incoming_.empty()) events->OnRead(*e.socket);
        break;
      case Kind::Write:
        events->OnWrite(*e.socket);
        break;
    }
  }
  return delivered;
}

}  // namespace tevrano::platform
