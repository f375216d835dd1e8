// The eight client sockets, their events, connecting and resetting the
// recorder contexts, and the link watchdog.
#include <algorithm>
#include <cstring>

#include "base/ByteReader.h"
#include "base/Form.h"
#include "base/Properties.h"
#include "net/RecorderNet.h"
#include "net/Scramble.h"
#include "net/SendQueue.h"

namespace tevrano {

namespace {
constexpr const char* kLoopback = "127.0.0.1";

void CopyField(char* field, size_t fieldSize, const std::string& text) {
  std::memset(field, 0, fieldSize);
  std::memcpy(field, text.data(), text.size() < fieldSize ? text.size() : fieldSize - 1);
}

// Delay before the next attempt after `failures` failed ones in a row: the
// first retry comes on the next tick, later ones wait longer, up to ~1 s.
uint32_t ConnectDelayMs(uint32_t failures) {
  if (failures <= 1) return 0;
  if (failures >= 8) return RecorderNet::kMaxConnectDelayMs;
  const uint32_t delay = 10u << (failures - 1);
  return delay < RecorderNet::kMaxConnectDelayMs ? delay : RecorderNet::kMaxConnectDelayMs;
}
}  // namespace

RecorderNet::RecorderNet(platform::Platform& platform, TTevranoX& form,
                         const ControlProperties& properties, std::function<Ticks()> elapsedTicks)
    : platform_(platform),
      form_(form),
      properties_(properties),
      elapsedTicks_(std::move(elapsedTicks)) {
  for (int i = 0; i < 2; ++i) {
    contexts_[i].Index = i;
    contexts_[i].Zell = &zell_[i];
    contexts_[i].SendRing = &contexts_[i].OwnSendRing;
  }
}

RecorderNet::~RecorderNet() {
  // The sockets die with the contexts; no event may reach a half-destroyed
  // object.
  for (RecorderContext& c : contexts_) {
    for (auto& s : c.CommandSocket)
      if (s) s->SetEvents(nullptr);
    for (auto& s : c.StreamSocket)
      if (s) s->SetEvents(nullptr);
  }
}

void RecorderNet::CreateSockets() {
  streamScratch_ = std::make_unique<uint8_t[]>(kStreamReadBlock);
  streamSendBuffer_ = std::make_unique<uint8_t[]>(kStreamSendBufferSize);
  for (int r = 0; r < 2; ++r) {
    RecorderContext& c = contexts_[r];
    for (int k = 0; k < 2; ++k) {
      c.CommandSocket[k] = platform_.sockets.CreateClientSocket();
      c.CommandSocket[k]->Tag = 2 * k + r;
      c.CommandSocket[k]->SetEvents(this);
      c.StreamSocket[k] = platform_.sockets.CreateClientSocket();
      c.StreamSocket[k]->Tag = kStreamSocketIdentity;
      c.StreamSocket[k]->SetEvents(this);
    }
  }
}

RecorderContext* RecorderNet::FindBySession(uint32_t sessionId) {
  for (RecorderContext& c : contexts_)
    if (c.SessionId == sessionId) return &c;
  return nullptr;
}

bool RecorderNet::StreamsOnStreamSocket() const {
  return LoadLe32(machType_ + kMachTypeStreamSocket) == 1;
}

uint32_t RecorderNet::CalendarSeconds() const {
  return static_cast<uint32_t>(platform_.clock.CalendarTime());
}

// ---- Resets --------------------------------------------------------------

void RecorderNet::ResetContext(RecorderContext& c) {
  c.LoggedIn = 0;
  c.LoginState = kLoginNone;
  std::memset(c.RecorderAddress, 0, sizeof c.RecorderAddress);
  c.RecorderPort = 0;
  c.SendRing = &c.OwnSendRing;
  c.SessionId = 0;
  for (int k = 0; k < 2; ++k) {
    c.ConnState[k] = kConnIdle;
    c.CommandReceiveBuffer[k].Fill = 0;
  }
  CloseStreamSocket(c, 0);
}

void RecorderNet::ResetAllContexts() {
  for (int i = 0; i < 2; ++i) {
    RecorderContext& c = contexts_[i];
    c.Index = i;
    c.SessionId = 0;
    c.LoggedIn = 0;
    std::memset(c.UserName, 0, sizeof c.UserName);
    std::memset(c.Password, 0, sizeof c.Password);
    c.SendRing = &c.OwnSendRing;
    for (int k = 0; k < 2; ++k) {
      c.ConnState[k] = kConnIdle;
      c.CommandReceiveBuffer[k].Fill = 0;
    }
  }
  RecorderContext& c0 = contexts_[0];
  EmptySendRing(c0);
  c0.VideoAssembly.Allocate(RecorderContext::kVideoAssemblySize);
  c0.CommandReceiveBuffer[0].Allocate();
  c0.CommandReceiveBuffer[1].Allocate();
  c0.ConnState[0] = kConnReconnectWanted;
}

void RecorderNet::CloseCommandSockets(RecorderContext& c) {
  for (auto& s : c.CommandSocket)
    if (s) s->SetActive(false);
}

// ---- Connecting ----------------------------------------------------------

void RecorderNet::ConnectWanted() {
  for (int k = 0; k < 2; ++k)
    if (contexts_[0].ConnState[k] == kConnReconnectWanted) ConnectRecorder(0, k);
}

void RecorderNet::ConnectRecorder(int context, int k) {
  if (context < 0 || context > 1 || k < 0 || k > 1) return;
  RecorderContext& c = contexts_[context];
  // Nothing connects before the page has put three properties.
  if (properties_.PutCount() < 3) return;
  // A socket whose attempts keep failing waits a little between them. The
  // time is only compared while a wait is running (at most a second old),
  // so the signed difference holds at any tick count.
  if (c.ConnectFailures[k] > 1 && static_cast<int32_t>(c.NextConnectMs[k] - NowMs()) > 0) return;

  CopyField(c.RecorderAddress, sizeof c.RecorderAddress, properties_.DvrIp());
  c.RecorderPort = static_cast<uint32_t>(ParseLooseInt(properties_.HttpPortText()));
  CopyField(c.CredentialToken, sizeof c.CredentialToken, properties_.DvrUk());
  UnscrambleText(c.CredentialToken, c.UserName, c.Password);

  form_.LabeledEdit_System1.SetText(properties_.DvrIp());
  form_.LabeledEdit_System2.SetText(properties_.HttpPortText());

  ILAN_Socket_Connect(c, c.RecorderAddress, c.RecorderPort, k);
  // Only the main command socket brings the stream socket and a fresh send
  // queue with it; socket 1 joins a login that is already running.
  if (k == 0) {
    ConnectStreamSocket(c, c.RecorderAddress, c.RecorderPort, 0);
    EmptySendRing(c);
    c.VideoAssembly.Allocate(RecorderContext::kVideoAssemblySize);
    c.CommandReceiveBuffer[0].Empty();
    c.CommandReceiveBuffer[1].Empty();
  }

  if (c.FirstConnectDone != 1) {
    if (hooks_.RegisterPictureOutputs) hooks_.RegisterPictureOutputs(c);
    c.FirstConnectDone = 1;
  }
}

void RecorderNet::ILAN_Socket_Connect(RecorderContext& c, const char* address, uint32_t port,
                                      int k) {
  // Command sockets never go to the loopback address itself.
  if (std::strcmp(address, kLoopback) == 0) return;
  platform::ClientSocket* s = c.CommandSocket[k].get();
  if (!s || s->Connected()) return;
  c.CommandReceiveBuffer[k].Empty();
  s->SetHost(address);
  s->SetPort(static_cast<int>(port));
  s->SetActive(true);
  s->SetBufferSizes(kCommandReceiveBufferBytes, kCommandSendBufferBytes);
  c.AwaitingAnswer[k] = 0;
  c.ConnState[k] = kConnConnecting;
  c.LoggedInSinceAttempt[k] = false;
  if (k == 0) c.LoginState = kLoginNone;
}

void RecorderNet::ConnectStreamSocket(RecorderContext& c, const char* address, uint32_t port,
                                      int k) {
  platform::ClientSocket* s = c.StreamSocket[k].get();
  if (!s || s->Connected()) return;
  // StreamState becomes 1 in the connect event: a request sent before the
  // connection exists would be lost.
  streamClosedByUs_[k] = false;
  s->SetHost(address);
  s->SetPort(static_cast<int>(port));
  s->SetActive(true);
  s->SetBufferSizes(kStreamBufferBytes, kStreamBufferBytes);
}

void RecorderNet::CloseStreamSocket(RecorderContext& c, int k) {
  link_.StreamState = 0;
  platform::ClientSocket* s = c.StreamSocket[k].get();
  if (!s || !s->Active()) return;
  if (&c == &contexts_[0] && watchdogClosing_) streamClosedByUs_[k] = true;
  s->SetActive(false);
}

void RecorderNet::NoteConnectFailure(RecorderContext& c, int k) {
  if (c.LoggedInSinceAttempt[k]) {
    c.ConnectFailures[k] = 0;
    c.NextConnectMs[k] = NowMs();
    return;
  }
  ++c.ConnectFailures[k];
  c.NextConnectMs[k] = NowMs() + ConnectDelayMs(c.ConnectFailures[k]);
}

// ---- Socket events -------------------------------------------------------

namespace {
// Which socket an event came from: a stream socket (index in context 0) or
// command socket `socket` of context `context`.
struct SocketPlace {
  bool stream = false;
  int context = 0;
  int socket = 0;
  bool valid = false;
};

SocketPlace Place(const platform::ClientSocket& s, const RecorderContext (&contexts)[2]) {
  SocketPlace p;
  if (s.Tag == static_cast<int>(RecorderNet::kStreamSocketIdentity)) {
    p.stream = true;
    for (int r = 0; r < 2; ++r)
      for (int k = 0; k < 2; ++k)
        if (contexts[r].StreamSocket[k].get() == &s) p.context = r, p.socket = k, p.valid = true;
    return p;
  }
  if (s.Tag < 0 || s.Tag > 3) return p;
  p.context = s.Tag % 2;
  p.socket = s.Tag / 2;
  p.valid = true;
  return p;
}
}  // namespace

void RecorderNet::OnConnect(platform::ClientSocket& socket) {
  const SocketPlace p = Place(socket, contexts_);
  if (!p.valid) return;
  if (p.stream) {
    if (p.context == 0 && p.socket == 0) link_.StreamState = 1;
    return;
  }
  RecorderContext& c = contexts_[p.context];
  if (p.context == 0) {
    form_.Image_Conn.SetVisible(true);
    form_.Image_Disconn.SetVisible(false);
  }
  if (c.LoggedIn) c.LoggedInSinceAttempt[p.socket] = true;
  commandUp_[p.context][p.socket] = true;
  link_.CommandLinkUp = 1;
  // A recorder that accepts the connection but never answers would stall
  // the login for ever: the watchdog watches from the first connection on.
  if (link_.LastReceiveTime == 0) link_.LastReceiveTime = NowMs() ? NowMs() : 1;
}

void RecorderNet::OnDisconnect(platform::ClientSocket& socket) {
  const SocketPlace p = Place(socket, contexts_);
  if (!p.valid) return;
  if (p.stream) {
    if (p.context != 0) return;  // only context 0's stream socket ever opens
    const bool ours = streamClosedByUs_[p.socket];
    streamClosedByUs_[p.socket] = false;
    StreamSocketLost(ours);
    return;
  }
  RecorderContext& c = contexts_[p.context];
  const bool wasUp = commandUp_[p.context][p.socket];
  commandUp_[p.context][p.socket] = false;
  if (p.socket == 1 && !wasUp) {
    // A second connection that never came up takes nothing with it: the
    // session goes on over socket 0, and socket 1 is asked for again by
    // the recorder's next system information.
    c.ConnState[1] = kConnIdle;
    return;
  }
  NoteConnectFailure(c, p.socket);
  // The session is logged in on socket 0 and lives on both connections:
  // whichever is lost, both close, socket 0 (with the stream socket)
  // connects and logs in again on the next tick, and socket 1 waits until
  // the recorder's system information asks for it.
  ResetContext(c);
  CloseCommandSockets(c);
  c.ConnState[0] = kConnReconnectWanted;
  c.ConnState[1] = kConnIdle;
  link_.CommandLinkUp = 0;
  if (p.context == 0 && !c.CommandConnected(0) && !c.CommandConnected(1)) {
    form_.Image_Conn.SetVisible(false);
    form_.Image_Disconn.SetVisible(true);
  }
}

// A lost stream socket resets both contexts and reconnects. The one the
// watchdog closes in its first step only ends the stream: otherwise its
// disconnect would run the second step's reset at once.
void RecorderNet::StreamSocketLost(bool closedByUs) {
  link_.StreamState = 0;
  if (hooks_.StreamLost) hooks_.StreamLost();
  if (closedByUs) return;
  RecorderContext& c = contexts_[0];
  ResetContext(c);
  CloseCommandSockets(c);
  link_.LastReceiveTime = NowMs() ? NowMs() : 1;
  ResetAllContexts();
  RegisterRk9p();
}

void RecorderNet::OnError(platform::ClientSocket& socket, int& errorCode) {
  errorCode = 0;
  const SocketPlace p = Place(socket, contexts_);
  if (!p.valid) return;
  // Closing raises the disconnect, which reconnects (command socket) or
  // handles the loss (stream socket); a failed socket is never left open.
  socket.SetActive(false);
}

void RecorderNet::OnRead(platform::ClientSocket& socket) {
  const SocketPlace p = Place(socket, contexts_);
  if (!p.valid) return;
  const bool buffering = hooks_.Buffering && hooks_.Buffering();
  const uint32_t now = NowMs() ? NowMs() : 1;
  if (p.stream) {
    const int waiting = socket.BytesWaiting();
    if (waiting <= 0 || !streamScratch_) return;
    uint32_t want = static_cast<uint32_t>(waiting) < kStreamReadBlock
                        ? static_cast<uint32_t>(waiting)
                        : kStreamReadBlock;
    if (hooks_.StreamRoom) want = std::min(want, hooks_.StreamRoom());
    if (want == 0) {
      // No room yet: the bytes wait in the socket, and the link is alive.
      if (!buffering) link_.LastReceiveTime = now;
      return;
    }
    const int got = socket.Read(streamScratch_.get(), static_cast<int>(want));
    if (got <= 0) return;
    if (hooks_.FeedStream) hooks_.FeedStream(streamScratch_.get(), static_cast<uint32_t>(got));
    if (!buffering) link_.LastReceiveTime = now;
    return;
  }
  RecorderContext& c = contexts_[p.context];
  if (!StreamsOnStreamSocket() && !buffering) link_.LastReceiveTime = now;
  ReceiveBuffer& buffer = c.CommandReceiveBuffer[p.socket];
  // A full buffer takes nothing: the bytes wait in the socket until an
  // answer has been taken (or the buffer is dropped as malformed).
  if (!buffer.Base || buffer.Fill >= buffer.Capacity) return;
  const int waiting = socket.BytesWaiting();
  if (waiting <= 0) return;
  const uint32_t room = buffer.Capacity - buffer.Fill;
  const uint32_t want =
      static_cast<uint32_t>(waiting) < room ? static_cast<uint32_t>(waiting) : room;
  const int got = socket.Read(buffer.Base.get() + buffer.Fill, static_cast<int>(want));
  if (got > 0) buffer.Fill += static_cast<uint32_t>(got);
}

// ---- Link watchdog -------------------------------------------------------

void RecorderNet::LinkWatchdog() {
  const uint32_t now = NowMs();
  if (link_.LastReceiveTime == 0) return;
  if (hooks_.StreamBacklog && hooks_.StreamBacklog()) {
    link_.LastReceiveTime = now ? now : 1;
    return;
  }
  // Signed: after the first step LastReceiveTime lies in the future.
  if (static_cast<int32_t>(now - link_.LastReceiveTime) < static_cast<int32_t>(kWatchdogSilenceMs))
    return;
  if (link_.WatchdogPhase == 0) {
    link_.WatchdogPhase = 1;
    RecorderContext& c = contexts_[0];
    watchdogClosing_ = true;
    ResetContext(c);
    watchdogClosing_ = false;
    CloseCommandSockets(c);
    link_.LastReceiveTime = (now + kWatchdogSecondStepMs) ? now + kWatchdogSecondStepMs : 1;
    if (hooks_.AudioOn && hooks_.AudioOn()) {
      if (hooks_.SwitchAudioOff) hooks_.SwitchAudioOff();
      link_.AudioWasOn = 1;
    }
    return;
  }
  link_.WatchdogPhase = 0;
  link_.LastReceiveTime = now ? now : 1;
  // Everything starts afresh: sockets that reconnected after the first step
  // are closed too, since a connect procedure leaves a connected socket
  // alone and its session is reset below.
  RecorderContext& c = contexts_[0];
  watchdogClosing_ = true;
  CloseStreamSocket(c, 0);
  watchdogClosing_ = false;
  CloseCommandSockets(c);
  ResetAllContexts();
  RegisterRk9p();
  if (link_.AudioWasOn == 1) {
    if (hooks_.SwitchAudioOn) hooks_.SwitchAudioOn();
    link_.AudioWasOn = 0;
  }
}

}  // namespace tevrano
