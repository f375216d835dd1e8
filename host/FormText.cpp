#include "host/FormText.h"

namespace tevrano::host {

namespace {
// Length of the valid UTF-8 sequence at `at`, 0 when there is none.
size_t Utf8Length(std::string_view s, size_t at) {
  const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = b(at);
  if (lead < 0x80) return 1;
  size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (at + n > s.size()) return 0;
  if (b(at + 1) < low || b(at + 1) > high) return 0;
  for (size_t i = 2; i < n; ++i)
    if ((b(at + i) & 0xC0) != 0x80) return 0;
  return n;
}
}  // namespace

QString FormText(std::string_view s) {
  QString out;
  out.reserve(static_cast<qsizetype>(s.size()));
  size_t at = 0;
  while (at < s.size()) {
    if (const size_t n = Utf8Length(s, at)) {
      out += QString::fromUtf8(s.data() + at, static_cast<qsizetype>(n));
      at += n;
      continue;
    }
    const auto lead = static_cast<unsigned char>(s[at]);
    const auto next = at + 1 < s.size() ? static_cast<unsigned char>(s[at + 1]) : 0;
    if (lead == 0xA1 && next >= 0xA5 && next <= 0xA8) {
      static const char16_t kBig5Quotes[4] = {u'\u2018', u'\u2019', u'\u201C', u'\u201D'};
      out += QChar(kBig5Quotes[next - 0xA5]);
      at += 2;
      continue;
    }
    out += QChar(QChar::ReplacementCharacter);
    ++at;
  }
  return out;
}

std::string FormTextUtf8(std::string_view s) {
  for (size_t at = 0; at < s.size();) {
    const size_t n = Utf8Length(s, at);
    if (n == 0) return FormText(s).toStdString();
    at += n;
  }
  return std::string(s);  // already valid UTF-8
}

}  // namespace tevrano::host
