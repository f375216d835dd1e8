#include "Recorder.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>

#include "RecorderTime.h"

namespace tevrano::sim {

namespace {

// A connection that sends more than this without a complete frame is not
// a viewer.
constexpr size_t kMaxInput = 256 * 1024;
// Stream data a slow viewer may have waiting before frames are left out.
constexpr size_t kStreamBacklog = 1024 * 1024;
constexpr size_t kVideoQueueBacklog = 2 * 1024 * 1024;
// Answers a command connection may leave unread before it is closed.
constexpr size_t kMaxUnread = 8 * 1024 * 1024;

std::tm LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return t;
}

}  // namespace

LiveView Session::liveView() const {
  LiveView v;
  v.splitKind = GetLe32(&viewRecords[0][0]);
  v.firstChannel = GetLe32(&viewRecords[0][4]);
  v.singleChannel = GetLe32(&viewRecords[0][8]);
  return v;
}

PlaybackRequest Session::playbackRequest() const {
  PlaybackRequest r;
  r.channel = GetLe32(&viewRecords[1][8]);
  r.playFlag = GetLe32(&viewRecords[1][12]);
  r.direction = int32_t(GetLe32(&viewRecords[1][16]));
  r.start = GetLe32(&viewRecords[1][20]);
  r.generation = playbackGeneration;
  return r;
}

BackupRequest Session::backupRequest() const {
  BackupRequest r;
  r.channel = GetLe32(&viewRecords[2][8]) & 15;
  r.state = GetLe32(&viewRecords[2][12]);
  r.start = GetLe32(&viewRecords[2][16]);
  r.end = GetLe32(&viewRecords[2][20]);
  r.generation = backupGeneration;
  return r;
}

Recorder::Recorder(const SimOptions& options, JsonLog& log, const RecordingArchive& archive,
                   const EventScript& events)
    : options_(options),
      log_(log),
      archive_(archive),
      events_(events),
      loops_(options.fps, options.channels),
      nextSessionId_(uint32_t(std::time(nullptr)) & 0x7FFFFFFF),
      upnpSetting_(options.listenPort),  // UPnP off, on the web port
      fault_(options.faultKind, options.faultAt, options.faultFor),
      random_(options.seed) {
  start_ = Now();
  if (options_.hostile) hostile_ = std::make_unique<HostileModules>(options_.hostileSeed);
  startSeconds_ = PackRecorderTime(LocalNow());
  // The settings pages a recorder starts with: bitrate "Intranet", the
  // text pages empty.
  pages_[1] = {1, {9, 0, 0, 0}};
  pages_[2] = {2, std::vector<uint8_t>(68, 0)};
  pages_[4] = {4, std::vector<uint8_t>(116, 0)};
  pages_[8] = {8, std::vector<uint8_t>(256, 0)};
  pages_[16] = {16, std::vector<uint8_t>(256, 0)};
  // The preset table a recorder starts with: no slot holds a channel
  // (channel 16, mode 0), both sliders at position 0.
  std::fill(presetTable_.begin(), presetTable_.begin() + 100, uint8_t(16));
  if (options_.presetMarker) std::memcpy(&presetTable_[100], "Ufw3", 4);
  presetTable_[104] = presetTable_[105] = 1;

  // Encode what a viewer asks for first, then the rest.
  const uint32_t minute = uint32_t(std::time(nullptr) / 60);
  std::vector<PictureKey> keys;
  for (const Resolution& r : options_.resolutions) {
    for (int ch = 0; ch < options_.channels; ++ch)
      keys.push_back({r.width, r.height, 0, ch, minute});
    const std::pair<int, int> splits[] = {{1, 0}, {1, 4}, {1, 8}, {1, 12}, {2, 0}, {2, 9}, {3, 0}};
    for (auto [kind, first] : splits)
      if (first < options_.channels) keys.push_back({r.width, r.height, kind, first, minute});
  }
  loops_.WarmUp(keys);
}

Recorder::~Recorder() {
  for (auto& [id, c] : connections_)
    if (c->fd >= 0) ::close(c->fd);
  if (listenFd_ >= 0) ::close(listenFd_);
}

double Recorder::Now() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Recorder::Log(JsonEvent e, bool echo) {
  log_.Write(e, Now() - start_);
  if (echo && !options_.quiet) std::fprintf(stderr, "tevrano-recorder-sim: %s\n", e.text().c_str());
}

bool Recorder::Listen(std::string& error) {
  if (!OpenListenSocket(error)) return false;
  JsonEvent e("listen");
  e.Add("address", options_.listenAddress)
      .Add("port", int(options_.listenPort))
      .Add("channels", options_.channels)
      .Add("stream_socket", options_.streamSocket)
      .Add("connections", options_.connections)
      .Add("model", options_.ModelText())
      .Add("fps", options_.fps);
  if (options_.dropAfter >= 0) e.Add("drop_after_ms", int64_t(options_.dropAfter * 1000));
  if (options_.stallAfter >= 0) e.Add("stall_after_ms", int64_t(options_.stallAfter * 1000));
  if (options_.stallFor >= 0) e.Add("stall_for_ms", int64_t(options_.stallFor * 1000));
  if (options_.garbageEvery > 0) e.Add("garbage_every", options_.garbageEvery);
  if (options_.refuse) e.Add("refuse", true);
  if (fault_.kind() != FaultKind::None)
    e.Add("fault", FaultName(fault_.kind()))
        .Add("fault_at_ms", int64_t(fault_.at() * 1000))
        .Add("fault_end_ms", int64_t(fault_.end() * 1000));
  if (hostile_) e.Add("hostile_seed", int64_t(options_.hostileSeed));
  // The steady clock at the start, in seconds: the log's times plus this
  // are times on the machine's monotonic clock, which other programs can
  // compare with their own.
  char clock[32];
  std::snprintf(clock, sizeof clock, "%.6f", start_);
  e.AddRaw("clock", clock);
  e.Add("archive", options_.archivePath.empty() ? "seed " + std::to_string(options_.seed)
                                                : options_.archivePath);
  Log(e, true);
  LogArchive();
  return true;
}

Resolution Recorder::CurrentResolution(double now) const {
  if (options_.resolutions.size() < 2) return options_.resolutions.front();
  size_t i = size_t((now - start_) / options_.cycleSeconds) % options_.resolutions.size();
  return options_.resolutions[i];
}

void Recorder::Run(const std::atomic<bool>& stop) {
  std::vector<pollfd> fds;
  std::vector<int> ids;
  while (!stop.load()) {
    const double now = Now();
    const double elapsed = now - start_;
    const uint64_t slot = uint64_t(elapsed * options_.fps);
    const double nextSlotAt = double(slot + 1) / options_.fps;
    int timeoutMs = int(std::ceil((nextSlotAt - elapsed) * 1000));
    timeoutMs = std::clamp(timeoutMs, 1, 100);

    fds.clear();
    ids.clear();
    // A stalled recorder neither accepts, reads nor writes: requests and new
    // connections wait in the kernel until the stall ends.
    fds.push_back({stalled_ ? -1 : listenFd_, POLLIN, 0});
    ids.push_back(0);
    for (auto& [id, c] : connections_) {
      // A connection held back by a split or slow fault waits for its time.
      short events = 0;
      if (c->readHoldUntil <= now) events |= POLLIN;
      if (c->pending() && c->writeHoldUntil <= now) events |= POLLOUT;
      for (double until : {c->readHoldUntil, c->writeHoldUntil})
        if (until > now) timeoutMs = std::clamp(int(std::ceil((until - now) * 1000)), 1, timeoutMs);
      fds.push_back({stalled_ ? -1 : c->fd, events, 0});
      ids.push_back(id);
    }
    int ready = ::poll(fds.data(), fds.size(), timeoutMs);
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0) {
      for (size_t i = 1; i < fds.size(); ++i) {
        auto it = connections_.find(ids[i]);
        if (it == connections_.end() || it->second->dead) continue;
        Connection& c = *it->second;
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) ReadFrom(c);
        if (!c.dead && (fds[i].revents & POLLOUT)) Flush(c);
      }
      if (listenFd_ >= 0 && (fds[0].revents & POLLIN)) Accept();
    }
    const double after = Now();
    Faults(after);
    if (!stalled_) ReportEvents(after);
    LogHostile(after);
    const uint64_t current = uint64_t((after - start_) * options_.fps);
    if (current > lastSlot_ || lastSlot_ == 0) {
      lastSlot_ = std::max<uint64_t>(current, 1);
      if (!stalled_) FrameSlot(current, after);
    }
    Tidy();
  }
  Log(JsonEvent("stop"), false);
}

void Recorder::Accept() {
  for (int guard = 0; guard < 64; ++guard) {
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &len,
                       SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto c = std::make_unique<Connection>();
    c->id = nextConnectionId_++;
    c->fd = fd;
    char ip[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, ip, sizeof ip);
    c->peerIp = ip;
    c->peerPort = ntohs(peer.sin_port);
    c->in.reserve(4096);
    Log(JsonEvent("connect")
            .Add("conn", c->id)
            .Add("peer", c->peerIp)
            .Add("port", int(c->peerPort)));
    connections_[c->id] = std::move(c);
  }
}

void Recorder::ReadFrom(Connection& c) {
  uint8_t buf[65536];
  const size_t allowance = ReadAllowance(c, Now());
  for (int guard = 0; guard < 16; ++guard) {
    ssize_t n = ::recv(c.fd, buf, std::min(sizeof buf, allowance), 0);
    if (n == 0) {
      Close(c, "peer closed");
      return;
    }
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;
      if (errno == EINTR) continue;
      Close(c, std::string("receive error: ") + std::strerror(errno));
      return;
    }
    c.in.insert(c.in.end(), buf, buf + n);
    if (allowance < sizeof buf) break;  // a slow connection: one byte a turn
    if (c.in.size() > kMaxInput) Process(c);
    if (c.dead) return;
    if (c.in.size() > kMaxInput) {
      Log(JsonEvent("garbage").Add("conn", c.id).Add("reason", "too much input without a frame"),
          true);
      Close(c, "garbage");
      return;
    }
  }
  Process(c);
}

void Recorder::Send(Connection& c, const std::vector<uint8_t>& bytes) {
  if (c.dead) return;
  if (c.pending() > kMaxUnread) {
    // A peer that sends requests but never reads the answers.
    Close(c, "answers not read");
    return;
  }
  if (c.kind == Connection::Kind::Command && FaultOn(FaultKind::Garbage)) {
    const std::vector<uint8_t> junk = GarbageBytes(random_, 1, 300);
    c.out.insert(c.out.end(), junk.begin(), junk.end());
    Log(JsonEvent("fault")
            .Add("fault", "garbage")
            .Add("conn", c.id)
            .Add("bytes", int(junk.size())));
  }
  c.out.insert(c.out.end(), bytes.begin(), bytes.end());
  Flush(c);
}

void Recorder::Flush(Connection& c) {
  if (c.dead) return;
  while (c.pending() > 0) {
    const double now = Now();
    const size_t allowed = WriteAllowance(c, now);
    if (allowed == 0) break;
    ssize_t n = ::send(c.fd, c.out.data() + c.outSent, allowed, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;
      if (errno == EINTR) continue;
      Close(c, std::string("send error: ") + std::strerror(errno));
      return;
    }
    c.outSent += size_t(n);
    AfterWrite(c, size_t(n), now);
  }
  if (c.pending() == 0) {
    c.out.clear();
    c.outSent = 0;
    if (c.closeWhenFlushed) Close(c, "closed after the answer");
  } else if (c.outSent > 256 * 1024) {
    c.out.erase(c.out.begin(), c.out.begin() + ptrdiff_t(c.outSent));
    c.outSent = 0;
  }
}

void Recorder::Close(Connection& c, const std::string& reason) {
  if (c.dead) return;
  c.dead = true;
  ::close(c.fd);
  c.fd = -1;
  Log(JsonEvent("disconnect")
          .Add("conn", c.id)
          .Add("kind", c.kind == Connection::Kind::Stream    ? "stream"
                       : c.kind == Connection::Kind::Command ? "command"
                                                             : "unknown")
          .Add("session", c.sessionId)
          .Add("reason", reason));
}

void Recorder::Tidy() {
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (!it->second->dead) {
      ++it;
      continue;
    }
    const Connection::Kind kind = it->second->kind;
    const uint32_t session = it->second->sessionId;
    const uint32_t slot = std::min<uint32_t>(it->second->socketIndex, 1);
    it = connections_.erase(it);
    // A session lives as long as one of its command connections.
    if (kind == Connection::Kind::Command && session != 0) {
      bool others = false, otherSlot = false;
      for (auto& [id, c] : connections_)
        if (c->kind == Connection::Kind::Command && c->sessionId == session && !c->dead) {
          others = true;
          otherSlot |= std::min<uint32_t>(c->socketIndex, 1) != slot;
        }
      if (!others) {
        EndSession(session);
      } else if (Session* s = FindSession(session); s && otherSlot) {
        // Video waiting for the lost connection goes out on the other one;
        // the viewer puts it back in order by its delivery sequence.
        auto& from = s->videoQueue[slot];
        auto& to = s->videoQueue[slot ^ 1];
        for (auto& m : from) to.push_back(std::move(m));
        from.clear();
        s->videoQueued[slot ^ 1] += s->videoQueued[slot];
        s->videoQueued[slot] = 0;
      }
    }
  }
}

void Recorder::EndSession(uint32_t id) {
  if (sessions_.erase(id)) Log(JsonEvent("session_end").Add("session", id));
}

void Recorder::Faults(double now) {
  const double elapsed = now - start_;
  if (options_.dropAfter >= 0 && !dropped_ && elapsed >= options_.dropAfter) {
    dropped_ = true;
    Log(JsonEvent("fault").Add("fault", "drop").Add("connections", int(connections_.size())), true);
    for (auto& [id, c] : connections_) Close(*c, "drop fault");
  }
  if (options_.stallAfter >= 0 && !stalled_ && !stallOver_ && elapsed >= options_.stallAfter) {
    stalled_ = true;
    Log(JsonEvent("fault").Add("fault", "stall"), true);
  }
  if (stalled_ && options_.stallFor >= 0 && elapsed >= options_.stallAfter + options_.stallFor) {
    stalled_ = false;
    stallOver_ = true;
    Log(JsonEvent("fault").Add("fault", "stall_end"), true);
  }
  if (fault_.Starts(elapsed)) FaultStarts(now);
  if (fault_.Ends(elapsed)) faultEnding_ = true;
  if (faultEnding_) FaultEnds(now);
}

void Recorder::FrameSlot(uint64_t slot, double now) {
  const uint32_t fps = uint32_t(options_.fps);
  const uint32_t seconds = startSeconds_ + uint32_t(slot / fps);
  const uint32_t frame = uint32_t(slot % fps);
  const Resolution size = CurrentResolution(now);
  const uint32_t minute = uint32_t(std::time(nullptr) / 60);
  if (minute != lastMinute_) {
    lastMinute_ = minute;
    loops_.ForgetBefore(minute - 1);
  }

  for (auto& [id, cp] : connections_) {
    Connection& c = *cp;
    if (c.dead || c.kind != Connection::Kind::Stream || !c.streaming) continue;
    BindStream(c);
    Session* s = FindSession(c.sessionId);
    if (s) c.view = s->liveView();
    const bool congested = c.pending() > kStreamBacklog;
    if (s && s->backingUp()) {
      if (!c.backup)
        c.backup = std::make_unique<BackupSource>(loops_, archive_, BackupSettingsOf());
      c.backup->Tick(
          s->backupRequest(), minute, congested,
          [&](const uint8_t* p, size_t n, const PacketInfo&) { SendStreamPacket(c, p, n); },
          [&](const BackupNote& note) { LogBackup(c.id, c.sessionId, note); });
      Flush(c);
      continue;
    }
    c.backup.reset();
    if (s && s->inPlayback()) {
      if (!c.playback)
        c.playback =
            std::make_unique<PlaybackSource>(loops_, archive_, options_.fps, options_.splitFrames);
      c.playback->Tick(
          s->playbackRequest(), slot, size, minute, congested,
          [&](const uint8_t* p, size_t n, const PacketInfo&) { SendStreamPacket(c, p, n); },
          [&](const PlaybackNote& note) { LogPlayback(c.id, c.sessionId, note); });
      Flush(c);
      continue;
    }
    c.playback.reset();  // the next Playback starts anew
    c.source->Tick(
        seconds, frame, minute, c.view, size, now, congested,
        [&](const uint8_t* p, size_t n, const PacketInfo&) { SendStreamPacket(c, p, n); });
    if (!congested) AddHostilePacket(c, seconds);
    LogPicture(c.id, c.sessionId, *c.source, c.logged);
    Flush(c);
  }

  for (auto& [id, sp] : sessions_) {
    Session& s = *sp;
    if (!s.videoWanted || !s.loggedIn) continue;
    if (now - s.lastVideoStatus > 10) {
      // The viewer stopped asking: stop producing until it asks again.
      s.videoWanted = false;
      continue;
    }
    if (!s.videoSource)
      s.videoSource = std::make_unique<StreamSource>(loops_, options_.fps, options_.channels,
                                                     options_.splitFrames);
    const bool congested =
        s.videoQueued[0] > kVideoQueueBacklog || s.videoQueued[1] > kVideoQueueBacklog;
    if (s.backingUp()) {
      if (!s.videoBackup)
        s.videoBackup = std::make_unique<BackupSource>(loops_, archive_, BackupSettingsOf());
      s.videoBackup->Tick(
          s.backupRequest(), minute, congested,
          [&](const uint8_t* p, size_t n, const PacketInfo& info) {
            QueueVideoMessage(s, p, n, info);
          },
          [&](const BackupNote& note) { LogBackup(0, s.id, note); });
      continue;
    }
    s.videoBackup.reset();
    if (s.inPlayback()) {
      if (!s.videoPlayback)
        s.videoPlayback =
            std::make_unique<PlaybackSource>(loops_, archive_, options_.fps, options_.splitFrames);
      s.videoPlayback->Tick(
          s.playbackRequest(), slot, size, minute, congested,
          [&](const uint8_t* p, size_t n, const PacketInfo& info) {
            QueueVideoMessage(s, p, n, info);
          },
          [&](const PlaybackNote& note) { LogPlayback(0, s.id, note); });
      continue;
    }
    s.videoPlayback.reset();
    s.videoSource->Tick(seconds, frame, minute, s.liveView(), size, now, congested,
                        [&](const uint8_t* p, size_t n, const PacketInfo& info) {
                          QueueVideoMessage(s, p, n, info);
                        });
    LogPicture(0, s.id, *s.videoSource, s.logged);
  }
}

// Reports each logged-in viewer's live events whenever they change (and
// once when the first event comes on), stamped with the recorder time of
// the live pictures being streamed.
void Recorder::ReportEvents(double now) {
  if (events_.empty()) return;
  const uint32_t time = startSeconds_ + uint32_t(now - start_);
  for (auto& [id, sp] : sessions_) {
    Session& s = *sp;
    if (!s.loggedIn || s.refused) continue;
    const EventMasks masks = events_.MasksAt(now - s.loggedInAt);
    if (s.eventsReported ? masks == s.reportedEvents : masks == EventMasks{}) continue;
    s.reportedEvents = masks;
    s.eventsReported = true;
    QueueItem(s, "Zell_LIVE_Event_W", LiveEventRecord(masks, time));
    Log(JsonEvent("live_event")
            .Add("session", s.id)
            .AddRaw("alarm", CameraList(masks[0]))
            .AddRaw("motion", CameraList(masks[1]))
            .AddRaw("vloss", CameraList(masks[2]))
            .Add("time_seconds", int64_t(time))
            .Add("time", FormatRecorderTime(time)));
  }
}

// Tells the log what a stream carries whenever that changes, so that a test
// can wait for the picture it asked for.
void Recorder::LogPicture(int connection, uint32_t session, const StreamSource& source,
                          PictureKey& logged) {
  const PictureKey& now = source.picture();
  if (now.SamePicture(logged)) return;
  logged = now;
  Log(JsonEvent("stream_picture")
          .Add("conn", connection)
          .Add("session", session)
          .Add("transport", connection ? "stream" : "vido")
          .Add("split", now.splitKind)
          .Add("channel", now.splitKind == 0 ? now.channel : 16)
          .Add("first", now.splitKind == 0 ? 0 : now.channel)
          .Add("width", now.width)
          .Add("height", now.height));
}

void Recorder::LogPlayback(int connection, uint32_t session, const PlaybackNote& note) {
  static const char* kKinds[] = {"start", "stopped", "gap", "end"};
  JsonEvent e("playback");
  e.Add("conn", connection)
      .Add("session", session)
      .Add("transport", connection ? "stream" : "vido")
      .Add("what", kKinds[int(note.kind)])
      .Add("channel", note.channel);
  switch (note.kind) {
    case PlaybackNote::Kind::Start:
      e.Add("asked", FormatRecorderTime(note.from))
          .Add("from", FormatRecorderTime(note.to))
          .Add("speed", int64_t(note.speed));
      break;
    case PlaybackNote::Kind::Stopped:
      e.Add("asked", FormatRecorderTime(note.from));
      break;
    case PlaybackNote::Kind::Gap:
      e.Add("last", FormatRecorderTime(note.from))
          .Add("next", FormatRecorderTime(note.to))
          .Add("speed", int64_t(note.speed));
      break;
    case PlaybackNote::Kind::End:
      e.Add("last", FormatRecorderTime(note.from));
      break;
  }
  Log(e);
}

BackupSettings Recorder::BackupSettingsOf() const {
  BackupSettings b;
  b.fps = options_.fps;
  b.speed = options_.backupSpeed;
  b.timeOffset = options_.backupTimeOffset;
  b.stallAfter = options_.backupStallAfter;
  b.sizes = options_.resolutions;
  b.cycleSeconds = options_.cycleSeconds;
  b.splitFrames = options_.splitFrames;
  return b;
}

void Recorder::LogBackup(int connection, uint32_t session, const BackupNote& note) {
  static const char* kKinds[] = {"start", "stopped", "gap", "stall", "end", "empty"};
  JsonEvent e("backup");
  e.Add("conn", connection)
      .Add("session", session)
      .Add("transport", connection ? "stream" : "vido")
      .Add("what", kKinds[int(note.kind)])
      .Add("channel", note.channel);
  switch (note.kind) {
    case BackupNote::Kind::Start:
      e.Add("from", FormatRecorderTime(note.from))
          .Add("to", FormatRecorderTime(note.to))
          .Add("first", FormatRecorderTime(note.first));
      break;
    case BackupNote::Kind::Stopped:
    case BackupNote::Kind::Empty:
      e.Add("from", FormatRecorderTime(note.from)).Add("to", FormatRecorderTime(note.to));
      break;
    case BackupNote::Kind::Gap:
      e.Add("last", FormatRecorderTime(note.from)).Add("next", FormatRecorderTime(note.to));
      break;
    case BackupNote::Kind::Stall:
    case BackupNote::Kind::End:
      e.Add("last", FormatRecorderTime(note.from))
          .Add("video_frames", int64_t(note.videoFrames))
          .Add("audio_packets", int64_t(note.audioPackets));
      break;
  }
  Log(e);
}

// The whole archive, so that a test can compare the viewer's marks with it.
void Recorder::LogArchive() {
  if (!log_.enabled()) return;
  std::string channels = "{";
  for (int ch = 0; ch < archive_.channels(); ++ch) {
    if (ch) channels += ",";
    channels += "\"" + std::to_string(ch + 1) + "\":[";
    bool first = true;
    for (const Recording& r : archive_.Of(ch)) {
      if (!first) channels += ",";
      first = false;
      channels += "[\"" + FormatRecorderTime(r.start) + "\",\"" + FormatRecorderTime(r.end) + "\"]";
    }
    channels += "]";
  }
  channels += "}";
  Log(JsonEvent("archive").AddRaw("channels", channels));
}

void Recorder::SendStreamPacket(Connection& c, const uint8_t* p, size_t n) {
  c.out.insert(c.out.end(), p, p + n);
  ++c.packets;
  if (FaultOn(FaultKind::Garbage)) {
    const std::vector<uint8_t> junk = GarbageBytes(random_, 1, 300);
    c.out.insert(c.out.end(), junk.begin(), junk.end());
    Log(JsonEvent("fault")
            .Add("fault", "garbage")
            .Add("conn", c.id)
            .Add("bytes", int(junk.size())));
  } else if (options_.garbageEvery > 0 && c.packets % uint64_t(options_.garbageEvery) == 0) {
    std::uniform_int_distribution<int> length(1, 300), byte(0, 255);
    const size_t at = c.out.size();
    const int count = length(random_);
    for (int i = 0; i < count; ++i) c.out.push_back(uint8_t(byte(random_)));
    // Garbage never holds a packet start, so the next real packet is the
    // first thing a viewer can find.
    for (size_t i = at; i + 3 < c.out.size(); ++i)
      if (c.out[i] == 0 && c.out[i + 1] == 0 && c.out[i + 2] == 0 && c.out[i + 3] == 3)
        c.out[i + 3] = 0x55;
    for (size_t i = at >= 3 ? at - 3 : 0; i < at && i + 3 < c.out.size(); ++i)
      if (c.out[i] == 0 && c.out[i + 1] == 0 && c.out[i + 2] == 0 && c.out[i + 3] == 3)
        c.out[i + 3] = 0x55;
    Log(JsonEvent("fault").Add("fault", "garbage").Add("conn", c.id).Add("bytes", count));
  }
}

void Recorder::QueueVideoMessage(Session& s, const uint8_t* p, size_t n, const PacketInfo& info) {
  // Packets go to the command connections of the session in turn.
  bool present[2] = {false, false};
  for (auto& [id, c] : connections_)
    if (!c->dead && c->kind == Connection::Kind::Command && c->sessionId == s.id)
      present[std::min<uint32_t>(c->socketIndex, 1)] = true;
  uint32_t slot = s.nextSlot;
  if (!present[slot]) slot ^= 1;
  if (!present[slot]) return;
  s.nextSlot = present[slot ^ 1] ? slot ^ 1 : slot;

  TransportFields t;
  t.intervalMs = info.intervalMs;
  t.channelSequence = info.channelSequence;
  t.channel = info.channel;
  t.deliverySequence = ++s.deliverySequence;
  t.seconds = info.seconds;
  t.frame = info.frame;
  t.deliveryType = info.audio ? 2 : 1;
  std::vector<uint8_t> data;
  data.reserve(kTransportHeaderSize + n);
  AppendTransportHeader(data, t, n);
  data.insert(data.end(), p, p + n);
  std::vector<uint8_t> message = BuildModuleMessage(Tag("VIDO"), BuildSubHeaderBody(s.id, 0, data));
  s.videoQueued[slot] += message.size();
  s.videoQueue[slot].push_back(std::move(message));
}

}  // namespace tevrano::sim
