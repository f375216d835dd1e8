// The simulator's event log: one JSON object a line, flushed at once so
// that tests can follow it while the simulator runs. Every object has
// "t" (seconds since start-up) and "event".
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace tevrano::sim {

class JsonLog;

// One object being built; written by JsonLog::Write.
class JsonEvent {
 public:
  explicit JsonEvent(const std::string& event);
  JsonEvent& Add(const char* key, const std::string& value);
  JsonEvent& Add(const char* key, const char* value) { return Add(key, std::string(value)); }
  JsonEvent& Add(const char* key, int64_t value);
  JsonEvent& Add(const char* key, uint32_t value) { return Add(key, int64_t(value)); }
  JsonEvent& Add(const char* key, int value) { return Add(key, int64_t(value)); }
  JsonEvent& Add(const char* key, bool value);
  JsonEvent& AddRaw(const char* key, const std::string& json);
  std::string text() const { return text_ + "}"; }

 private:
  std::string text_;
};

std::string JsonString(const std::string& s);

class JsonLog {
 public:
  JsonLog() = default;
  ~JsonLog();
  bool Open(const std::string& path);
  void SetEcho(bool echo) { echo_ = echo; }  // also print a short line on stderr
  void Write(const JsonEvent& e, double seconds);
  bool enabled() const { return file_ != nullptr || echo_; }

 private:
  std::FILE* file_ = nullptr;
  bool echo_ = false;
};

}  // namespace tevrano::sim
