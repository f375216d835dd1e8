#include "MiniJson.h"

#include <cstdlib>

namespace tevrano::sim {

namespace {

constexpr int kMaxDepth = 32;

class Parser {
 public:
  explicit Parser(const std::string& text) : s_(text) {}

  bool Document(JsonValue& out, std::string& error) {
    bool ok = Value(out, 0);
    if (ok) {
      Space();
      if (at_ != s_.size()) ok = Fail("text after the end of the document");
    }
    if (!ok) {
      int line = 1;
      for (size_t i = 0; i < failAt_ && i < s_.size(); ++i) line += s_[i] == '\n';
      error = "line " + std::to_string(line) + ": " + error_;
    }
    return ok;
  }

 private:
  bool Fail(const std::string& what) {
    if (error_.empty()) {
      error_ = what;
      failAt_ = at_;
    }
    return false;
  }
  void Space() {
    while (at_ < s_.size() &&
           (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r'))
      ++at_;
  }
  bool Word(const char* w) {
    size_t n = 0;
    while (w[n]) ++n;
    if (s_.compare(at_, n, w) != 0) return Fail("unexpected character");
    at_ += n;
    return true;
  }

  bool Value(JsonValue& v, int depth) {
    if (depth > kMaxDepth) return Fail("nested too deeply");
    Space();
    if (at_ >= s_.size()) return Fail("unexpected end of the text");
    const char c = s_[at_];
    if (c == '{') return Object(v, depth);
    if (c == '[') return Array(v, depth);
    if (c == '"') {
      v.type = JsonValue::Type::String;
      return String(v.text);
    }
    if (c == 't') return v.type = JsonValue::Type::Bool, v.boolean = true, Word("true");
    if (c == 'f') return v.type = JsonValue::Type::Bool, v.boolean = false, Word("false");
    if (c == 'n') return v.type = JsonValue::Type::Null, Word("null");
    if (c == '-' || (c >= '0' && c <= '9')) {
      const char* begin = s_.c_str() + at_;
      char* end = nullptr;
      v.type = JsonValue::Type::Number;
      v.number = std::strtod(begin, &end);
      if (end == begin) return Fail("bad number");
      at_ += size_t(end - begin);
      return true;
    }
    return Fail("unexpected character");
  }

  bool String(std::string& out) {
    ++at_;  // the opening quote
    out.clear();
    while (at_ < s_.size()) {
      const char c = s_[at_++];
      if (c == '"') return true;
      if (uint8_t(c) < 0x20) return Fail("control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= s_.size()) break;
      const char e = s_[at_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          if (at_ + 4 > s_.size()) return Fail("short \\u escape");
          const std::string hex = s_.substr(at_, 4);
          char* end = nullptr;
          const long code = std::strtol(hex.c_str(), &end, 16);
          if (*end != 0 || code >= 0x80) return Fail("\\u escape beyond ASCII");
          out += char(code);
          at_ += 4;
          break;
        }
        default:
          return Fail("bad escape");
      }
    }
    return Fail("unterminated string");
  }

  bool Array(JsonValue& v, int depth) {
    ++at_;
    v.type = JsonValue::Type::Array;
    Space();
    if (at_ < s_.size() && s_[at_] == ']') return ++at_, true;
    while (true) {
      v.items.emplace_back();
      if (!Value(v.items.back(), depth + 1)) return false;
      Space();
      if (at_ < s_.size() && s_[at_] == ',') {
        ++at_;
        continue;
      }
      if (at_ < s_.size() && s_[at_] == ']') return ++at_, true;
      return Fail("expected ',' or ']'");
    }
  }

  bool Object(JsonValue& v, int depth) {
    ++at_;
    v.type = JsonValue::Type::Object;
    Space();
    if (at_ < s_.size() && s_[at_] == '}') return ++at_, true;
    while (true) {
      Space();
      if (at_ >= s_.size() || s_[at_] != '"') return Fail("expected a member name");
      std::string name;
      if (!String(name)) return false;
      Space();
      if (at_ >= s_.size() || s_[at_] != ':') return Fail("expected ':'");
      ++at_;
      v.members.push_back({std::move(name), JsonValue{}});
      if (!Value(v.members.back().second, depth + 1)) return false;
      Space();
      if (at_ < s_.size() && s_[at_] == ',') {
        ++at_;
        continue;
      }
      if (at_ < s_.size() && s_[at_] == '}') return ++at_, true;
      return Fail("expected ',' or '}'");
    }
  }

  const std::string& s_;
  size_t at_ = 0;
  size_t failAt_ = 0;
  std::string error_;
};

}  // namespace

bool ParseJson(const std::string& text, JsonValue& out, std::string& error) {
  out = JsonValue{};
  return Parser(text).Document(out, error);
}

}  // namespace tevrano::sim
