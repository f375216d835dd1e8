#pragma once
#include <cstring>

// A recorder connection with scripted sockets for the fuzz targets: command
// socket 0 connected, context 0 logged in with SessionId 0x5000.
#include "control/Form.h"
#include "control/Properties.h"
#include "net/RecorderNet.h"
#include "platform/fake/FakePlatform.h"
#include "ui/NamedItems.h"

namespace tevrano::fuzz {

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
    fakes.network.Pump();
    net.ResetAllContexts();
    net.Link() = LinkState{};
    std::memset(net.MachTypeRecord(), 0, RecorderNet::kMachTypeSize);
    net.ConnectWanted();
    auto& cmd0 = static_cast<platform::FakeClientSocket&>(*net.Context(0).CommandSocket[0]);
    auto& stream0 = static_cast<platform::FakeClientSocket&>(*net.Context(0).StreamSocket[0]);
    if (!cmd0.Connected()) fakes.network.AcceptConnect(cmd0);
    if (!stream0.Connected()) fakes.network.AcceptConnect(stream0);
    fakes.network.Pump();
    cmd0.TakeSent();
    for (int i = 0; i < 2; ++i) {
      RecorderContext& c = net.Context(i);
      c.AwaitingAnswer[0] = c.AwaitingAnswer[1] = 0;
      c.NextConnectMs[0] = c.NextConnectMs[1] = 0;
      c.LoginState = kLoginNone;
    }
    RecorderContext& c = net.Context(0);
    c.SessionId = kSession;
    c.LoginState = kLoginAssigned;
    c.LoggedIn = 1;
  }

  platform::FakePlatform fakes;
  platform::Platform platform = fakes.platform();
  TTevranoX form;
  ControlProperties properties;
  RecorderNet net{platform, form, properties,
                  [this] { return fakes.clock.TickCountMs() * kTicksPerMs; }};
  NamedItems items{net, form, fakes.host};
};

}  // namespace tevrano::fuzz
