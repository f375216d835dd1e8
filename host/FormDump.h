#pragma once
#include <string>
#include <vector>

#include "base/Form.h"
#include "control/ScriptingView.h"
#include "host/QtHostServices.h"

namespace tevrano::host {

// What the dump reports besides the form: the control's scripting view, the
// lists fetched through the library's entry points, and the host's message
// boxes (when given).
using MessageLog = std::vector<QtHostServices::MessageRecord>;
struct DumpState {
  TevranoScriptingView view{};
  std::vector<TevranoInterfaceVariable> interfaceVariables;
  std::vector<TevranoEventItem> events;
  TevranoBackupStatus backup{};
  const MessageLog* messages = nullptr;
};

// The --dump object: every component of the form under its name with
// kind, caption (or text for edits, memos and combo boxes), visible,
// enabled, item_index, left, top, width, height; then "control" from the
// scripting view, "interface", "playback", "messages" (every message box
// shown, in order), "events", "speed_dome" and "backup".
std::string FormDumpJson(const TTevranoX& form, const DumpState& state);

// Whether a component's content is its text (edits, memos, combo boxes)
// rather than its caption.
bool HoldsText(const Component& component);

// Writes FormDumpJson to a file; false when it cannot be written.
bool WriteDumpFile(const std::string& path, const TTevranoX& form, const DumpState& state);

// s as a JSON string literal.
std::string JsonString(std::string_view s);

}  // namespace tevrano::host
