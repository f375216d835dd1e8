#include "host/QtClientSocket.h"

#include <QTcpSocket>
#include <algorithm>

#include "host/ControlCall.h"
#include "host/PosixBlockingSocket.h"

namespace tevrano::host {

namespace {
// Qt keeps at most this much unread data; beyond it the kernel buffer fills
// and the peer is slowed down instead of our memory growing.
constexpr qint64 kQtReadBufferBytes = 1 << 20;

// Winsock-style error codes, as the control's handlers know them.
int ErrorCode(QAbstractSocket::SocketError error) {
  switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
      return 10061;
    case QAbstractSocket::RemoteHostClosedError:
      return 10054;
    case QAbstractSocket::HostNotFoundError:
      return 11001;
    case QAbstractSocket::SocketTimeoutError:
      return 10060;
    case QAbstractSocket::NetworkError:
      return 10050;
    default:
      return 10000 + static_cast<int>(error);
  }
}
}  // namespace

SocketEventQueue::SocketEventQueue() {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, [this] { DeliverOne(); });
}

void SocketEventQueue::Post(QtClientSocket* socket, Kind kind, int errorCode) {
  events_.push_back({socket, kind, errorCode});
  if (!timer_.isActive()) Schedule(0);
}

void SocketEventQueue::Drop(QtClientSocket* socket, bool keepDisconnect) {
  std::erase_if(events_, [&](const Event& e) {
    return e.socket == socket && !(keepDisconnect && e.kind == Kind::Disconnect);
  });
}

void SocketEventQueue::Schedule(int delayMs) {
  timer_.start(delayMs);
}

void SocketEventQueue::DeliverOne() {
  if (events_.empty()) return;
  if (ControlCall::Busy()) {
    // A handler is running a nested event loop: wait until it returns.
    Schedule(1);
    return;
  }
  Event e = events_.front();
  events_.pop_front();
  {
    ControlCall call;
    e.socket->Deliver(e.kind, e.errorCode);
  }
  if (!events_.empty()) Schedule(0);
}

QtClientSocket::QtClientSocket(SocketEventQueue& queue) : queue_(queue) {
  reoffer_.setSingleShot(true);
  QObject::connect(&reoffer_, &QTimer::timeout, [this] { OfferRead(); });
}

QtClientSocket::~QtClientSocket() {
  queue_.Drop(this, false);
  if (socket_) {
    socket_->disconnect();
    socket_->abort();
  }
}

void QtClientSocket::SetActive(bool active) {
  if (active && !opened_) Open();
  if (!active && opened_) Close();
}

void QtClientSocket::Open() {
  // A fresh QTcpSocket per connection, so nothing of the previous one (its
  // buffers, a late signal) can leak into this one.
  if (socket_) {
    socket_->disconnect();
    socket_->abort();
    socket_.release()->deleteLater();
  }
  socket_ = std::make_unique<QTcpSocket>();
  socket_->setReadBufferSize(kQtReadBufferBytes);
  QTcpSocket* s = socket_.get();
  QObject::connect(s, &QTcpSocket::connected, [this] { OnQtConnected(); });
  QObject::connect(s, &QTcpSocket::disconnected, [this] { OnQtDisconnected(); });
  QObject::connect(s, &QTcpSocket::errorOccurred,
                   [this](QAbstractSocket::SocketError e) { OnQtError(static_cast<int>(e)); });
  QObject::connect(s, &QTcpSocket::readyRead, [this] { OfferRead(); });
  opened_ = true;
  connected_ = false;
  readPending_ = false;
  s->connectToHost(QString::fromStdString(host_), static_cast<quint16>(port_));
  ApplyBufferSizes();
}

void QtClientSocket::Close() {
  // Closing an opened socket always raises OnDisconnect, connected or not;
  // Qt reports nothing when a connect in progress is abandoned.
  opened_ = false;
  connected_ = false;
  readPending_ = false;
  reoffer_.stop();
  queue_.Drop(this, true);
  if (socket_) {
    socket_->disconnect();
    socket_->abort();
  }
  queue_.Post(this, SocketEventQueue::Kind::Disconnect);
}

void QtClientSocket::SetBufferSizes(int receiveBytes, int sendBytes) {
  receiveBufferSize_ = receiveBytes;
  sendBufferSize_ = sendBytes;
  ApplyBufferSizes();
}

void QtClientSocket::ApplyBufferSizes() {
  // Qt applies options only once its socket exists (after the connect has
  // started); they are applied again when the connection is made.
  if (!socket_) return;
  if (receiveBufferSize_ > 0)
    socket_->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, receiveBufferSize_);
  if (sendBufferSize_ > 0)
    socket_->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, sendBufferSize_);
}

int QtClientSocket::BytesWaiting() const {
  if (!socket_) return 0;
  return static_cast<int>(std::min<qint64>(socket_->bytesAvailable(), 0x7FFFFFFF));
}

int QtClientSocket::Read(uint8_t* into, int maxBytes) {
  if (!socket_ || maxBytes <= 0) return 0;
  qint64 n = socket_->read(reinterpret_cast<char*>(into), maxBytes);
  return n > 0 ? static_cast<int>(n) : 0;
}

int QtClientSocket::Send(const uint8_t* bytes, int count) {
  if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState || count < 0) return -1;
  qint64 n = socket_->write(reinterpret_cast<const char*>(bytes), count);
  return n < 0 ? -1 : static_cast<int>(n);
}

void QtClientSocket::OfferRead() {
  if (readPending_ || !socket_ || socket_->bytesAvailable() <= 0) return;
  readPending_ = true;
  queue_.Post(this, SocketEventQueue::Kind::Read);
}

void QtClientSocket::OnQtConnected() {
  ApplyBufferSizes();
  queue_.Post(this, SocketEventQueue::Kind::Connect);
  queue_.Post(this, SocketEventQueue::Kind::Write);
}

void QtClientSocket::OnQtDisconnected() {
  // The peer closed or the connection was lost; unread bytes stay readable
  // and are offered before the disconnect.
  if (!opened_) return;
  opened_ = false;
  OfferRead();
  queue_.Post(this, SocketEventQueue::Kind::Disconnect);
}

void QtClientSocket::OnQtError(int qtError) {
  auto error = static_cast<QAbstractSocket::SocketError>(qtError);
  // An orderly close by the peer is a disconnect, not an error.
  if (error == QAbstractSocket::RemoteHostClosedError || !opened_) return;
  queue_.Post(this, SocketEventQueue::Kind::Error, ErrorCode(error));
}

void QtClientSocket::Deliver(SocketEventQueue::Kind kind, int errorCode) {
  using Kind = SocketEventQueue::Kind;
  if (kind == Kind::Read) readPending_ = false;
  if (kind == Kind::Connect) connected_ = true;
  if (kind == Kind::Disconnect) connected_ = false;
  platform::ClientSocketEvents* events = Events();
  if (!events) return;
  switch (kind) {
    case Kind::Connect:
      events->OnConnect(*this);
      break;
    case Kind::Disconnect:
      events->OnDisconnect(*this);
      break;
    case Kind::Error: {
      int code = errorCode;
      events->OnError(*this, code);
      break;
    }
    case Kind::Write:
      events->OnWrite(*this);
      break;
    case Kind::Read: {
      int before = BytesWaiting();
      if (before == 0) return;
      events->OnRead(*this);
      // Qt signals new data only once: bytes left unread are offered again
      // on a later turn, at once when the handler made progress, else after
      // a short pause so that a full buffer does not spin the loop.
      if (BytesWaiting() > 0 && !readPending_) reoffer_.start(BytesWaiting() < before ? 0 : 10);
      break;
    }
  }
}

std::unique_ptr<platform::ClientSocket> QtSocketFactory::CreateClientSocket() {
  return std::make_unique<QtClientSocket>(queue_);
}

std::unique_ptr<platform::BlockingSocket> QtSocketFactory::CreateBlockingSocket() {
  return std::make_unique<PosixBlockingSocket>();
}

}  // namespace tevrano::host
