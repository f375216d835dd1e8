#include "host/FormText.h"

#include <gtest/gtest.h>

namespace tevrano::host {
namespace {

TEST(FormText, EveryTextBecomesValidUtf8) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"plain ASCII", "plain ASCII"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},  // UTF-8 passes
      {"\xA1\xA7"
       "Enable\xA1\xA8",
       "\xE2\x80\x9C"
       "Enable\xE2\x80\x9D"},                        // Big5 quotes
      {"gateway\xA1\xA6s", "gateway\xE2\x80\x99s"},  // Big5 apostrophe
      {"cut\xA1", "cut\xC2\xA1"},                    // a lone byte as Latin-1
      {"\xC3", "\xC3\x83"},                          // a cut UTF-8 sequence
      {"\xC0\x80", "\xC3\x80\xC2\x80"},              // an overlong form
  };
  for (const Case& c : cases) EXPECT_EQ(FormTextUtf8(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace tevrano::host
