#include "host/ScrambleText.h"

#include <cstdio>

namespace tevrano::host {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}
}  // namespace

std::string ScrambleText(std::string_view user, std::string_view password, int64_t calendarTime) {
  char time[24];
  std::snprintf(time, sizeof time, "%llX",
                static_cast<unsigned long long>(static_cast<uint64_t>(calendarTime)));
  const std::string_view t(time);
  std::string out(t);
  out += '.';
  int k = static_cast<int>(t.size()) - 1;
  auto scramble = [&](std::string_view text) {
    for (char c : text) {
      out += kHexDigits[(HexValue(c) + HexValue(t[static_cast<size_t>(k)])) % 16];
      if (--k < 0) k = static_cast<int>(t.size()) - 1;
    }
  };
  scramble(user);
  out += '.';
  scramble(password);
  return out;
}

}  // namespace tevrano::host
