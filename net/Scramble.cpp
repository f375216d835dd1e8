#include "net/Scramble.h"

#include <cstdio>
#include <cstring>

namespace tevrano {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";

// Walks the time's digits backwards, starting again at the last one.
struct DigitWalk {
  const char* time;
  int length;
  int k;
  explicit DigitWalk(const char* t, int n) : time(t), length(n), k(n - 1) {}
  int Next() {
    const int v = HexValue(time[k]);
    if (--k < 0) k = length - 1;
    return v;
  }
};

// Appends c to out (capacity kCredentialsSize including the zero).
void Append(char* out, size_t& n, char c) {
  if (n + 1 < kCredentialsSize) out[n++] = c;
}
}  // namespace

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

void ScrambleText(const char* userName, const char* password, uint32_t seconds,
                  char (&out)[kCredentialsSize]) {
  std::memset(out, 0, sizeof out);
  char time[16];
  const int length = std::snprintf(time, sizeof time, "%X", seconds);
  size_t n = 0;
  for (int i = 0; i < length; ++i) Append(out, n, time[i]);
  Append(out, n, '.');
  DigitWalk walk(time, length);
  for (const char* c = userName; *c && c < userName + kCredentialsSize; ++c)
    Append(out, n, kHexDigits[(HexValue(*c) + walk.Next()) % 16]);
  Append(out, n, '.');
  for (const char* c = password; *c && c < password + kCredentialsSize; ++c)
    Append(out, n, kHexDigits[(HexValue(*c) + walk.Next()) % 16]);
}

bool UnscrambleText(const char* token, char (&userName)[kCredentialsSize],
                    char (&password)[kCredentialsSize]) {
  const size_t tokenLength = strnlen(token, kCredentialsSize);
  const char* end = token + tokenLength;
  const char* dot1 = static_cast<const char*>(std::memchr(token, '.', tokenLength));
  if (!dot1 || dot1 == token) return false;
  const char* dot2 = static_cast<const char*>(std::memchr(dot1 + 1, '.', end - dot1 - 1));
  if (!dot2) return false;

  DigitWalk walk(token, static_cast<int>(dot1 - token));
  auto unscramble = [&walk](const char* from, const char* to, char(&into)[kCredentialsSize]) {
    char text[kCredentialsSize * 2 + 1] = {};  // two digits at most per character
    size_t n = 0;
    for (const char* e = from; e < to; ++e) {
      int d = HexValue(*e) - walk.Next();
      if (d < 0) d += 16;
      n += std::snprintf(text + n, sizeof text - n, "%d", d);
    }
    std::memset(into, 0, sizeof into);
    std::memcpy(into, text, strnlen(text, kCredentialsSize - 1));
  };
  unscramble(dot1 + 1, dot2, userName);
  unscramble(dot2 + 1, end, password);
  return true;
}

}  // namespace tevrano
