// The credentials text of every command frame: the sender's calendar time
// in upper-case hex, ".", the scrambled user name, ".", the scrambled
// password. Each character is shifted, modulo 16, by the hex value of a
// time digit, walking the time digits backwards and wrapping.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tevrano::sim {

struct UserPassword {
  std::string user, password;
};

// Empty when the text lacks either ".". Digits come back exactly; other
// characters come back as their hex value in decimal.
std::optional<UserPassword> UnscrambleCredentials(const std::string& text);

// The viewer's side, for tests and scripted clients.
std::string ScrambleCredentials(const std::string& user, const std::string& password,
                                uint32_t calendarSeconds);

}  // namespace tevrano::sim
