#include "host/QtClientSocket.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <string>
#include <vector>

namespace tevrano::host {
namespace {

// Lets the event loop run until the condition holds (or 5 s pass).
bool RunUntil(const std::function<bool()>& done, int limitMs = 5000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < limitMs)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

// Records the events in order, notices a handler entered from another, and
// lets a test act from inside a handler.
class Recorder : public platform::ClientSocketEvents {
 public:
  void OnConnect(platform::ClientSocket& s) override { Handle("connect", s); }
  void OnDisconnect(platform::ClientSocket& s) override { Handle("disconnect", s); }
  void OnError(platform::ClientSocket& s, int& code) override {
    errorCode = code;
    code = 0;
    Handle("error", s);
  }
  void OnRead(platform::ClientSocket& s) override { Handle("read", s); }
  void OnWrite(platform::ClientSocket& s) override { Handle("write", s); }

  size_t Count(const std::string& name) const {
    return static_cast<size_t>(std::count(events.begin(), events.end(), name));
  }

  std::vector<std::string> events;
  std::function<void(const std::string&, platform::ClientSocket&)> inside;
  int depth = 0;
  bool reentered = false;
  int errorCode = 0;

 private:
  void Handle(const std::string& name, platform::ClientSocket& s) {
    if (++depth > 1) reentered = true;
    events.push_back(name);
    if (inside) inside(name, s);
    --depth;
  }
};

class QtClientSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.listen(QHostAddress("127.0.0.2"), 0)) << server.errorString().toStdString();
    QObject::connect(&server, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* peer = server.nextPendingConnection()) peers.push_back(peer);
    });
    socket = factory.CreateClientSocket();
    socket->SetEvents(&recorder);
    socket->SetHost("127.0.0.2");
    socket->SetPort(server.serverPort());
  }
  void ConnectAndAccept() {
    socket->SetActive(true);
    ASSERT_TRUE(RunUntil([&] { return recorder.Count("connect") == 1 && !peers.empty(); }));
  }

  QTcpServer server;
  std::vector<QTcpSocket*> peers;
  QtSocketFactory factory;
  std::unique_ptr<platform::ClientSocket> socket;
  Recorder recorder;
};

TEST_F(QtClientSocketTest, ConnectsAndSendsAndReceives) {
  ConnectAndAccept();
  EXPECT_TRUE(socket->Connected());
  EXPECT_TRUE(socket->Active());
  socket->SetBufferSizes(16384, 294912);
  const uint8_t hello[] = {'U', 'L', 'C', 'M'};
  EXPECT_EQ(socket->Send(hello, 4), 4);
  ASSERT_TRUE(RunUntil([&] { return peers[0]->bytesAvailable() == 4; }));
  EXPECT_EQ(peers[0]->readAll(), QByteArray("ULCM"));

  recorder.inside = [](const std::string& name, platform::ClientSocket& s) {
    if (name != "read") return;
    uint8_t buffer[16];
    s.Read(buffer, sizeof buffer);
  };
  peers[0]->write("answer");
  ASSERT_TRUE(RunUntil([&] { return recorder.Count("read") == 1; }));
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"connect", "write", "read"}));
  EXPECT_FALSE(recorder.reentered);
}

TEST_F(QtClientSocketTest, ClosingANeverConnectedSocketRaisesDisconnectLater) {
  socket->SetActive(true);
  socket->SetActive(false);              // the connect is still in progress
  EXPECT_TRUE(recorder.events.empty());  // queued, never raised inside the call
  EXPECT_FALSE(socket->Active());
  ASSERT_TRUE(RunUntil([&] { return recorder.Count("disconnect") == 1; }));
  RunUntil([] { return false; }, 100);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"disconnect"}));

  // Closing a socket that is not open raises nothing.
  socket->SetActive(false);
  RunUntil([] { return false; }, 50);
  EXPECT_EQ(recorder.Count("disconnect"), 1u);
}

TEST_F(QtClientSocketTest, RefusedConnectRaisesErrorAndItsCloseADisconnect) {
  const quint16 port = server.serverPort();
  server.close();  // nobody listens there any more
  socket->SetPort(port);
  recorder.inside = [](const std::string& name, platform::ClientSocket& s) {
    if (name == "error") s.SetActive(false);  // as the control's error handler does
  };
  socket->SetActive(true);
  ASSERT_TRUE(RunUntil([&] { return recorder.Count("disconnect") == 1; }));
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"error", "disconnect"}));
  EXPECT_EQ(recorder.errorCode, 10061);
  EXPECT_FALSE(recorder.reentered);
}

TEST_F(QtClientSocketTest, UnreadBytesAreOfferedAgainOnLaterTurns) {
  ConnectAndAccept();
  std::string received;
  recorder.inside = [&](const std::string& name, platform::ClientSocket& s) {
    if (name != "read") return;
    uint8_t buffer[10];
    int n = s.Read(buffer, sizeof buffer);  // takes only part of what waits
    received.append(reinterpret_cast<char*>(buffer), static_cast<size_t>(n));
  };
  const std::string sent(95, 'x');
  peers[0]->write(sent.c_str());
  peers[0]->flush();
  ASSERT_TRUE(RunUntil([&] { return received.size() == sent.size(); }));
  EXPECT_EQ(received, sent);
  EXPECT_GE(recorder.Count("read"), 10u);
  EXPECT_FALSE(recorder.reentered);
}

TEST_F(QtClientSocketTest, AHandlerThatReadsNothingIsAskedAgain) {
  ConnectAndAccept();
  int reads = 0;
  recorder.inside = [&](const std::string& name, platform::ClientSocket&) {
    if (name == "read") ++reads;  // a full receive buffer: the bytes wait
  };
  peers[0]->write("pending");
  ASSERT_TRUE(RunUntil([&] { return reads >= 3; }));
  EXPECT_EQ(socket->BytesWaiting(), 7);
}

TEST_F(QtClientSocketTest, AHandlerThatClosesSeesItsDisconnectAfterwards) {
  ConnectAndAccept();
  bool closedInside = false;
  recorder.inside = [&](const std::string& name, platform::ClientSocket& s) {
    if (name != "read") return;
    s.SetActive(false);
    closedInside = recorder.Count("disconnect") == 0;
  };
  peers[0]->write("bye");
  ASSERT_TRUE(RunUntil([&] { return recorder.Count("disconnect") == 1; }));
  EXPECT_TRUE(closedInside);
  EXPECT_FALSE(socket->Connected());
  RunUntil([] { return false; }, 50);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"connect", "write", "read", "disconnect"}));
}

TEST_F(QtClientSocketTest, NoEventIsDeliveredInsideAHandlersNestedEventLoop) {
  // A handler that opens a modal dialog runs a nested event loop; the events
  // that arrive meanwhile wait until it returns.
  recorder.inside = [&](const std::string& name, platform::ClientSocket&) {
    if (name != "write") return;
    peers[0]->write("during");
    RunUntil([] { return false; }, 200);
  };
  socket->SetActive(true);
  ASSERT_TRUE(RunUntil([&] { return recorder.Count("read") == 1; }));
  EXPECT_FALSE(recorder.reentered);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"connect", "write", "read"}));
}

TEST_F(QtClientSocketTest, PeerCloseDeliversTheLastBytesThenOneDisconnect) {
  ConnectAndAccept();
  std::string received;
  recorder.inside = [&](const std::string& name, platform::ClientSocket& s) {
    if (name != "read") return;
    uint8_t buffer[64];
    int n = s.Read(buffer, sizeof buffer);
    received.append(reinterpret_cast<char*>(buffer), static_cast<size_t>(n));
  };
  peers[0]->write("last words");
  peers[0]->disconnectFromHost();
  ASSERT_TRUE(RunUntil([&] { return recorder.Count("disconnect") == 1; }));
  EXPECT_EQ(received, "last words");
  EXPECT_FALSE(socket->Connected());
  EXPECT_FALSE(socket->Active());
  socket->SetActive(false);  // the control's reset closes it again: nothing more
  RunUntil([] { return false; }, 50);
  EXPECT_EQ(recorder.Count("disconnect"), 1u);
}

TEST_F(QtClientSocketTest, AClosedSocketOpensAgain) {
  ConnectAndAccept();
  socket->SetActive(false);
  ASSERT_TRUE(RunUntil([&] { return recorder.Count("disconnect") == 1; }));
  socket->SetActive(true);
  ASSERT_TRUE(RunUntil([&] { return recorder.Count("connect") == 2 && peers.size() == 2; }));
  EXPECT_TRUE(socket->Connected());
}

}  // namespace
}  // namespace tevrano::host
