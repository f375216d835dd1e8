#include "RecordingArchive.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "MiniJson.h"
#include "RecorderTime.h"

namespace tevrano::sim {

namespace {

constexpr uint32_t kDay = 86400;
constexpr uint32_t kArchiveDays = 35;

// splitmix64: the same numbers from a seed on every platform and library.
class Numbers {
 public:
  explicit Numbers(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n - 1
  uint32_t Below(uint32_t n) { return uint32_t(Next() % n); }

 private:
  uint64_t state_;
};

const std::vector<Recording> kNone;

}  // namespace

RecordingArchive::RecordingArchive(int channels) : channels_(size_t(std::max(channels, 0))) {}

const std::vector<Recording>& RecordingArchive::Of(int channel) const {
  if (channel < 0 || channel >= channels()) return kNone;
  return channels_[size_t(channel)];
}

void RecordingArchive::Add(int channel, Recording r) {
  if (channel < 0 || channel >= channels() || r.end <= r.start) return;
  std::vector<Recording>& list = channels_[size_t(channel)];
  list.push_back(r);
  std::sort(list.begin(), list.end(),
            [](const Recording& a, const Recording& b) { return a.start < b.start; });
  std::vector<Recording> joined;
  for (const Recording& x : list) {
    if (!joined.empty() && x.start <= joined.back().end)
      joined.back().end = std::max(joined.back().end, x.end);
    else
      joined.push_back(x);
  }
  list = std::move(joined);
}

RecordingArchive RecordingArchive::Generate(uint32_t seed, uint32_t now, int channels) {
  RecordingArchive a(channels);
  const uint32_t earliest = now > kArchiveDays * kDay ? now - kArchiveDays * kDay : 0;
  const uint32_t today = now - now % kDay;
  for (int ch = 0; ch < channels; ++ch) {
    Numbers n((uint64_t(seed) << 8) ^ uint64_t(ch + 1) * 0x100000001B3ull);
    for (uint32_t back = 0; back <= kArchiveDays; ++back) {
      if (back * kDay > today) break;
      const uint32_t midnight = today - back * kDay;
      if (n.Below(2) == 0) continue;  // a day without recordings
      const uint32_t count = 1 + n.Below(4);
      for (uint32_t i = 0; i < count; ++i) {
        const uint32_t start = midnight + n.Below(24 * 60) * 60;
        const uint32_t length = (30 + n.Below(151)) * 60;
        Recording r{std::max(start, earliest), std::min(start + length, now)};
        a.Add(ch, r);
      }
    }
    if (now > 2 * 3600) a.Add(ch, {now - 2 * 3600, now});
  }
  return a;
}

bool RecordingArchive::FromJson(const std::string& text, int channels, RecordingArchive& out,
                                std::string& error) {
  JsonValue doc;
  if (!ParseJson(text, doc, error)) return false;
  if (doc.type != JsonValue::Type::Object) {
    error = "the document is not an object";
    return false;
  }
  RecordingArchive a(channels);
  const JsonValue* list = nullptr;
  for (const auto& [name, value] : doc.members) {
    if (name != "channels") {
      error = "unknown member \"" + name + "\" (only \"channels\")";
      return false;
    }
    list = &value;
  }
  if (!list || list->type != JsonValue::Type::Object) {
    error = "\"channels\" is missing or not an object";
    return false;
  }
  for (const auto& [name, periods] : list->members) {
    const std::string where = "channel \"" + name + "\"";
    int number = 0;
    bool digits = !name.empty() && name.size() <= 2 && name[0] != '0';
    for (char c : name) digits &= c >= '0' && c <= '9';
    if (digits) number = std::stoi(name);
    if (!digits || number < 1 || number > channels) {
      error = where + ": not a camera number from 1 to " + std::to_string(channels);
      return false;
    }
    if (periods.type != JsonValue::Type::Array) {
      error = where + ": not a list of [start, end] pairs";
      return false;
    }
    for (size_t i = 0; i < periods.items.size(); ++i) {
      const JsonValue& p = periods.items[i];
      const std::string at = where + ", period " + std::to_string(i + 1);
      if (p.type != JsonValue::Type::Array || p.items.size() != 2 ||
          p.items[0].type != JsonValue::Type::String ||
          p.items[1].type != JsonValue::Type::String) {
        error = at + ": not a pair of two time texts";
        return false;
      }
      auto start = ParseRecorderTime(p.items[0].text);
      auto end = ParseRecorderTime(p.items[1].text);
      for (size_t k = 0; k < 2; ++k)
        if (!(k ? end : start)) {
          error = at + ": \"" + p.items[k].text +
                  "\" is not a time YYYY-MM-DDTHH:MM:SS of the years 2000 to 2099";
          return false;
        }
      if (*end <= *start) {
        error = at + ": the end is not after the start";
        return false;
      }
      a.Add(number - 1, {*start, *end});
    }
  }
  out = std::move(a);
  return true;
}

bool RecordingArchive::FromFile(const std::string& path, int channels, RecordingArchive& out,
                                std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot be read";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (text.str().size() > 16 * 1024 * 1024) {
    error = path + ": larger than 16 MiB";
    return false;
  }
  if (!FromJson(text.str(), channels, out, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

const Recording* RecordingArchive::Holding(int channel, uint32_t t) const {
  const std::vector<Recording>& list = Of(channel);
  auto it = std::upper_bound(list.begin(), list.end(), t,
                             [](uint32_t v, const Recording& r) { return v < r.start; });
  if (it == list.begin()) return nullptr;
  --it;
  return t < it->end ? &*it : nullptr;
}

bool RecordingArchive::Recorded(int channel, uint32_t from, uint32_t to) const {
  for (const Recording& r : Of(channel))
    if (r.start < to && from < r.end) return true;
  return false;
}

bool RecordingArchive::Seek(int channel, uint32_t t, bool forwards, uint32_t& out) const {
  if (Holding(channel, t)) return out = t, true;
  const std::vector<Recording>& list = Of(channel);
  if (forwards) {
    for (const Recording& r : list)
      if (r.start > t) return out = r.start, true;
  } else {
    for (auto it = list.rbegin(); it != list.rend(); ++it)
      if (it->end <= t) return out = it->end - 1, true;
  }
  return false;
}

}  // namespace tevrano::sim
