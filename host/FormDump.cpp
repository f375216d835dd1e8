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

namespace {

// Bytes of the whole UTF-8 sequence starting at s[i], or 0 when none starts
// there (a stray continuation byte, a cut or overlong sequence).
size_t Utf8SequenceAt(std::string_view s, size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  const size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
  if (n == 0 || c > 0xF4 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  const unsigned char d = static_cast<unsigned char>(s[i + 1]);
  if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d > 0x9F) || (c == 0xF0 && d < 0x90) ||
      (c == 0xF4 && d > 0x8F))
    return 0;
  return n;
}

}  // namespace

// Texts of the form may hold the recorder's own code page: a byte that
// starts no whole UTF-8 sequence is written as the character of that byte
// value (\u00XX), so that the dump stays valid JSON.
std::string JsonString(std::string_view s) {
  std::string out = "\"";
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
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
        } else if (c < 0x80) {
          out += static_cast<char>(c);
        } else if (const size_t n = Utf8SequenceAt(s, i); n != 0) {
          out.append(s.substr(i, n));  // UTF-8 passes through
          i += n - 1;
        } else {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", c);
          out += esc;
        }
    }
  }
  return out + "\"";
}

namespace {

// The "interface" object (every bound variable by name, arrays as lists) and
// the "playback" object (time shown, channel, state).
void AppendInterfaceAndPlayback(std::string& out, const TevranoScriptingView& status,
                                const std::vector<TevranoInterfaceVariable>& variables) {
  out += ",\n  \"interface\": {";
  bool first = true;
  for (const TevranoInterfaceVariable& v : variables) {
    out += first ? "\n    " : ",\n    ";
    first = false;
    out += JsonString(v.name) + ": ";
    if (!v.isArray) {
      out += std::to_string(v.count > 0 ? v.values[0] : 0);
      continue;
    }
    out += "[";
    for (int32_t i = 0; i < v.count; ++i) out += (i ? ", " : "") + std::to_string(v.values[i]);
    out += "]";
  }
  out += "\n  },\n  \"playback\": {";
  char time[32];
  ui::FormatRecorderTime(status.playbackTime, 0, time, sizeof time);
  out += "\"time\": " + JsonString(time);
  out += ", \"channel\": " + std::to_string(status.playbackChannel);
  out += ", \"state\": " + std::to_string(status.playbackState) + "}";
}

}  // namespace

std::string FormDumpJson(const TTevranoX& form, const TevranoScriptingView& status,
                         const std::vector<TevranoInterfaceVariable>& variables,
                         const MessageLog* messages) {
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
  // Sound against picture while sound played (ms; negative: the sound is behind the picture).
  out += ", \"audio_lag_last_ms\": " + std::to_string(status.audioLagLastMs);
  out += ", \"audio_lag_max_ms\": " + std::to_string(status.audioLagMaxMs);
  out += ", \"audio_lag_mean_ms\": " + std::to_string(status.audioLagMeanMs);
  out += ", \"audio_lag_samples\": " + std::to_string(status.audioLagSamples);
  out += "}";
  AppendInterfaceAndPlayback(out, status, variables);
  out += ",\n  \"messages\": [";
  if (messages) {
    for (size_t i = 0; i < messages->size(); ++i) {
      const auto& m = (*messages)[i];
      out += i ? ",\n    " : "\n    ";
      out += "{\"caption\": " + JsonString(m.caption) + ", \"text\": " + JsonString(m.text) +
             ", \"answer\": " + JsonString(m.answer) + "}";
    }
    if (!messages->empty()) out += "\n  ";
  }
  out += "]\n}\n";
  return out;
}

bool WriteDumpFile(const std::string& path, const TTevranoX& form,
                   const TevranoScriptingView& status,
                   const std::vector<TevranoInterfaceVariable>& variables,
                   const MessageLog* messages) {
  const std::string json = FormDumpJson(form, status, variables, messages);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(json.data(), 1, json.size(), f) == json.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace tevrano::host
