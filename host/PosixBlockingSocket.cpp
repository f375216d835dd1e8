#include "host/PosixBlockingSocket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace tevrano::host {

namespace {
// Waits for the descriptor to become ready; false on time-out or error.
bool WaitFor(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  for (;;) {
    int r = ::poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
    if (r < 0 && errno == EINTR) continue;
    return r > 0;
  }
}
}  // namespace

bool PosixBlockingSocket::Connect(std::string_view host, int port, int timeoutMs) {
  Close();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const std::string name(host);
  const std::string service = std::to_string(port);
  if (::getaddrinfo(name.c_str(), service.c_str(), &hints, &list) != 0) return false;
  bool ok = false;
  for (addrinfo* a = list; a && !ok; a = a->ai_next) ok = ConnectOne(*a, timeoutMs);
  ::freeaddrinfo(list);
  return ok;
}

bool PosixBlockingSocket::ConnectOne(const addrinfo& address, int timeoutMs) {
  int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC, address.ai_protocol);
  if (fd < 0) return false;
  // Connect without blocking so the time-out holds, then go back to blocking.
  int flags = ::fcntl(fd, F_GETFL, 0);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  int r = ::connect(fd, address.ai_addr, address.ai_addrlen);
  if (r != 0 && errno == EINPROGRESS && WaitFor(fd, POLLOUT, timeoutMs)) {
    int error = 0;
    socklen_t len = sizeof error;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
    r = error == 0 ? 0 : -1;
  } else if (r != 0) {
    r = -1;
  }
  if (r != 0) {
    ::close(fd);
    return false;
  }
  ::fcntl(fd, F_SETFL, flags);
  fd_ = fd;
  return true;
}

int PosixBlockingSocket::Send(const uint8_t* bytes, int count) {
  if (fd_ < 0 || count < 0) return -1;
  int sent = 0;
  while (sent < count) {
    ssize_t n = ::send(fd_, bytes + sent, static_cast<size_t>(count - sent), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -1;
    sent += static_cast<int>(n);
  }
  return sent;
}

int PosixBlockingSocket::Receive(uint8_t* into, int maxBytes, int timeoutMs) {
  if (fd_ < 0 || maxBytes <= 0) return -1;
  if (!WaitFor(fd_, POLLIN, timeoutMs)) return 0;
  for (;;) {
    ssize_t n = ::recv(fd_, into, static_cast<size_t>(maxBytes), 0);
    if (n < 0 && errno == EINTR) continue;
    return n > 0 ? static_cast<int>(n) : -1;  // 0 is the peer's close
  }
}

void PosixBlockingSocket::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace tevrano::host
