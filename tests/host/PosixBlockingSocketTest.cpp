#include "host/PosixBlockingSocket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace tevrano::host {
namespace {

// A one-connection peer on 127.0.0.2: echoes what it gets until told to
// stop, then closes.
class EchoPeer {
 public:
  EchoPeer() {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = 0;
    ::inet_pton(AF_INET, "127.0.0.2", &a.sin_addr);
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_, 1);
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] {
      int c = ::accept(listen_, nullptr, nullptr);
      char buffer[256];
      for (;;) {
        ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
        if (n <= 0 || buffer[n - 1] == '!') break;  // '!' ends the talk
        ::send(c, buffer, static_cast<size_t>(n), 0);
      }
      ::close(c);
    });
  }
  ~EchoPeer() {
    thread_.join();
    ::close(listen_);
  }
  int Port() const { return port_; }

 private:
  int listen_ = -1;
  int port_ = 0;
  std::thread thread_;
};

TEST(PosixBlockingSocket, SendsReceivesTimesOutAndSeesThePeersClose) {
  EchoPeer peer;
  PosixBlockingSocket s;
  ASSERT_TRUE(s.Connect("127.0.0.2", peer.Port(), 2000));
  const uint8_t hello[] = {'h', 'e', 'l', 'l', 'o'};
  EXPECT_EQ(s.Send(hello, 5), 5);
  uint8_t buffer[16] = {};
  int got = 0;
  while (got < 5) {
    int n = s.Receive(buffer + got, 16 - got, 2000);
    ASSERT_GT(n, 0);
    got += n;
  }
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 5), "hello");
  EXPECT_EQ(s.Receive(buffer, 16, 20), 0);  // nothing more: time-out

  const uint8_t bye[] = {'!'};
  EXPECT_EQ(s.Send(bye, 1), 1);
  EXPECT_EQ(s.Receive(buffer, 16, 2000), -1);  // the peer closed
  s.Close();
  EXPECT_EQ(s.Send(hello, 5), -1);
}

TEST(PosixBlockingSocket, ConnectFailsWhereNobodyListens) {
  int port = 0;
  {
    EchoPeer peer;  // take a port, then let it go
    port = peer.Port();
    PosixBlockingSocket s;
    ASSERT_TRUE(s.Connect("127.0.0.2", port, 2000));
    const uint8_t bye[] = {'!'};
    s.Send(bye, 1);
  }
  PosixBlockingSocket s;
  EXPECT_FALSE(s.Connect("127.0.0.2", port, 2000));
}

}  // namespace
}  // namespace tevrano::host
