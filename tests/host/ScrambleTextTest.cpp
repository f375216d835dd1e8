#include "host/ScrambleText.h"

#include <gtest/gtest.h>

namespace tevrano::host {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

// The control's side: time digits walked backwards, subtracted, written in decimal.
std::pair<std::string, std::string> Unscramble(const std::string& token) {
  size_t a = token.find('.'), b = token.find('.', a + 1);
  std::string t = token.substr(0, a);
  int k = static_cast<int>(t.size()) - 1;
  auto undo = [&](std::string_view s) {
    std::string out;
    for (char e : s) {
      int d = HexValue(e) - HexValue(t[k]);
      out += std::to_string(d < 0 ? d + 16 : d);
      if (--k < 0) k = static_cast<int>(t.size()) - 1;
    }
    return out;
  };
  std::string user = undo(std::string_view(token).substr(a + 1, b - a - 1));
  std::string password = undo(std::string_view(token).substr(b + 1));
  return {user, password};
}

TEST(ScrambleText, BuildsTokenFromTimeUserAndPassword) {
  struct Case {
    const char* user;
    const char* password;
    int64_t time;
    const char* token;
  };
  const Case cases[] = {
      // One-digit user, four-digit password, eight-digit time: 15 characters.
      {"1", "1234", 0x12345678, "12345678.9.8888"},
      // The time's digits wrap round, from user into password.
      {"99999", "0", 0xAB, "AB.43434.A"},
      // Digits of the time are upper case; sums wrap modulo 16.
      {"7", "", 0x6F1A2B3C, "6F1A2B3C.3."},
      {"", "", 0x1, "1.."},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ScrambleText(c.user, c.password, c.time), c.token) << c.user << "/" << c.password;
}

TEST(ScrambleText, DigitCredentialsComeBackUnchanged) {
  for (int64_t time : {int64_t{0x675A1B2C}, int64_t{0x7FFFFFFF}, int64_t{0x10}}) {
    std::string token = ScrambleText("1234", "5678901", time);
    EXPECT_EQ(Unscramble(token), std::make_pair(std::string("1234"), std::string("5678901")));
  }
}

}  // namespace
}  // namespace tevrano::host
