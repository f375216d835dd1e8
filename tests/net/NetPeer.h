#pragma once
// The recorder's side of the command protocol, written out byte by byte for
// the tests, and a fixture that runs the connection layer as the main loop
// does.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/Form.h"
#include "base/Properties.h"
#include "net/RecorderNet.h"
#include "base/ByteReader.h"
#include "platform/fake/FakePlatform.h"
#include "ui/NamedItems.h"

namespace tevrano::test {

using Bytes = std::vector<uint8_t>;

inline void Put32(Bytes& b, size_t at, uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4);
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
inline uint32_t Get32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

inline Bytes Frame(uint32_t command, uint32_t sessionId, uint32_t context = 0,
                   const Bytes& payload = {}, uint32_t socket = 0) {
  Bytes f(64, 0);
  Put32(f, 0, 64 + uint32_t(payload.size()));
  std::memcpy(f.data() + 4, "ULCM", 4);
  Put32(f, 8, command);
  Put32(f, 12, sessionId);
  Put32(f, 52, context);
  Put32(f, 56, socket);
  f.insert(f.end(), payload.begin(), payload.end());
  return f;
}

inline Bytes Answer(const Bytes& body) {
  std::string head =
      "HTTP/1.1 200 OK\r\nServer: recorder\r\nContent-Length: " + std::to_string(body.size()) +
      "\r\n\r\n";
  Bytes a(head.begin(), head.end());
  a.insert(a.end(), body.begin(), body.end());
  return a;
}

inline uint32_t Sum(const Bytes& body) {
  uint32_t s = 0;
  if (body.size() <= 1024) {
    for (uint8_t c : body) s += c;
  } else {
    for (size_t i = 0; i < body.size() / 1024; ++i) s += Get32(body, i * 1024);
  }
  return s;
}

inline Bytes Message(const char (&tag)[5], const Bytes& body, bool badChecksum = false) {
  Bytes m(32, 0);
  Put32(m, 0, 32 + uint32_t(body.size()));
  std::memcpy(m.data() + 4, tag, 4);
  Put32(m, 8, Sum(body) + (badChecksum ? 1 : 0));
  m.insert(m.end(), body.begin(), body.end());
  return m;
}

// A body with the 32-byte sub-header {SessionId, type} and data.
inline Bytes SubBody(uint32_t sessionId, uint32_t type, const Bytes& data = {}) {
  Bytes b(32, 0);
  Put32(b, 0, sessionId);
  Put32(b, 4, type);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

inline Bytes SystemInfo(uint32_t connections, uint32_t channels = 16) {
  Bytes s(256, 0);
  Put32(s, 0, channels);
  std::memset(s.data() + 12, 'x', 32);  // a text without its terminator
  Put32(s, 148, connections);
  return s;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

struct SentFrame {
  uint32_t total, command, sessionId, context, socket;
  std::string credentials;
  Bytes payload;
};

// Splits what the control sent into frames.
inline std::vector<SentFrame> Frames(const Bytes& sent) {
  std::vector<SentFrame> out;
  size_t at = 0;
  while (sent.size() - at >= 64) {
    Bytes h(sent.begin() + at, sent.begin() + at + 64);
    SentFrame f{Get32(h, 0), Get32(h, 8), Get32(h, 12), Get32(h, 52), Get32(h, 56), {}, {}};
    f.credentials.assign(reinterpret_cast<const char*>(h.data() + 16));
    if (f.total < 64 || at + f.total > sent.size()) break;
    f.payload.assign(sent.begin() + at + 64, sent.begin() + at + f.total);
    out.push_back(f);
    at += f.total;
  }
  return out;
}

// Splits a payload into module messages.
inline std::vector<Bytes> Messages(const Bytes& payload) {
  std::vector<Bytes> out;
  size_t at = 0;
  while (payload.size() - at >= 32) {
    const uint32_t n = Get32(payload, at);
    if (n < 32 || at + n > payload.size()) break;
    out.emplace_back(payload.begin() + at, payload.begin() + at + n);
    at += n;
  }
  return out;
}

inline std::string TagOf(const Bytes& message) {
  return std::string(reinterpret_cast<const char*>(message.data() + 4), 4);
}

// The connection layer on its own, with fake sockets and a manual clock.
class NetFixture : public ::testing::Test {
 public:
  NetFixture() {
    net.CreateSockets();
    net.ResetAllContexts();
    net.RegisterZell();
    items.RegisterModule();
    items.RegisterItems();
    net.RegisterRk9p();
  }

  void PutProperties(const char* ip = "192.168.1.20", const char* port = "80",
                     const char* token = "69A1B2C3.4.E5F6") {
    properties.Put(kDispidDvrIp, Variant::Text(ip));
    properties.Put(kDispidHttpPort, Variant::Text(port));
    properties.Put(kDispidDvrUk, Variant::Text(token));
  }

  // The main loop's network steps, 10 ms apart, then the events.
  void Tick() {
    fakes.clock.AdvanceMs(10);
    net.TakeAnswers();
    net.ConnectWanted();
    net.PollRecorder(net.Context(0));
    fakes.network.Pump();
  }

  platform::FakeClientSocket& Cmd(int k, int context = 0) {
    return static_cast<platform::FakeClientSocket&>(*net.Context(context).CommandSocket[k]);
  }
  platform::FakeClientSocket& Stream(int k = 0) {
    return static_cast<platform::FakeClientSocket&>(*net.Context(0).StreamSocket[k]);
  }
  RecorderContext& C0() { return net.Context(0); }

  // The recorder accepts command socket 0 and the stream socket.
  void Connect() {
    Tick();
    fakes.network.AcceptConnect(Cmd(0));
    fakes.network.AcceptConnect(Stream());
    fakes.network.Pump();
  }

  // Runs the login up to the recorder's system information.
  void LogIn(uint32_t sessionId = 0x5000, uint32_t connections = 1) {
    PutProperties();
    Connect();
    Tick();  // Hello
    Cmd(0).TakeSent();
    Deliver(Cmd(0), Answer(Frame(kCmdAssign, sessionId)));
    Tick();  // Assign taken; the ZELL hello goes out with the poll
    Cmd(0).TakeSent();
    Deliver(Cmd(0), Answer(Frame(kCmdExchange, sessionId, 0,
                                 Message("ZELL", SubBody(sessionId, 1, SystemInfo(connections))))));
    Tick();  // SystemInfo taken
  }

  void Deliver(platform::FakeClientSocket& s, const Bytes& bytes) {
    fakes.network.Deliver(s, bytes);
    fakes.network.Pump();
  }

  platform::FakePlatform fakes;
  platform::Platform platform = fakes.platform();
  TTevranoX form;
  ControlProperties properties;
  RecorderNet net{platform, form, properties,
                  [this] { return fakes.clock.TickCountMs() * kTicksPerMs; }};
  NamedItems items{net, form, fakes.host};
};

// A fixture of its own, for tables of cases that each need a fresh start.
struct FreshNet : NetFixture {
  void TestBody() override {}
};

}  // namespace tevrano::test
