#pragma once
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/ClientSocket.h"

namespace tevrano::platform {

class FakeNetwork;

// The control's side of a scripted connection. The test plays the peer
// through FakeNetwork; nothing touches a real network.
class FakeClientSocket : public ClientSocket {
 public:
  explicit FakeClientSocket(FakeNetwork& network) : network_(network) {}
  // Leaves the network: its queued events go with it.
  ~FakeClientSocket() override;

  void SetHost(std::string_view host) override { host_ = host; }
  void SetPort(int port) override { port_ = port; }
  void SetActive(bool active) override;
  bool Active() const override { return active_; }
  bool Connected() const override { return connected_; }
  void SetBufferSizes(int receiveBytes, int sendBytes) override {
    receiveBufferSize_ = receiveBytes;
    sendBufferSize_ = sendBytes;
  }
  int BytesWaiting() const override { return static_cast<int>(incoming_.size()); }
  int Read(uint8_t* into, int maxBytes) override;
  int Send(const uint8_t* bytes, int count) override;

  // What the test inspects.
  const std::string& Host() const { return host_; }
  int Port() const { return port_; }
  int ReceiveBufferSize() const { return receiveBufferSize_; }
  int SendBufferSize() const { return sendBufferSize_; }
  int ConnectAttempts() const { return connectAttempts_; }
  // Bytes the control sent since the last call.
  std::vector<uint8_t> TakeSent();
  const std::vector<uint8_t>& AllSent() const { return allSent_; }

 private:
  friend class FakeNetwork;
  FakeNetwork& network_;
  std::string host_;
  int port_ = 0;
  bool active_ = false;
  bool connected_ = false;
  int receiveBufferSize_ = 0;
  int sendBufferSize_ = 0;
  int connectAttempts_ = 0;
  std::deque<uint8_t> incoming_;
  std::vector<uint8_t> sent_;
  std::vector<uint8_t> allSent_;
};

// Creates fake sockets and delivers their events when the test pumps.
class FakeNetwork : public SocketFactory {
 public:
  std::unique_ptr<ClientSocket> CreateClientSocket() override;
  std::unique_ptr<BlockingSocket> CreateBlockingSocket() override;

  // Sockets in creation order (owned by the control; a pointer is dangling
  // once the control freed its socket).
  const std::vector<FakeClientSocket*>& Sockets() const { return sockets_; }
  // Sockets created and not yet freed.
  int LiveSockets() const { return live_; }

  // The peer's actions; each queues the matching event.
  void AcceptConnect(FakeClientSocket& socket);
  void FailConnect(FakeClientSocket& socket, int errorCode = 10061);
  void Deliver(FakeClientSocket& socket, const std::vector<uint8_t>& bytes);
  void Deliver(FakeClientSocket& socket, std::string_view bytes);
  void PeerClose(FakeClientSocket& socket);

  // Delivers queued events one at a time, including those queued by the
  // handlers, until none is left. Sockets with unread bytes are offered a
  // read again first. Returns the number of events delivered.
  int Pump();
  size_t PendingEvents() const { return queue_.size(); }

 private:
  friend class FakeClientSocket;
  enum class Kind { Connect, Disconnect, Error, Read, Write };
  struct Event {
    FakeClientSocket* socket;
    Kind kind;
    int errorCode;
  };
  void Queue(FakeClientSocket* socket, Kind kind, int errorCode = 0) {
    queue_.push_back({socket, kind, errorCode});
  }
  std::vector<FakeClientSocket*> sockets_;
  std::deque<Event> queue_;
  int live_ = 0;
};

}  // namespace tevrano::platform
