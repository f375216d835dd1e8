// The simulated recorder: one listening TCP port that serves command
// connections (login, module messages, polls), stream connections (pushed
// marker-framed packets after a "GVDO" request) and, without a stream
// socket, video inside the poll answers. Single-threaded: one poll() loop
// runs sockets, frame slots and fault switches; only the loop library's
// encoding worker runs on another thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BackupSource.h"
#include "FaultPlan.h"
#include "HostileModules.h"
#include "JsonLog.h"
#include "LiveEvents.h"
#include "LoopLibrary.h"
#include "PlaybackSource.h"
#include "RecordingArchive.h"
#include "SimOptions.h"
#include "StreamSource.h"
#include "Wire.h"

namespace tevrano::sim {

// Settings pages kept by the recorder, by page mask.
struct SettingsPage {
  uint32_t mask;
  std::vector<uint8_t> data;
};

// A title set the viewer offers, pulled piece by piece ("VDTT").
struct TitlePull {
  bool active = false;
  uint32_t type = 0;             // the record type asked for last
  uint32_t offset = 0;           // and its offset
  int retries = 0;               // how often that piece came damaged
  std::vector<uint8_t> staging;  // record and bitmaps as they arrive
};

struct Session {
  uint32_t id = 0;
  std::string peerIp;
  std::string user;
  bool credentialsOk = false;
  bool loggedIn = false;
  bool refused = false;  // a refusal is queued; the session ends with the next answer
  uint32_t kind = 0;     // first word of the viewer's hello
  double loginTime = 0;
  double loggedInAt = 0;        // when the hello was taken: the start of the event script
  EventMasks reportedEvents{};  // the events last reported to the viewer
  bool eventsReported = false;
  int helloConnection = 0;                               // the connection that said hello
  std::array<std::array<uint8_t, 64>, 3> viewRecords{};  // live, playback, backup
  uint32_t mode = 0;                                     // the viewer's view mode as last told
  uint32_t icmdCounter = 0;                              // counter of the "ICMD" messages sent
  std::deque<std::vector<uint8_t>> outbox;               // module messages for the next answers
  std::map<std::string, std::vector<uint8_t>> items;     // named items written by the viewer

  // Video over the command channel.
  bool videoWanted = false;
  double lastVideoStatus = 0;
  uint64_t freeSpace = 0;  // bytes the viewer can take, from its last status
  std::unique_ptr<StreamSource> videoSource;
  std::array<std::deque<std::vector<uint8_t>>, 2> videoQueue;  // per command socket index
  std::array<size_t, 2> videoQueued{};
  uint32_t deliverySequence = 0;
  uint32_t nextSlot = 0;
  PictureKey logged{0, 0, -1, -1, 0};
  std::unique_ptr<PlaybackSource> videoPlayback;  // Playback over the command channel

  uint32_t playbackGeneration = 0;            // raised with every playback record received
  uint32_t backupGeneration = 0;              // raised with every backup record received
  std::unique_ptr<BackupSource> videoBackup;  // Backup over the command channel
  TitlePull titles;

  LiveView liveView() const;
  PlaybackRequest playbackRequest() const;
  BackupRequest backupRequest() const;
  bool inPlayback() const { return mode == 1; }
  // Backup mode with a backup running (else Backup shows live video).
  bool backingUp() const { return mode == 2 && backupRequest().state != 0; }
};

struct Connection {
  enum class Kind { Unknown, Command, Stream };
  int id = 0;
  int fd = -1;
  std::string peerIp;
  uint16_t peerPort = 0;
  Kind kind = Kind::Unknown;
  std::vector<uint8_t> in;
  std::vector<uint8_t> out;
  size_t outSent = 0;
  bool closeWhenFlushed = false;
  bool dead = false;
  uint32_t sessionId = 0;    // command: its session; stream: the session it follows
  uint32_t socketIndex = 0;  // command: 0 or 1
  // Stream connections.
  bool streaming = false;
  std::unique_ptr<StreamSource> source;
  std::unique_ptr<PlaybackSource> playback;
  std::unique_ptr<BackupSource> backup;
  LiveView view;
  uint64_t packets = 0;
  PictureKey logged{0, 0, -1, -1, 0};  // the picture last reported in the log
  // Faults that slow the connection down (split, slow): nothing is written
  // before writeHoldUntil nor read before readHoldUntil (steady seconds);
  // pieceLeft bytes of the current piece of a split answer may still go.
  double writeHoldUntil = 0;
  double readHoldUntil = 0;
  size_t pieceLeft = 0;

  size_t pending() const { return out.size() - outSent; }
};

class Recorder {
 public:
  // The archive and the event script must outlive the recorder.
  Recorder(const SimOptions& options, JsonLog& log, const RecordingArchive& archive,
           const EventScript& events);
  ~Recorder();

  // Opens the listening socket; false (with a message) when it cannot.
  bool Listen(std::string& error);
  // Runs until stop becomes true.
  void Run(const std::atomic<bool>& stop);

 private:
  // Sockets (Recorder.cpp).
  void Accept();
  void ReadFrom(Connection& c);
  void Flush(Connection& c);
  void Close(Connection& c, const std::string& reason);
  void Send(Connection& c, const std::vector<uint8_t>& bytes);
  void FrameSlot(uint64_t slot, double now);
  void SendStreamPacket(Connection& c, const uint8_t* p, size_t n);
  void QueueVideoMessage(Session& s, const uint8_t* p, size_t n, const PacketInfo& info);
  void Faults(double now);
  // The --fault switch (FaultSwitch.cpp).
  bool OpenListenSocket(std::string& error);
  bool FaultOn(FaultKind kind) const;
  bool RefusingLogins() const;
  void FaultStarts(double now);
  void FaultEnds(double now);
  void SendOversize(Connection& c);
  void ResetMidFrame(Connection& c);
  // How much of the pending output Flush may write now (0: wait).
  size_t WriteAllowance(Connection& c, double now);
  void AfterWrite(Connection& c, size_t written, double now);
  size_t ReadAllowance(Connection& c, double now);
  // The --hostile switch (FaultSwitch.cpp).
  void AddHostile(Session& s, std::vector<uint8_t>& payload, size_t budget);
  void AddHostilePacket(Connection& c, uint32_t seconds);
  void LogHostile(double now);
  void LogPicture(int connection, uint32_t session, const StreamSource& source, PictureKey& logged);
  void Tidy();
  Resolution CurrentResolution(double now) const;
  double Now() const;
  void Log(JsonEvent e, bool echo = false);

  // Command protocol (RecorderModules.cpp).
  void Process(Connection& c);
  void HandleFrame(Connection& c, const CommandFrameHeader& h, const ByteReader& frame);
  bool HandleStreamRequest(Connection& c, const CommandFrameHeader& h, const ByteReader& payload,
                           bool credentialsOk);
  void HandleModule(Connection& c, Session& s, const ModuleMessageView& m);
  void HandleZell(Connection& c, Session& s, const ByteReader& body, JsonEvent& e);
  void HandleIctl(Session& s, const ByteReader& body, JsonEvent& e);
  void HandleIcmd(Session& s, const ByteReader& body, JsonEvent& e);
  void HandleVido(Session& s, const ByteReader& body, JsonEvent& e);
  void HandlePbba(Session& s, const ByteReader& body, JsonEvent& e);
  void HandleSpdm(Session& s, const ByteReader& body, JsonEvent& e);
  // Channel titles (TitleExchange.cpp).
  void HandleVdtt(Session& s, const ByteReader& body, JsonEvent& e);
  void QueueVdtt(Session& s, uint32_t form, uint32_t kind, uint32_t type, uint32_t offset,
                 uint32_t length, const uint8_t* piece);
  void RequestTitlePiece(Session& s, uint32_t type, uint32_t offset);
  void FinishTitlePull(Session& s);
  std::vector<uint8_t>& TitleSet();
  void ReportEvents(double now);
  void LogPlayback(int connection, uint32_t session, const PlaybackNote& note);
  void LogBackup(int connection, uint32_t session, const BackupNote& note);
  BackupSettings BackupSettingsOf() const;
  void LogArchive();
  void Answer(Connection& c, const CommandFrameHeader& h, Session* s);
  void QueueZell(Session& s, uint32_t type, const std::vector<uint8_t>& data);
  void QueueIcmd(Session& s, uint32_t op, uint32_t type, const std::vector<uint8_t>& payload);
  void QueueItem(Session& s, const std::string& name, const std::vector<uint8_t>& data);
  std::vector<uint8_t> SystemInfo() const;
  std::vector<uint8_t> PagePayload(uint32_t mask) const;
  bool CredentialsOk(const std::string& text, std::string& user) const;
  Session* FindSession(uint32_t id);
  void BindStream(Connection& c);
  void EndSession(uint32_t id);

  const SimOptions& options_;
  JsonLog& log_;
  const RecordingArchive& archive_;
  const EventScript& events_;
  std::array<uint8_t, 112> presetTable_{};  // 100 slots, "Ufw3", 8 slider bytes
  std::vector<uint8_t> titleSet_;           // the title record and the four bitmaps
  LoopLibrary loops_;
  int listenFd_ = -1;
  int nextConnectionId_ = 1;
  uint32_t nextSessionId_;
  std::map<int, std::unique_ptr<Connection>> connections_;
  std::map<uint32_t, std::unique_ptr<Session>> sessions_;
  std::map<uint32_t, SettingsPage> pages_;
  uint32_t upnpSetting_;
  double start_ = 0;
  uint32_t startSeconds_ = 0;  // recorder time at start-up
  uint64_t lastSlot_ = 0;
  uint32_t lastMinute_ = 0;
  bool dropped_ = false;
  bool stalled_ = false;
  bool stallOver_ = false;  // a stall of --stall-for has ended; it comes once
  FaultPlan fault_;
  bool relisten_ = false;     // the refuse fault has closed the listening socket
  bool faultEnding_ = false;  // the fault is over; its end not yet carried out
  std::unique_ptr<HostileModules> hostile_;
  double lastHostileLog_ = 0;
  std::mt19937 random_;
};

}  // namespace tevrano::sim
