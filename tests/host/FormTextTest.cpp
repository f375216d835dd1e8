#include "host/FormText.h"

#include <gtest/gtest.h>

namespace tevrano::host {
namespace {

// Form texts shown and dumped: UTF-8 as it is, the Big5 quotation marks of
// the control's own texts as their characters, stray bytes as U+FFFD.
TEST(FormTextTest, Utf8PassesAndBig5QuotesBecomeCharacters) {
  struct Case {
    std::string bytes, shown;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"", ""},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"to \xA1\xA7"
       "Enable\xA1\xA8 UPnP",
       "to \xE2\x80\x9C"
       "Enable\xE2\x80\x9D UPnP"},
      {"router\xA1\xA6s", "router\xE2\x80\x99s"},
      {"\xA1\xA5x", "\xE2\x80\x98x"},
      {"\xA1", "\xEF\xBF\xBD"},  // a lead byte at the end
      {"a\xA1\xA9"
       "b",
       "a\xEF\xBF\xBD\xEF\xBF\xBD"
       "b"},                                                     // not one of the pairs
      {"\xC3", "\xEF\xBF\xBD"},                                  // a cut sequence
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // an overlong form
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormTextUtf8(c.bytes), c.shown) << c.bytes;
    EXPECT_EQ(FormText(c.bytes), QString::fromStdString(c.shown)) << c.bytes;
  }
}

}  // namespace
}  // namespace tevrano::host
