// The command protocol of the simulated recorder: frames, login, the
// module messages "ZELL", "ICTL", "ICMD", "VIDO", "PBBA" and "SPDM" ("VDTT"
// in TitleExchange.cpp),
// and the answers.
#include <algorithm>
#include <cstring>

#include "Credentials.h"
#include "PlaybackSearch.h"
#include "Recorder.h"
#include "RecorderTime.h"

namespace tevrano::sim {

namespace {

constexpr size_t kMaxAnswerPayload = 256 * 1024;
constexpr uint32_t kRefusal = 2;
constexpr uint32_t kSystemInfo = 1;
constexpr uint32_t kIcmdRequest = 1, kIcmdSet = 2, kIcmdData = 4;
constexpr size_t kPageHeaderSize = 72;
constexpr size_t kPresetAnswerSize = 328;
// How far (in packets) one command connection's video may run ahead of the
// other's.
constexpr int32_t kReorderWindow = 64;

// The delivery sequence of a queued "VIDO" message: module header, sub-header,
// then the transport header's word at 32.
uint32_t VideoSequence(const std::vector<uint8_t>& message) {
  return message.size() >= 32 + 32 + 36 ? GetLe32(&message[32 + 32 + 32]) : 0;
}

int RecordIndex(uint32_t type) {
  switch (type) {
    case 256:
      return 0;
    case 512:
      return 1;
    case 1024:
      return 2;
    default:
      return -1;
  }
}

uint32_t ByteSum(const uint8_t* p, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum += p[i];
  return sum;
}

std::string Hex(const uint8_t* p, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s += kDigits[p[i] >> 4];
    s += kDigits[p[i] & 15];
  }
  return s;
}

const char* PageName(uint32_t mask) {
  switch (mask) {
    case 1:
      return "Bitrate";
    case 2:
      return "PPPoE";
    case 4:
      return "DDNS";
    case 8:
      return "Mail 1";
    case 16:
      return "Mail 2";
    default:
      return "";
  }
}

void PutText(std::vector<uint8_t>& record, size_t offset, const std::string& text) {
  std::memcpy(&record[offset], text.data(), std::min<size_t>(text.size(), 31));
}

}  // namespace

Session* Recorder::FindSession(uint32_t id) {
  if (id == 0) return nullptr;
  auto it = sessions_.find(id);
  return it == sessions_.end() ? nullptr : it->second.get();
}

bool Recorder::CredentialsOk(const std::string& text, std::string& user) const {
  auto up = UnscrambleCredentials(text);
  if (!up) return false;
  user = up->user;
  for (const auto& [u, p] : options_.users)
    if (u == up->user && p == up->password) return true;
  return false;
}

void Recorder::Process(Connection& c) {
  size_t offset = 0;
  while (!c.dead && !c.closeWhenFlushed && c.in.size() - offset >= 8) {
    const ByteReader rest(c.in.data() + offset, c.in.size() - offset);
    const uint32_t length = rest.Le32Or(0, 0);
    if (rest.Le32Or(4, 0) != kFrameMagic || length < kFrameHeaderSize ||
        length > kMaxRequestFrame) {
      Log(JsonEvent("garbage")
              .Add("conn", c.id)
              .Add("bytes", Hex(rest.data(), std::min<size_t>(rest.size(), 16))),
          true);
      Close(c, "garbage");
      return;
    }
    if (rest.size() < length) break;
    ByteReader frame(rest.data(), length);
    if (auto h = ReadCommandFrameHeader(frame)) HandleFrame(c, *h, frame);
    offset += length;
  }
  if (!c.dead) c.in.erase(c.in.begin(), c.in.begin() + ptrdiff_t(offset));
}

void Recorder::HandleFrame(Connection& c, const CommandFrameHeader& h, const ByteReader& frame) {
  std::string user;
  // The credentials fault refuses everybody while it lasts.
  const bool credentialsOk = CredentialsOk(h.credentials, user) && !FaultOn(FaultKind::Credentials);
  ByteReader payload(nullptr, 0);
  frame.Sub(kFrameHeaderSize, h.length - kFrameHeaderSize, payload);
  JsonEvent e("frame");
  e.Add("conn", c.id)
      .Add("command", h.command)
      .Add("session", h.sessionId)
      .Add("user", user)
      .Add("credentials_ok", credentialsOk)
      .Add("context", h.contextIndex)
      .Add("socket", h.socketIndex)
      .Add("length", h.length);

  if (c.kind == Connection::Kind::Unknown && h.command == kExchange && h.socketIndex == 2) {
    Log(e.Add("role", "stream request"));
    HandleStreamRequest(c, h, payload, credentialsOk);
    return;
  }
  if (c.kind == Connection::Kind::Stream) {
    Log(e.Add("ignored", "repeated stream request"));
    return;
  }
  c.kind = Connection::Kind::Command;
  Log(e);

  switch (h.command) {
    case kHello: {
      auto s = std::make_unique<Session>();
      uint32_t id = ++nextSessionId_;
      if (id == 0) id = ++nextSessionId_;
      s->id = id;
      s->peerIp = c.peerIp;
      s->user = user;
      s->credentialsOk = credentialsOk;
      s->loginTime = Now();
      s->helloConnection = c.id;
      // A new live view record: one channel, channel 0, 704 x 576.
      PutLe32(&s->viewRecords[0][16], 704);
      PutLe32(&s->viewRecords[0][20], 576);
      sessions_[id] = std::move(s);
      if (Session* old = FindSession(c.sessionId); old && old->id != id) EndSession(old->id);
      c.sessionId = id;
      c.socketIndex = std::min<uint32_t>(h.socketIndex, 1);
      Log(JsonEvent("assign").Add("conn", c.id).Add("session", id));
      Send(c, WrapAnswer(BuildCommandFrame(kAssign, id, h.contextIndex, h.socketIndex, {})));
      return;
    }
    case kPoll:
    case kReply:
    case kExchange: {
      Session* s = FindSession(h.sessionId);
      if (!s) {
        // Not a login of ours (the recorder forgot it, or it never was):
        // a forced logout, and the connection ends.
        Log(JsonEvent("refused")
                .Add("conn", c.id)
                .Add("session", h.sessionId)
                .Add("reason", "unknown session"),
            true);
        std::vector<uint8_t> refusal =
            BuildModuleMessage(Tag("ZELL"), BuildSubHeaderBody(h.sessionId, kRefusal, {}));
        c.closeWhenFlushed = true;
        Send(c, WrapAnswer(BuildCommandFrame(kReply, h.sessionId, h.contextIndex, h.socketIndex,
                                             refusal)));
        return;
      }
      c.sessionId = s->id;
      c.socketIndex = std::min<uint32_t>(h.socketIndex, 1);
      if (!credentialsOk) s->credentialsOk = false;
      const bool whole =
          WalkModuleMessages(payload, [&](const ModuleMessageView& m) { HandleModule(c, *s, m); });
      if (!whole)
        Log(JsonEvent("garbage").Add("conn", c.id).Add("reason", "module message length"), true);
      if (!s->credentialsOk && !s->refused) {
        // Credentials no longer accepted: a forced logout.
        s->refused = true;
        s->loggedIn = false;
        s->outbox.clear();
        QueueZell(*s, kRefusal, {});
        Log(JsonEvent("refused")
                .Add("conn", c.id)
                .Add("session", s->id)
                .Add("reason", "unknown user " + user),
            true);
      }
      Answer(c, h, s);
      return;
    }
    default:
      Answer(c, h, nullptr);
      return;
  }
}

bool Recorder::HandleStreamRequest(Connection& c, const CommandFrameHeader& h,
                                   const ByteReader& payload, bool credentialsOk) {
  // The 256-byte request: length 256, tag "RK9P", checksum of bytes 32 to
  // 255, code "GVDO" at 32.
  const bool valid = payload.Has(0, 256) && payload.Le32Or(0, 0) == 256 &&
                     payload.Le32Or(4, 0) == Tag("RK9P") &&
                     payload.Le32Or(8, 0) == ByteSum(payload.data() + 32, 224) &&
                     payload.Le32Or(32, 0) == Tag("GVDO");
  if (!valid) {
    Log(JsonEvent("garbage").Add("conn", c.id).Add("reason", "bad stream request"), true);
    Close(c, "bad stream request");
    return false;
  }
  if (!credentialsOk || RefusingLogins()) {
    Log(JsonEvent("refused").Add("conn", c.id).Add("reason", "stream request credentials"), true);
    Close(c, "refused");
    return false;
  }
  c.kind = Connection::Kind::Stream;
  if (!options_.streamSocket) {
    Log(JsonEvent("stream_ignored").Add("conn", c.id).Add("reason", "no stream socket"));
    return false;
  }
  c.streaming = true;
  c.source =
      std::make_unique<StreamSource>(loops_, options_.fps, options_.channels, options_.splitFrames);
  BindStream(c);
  Log(JsonEvent("stream_start").Add("conn", c.id).Add("session", c.sessionId), true);
  return true;
}

void Recorder::BindStream(Connection& c) {
  if (FindSession(c.sessionId)) return;
  // The request carries no session. A viewer opens its stream connection
  // right after its first command connection, so the stream follows the
  // login made on the command connection accepted last before it (from the
  // same address, logged in, without a stream yet); failing that, the
  // newest such login.
  Session* best = nullptr;
  bool bestBefore = false;
  for (auto& [id, s] : sessions_) {
    if (!s->loggedIn || s->peerIp != c.peerIp) continue;
    bool taken = false;
    for (auto& [cid, other] : connections_)
      if (other.get() != &c && !other->dead && other->kind == Connection::Kind::Stream &&
          other->sessionId == id)
        taken = true;
    if (taken) continue;
    const bool before = s->helloConnection < c.id;
    if (!best || (before && !bestBefore) ||
        (before == bestBefore &&
         (before ? s->helloConnection > best->helloConnection : s->loginTime > best->loginTime))) {
      best = s.get();
      bestBefore = before;
    }
  }
  if (best) {
    c.sessionId = best->id;
    Log(JsonEvent("stream_bound").Add("conn", c.id).Add("session", best->id));
  }
}

void Recorder::HandleModule(Connection& c, Session& s, const ModuleMessageView& m) {
  JsonEvent e("module");
  e.Add("conn", c.id)
      .Add("session", s.id)
      .Add("tag", TagText(m.tag))
      .Add("length", m.length)
      .Add("checksum_ok", m.checksumOk);
  if (!m.checksumOk) {
    Log(e.Add("ignored", "checksum"));
    return;
  }
  if (m.tag == Tag("ZELL"))
    HandleZell(c, s, m.body, e);
  else if (m.tag == Tag("ICTL"))
    HandleIctl(s, m.body, e);
  else if (m.tag == Tag("ICMD"))
    HandleIcmd(s, m.body, e);
  else if (m.tag == Tag("VIDO"))
    HandleVido(s, m.body, e);
  else if (m.tag == Tag("PBBA"))
    HandlePbba(s, m.body, e);
  else if (m.tag == Tag("SPDM"))
    HandleSpdm(s, m.body, e);
  else if (m.tag == Tag("VDTT"))
    HandleVdtt(s, m.body, e);
  else
    e.Add("ignored", "unknown tag");
  Log(e);
}

void Recorder::HandleZell(Connection& c, Session& s, const ByteReader& body, JsonEvent& e) {
  const uint32_t type = body.Le32Or(4, 0xFFFFFFFF);
  e.Add("type", type);
  if (type != 0) {
    e.Add("ignored", "not a hello");
    return;
  }
  uint32_t kind = 0;
  if (!body.Le32(kSubHeaderSize, kind)) {
    e.Add("ignored", "short hello");
    return;
  }
  e.Add("kind", kind);
  std::string reason;
  if (RefusingLogins())
    reason = "refuse switch";
  else if (!s.credentialsOk)
    reason = "unknown user " + s.user;
  else if (kind != 1) {
    int kind2 = 0;
    for (auto& [id, other] : sessions_)
      if (other.get() != &s && other->loggedIn && other->kind == 2) ++kind2;
    if (kind2 >= 2) reason = "two other viewers of kind 2";
  }
  if (!reason.empty()) {
    s.kind = 0;
    s.loggedIn = false;
    s.refused = true;  // ends the session after the answer
    QueueZell(s, kRefusal, {});
    Log(JsonEvent("refused").Add("conn", c.id).Add("session", s.id).Add("reason", reason), true);
    return;
  }
  s.kind = kind;
  s.loggedIn = true;
  s.loggedInAt = Now();
  s.eventsReported = false;
  const std::vector<uint8_t> info = SystemInfo();
  QueueZell(s, kSystemInfo, info);
  const ByteReader r(info.data(), info.size());
  Log(JsonEvent("system_info")
          .Add("session", s.id)
          .Add("channels", r.Le32Or(0, 0))
          .Add("service_variant", r.Le32Or(4, 0))
          .Add("titles", r.Le32Or(8, 0))
          .Add("os", r.Text(12, 32))
          .Add("serial", r.Text(44, 32))
          .Add("board", r.Text(76, 32))
          .Add("model", r.Text(108, 32))
          .Add("connections", r.Le32Or(148, 0))
          .Add("no_mail_interval", r.Le32Or(228, 0)));
  Log(JsonEvent("login")
          .Add("conn", c.id)
          .Add("session", s.id)
          .Add("user", s.user)
          .Add("kind", kind),
      true);
}

std::vector<uint8_t> Recorder::SystemInfo() const {
  std::vector<uint8_t> r(256, 0);
  PutLe32(&r[0], options_.infoChannels >= 0 ? uint32_t(options_.infoChannels)
                                            : uint32_t(options_.channels));
  PutLe32(&r[4], options_.serviceVariant);
  PutLe32(&r[8], options_.titles ? 1 : 0);
  PutText(r, 12, "[OS] " + options_.osVersion);
  PutText(r, 44, "[SN] 0000000001");
  PutText(r, 76, "[B] REV:1.0");
  PutText(r, 108, options_.ModelText());
  PutLe32(&r[148], uint32_t(options_.connections));
  PutLe32(&r[228], options_.mailInterval ? 0 : 1);
  return r;
}

void Recorder::HandleIctl(Session& s, const ByteReader& body, JsonEvent& e) {
  const uint32_t type = body.Le32Or(8, 0xFFFFFFFF);
  const uint32_t notify = body.Le32Or(12, 0);
  e.Add("type", type).Add("notify", notify);
  ByteReader payload(nullptr, 0);
  body.Sub(kSubHeaderSize, body.size() - std::min(body.size(), kSubHeaderSize), payload);
  if (type == 1) {
    e.Add("value", payload.Le32Or(4, 0));
    return;
  }
  uint32_t total = 0;
  if (type != 0 || !payload.Le32(0, total) || total < 256 || !payload.Has(0, total)) {
    e.Add("ignored", "bad item message");
    return;
  }
  const std::string name = payload.Text(4, 252);
  const size_t size = total - 256;
  std::vector<uint8_t> data(payload.data() + 256, payload.data() + total);
  e.Add("name", name).Add("size", int64_t(size));
  s.items[name] = data;

  if (name == "Zell_Mach_Type_Data_W") {
    if (size != 960) {
      e.Add("ignored", "size");
      return;
    }
    std::vector<uint8_t> record(960, 0);
    PutLe32(&record[8], options_.upnp ? 1 : 0);
    PutLe32(&record[12], options_.streamSocket ? 1 : 0);
    QueueItem(s, "Zell_Mach_Type_Data_R", record);
  } else if (name == "Zell_Watermark_Var_R") {
    // The watermark check value of a channel: asked with the channel in
    // the item's 4 bytes, answered with the value in the same item.
    if (size != 4) {
      e.Add("ignored", "size");
      return;
    }
    const uint32_t channel = GetLe32(data.data());
    e.Add("watermark_channel", int64_t(channel));
    if (!options_.watermarkAnswer) {
      e.Add("note", "not answered (--watermark none)");
      return;
    }
    const uint32_t value =
        options_.watermark >= 0 ? uint32_t(options_.watermark) : 0x57A70000u + (channel & 0xFFFF);
    std::vector<uint8_t> word(4, 0);
    PutLe32(word.data(), value);
    QueueItem(s, "Zell_Watermark_Var_R", word);
    e.Add("watermark", int64_t(value));
  } else if (name == "Zell_Upnp_C_Data_W" && size == 4) {
    const uint32_t v = GetLe32(data.data());
    e.Add("value", int64_t(v));
    if (v & (1u << 29)) {
      upnpSetting_ = v & ((1u << 30) | 0xFFFF);
      std::vector<uint8_t> ack(4, 0);
      ack[0] = 1;
      QueueItem(s, "Zell_ACK_R", ack);
    } else if (v & (1u << 31)) {
      std::vector<uint8_t> word(4, 0);
      PutLe32(word.data(), upnpSetting_);
      QueueItem(s, "Zell_Upnp_C_Data_R", word);
    }
  }
}

void Recorder::QueueItem(Session& s, const std::string& name, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> payload(256 + data.size(), 0);
  PutLe32(&payload[0], uint32_t(payload.size()));
  std::memcpy(&payload[4], name.data(), std::min<size_t>(name.size(), 127));
  if (!data.empty()) std::memcpy(&payload[256], data.data(), data.size());
  // Sub-header: SessionId, unused, type 0 (item write), notify 1.
  s.outbox.push_back(BuildModuleMessage(Tag("ICTL"), BuildSubHeaderBody(s.id, 0, payload, {0, 1})));
}

void Recorder::QueueZell(Session& s, uint32_t type, const std::vector<uint8_t>& data) {
  s.outbox.push_back(BuildModuleMessage(Tag("ZELL"), BuildSubHeaderBody(s.id, type, data)));
}

void Recorder::QueueIcmd(Session& s, uint32_t op, uint32_t type,
                         const std::vector<uint8_t>& payload) {
  ++s.icmdCounter;
  s.outbox.push_back(BuildModuleMessage(
      Tag("ICMD"), BuildSubHeaderBody(s.id, op, payload, {type, s.mode, s.icmdCounter})));
}

std::vector<uint8_t> Recorder::PagePayload(uint32_t mask) const {
  auto it = pages_.find(mask);
  if (it == pages_.end()) return {};
  const std::vector<uint8_t>& data = it->second.data;
  std::vector<uint8_t> p(kPageHeaderSize + data.size(), 0);
  PutLe32(&p[0], mask);
  PutLe32(&p[4], uint32_t(p.size()));
  PutLe32(&p[8], ByteSum(data.data(), data.size()));
  std::memcpy(&p[kPageHeaderSize], data.data(), data.size());
  return p;
}

void Recorder::HandleIcmd(Session& s, const ByteReader& body, JsonEvent& e) {
  const uint32_t handle = body.Le32Or(0, 0), op = body.Le32Or(4, 0), type = body.Le32Or(8, 0);
  const uint32_t mode = body.Le32Or(12, 0), counter = body.Le32Or(16, 0);
  e.Add("handle", handle).Add("op", op).Add("type", type).Add("mode", mode).Add("counter", counter);
  if (handle != s.id) {
    e.Add("ignored", "handle of no session");
    return;
  }
  ByteReader payload(nullptr, 0);
  body.Sub(kSubHeaderSize, body.size() - std::min(body.size(), kSubHeaderSize), payload);
  const int record = RecordIndex(type);

  if (op == kIcmdRequest) {
    if (record >= 0) {
      QueueIcmd(s, kIcmdData, type,
                std::vector<uint8_t>(s.viewRecords[size_t(record)].begin(),
                                     s.viewRecords[size_t(record)].end()));
    } else if (type == 4096) {
      const uint32_t mask = payload.Le32Or(0, 0);
      e.Add("page", mask);
      std::vector<uint8_t> page = PagePayload(mask);
      if (page.empty())
        e.Add("ignored", "unknown page");
      else
        QueueIcmd(s, kIcmdData, 4096, page);
    } else if (type == 2048) {
      QueueIcmd(s, kIcmdData, 2048, {});
    } else {
      e.Add("ignored", "unknown type");
    }
    return;
  }
  if (op != kIcmdSet && op != kIcmdData) {
    e.Add("ignored", "unknown operation");
    return;
  }
  if (record >= 0) {
    if (!payload.Has(0, 64)) {
      e.Add("ignored", "short record");
      return;
    }
    std::memcpy(s.viewRecords[size_t(record)].data(), payload.data(), 64);
    if (record == 0) {
      e.Add("split", payload.Le32Or(0, 0))
          .Add("first", payload.Le32Or(4, 0))
          .Add("channel", payload.Le32Or(8, 0))
          .Add("mask", int64_t(payload.Le32Or(12, 0)))
          .Add("width", payload.Le32Or(16, 0))
          .Add("height", payload.Le32Or(20, 0));
    } else if (record == 1) {
      // Playback: channel, play flag, direction, start time.
      const uint32_t start = payload.Le32Or(20, 0);
      e.Add("playback_channel", payload.Le32Or(8, 0))
          .Add("play_flag", int64_t(payload.Le32Or(12, 0)))
          .Add("direction", int64_t(int32_t(payload.Le32Or(16, 0))))
          .Add("start_seconds", int64_t(start))
          .Add("start_time", FormatRecorderTime(start));
      ++s.playbackGeneration;
    } else {
      // Backup: channel, state, start and end times.
      const uint32_t from = payload.Le32Or(16, 0), to = payload.Le32Or(20, 0);
      e.Add("backup_channel", payload.Le32Or(8, 0))
          .Add("backup_state", int64_t(payload.Le32Or(12, 0)))
          .Add("backup_start", FormatRecorderTime(from))
          .Add("backup_end", FormatRecorderTime(to));
      ++s.backupGeneration;
    }
    if (op == kIcmdSet) s.mode = mode;
    return;
  }
  if (type == 2048) {
    if (op == kIcmdSet) s.mode = mode;
    return;
  }
  if (type != 4096) {
    e.Add("ignored", "unknown type");
    return;
  }
  const uint32_t mask = payload.Le32Or(0, 0), length = payload.Le32Or(4, 0);
  const uint32_t checksum = payload.Le32Or(8, 0);
  e.Add("page", mask).Add("page_length", length).Add("page_sum", checksum);
  auto it = pages_.find(mask);
  if (it == pages_.end()) {
    e.Add("ignored", "unknown page");
    return;
  }
  e.Add("page_name", PageName(mask));
  const size_t size = it->second.data.size();
  if (!payload.Has(0, kPageHeaderSize + size)) {
    e.Add("ignored", "short page");
    return;
  }
  const uint8_t* data = payload.data() + kPageHeaderSize;
  const uint32_t sum = ByteSum(data, size);
  e.Add("computed_sum", sum).Add("bytes", Hex(data, size));
  if (length != kPageHeaderSize + size) e.Add("note", "length is not 72 + the page size");
  if (sum != checksum) {
    e.Add("ignored", "page checksum");
    return;
  }
  it->second.data.assign(data, data + size);
  if (op != kIcmdSet) return;
  s.mode = mode;
  // A new page goes back to every viewer of kind 1 or 2, the sender
  // included: its copy of the echo is the sign that the setting was taken,
  // the others' copies keep their pages up to date.
  std::string to = "[";
  for (auto& [id, other] : sessions_)
    if (other->loggedIn && (other->kind == 1 || other->kind == 2)) {
      QueueIcmd(*other, kIcmdData, 4096, PagePayload(mask));
      to += (to.size() > 1 ? "," : "") + std::to_string(id);
    }
  e.AddRaw("echoed_to", to + "]");
}

void Recorder::HandleVido(Session& s, const ByteReader& body, JsonEvent& e) {
  const uint32_t sub = body.Le32Or(4, 0xFFFFFFFF);
  e.Add("sub_command", sub);
  if (sub != 1) {
    e.Add("ignored", "not a status");
    return;
  }
  const uint32_t free = body.Le32Or(kSubHeaderSize + 128, 0);
  const uint32_t ring = body.Le32Or(kSubHeaderSize + 152, 0);
  e.Add("free", int64_t(free)).Add("ring", int64_t(ring));
  if (options_.streamSocket) return;  // streams go over the stream connection
  s.videoWanted = true;
  s.lastVideoStatus = Now();
  s.freeSpace = free;
}

void Recorder::HandlePbba(Session& s, const ByteReader& body, JsonEvent& e) {
  const std::optional<PbbaQuery> q = ReadPbbaQuery(body);
  if (!q) {
    e.Add("ignored", "short search");
    return;
  }
  e.Add("key", q->key).Add("index", q->index).Add("type", q->type).Add("channel", q->channel);
  if (q->key != s.id) {
    e.Add("ignored", "key of no session");
    return;
  }
  const uint32_t unit = PbbaUnit(q->index);
  if (unit == 0) {
    e.Add("ignored", "index above 7");
    return;
  }
  e.Add("query", q->type == 0   ? "window"
                 : q->type == 1 ? "map"
                                : "unknown")
      .Add("unit_seconds", unit)
      .Add("window_start", FormatRecorderTime(q->value0))
      .Add("window_end", FormatRecorderTime(q->value1));
  if (q->type == 0) {
    s.outbox.push_back(BuildModuleMessage(Tag("PBBA"), PbbaWindowAnswer(*q)));
    return;
  }
  if (q->type != 1) {
    e.Add("ignored", "unknown type");
    return;
  }
  PbbaMap map;
  std::string error;
  std::vector<uint8_t> answer = PbbaMapAnswer(*q, archive_, map, error);
  if (answer.empty()) {
    e.Add("ignored", error);
    return;
  }
  e.Add("units", map.units).Add("marks", map.marks);
  s.outbox.push_back(BuildModuleMessage(Tag("PBBA"), answer));
}

// Speed-dome messages. Body: sub-header 0 handle (SessionId), 4 class,
// 8 operation, 12 payload length, 16..31 zero; payload at 32. Every one is
// logged decoded; the preset table is stored, and the pad's Open (class 0,
// operation 3) and Request (class 1, operation 3) are answered with the
// stored table (class echoed, operation 3, payload length 328).
void Recorder::HandleSpdm(Session& s, const ByteReader& body, JsonEvent& e) {
  if (!body.Has(0, kSubHeaderSize)) {
    e.Add("ignored", "short speed-dome message");
    return;
  }
  const uint32_t handle = body.Le32Or(0, 0), cls = body.Le32Or(4, 0), op = body.Le32Or(8, 0);
  const uint32_t length = body.Le32Or(12, 0);
  e.Add("handle", handle).Add("class", cls).Add("operation", op).Add("payload_length", length);
  const bool ours = handle == s.id;
  if (!ours) e.Add("note", "handle of no session");
  auto word = [&](size_t i) { return int64_t(int32_t(body.Le32Or(kSubHeaderSize + 4 * i, 0))); };
  if (cls == 1 && op == 0) {
    e.Add("message", "command").Add("code", word(0));
    std::string args = "[";
    for (size_t i = 1; i <= 5; ++i) args += (i > 1 ? "," : "") + std::to_string(word(i));
    e.AddRaw("arguments", args + "]")
        .Add("channel", word(6))
        .Add("parameter", word(7))
        .Add("preset", word(8))
        .Add("direction", word(9));
  } else if (cls == 1 && op == 1) {
    e.Add("message", "move")
        .Add("pan_speed", word(0))
        .Add("tilt_speed", word(1))
        .Add("motion", word(2))
        .Add("channel", word(3));
  } else if (cls == 1 && op == 2) {
    e.Add("message", "preset table");
    ByteReader table(nullptr, 0);
    if (!body.Sub(kSubHeaderSize, presetTable_.size(), table)) {
      e.Add("ignored", "short preset table");
      return;
    }
    // Slots that hold a channel: [slot from 1, wire channel, mode].
    std::string slots = "[";
    for (size_t i = 0; i < 100; ++i) {
      const uint8_t b = table.data()[i];
      if ((b & 63) >= 16) continue;
      slots += (slots.size() > 1 ? ",[" : "[") + std::to_string(i + 1) + "," +
               std::to_string(b & 63) + "," + std::to_string(b >> 6) + "]";
    }
    e.AddRaw("slots", slots + "]")
        .Add("marker", table.Text(100, 4))
        .AddRaw("sliders", "[" + std::to_string(table.data()[104]) + "," +
                               std::to_string(table.data()[105]) + "]");
    if (ours) std::memcpy(presetTable_.data(), table.data(), presetTable_.size());
  } else if (op == 3 && (cls == 0 || cls == 1)) {
    e.Add("message", cls == 0 ? "open" : "request");
    if (!ours) return;
    // The table message: 0 the 100 slots and the marker, 104 the 8 slider
    // bytes, 112 32 bytes of the recorder's own (zero), 312 one dome type
    // byte per channel (16).
    std::vector<uint8_t> data(kPresetAnswerSize, 0);
    std::memcpy(data.data(), presetTable_.data(), presetTable_.size());
    for (size_t ch = 0; ch < 16 && ch < options_.domeTypes.size(); ++ch)
      data[312 + ch] = options_.domeTypes[ch];
    s.outbox.push_back(BuildModuleMessage(
        Tag("SPDM"), BuildSubHeaderBody(s.id, cls, data, {3, uint32_t(data.size())})));
    e.Add("answer", "preset table").Add("answer_length", uint32_t(data.size()));
  } else {
    e.Add("message", "unknown");
  }
}

void Recorder::Answer(Connection& c, const CommandFrameHeader& h, Session* s) {
  std::vector<uint8_t> payload;
  if (s) {
    while (!s->outbox.empty() &&
           (payload.empty() || payload.size() + s->outbox.front().size() <= kMaxAnswerPayload)) {
      payload.insert(payload.end(), s->outbox.front().begin(), s->outbox.front().end());
      s->outbox.pop_front();
    }
    // Video for this command connection, as much as the viewer has room for
    // and never more than kReorderWindow packets ahead of what still waits
    // for the other connection: a viewer puts the packets of both back in
    // order in a window of 512, and a burst (Playback starts with 768 KiB)
    // would otherwise run one connection's packets that far ahead that the
    // other's all come too late.
    const size_t slot = std::min<uint32_t>(c.socketIndex, 1);
    auto& queue = s->videoQueue[slot];
    const auto& other = s->videoQueue[slot ^ 1];
    const uint32_t otherFirst = other.empty() ? 0 : VideoSequence(other.front());
    auto withinWindow = [&](const std::vector<uint8_t>& m) {
      return other.empty() || int32_t(VideoSequence(m) - otherFirst) < kReorderWindow;
    };
    while (!queue.empty() && payload.size() + queue.front().size() <= kMaxAnswerPayload &&
           queue.front().size() <= s->freeSpace && withinWindow(queue.front())) {
      s->freeSpace -= queue.front().size();
      s->videoQueued[slot] -= queue.front().size();
      payload.insert(payload.end(), queue.front().begin(), queue.front().end());
      queue.pop_front();
    }
  }
  if (s && !s->refused && payload.size() < kMaxAnswerPayload)
    AddHostile(*s, payload, kMaxAnswerPayload - payload.size());
  const bool refused = s && s->refused;
  if (refused) c.closeWhenFlushed = true;
  const uint32_t id = s ? s->id : h.sessionId;
  Send(c, WrapAnswer(BuildCommandFrame(kReply, id, h.contextIndex, h.socketIndex, payload)));
  if (refused) EndSession(id);
}

}  // namespace tevrano::sim
