#pragma once
#include <string>
#include <vector>

#include "base/Form.h"
#include "control/ScriptingView.h"
#include "host/QtHostServices.h"

namespace tevrano::host {

// The --dump object: every component of the form under its name with
// kind, caption (or text for edits, memos and combo boxes), visible,
// enabled, item_index, left, top, width, height; then the control's state
// from its scripting view; "interface" from `variables`; then "messages",
// every message box shown in order (when given).
using MessageLog = std::vector<QtHostServices::MessageRecord>;
std::string FormDumpJson(const TTevranoX& form, const TevranoScriptingView& status,
                         const std::vector<TevranoInterfaceVariable>& variables = {},
                         const MessageLog* messages = nullptr);

// Whether a component's content is its text (edits, memos, combo boxes)
// rather than its caption.
bool HoldsText(const Component& component);

// Writes FormDumpJson to a file; false when it cannot be written.
bool WriteDumpFile(const std::string& path, const TTevranoX& form,
                   const TevranoScriptingView& status,
                   const std::vector<TevranoInterfaceVariable>& variables = {},
                   const MessageLog* messages = nullptr);

// s as a JSON string literal.
std::string JsonString(std::string_view s);

}  // namespace tevrano::host
