#pragma once
#include <cstdint>

namespace tevrano {

// The credentials scramble of the command protocol. Texts are fixed fields
// of 32 bytes whose last byte is always zero.
constexpr uint32_t kCredentialsSize = 32;

// 0..15 for hex digits (either case), 0 for every other character.
int HexValue(char c);

// Scrambles user name and password with the calendar time `seconds` into
// `out` (32 bytes, zero-filled): "%X" of the time, ".", the user, ".", the
// password, each character shifted by the time's digits walked backwards.
// A text that would not fit is cut, keeping the terminating zero.
void ScrambleText(const char* userName, const char* password, uint32_t seconds,
                  char (&out)[kCredentialsSize]);

// Restores user name and password from a token. A token without its two
// full stops (or with an empty time) changes nothing and returns false.
bool UnscrambleText(const char* token, char (&userName)[kCredentialsSize],
                    char (&password)[kCredentialsSize]);

}  // namespace tevrano
