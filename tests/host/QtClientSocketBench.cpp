// Throughput of the socket adapter against a bare QTcpSocket in the same
// process and from the same local peer. The adapter reads the way the
// control's stream socket does (at most 256 KiB per read event, every event
// through the queue); the reference reads everything on each readyRead.
// Prints MB/s and the ratio adapter / reference; not a test.
//   cmake --build build --target tevrano_host_socket_bench
//   build/tests/host/tevrano_host_socket_bench
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "host/QtClientSocket.h"

namespace {
using namespace tevrano;
constexpr qint64 kTotalBytes = 512ll << 20;
constexpr int kReadBlock = 262144;

// The peer: keeps up to 4 MiB queued until the total has gone out.
class Pusher {
 public:
  explicit Pusher(QTcpServer& server) {
    QObject::connect(&server, &QTcpServer::newConnection, &server, [this, &server] {
      peer_ = server.nextPendingConnection();
      QObject::connect(peer_, &QTcpSocket::bytesWritten, [this] { Pump(); });
      Pump();
    });
    server_ = &server;
  }
  ~Pusher() {
    QObject::disconnect(server_, nullptr, nullptr, nullptr);
    delete peer_;
  }

 private:
  void Pump() {
    while (sent_ < kTotalBytes && peer_->bytesToWrite() < (4 << 20)) {
      peer_->write(block_);
      sent_ += block_.size();
    }
  }
  QTcpServer* server_ = nullptr;
  QTcpSocket* peer_ = nullptr;
  qint64 sent_ = 0;
  QByteArray block_{1 << 16, 'x'};
};

double MegabytesPerSecond(qint64 bytes, const QElapsedTimer& t) {
  return bytes / 1048576.0 / (std::max<qint64>(t.elapsed(), 1) / 1000.0);
}

class Reader : public platform::ClientSocketEvents {
 public:
  void OnConnect(platform::ClientSocket&) override {}
  void OnDisconnect(platform::ClientSocket&) override {}
  void OnError(platform::ClientSocket&, int& code) override { code = 0; }
  void OnRead(platform::ClientSocket& s) override {
    got += s.Read(buffer.data(), std::min(s.BytesWaiting(), kReadBlock));
  }
  void OnWrite(platform::ClientSocket&) override {}
  qint64 got = 0;
  std::vector<uint8_t> buffer = std::vector<uint8_t>(kReadBlock);
};

double RunAdapter(QTcpServer& server) {
  host::QtSocketFactory factory;
  auto socket = factory.CreateClientSocket();
  Pusher pusher(server);
  Reader reader;
  socket->SetEvents(&reader);
  socket->SetHost("127.0.0.2");
  socket->SetPort(server.serverPort());
  socket->SetActive(true);
  socket->SetBufferSizes(kReadBlock, kReadBlock);
  QElapsedTimer t;
  t.start();
  while (reader.got < kTotalBytes) QCoreApplication::processEvents();
  return MegabytesPerSecond(reader.got, t);
}

double RunReference(QTcpServer& server) {
  QTcpSocket socket;
  Pusher pusher(server);
  qint64 got = 0;
  std::vector<char> buffer(kReadBlock);
  QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
    while (socket.bytesAvailable() > 0) got += socket.read(buffer.data(), kReadBlock);
  });
  socket.connectToHost("127.0.0.2", server.serverPort());
  QElapsedTimer t;
  t.start();
  while (got < kTotalBytes) QCoreApplication::processEvents();
  return MegabytesPerSecond(got, t);
}
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTcpServer server;
  if (!server.listen(QHostAddress("127.0.0.2"), 0)) return 1;
  RunReference(server);  // warms up the loopback path
  for (int round = 1; round <= 3; ++round) {
    const double reference = RunReference(server);
    const double adapter = RunAdapter(server);
    std::printf("round %d: QTcpSocket %.0f MB/s, QtClientSocket %.0f MB/s, ratio %.2f\n", round,
                reference, adapter, adapter / reference);
  }
  return 0;
}
