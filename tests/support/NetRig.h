#pragma once
// A recorder connection for the fuzz targets: command socket 0 and the
// stream socket connected, context 0 logged in with SessionId 0x5000, the
// modules registered in the control's order. The sockets are minimal and
// keep no history, so that millions of inputs run in constant memory.
#include <cstring>
#include <vector>

#include "base/Form.h"
#include "base/Properties.h"
#include "net/RecorderNet.h"
#include "platform/fake/FakePlatform.h"
#include "ui/NamedItems.h"

namespace tevrano::test {

class FuzzSocket : public platform::ClientSocket {
 public:
  void SetHost(std::string_view) override {}
  void SetPort(int) override {}
  void SetActive(bool active) override {
    if (active) {
      active_ = true;
    } else if (active_) {
      active_ = connected_ = false;
      closed_ = true;  // its disconnect event comes later
      incoming_.clear();
      readAt_ = 0;
    }
  }
  bool Active() const override { return active_; }
  bool Connected() const override { return connected_; }
  void SetBufferSizes(int, int) override {}
  int BytesWaiting() const override { return static_cast<int>(incoming_.size() - readAt_); }
  int Read(uint8_t* into, int maxBytes) override {
    const size_t n = std::min<size_t>(static_cast<size_t>(maxBytes), incoming_.size() - readAt_);
    std::memcpy(into, incoming_.data() + readAt_, n);
    readAt_ += n;
    return static_cast<int>(n);
  }
  int Send(const uint8_t*, int count) override { return connected_ ? count : -1; }

  bool active_ = false, connected_ = false, closed_ = false;
  std::vector<uint8_t> incoming_;
  size_t readAt_ = 0;
};

class FuzzNetwork : public platform::SocketFactory {
 public:
  std::unique_ptr<platform::ClientSocket> CreateClientSocket() override {
    auto s = std::make_unique<FuzzSocket>();
    sockets_.push_back(s.get());
    return s;
  }
  std::unique_ptr<platform::BlockingSocket> CreateBlockingSocket() override { return nullptr; }

  void Accept(platform::ClientSocket& socket) {
    auto& s = static_cast<FuzzSocket&>(socket);
    if (!s.active_ || s.connected_) return;
    s.connected_ = true;
    s.Events()->OnConnect(s);
  }
  // Bytes arrive; read events follow while the control takes some.
  void Deliver(platform::ClientSocket& socket, const uint8_t* bytes, size_t n) {
    auto& s = static_cast<FuzzSocket&>(socket);
    if (!s.connected_) return;
    s.incoming_.erase(s.incoming_.begin(), s.incoming_.begin() + s.readAt_);
    s.readAt_ = 0;
    s.incoming_.insert(s.incoming_.end(), bytes, bytes + n);
    while (s.connected_ && s.BytesWaiting() > 0) {
      const int before = s.BytesWaiting();
      s.Events()->OnRead(s);
      if (s.BytesWaiting() == before) break;
    }
  }
  // Delivers the disconnect events of closed sockets, those raised by the
  // handlers included.
  void Pump() {
    for (bool again = true; again;) {
      again = false;
      for (FuzzSocket* s : sockets_)
        if (s->closed_) {
          s->closed_ = false;
          again = true;
          s->Events()->OnDisconnect(*s);
        }
    }
  }

 private:
  std::vector<FuzzSocket*> sockets_;
};

struct NetRig {
  static constexpr uint32_t kSession = 0x5000;

  NetRig() {
    net.CreateSockets();
    net.ResetAllContexts();
    net.RegisterZell();
    items.RegisterModule();
    items.RegisterItems();
    net.RegisterRk9p();
    properties.Put(kDispidDvrIp, Variant::Text("192.168.1.20"));
    properties.Put(kDispidHttpPort, Variant::Text("80"));
    properties.Put(kDispidDvrUk, Variant::Text("69A1B2C3.4.E5F6"));
    Reset();
  }

  // Back to a connected, logged-in context 0, whatever the last input did.
  void Reset() {
    network.Pump();
    net.ResetAllContexts();
    net.Link() = LinkState{};
    std::memset(net.MachTypeRecord(), 0, RecorderNet::kMachTypeSize);
    for (int i = 0; i < 2; ++i) {
      RecorderContext& c = net.Context(i);
      c.ConnectFailures[0] = c.ConnectFailures[1] = 0;
    }
    net.ConnectWanted();
    network.Accept(*net.Context(0).CommandSocket[0]);
    network.Accept(*net.Context(0).StreamSocket[0]);
    for (int i = 0; i < 2; ++i) {
      RecorderContext& c = net.Context(i);
      c.AwaitingAnswer[0] = c.AwaitingAnswer[1] = 0;
      c.LoginState = kLoginNone;
    }
    RecorderContext& c = net.Context(0);
    c.SessionId = kSession;
    c.LoginState = kLoginAssigned;
    c.LoggedIn = 1;
    fakes.host.messageBoxes.clear();
  }

  platform::FakePlatform fakes;
  FuzzNetwork network;
  platform::Platform platform{fakes.clock, network,           fakes.audio, fakes.text,
                              fakes.host,  fakes.environment, fakes.files};
  TTevranoX form;
  ControlProperties properties;
  RecorderNet net{platform, form, properties,
                  [this] { return fakes.clock.TickCountMs() * kTicksPerMs; }};
  NamedItems items{net, form, fakes.host};
};

}  // namespace tevrano::test
