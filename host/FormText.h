#pragma once
#include <string>
#include <string_view>

#include <QString>

namespace tevrano::host {

// The form's texts are byte strings as the recorder's page knows them: mostly
// ASCII or UTF-8, but a few fixed texts carry Big5 punctuation (curly quotes
// A1 A7 / A1 A8, apostrophe A1 A6). These turn such a text into Unicode for
// widgets, pictures and the dump: valid UTF-8 passes, the Big5 punctuation
// becomes its character, and any other stray byte is read as Latin-1, so
// the result is always valid.
std::string FormTextUtf8(std::string_view text);
QString FormText(std::string_view text);

}  // namespace tevrano::host
