#pragma once
#include <cstdint>
#include <memory>
#include <string_view>

namespace tevrano::platform {

class ClientSocket;

// Receives the events of a client socket. Contract of every implementation:
// events are delivered one at a time on the control's thread and never from
// inside another event handler or a call into the socket (a handler that
// closes a socket sees its OnDisconnect later, queued). Closing a socket that
// was opened raises OnDisconnect whether or not it ever connected. Bytes that
// were received but not read are offered again by another OnRead on a later
// turn of the event loop.
class ClientSocketEvents {
 public:
  virtual ~ClientSocketEvents() = default;
  virtual void OnConnect(ClientSocket& socket) = 0;
  virtual void OnDisconnect(ClientSocket& socket) = 0;
  // errorCode is in/out: the handler sets it to 0 to swallow the error.
  virtual void OnError(ClientSocket& socket, int& errorCode) = 0;
  virtual void OnRead(ClientSocket& socket) = 0;
  virtual void OnWrite(ClientSocket& socket) = 0;
};

// An asynchronous (non-blocking) TCP client socket in the manner of a VCL
// TClientSocket. Owned by the control; used only on the control's thread.
class ClientSocket {
 public:
  virtual ~ClientSocket() = default;

  virtual void SetHost(std::string_view host) = 0;
  virtual void SetPort(int port) = 0;
  // true starts an asynchronous connect to Host:Port; false closes.
  virtual void SetActive(bool active) = 0;
  virtual bool Active() const = 0;
  // True between OnConnect and the close or loss of the connection.
  virtual bool Connected() const = 0;
  // SO_RCVBUF / SO_SNDBUF of the opened socket.
  virtual void SetBufferSizes(int receiveBytes, int sendBytes) = 0;

  virtual int BytesWaiting() const = 0;
  // Reads up to maxBytes; returns the number read (0 when none).
  virtual int Read(uint8_t* into, int maxBytes) = 0;
  // Queues bytes for sending; returns the number accepted or -1.
  virtual int Send(const uint8_t* bytes, int count) = 0;

  void SetEvents(ClientSocketEvents* events) { events_ = events; }
  ClientSocketEvents* Events() const { return events_; }

  int Tag = 0;  // SocketIdentity of the control

 private:
  ClientSocketEvents* events_ = nullptr;
};

// A blocking TCP socket (firmware upload). Every call may block up to the
// time-out given; none raises events.
class BlockingSocket {
 public:
  virtual ~BlockingSocket() = default;
  virtual bool Connect(std::string_view host, int port, int timeoutMs) = 0;
  // Returns bytes sent, or -1 on error.
  virtual int Send(const uint8_t* bytes, int count) = 0;
  // Waits up to timeoutMs for data; returns bytes read, 0 on time-out, -1 on
  // error or closed connection.
  virtual int Receive(uint8_t* into, int maxBytes, int timeoutMs) = 0;
  virtual void Close() = 0;
};

class SocketFactory {
 public:
  virtual ~SocketFactory() = default;
  virtual std::unique_ptr<ClientSocket> CreateClientSocket() = 0;
  virtual std::unique_ptr<BlockingSocket> CreateBlockingSocket() = 0;
  // The TCP port of the recorder's firmware update service (21; a test
  // recorder may listen elsewhere).
  virtual int UpdatePort() const { return kDefaultUpdatePort; }
  static constexpr int kDefaultUpdatePort = 21;
};

}  // namespace tevrano::platform
