#include "LiveEvents.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "Bytes.h"
#include "MiniJson.h"

namespace tevrano::sim {

namespace {

bool KindOf(const std::string& s, EventKind& out) {
  if (s == "alarm") return out = EventKind::Alarm, true;
  if (s == "motion") return out = EventKind::Motion, true;
  if (s == "vloss") return out = EventKind::Vloss, true;
  return false;
}

bool ReadEntry(const JsonValue& v, int channels, EventScript& out, std::string& error) {
  if (v.type != JsonValue::Type::Object) return error = "an event is not an object", false;
  const JsonValue *at = nullptr, *channel = nullptr, *kind = nullptr, *on = nullptr,
                  *every = nullptr, *dur = nullptr, *from = nullptr;
  for (const auto& [key, value] : v.members) {
    const JsonValue** slot = key == "at"        ? &at
                             : key == "channel" ? &channel
                             : key == "kind"    ? &kind
                             : key == "on"      ? &on
                             : key == "every"   ? &every
                             : key == "for"     ? &dur
                             : key == "from"    ? &from
                                                : nullptr;
    if (!slot) return error = "unknown key \"" + key + "\"", false;
    *slot = &value;
  }
  auto number = [](const JsonValue* p, double lo, double& x) {
    if (!p || p->type != JsonValue::Type::Number || !(p->number >= lo) || p->number > 1e7)
      return false;
    x = p->number;
    return true;
  };
  double ch = 0;
  if (!number(channel, 1, ch) || ch != std::floor(ch) || ch > channels)
    return error = "\"channel\" must be a camera number from 1 to " + std::to_string(channels),
           false;
  EventKind k;
  if (!kind || kind->type != JsonValue::Type::String || !KindOf(kind->text, k))
    return error = "\"kind\" must be \"alarm\", \"motion\" or \"vloss\"", false;
  if (at && !every) {
    EventSwitch s;
    if (!number(at, 0, s.at)) return error = "\"at\" must be seconds, 0 or more", false;
    if (!on || on->type != JsonValue::Type::Bool)
      return error = "\"on\" must be true or false", false;
    if (dur || from) return error = "\"for\" and \"from\" belong to periodic events", false;
    s.on = on->boolean;
    s.channel = int(ch) - 1;
    s.kind = k;
    out.Add(s);
    return true;
  }
  if (every && !at && !on) {
    EventPattern p;
    if (!number(every, 0, p.every) || p.every <= 0)
      return error = "\"every\" must be more than 0 seconds", false;
    if (!number(dur, 0, p.duration)) return error = "\"for\" must be seconds, 0 or more", false;
    if (from && !number(from, 0, p.from))
      return error = "\"from\" must be seconds, 0 or more", false;
    p.channel = int(ch) - 1;
    p.kind = k;
    out.Add(p);
    return true;
  }
  return error = "an event has either \"at\" and \"on\", or \"every\" and \"for\"", false;
}

}  // namespace

bool EventScript::FromJson(const std::string& text, int channels, EventScript& out,
                           std::string& error) {
  JsonValue root;
  if (!ParseJson(text, root, error)) return false;
  const JsonValue* list = &root;
  if (root.type == JsonValue::Type::Object) {
    list = nullptr;
    for (const auto& [key, value] : root.members) {
      if (key != "events") return error = "unknown key \"" + key + "\"", false;
      list = &value;
    }
  }
  if (!list || list->type != JsonValue::Type::Array)
    return error = "expected a list of events, or {\"events\": [...]}", false;
  EventScript script;
  for (size_t i = 0; i < list->items.size(); ++i)
    if (!ReadEntry(list->items[i], channels, script, error)) {
      error = "event " + std::to_string(i + 1) + ": " + error;
      return false;
    }
  out = std::move(script);
  return true;
}

bool EventScript::FromFile(const std::string& path, int channels, EventScript& out,
                           std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return error = path + ": cannot be read", false;
  std::ostringstream text;
  text << in.rdbuf();
  if (text.str().size() > 16 * 1024 * 1024) return error = path + ": larger than 16 MiB", false;
  if (!FromJson(text.str(), channels, out, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

void EventScript::Add(const EventSwitch& s) {
  auto at = std::upper_bound(switches_.begin(), switches_.end(), s.at,
                             [](double t, const EventSwitch& x) { return t < x.at; });
  switches_.insert(at, s);
}

void EventScript::Add(const EventPattern& p) {
  patterns_.push_back(p);
}

EventMasks EventScript::MasksAt(double seconds) const {
  EventMasks m{};
  for (const EventSwitch& s : switches_) {
    if (s.at > seconds) break;
    const uint32_t bit = 1u << s.channel;
    uint32_t& mask = m[size_t(s.kind)];
    mask = s.on ? (mask | bit) : (mask & ~bit);
  }
  for (const EventPattern& p : patterns_) {
    if (seconds < p.from) continue;
    if (std::fmod(seconds - p.from, p.every) < p.duration) m[size_t(p.kind)] |= 1u << p.channel;
  }
  return m;
}

std::vector<uint8_t> LiveEventRecord(const EventMasks& masks, uint32_t time) {
  std::vector<uint8_t> r(96, 0);
  for (size_t k = 0; k < 3; ++k) {
    PutLe32(&r[72 + 8 * k], masks[k]);
    PutLe32(&r[76 + 8 * k], time);
  }
  return r;
}

std::string CameraList(uint32_t mask) {
  std::string s = "[";
  for (int c = 0; c < 32; ++c)
    if (mask & (1u << c)) s += (s.size() > 1 ? "," : "") + std::to_string(c + 1);
  return s + "]";
}

}  // namespace tevrano::sim
