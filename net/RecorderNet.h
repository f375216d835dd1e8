#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/Ticks.h"
#include "net/CommandFrame.h"
#include "net/ModuleTable.h"
#include "net/RecorderContext.h"
#include "platform/Platform.h"

namespace tevrano {

class TTevranoX;
class ControlProperties;

// Where the connection layer hands over to subsystems built elsewhere. Each
// is set once at start-up by the subsystem that owns it; an unset hook is
// skipped. All run on the control's thread.
struct NetHooks {
  // Bytes read from the stream socket (at most 256 KiB per call) for stream
  // connection 0; called inside the socket's read event.
  std::function<void(const uint8_t* bytes, uint32_t count)> FeedStream;
  // How many bytes FeedStream takes now; unset: any. Bytes it has no room
  // for wait in the socket (a backup may lose none).
  std::function<uint32_t()> StreamRoom;
  // True while received stream bytes still wait to be parsed (a backup's
  // backlog): the link counts as alive meanwhile.
  std::function<bool()> StreamBacklog;
  // Asks the "VIDO" module for video for the context with this SessionId.
  std::function<void(uint32_t sessionId)> RequestVideo;
  // The context's view Mode (0 Live, 1 Playback, 2 Backup, 3 Setup, 4 local
  // movie playback); 0 when unset.
  std::function<uint32_t(const RecorderContext&)> ViewMode;
  // True while playback is buffering: data then does not count as life.
  std::function<bool()> Buffering;
  // The stream socket is gone: Buffering cleared, playback control state 1.
  std::function<void()> StreamLost;
  // At a context's first connect: Image_video and Label_time become the
  // picture outputs of its stream connection (kinds 0 and 1).
  std::function<void(RecorderContext&)> RegisterPictureOutputs;
  // A peer's hello was admitted: the "VIDO" state returns to its start-up
  // values (100 and 0).
  std::function<void(RecorderContext&)> PeerAdmitted;
  // Login hand-offs, in the order added, when the recorder's 256-byte
  // system information has arrived (on-screen interface, settings, titles).
  std::vector<std::function<void(RecorderContext&, const uint8_t* systemInfo)>> SystemInfoArrived;
  // Sends the named item "Zell_Mach_Type_Data_W" for the context.
  std::function<void(RecorderContext&)> SendMachType;
  // The watchdog's audio steps: whether audio is on; switch it off (the
  // speaker's click action) and stop the output; switch it on again.
  std::function<bool()> AudioOn;
  std::function<void()> SwitchAudioOff;
  std::function<void()> SwitchAudioOn;
};

// Process-wide connection state shared with the stream parser.
struct LinkState {
  // 0 idle, 1 stream socket connected, 2 stream requested, 3 stream data
  // flowing (set by the stream parser).
  uint32_t StreamState = 0;
  uint32_t LastReceiveTime = 0;  // tick count (ms) of the last data; 0 = not armed
  uint32_t WatchdogPhase = 0;
  uint32_t AudioWasOn = 0;
  uint32_t CommandLinkUp = 0;     // 1 while a command socket is connected
  uint32_t LastVideoRequest = 0;  // tick count (ms) of the last "VIDO" request
};

// The recorder connection: two contexts, their eight sockets and events, the
// login, the command channel with its module table, the stream request and
// the link watchdog. Everything runs on the control's thread; socket events
// arrive between main-loop runs.
class RecorderNet : public platform::ClientSocketEvents {
 public:
  static constexpr uint32_t kStreamSocketIdentity = 255;
  static constexpr int kCommandReceiveBufferBytes = 16384;
  static constexpr int kCommandSendBufferBytes = 294912;
  static constexpr int kStreamBufferBytes = 262144;
  static constexpr uint32_t kStreamReadBlock = 262144;
  static constexpr uint32_t kStreamSendBufferSize = 1 << 20;
  static constexpr uint32_t kMachTypeSize = 960;
  static constexpr uint32_t kMachTypeUpnp = 8;           // u32: 1 = UPnP settings offered
  static constexpr uint32_t kMachTypeStreamSocket = 12;  // u32: 1 = streams on the stream socket
  static constexpr Ticks kAnswerTimeout = 6000000;       // 60 s in ElapsedTicks
  static constexpr uint32_t kWatchdogSilenceMs = 20000;
  static constexpr uint32_t kWatchdogSecondStepMs = 10000;
  static constexpr uint32_t kMaxConnectDelayMs = 1000;

  // `elapsedTicks` gives the control's ElapsedTicks.
  RecorderNet(platform::Platform& platform, TTevranoX& form, const ControlProperties& properties,
              std::function<Ticks()> elapsedTicks);
  ~RecorderNet() override;
  RecorderNet(const RecorderNet&) = delete;
  RecorderNet& operator=(const RecorderNet&) = delete;

  // Start-up.
  void CreateSockets();     // the eight sockets with their identities and events
  void ResetAllContexts();  // also at a stream-socket loss and the watchdog's second step
  void RegisterZell();      // the "ZELL" module and its per-context states
  void RegisterRk9p();      // the "RK9P" module (again after a loss; never twice)

  // Main loop.
  void TakeAnswers();                     // ProcessAnswers on every connected command socket
  void LinkWatchdog();                    // once a second
  void ConnectWanted();                   // ConnectRecorder for context 0's wanted sockets
  void PollRecorder(RecorderContext& c);  // every tick, context 0

  // Login and command channel.
  int SendCommand(uint32_t command, uint32_t sessionId, int context, int socket);
  void ProcessAnswers(RecorderContext& c, int socket);
  // Handles one answer body (a CommandFrame) of bodyLength bytes.
  void HandleCommandFrame(const uint8_t* body, uint32_t bodyLength);
  // Returns -1 when no context carries the SessionId, else its index.
  int DispatchModuleMessages(uint32_t sessionId, const uint8_t* bytes, uint32_t length);
  int SendSystemMessage(uint32_t sessionId, uint32_t type);
  int QueueMessage(RecorderContext& c, const uint8_t* message, uint32_t length);

  // Connections.
  void ConnectRecorder(int context, int socket);
  void ILAN_Socket_Connect(RecorderContext& c, const char* address, uint32_t port, int socket);
  void ConnectStreamSocket(RecorderContext& c, const char* address, uint32_t port, int socket);
  void CloseStreamSocket(RecorderContext& c, int socket);
  void RequestStream(int socket, uint32_t code);
  void StreamRequestStep(RecorderContext& c);
  void ResetContext(RecorderContext& c);

  // Socket events (ClientSocket_Connect, _Disconnect, _Error, _Read, _Write).
  void OnConnect(platform::ClientSocket& socket) override;
  void OnDisconnect(platform::ClientSocket& socket) override;
  void OnError(platform::ClientSocket& socket, int& errorCode) override;
  void OnRead(platform::ClientSocket& socket) override;
  void OnWrite(platform::ClientSocket& socket) override {}

  RecorderContext& Context(int i) { return contexts_[i]; }
  const RecorderContext& Context(int i) const { return contexts_[i]; }
  RecorderContext* FindBySession(uint32_t sessionId);
  ModuleTable& Modules() { return modules_; }
  NetHooks& Hooks() { return hooks_; }
  LinkState& Link() { return link_; }
  const LinkState& Link() const { return link_; }
  // The recorder's model record, sent as "Zell_Mach_Type_Data_W" and
  // received as "Zell_Mach_Type_Data_R".
  uint8_t* MachTypeRecord() { return machType_; }
  bool StreamsOnStreamSocket() const;
  uint32_t FirstKindOneContext() const { return firstKindOne_; }

  // The viewer's own records (exposed for tests and the recorder's role).
  static void BuildHelloRecord(uint8_t (&out)[256]);
  static void BuildOwnSystemInfo(uint8_t (&out)[256]);
  static void BuildStreamRequest(uint32_t code, uint8_t (&out)[256]);

 private:
  struct ZellSendRecord {
    uint32_t sessionId;
    uint32_t type;
  };
  void ZellReceive(const uint8_t* body, uint32_t length);
  int ZellSend(const ZellSendRecord& record);
  // The data after the sub-header of a received "ZELL" message.
  void ZellSystemInfo(RecorderContext& c, ByteReader& data);
  void ZellPeerHello(RecorderContext& c, ByteReader& data);
  void PeerHello(uint32_t number, uint32_t contextIndex);
  void CloseCommandSockets(RecorderContext& c);
  void StreamSocketLost(bool closedByUs);
  void NoteConnectFailure(RecorderContext& c, int socket);
  uint32_t NowMs() const { return platform_.clock.TickCountMs(); }
  uint32_t CalendarSeconds() const;

  platform::Platform& platform_;
  TTevranoX& form_;
  const ControlProperties& properties_;
  std::function<Ticks()> elapsedTicks_;

  RecorderContext contexts_[2];
  ZellState zell_[2];
  ModuleTable modules_;
  NetHooks hooks_;
  LinkState link_;
  uint8_t machType_[kMachTypeSize] = {};
  uint32_t firstKindOne_ = 0xFFFFFFFF;  // first context to log in with kind 1
  bool watchdogClosing_ = false;
  bool streamClosedByUs_[2] = {false, false};  // by the watchdog's first step
  // Command sockets whose connect event came and whose disconnect has not.
  bool commandUp_[2][2] = {{false, false}, {false, false}};

  // Frames are built in one buffer reused for every send.
  uint8_t frame_[frame::kHeaderSize + kMaxModuleMessage] = {};
  std::unique_ptr<uint8_t[]> streamScratch_;     // 256 KiB read target of the stream sockets
  std::unique_ptr<uint8_t[]> streamSendBuffer_;  // 1 MiB, the stream request frame
  std::unique_ptr<uint8_t[]> rk9pBuffer_;        // 1 MiB, the "RK9P" module's buffer
  uint8_t zellBuffer_[4096] = {};                // received "ZELL" bodies
  uint8_t zellSend_[kModuleHeaderSize + 32 + 256] = {};
};

}  // namespace tevrano
