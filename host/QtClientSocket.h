#pragma once
#include <QObject>
#include <QTimer>
#include <deque>
#include <memory>
#include <string>

#include "platform/ClientSocket.h"

class QTcpSocket;

namespace tevrano::host {

class QtClientSocket;

// The queue through which every socket event reaches the control: one event
// per turn of the event loop, never while the UI thread is inside the control
// (ControlCall), so no handler is ever entered from another.
class SocketEventQueue : public QObject {
 public:
  enum class Kind { Connect, Disconnect, Error, Read, Write };

  SocketEventQueue();
  void Post(QtClientSocket* socket, Kind kind, int errorCode = 0);
  // Drops the socket's pending events of the given kinds (all when empty).
  void Drop(QtClientSocket* socket, bool keepDisconnect);
  size_t Pending() const { return events_.size(); }

 private:
  struct Event {
    QtClientSocket* socket;
    Kind kind;
    int errorCode;
  };
  void Schedule(int delayMs);
  void DeliverOne();

  std::deque<Event> events_;
  QTimer timer_;
};

// The asynchronous client socket on a QTcpSocket. Qt's own signals only
// queue events; the control sees them one at a time through the queue.
class QtClientSocket : public platform::ClientSocket {
 public:
  explicit QtClientSocket(SocketEventQueue& queue);
  ~QtClientSocket() override;

  void SetHost(std::string_view host) override { host_ = host; }
  void SetPort(int port) override { port_ = port; }
  void SetActive(bool active) override;
  bool Active() const override { return opened_; }
  bool Connected() const override { return connected_; }
  void SetBufferSizes(int receiveBytes, int sendBytes) override;
  int BytesWaiting() const override;
  int Read(uint8_t* into, int maxBytes) override;
  int Send(const uint8_t* bytes, int count) override;

 private:
  friend class SocketEventQueue;
  void Open();
  void Close();
  void ApplyBufferSizes();
  void Deliver(SocketEventQueue::Kind kind, int errorCode);
  void OfferRead();
  void OnQtConnected();
  void OnQtDisconnected();
  void OnQtError(int qtError);

  SocketEventQueue& queue_;
  std::unique_ptr<QTcpSocket> socket_;
  QTimer reoffer_;  // offers unread bytes again on a later turn
  std::string host_;
  int port_ = 0;
  int receiveBufferSize_ = 0;
  int sendBufferSize_ = 0;
  bool opened_ = false;     // Active: opened and not yet closed or lost
  bool connected_ = false;  // between OnConnect and the close or loss
  bool readPending_ = false;
};

class QtSocketFactory : public platform::SocketFactory {
 public:
  std::unique_ptr<platform::ClientSocket> CreateClientSocket() override;
  std::unique_ptr<platform::BlockingSocket> CreateBlockingSocket() override;
  int UpdatePort() const override { return updatePort_; }
  void SetUpdatePort(int port) { updatePort_ = port; }
  SocketEventQueue& Queue() { return queue_; }

 private:
  SocketEventQueue queue_;
  int updatePort_ = kDefaultUpdatePort;
};

}  // namespace tevrano::host
