#pragma once
#include "platform/ClientSocket.h"

struct addrinfo;

namespace tevrano::host {

// A blocking TCP socket on the POSIX calls, with poll() time-outs. Used by
// the firmware upload, which stops the main loop while it runs.
class PosixBlockingSocket : public platform::BlockingSocket {
 public:
  PosixBlockingSocket() = default;
  ~PosixBlockingSocket() override { Close(); }
  PosixBlockingSocket(const PosixBlockingSocket&) = delete;
  PosixBlockingSocket& operator=(const PosixBlockingSocket&) = delete;

  bool Connect(std::string_view host, int port, int timeoutMs) override;
  int Send(const uint8_t* bytes, int count) override;
  int Receive(uint8_t* into, int maxBytes, int timeoutMs) override;
  void Close() override;

 private:
  bool ConnectOne(const ::addrinfo& address, int timeoutMs);
  int fd_ = -1;
};

}  // namespace tevrano::host
