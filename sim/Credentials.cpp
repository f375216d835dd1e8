#include "Credentials.h"

#include <cstdio>

namespace tevrano::sim {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

}  // namespace

std::optional<UserPassword> UnscrambleCredentials(const std::string& text) {
  size_t dot1 = text.find('.');
  if (dot1 == std::string::npos || dot1 == 0) return std::nullopt;
  size_t dot2 = text.find('.', dot1 + 1);
  if (dot2 == std::string::npos) return std::nullopt;
  const std::string t = text.substr(0, dot1);
  int k = int(t.size()) - 1;
  auto decode = [&](const std::string& scrambled) {
    std::string out;
    for (char e : scrambled) {
      int d = HexValue(e) - HexValue(t[size_t(k)]);
      if (d < 0) d += 16;
      out += std::to_string(d);
      if (--k < 0) k = int(t.size()) - 1;
    }
    return out;
  };
  UserPassword result;
  result.user = decode(text.substr(dot1 + 1, dot2 - dot1 - 1));
  result.password = decode(text.substr(dot2 + 1));
  return result;
}

std::string ScrambleCredentials(const std::string& user, const std::string& password,
                                uint32_t calendarSeconds) {
  static const char kHex[] = "0123456789ABCDEF";
  char t[16];
  std::snprintf(t, sizeof t, "%X", calendarSeconds);
  const std::string time = t;
  std::string out = time + ".";
  int k = int(time.size()) - 1;
  auto encode = [&](const std::string& plain) {
    for (char c : plain) {
      out += kHex[(HexValue(c) + HexValue(time[size_t(k)])) % 16];
      if (--k < 0) k = int(time.size()) - 1;
    }
  };
  encode(user);
  out += ".";
  encode(password);
  return out;
}

}  // namespace tevrano::sim
