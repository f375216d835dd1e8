#include "host/UserActions.h"

#include <gtest/gtest.h>

#include <string>

namespace tevrano::host {
namespace {

// Typing into an edit box keeps what its widget would take: maxLength
// characters (UTF-16 units, as the window's edit box counts them), never a
// cut character; other kinds and a maxLength of 0 take everything.
TEST(UserActionsTest, SetTextHonoursTheEditsMaxLength) {
  const std::string a31(31, 'a'), a32(32, 'a');
  struct Case {
    const char* what;
    ComponentKind kind;
    int maxLength;
    std::string typed, kept;
  };
  const Case cases[] = {
      {"shorter", ComponentKind::LabeledEdit, 31, "guest", "guest"},
      {"exactly the limit", ComponentKind::LabeledEdit, 31, a31, a31},
      {"one past the limit", ComponentKind::LabeledEdit, 31, a32, a31},
      {"plain edit", ComponentKind::Edit, 5, "1234567", "12345"},
      {"no limit", ComponentKind::LabeledEdit, 0, a32, a32},
      {"two-byte characters", ComponentKind::LabeledEdit, 3, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9",
       "\xC3\xA9\xC3\xA9\xC3\xA9"},
      {"a four-byte character counts two", ComponentKind::LabeledEdit, 3,
       "a\xF0\x9F\x98\x80"
       "b",
       "a\xF0\x9F\x98\x80"},
      {"no room for the second half", ComponentKind::LabeledEdit, 2, "a\xF0\x9F\x98\x80", "a"},
      {"a memo is not limited", ComponentKind::Memo, 3, "abcdef", "abcdef"},
      {"empty", ComponentKind::LabeledEdit, 4, "", ""},
  };
  for (const Case& c : cases) {
    Component edit("LabeledEdit_x", c.kind, 0, 0, 100, 20);
    edit.maxLength = c.maxLength;
    int changes = 0;
    edit.onChange = [&] { ++changes; };
    UserActions::SetText(edit, c.typed);
    EXPECT_EQ(edit.text, c.kept) << c.what;
    EXPECT_EQ(changes, 1) << c.what;
  }
}

}  // namespace
}  // namespace tevrano::host
