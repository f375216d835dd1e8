#pragma once
#include <string_view>

#include "base/Form.h"
#include "host/FormDump.h"

namespace tevrano::host {

// True when `needle` occurs in what the dump shows as text: the caption (or
// the text, for edits, memos and combo boxes) of any component of the form,
// shown or not, or the caption or text of a message box shown (`messages`
// may be null). Texts are compared as the dump writes them (UTF-8).
bool FormShowsText(const TTevranoX& form, const MessageLog* messages, std::string_view needle);

}  // namespace tevrano::host
