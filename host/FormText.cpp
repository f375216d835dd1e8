#include "host/FormText.h"

#include <cstdint>

namespace tevrano::host {
namespace {

// Length of the valid UTF-8 sequence at s[i], or 0 when there is none.
size_t Utf8SequenceAt(std::string_view s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  const uint8_t lead = byte(i);
  size_t n = lead < 0x80           ? 1
             : (lead >> 5) == 0x6  ? 2
             : (lead >> 4) == 0xE  ? 3
             : (lead >> 3) == 0x1E ? 4
                                   : 0;
  if (n == 0 || (n == 2 && lead < 0xC2) || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  return n;
}

void AppendCodePoint(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The Big5 punctuation the form's fixed texts use.
uint32_t Big5Punctuation(uint8_t first, uint8_t second) {
  if (first != 0xA1) return 0;
  switch (second) {
    case 0xA6:
      return 0x2019;  // ’
    case 0xA7:
      return 0x201C;  // “
    case 0xA8:
      return 0x201D;  // ”
    default:
      return 0;
  }
}

}  // namespace

std::string FormTextUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    if (const size_t n = Utf8SequenceAt(s, i)) {
      out.append(s.substr(i, n));
      i += n;
      continue;
    }
    const auto first = static_cast<uint8_t>(s[i]);
    const uint32_t big5 =
        i + 1 < s.size() ? Big5Punctuation(first, static_cast<uint8_t>(s[i + 1])) : 0;
    AppendCodePoint(out, big5 ? big5 : first);
    i += big5 ? 2 : 1;
  }
  return out;
}

QString FormText(std::string_view text) {
  const std::string utf8 = FormTextUtf8(text);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace tevrano::host
