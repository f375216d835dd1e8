#include "host/FormDump.h"

#include <cstdio>

#include "base/RecorderTime.h"

namespace tevrano::host {

bool HoldsText(const Component& c) {
  switch (c.kind) {
    case ComponentKind::LabeledEdit:
    case ComponentKind::Edit:
    case ComponentKind::Memo:
    case ComponentKind::ComboBox:
      return true;
    default:
      return false;
  }
}

std::string JsonString(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", c);
          out += esc;
        } else {
          out += static_cast<char>(c);  // UTF-8 passes through
        }
    }
  }
  return out + "\"";
}

namespace {

// The "interface" object (every bound variable by name, arrays as lists) and
// the "playback" object (time shown, channel, state).
void AppendInterfaceAndPlayback(std::string& out, const ControlStatus& status) {
  out += ",\n  \"interface\": {";
  bool first = true;
  for (const ControlStatus::InterfaceVariable& v : status.interfaceVariables) {
    out += first ? "\n    " : ",\n    ";
    first = false;
    out += JsonString(v.name) + ": ";
    if (!v.array) {
      out += std::to_string(v.values.empty() ? 0 : v.values[0]);
      continue;
    }
    out += "[";
    for (size_t i = 0; i < v.values.size(); ++i)
      out += (i ? ", " : "") + std::to_string(v.values[i]);
    out += "]";
  }
  out += "\n  },\n  \"playback\": {";
  char time[32];
  ui::FormatRecorderTime(status.playback.time, 0, time, sizeof time);
  out += "\"time\": " + JsonString(time);
  out += ", \"channel\": " + std::to_string(status.playback.channel);
  out += ", \"state\": " + std::to_string(status.playback.state) + "}";
}

// The "events" list (time, camera, kind) and the "speed_dome" window.
void AppendEvents(std::string& out, const ControlStatus& status) {
  out += ",\n  \"events\": [";
  bool first = true;
  for (const ControlStatus::EventItem& e : status.events) {
    char time[32];
    ui::FormatRecorderTime(e.time, 0, time, sizeof time);
    out += first ? "\n    " : ",\n    ";
    first = false;
    out += "{\"time\": " + JsonString(time) + ", \"channel\": " + std::to_string(e.channel) +
           ", \"kind\": " + JsonString(e.kind) + "}";
  }
  out += first ? "]" : "\n  ]";
  out += ",\n  \"speed_dome\": {\"open\": ";
  out += status.speedDome.open ? "true" : "false";
  out += ", \"left\": " + std::to_string(status.speedDome.left) +
         ", \"top\": " + std::to_string(status.speedDome.top) + "}";
}

}  // namespace

std::string FormDumpJson(const TTevranoX& form, const ControlStatus& status) {
  auto b = [](bool v) { return v ? "true" : "false"; };
  std::string out = "{\n  \"components\": {";
  bool first = true;
  for (const Component* c : form.Components()) {
    out += first ? "\n" : ",\n";
    first = false;
    out += "    " + JsonString(c->name) + ": {\"kind\": " + JsonString(KindName(c->kind));
    out += HoldsText(*c) ? ", \"text\": " + JsonString(c->text)
                         : ", \"caption\": " + JsonString(c->caption);
    out += std::string(", \"visible\": ") + b(c->visible) + ", \"enabled\": " + b(c->enabled);
    // A page control reports its active page as its item.
    const int item = c->kind == ComponentKind::PageControl
                         ? static_cast<const PageControl*>(c)->activePageIndex
                         : c->itemIndex;
    out += ", \"item_index\": " + std::to_string(item);
    out += ", \"left\": " + std::to_string(c->left) + ", \"top\": " + std::to_string(c->top);
    out += ", \"width\": " + std::to_string(c->width) +
           ", \"height\": " + std::to_string(c->height) + "}";
  }
  out += "\n  },\n  \"control\": {";
  out += "\"logged_in\": " + std::to_string(status.loggedIn);
  out += ", \"session_id\": " + std::to_string(status.sessionId);
  out += ", \"login_state\": " + std::to_string(status.loginState);
  out += ", \"view_mode\": " + std::to_string(status.viewMode);
  out += ", \"page\": " + std::to_string(status.page);
  out += ", \"layout\": " + std::to_string(status.layout);
  out += "}";
  AppendInterfaceAndPlayback(out, status);
  AppendEvents(out, status);
  out += "\n}\n";
  return out;
}

bool WriteDumpFile(const std::string& path, const TTevranoX& form, const ControlStatus& status) {
  const std::string json = FormDumpJson(form, status);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(json.data(), 1, json.size(), f) == json.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace tevrano::host
