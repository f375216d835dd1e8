#include "JsonLog.h"

#include <cinttypes>

namespace tevrano::sim {

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += char(c);
        }
    }
  }
  return out + "\"";
}

JsonEvent::JsonEvent(const std::string& event) : text_("{\"event\":" + JsonString(event)) {}

JsonEvent& JsonEvent::Add(const char* key, const std::string& value) {
  return AddRaw(key, JsonString(value));
}
JsonEvent& JsonEvent::Add(const char* key, int64_t value) {
  return AddRaw(key, std::to_string(value));
}
JsonEvent& JsonEvent::Add(const char* key, bool value) {
  return AddRaw(key, value ? "true" : "false");
}
JsonEvent& JsonEvent::AddRaw(const char* key, const std::string& json) {
  text_ += ",";
  text_ += JsonString(key);
  text_ += ":";
  text_ += json;
  return *this;
}

JsonLog::~JsonLog() {
  if (file_) std::fclose(file_);
}

bool JsonLog::Open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

void JsonLog::Write(const JsonEvent& e, double seconds) {
  char t[32];
  std::snprintf(t, sizeof t, "{\"t\":%.3f,", seconds);
  std::string line = e.text();
  line.replace(0, 1, t);
  line += '\n';  // one call per line: the update service's thread logs too
  if (file_) {
    std::fputs(line.c_str(), file_);
    std::fflush(file_);
  }
  if (echo_) std::fprintf(stderr, "sim: %s", line.c_str());
}

}  // namespace tevrano::sim
