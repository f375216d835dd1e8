#include "host/FormDump.h"

#include <cstdio>
#include <cstring>

#include "base/RecorderTime.h"
#include "host/FormText.h"

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

std::string JsonString(std::string_view text) {
  // JSON is UTF-8: the form's Big5 punctuation and stray bytes are converted.
  const std::string s = FormTextUtf8(text);
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

// The "events" list (time, camera, kind) and the "speed_dome" window.
void AppendEvents(std::string& out, const TevranoScriptingView& status,
                  const std::vector<TevranoEventItem>& events) {
  out += ",\n  \"events\": [";
  bool first = true;
  for (const TevranoEventItem& e : events) {
    char time[32];
    ui::FormatRecorderTime(e.time, 0, time, sizeof time);
    out += first ? "\n    " : ",\n    ";
    first = false;
    out += "{\"time\": " + JsonString(time) + ", \"channel\": " + std::to_string(e.channel) +
           ", \"kind\": " + JsonString(e.kind) + "}";
  }
  out += first ? "]" : "\n  ]";
  out += ",\n  \"speed_dome\": {\"open\": ";
  out += status.speedDomeOpen ? "true" : "false";
  out += ", \"left\": " + std::to_string(status.speedDomeLeft) +
         ", \"top\": " + std::to_string(status.speedDomeTop) + "}";
}

// The last backup into movie files: "outcome" none, running, complete or
// incomplete; the progress in percent; the parts written and the last file.
void AppendBackup(std::string& out, const TevranoBackupStatus& backup) {
  static constexpr const char* kOutcome[4] = {"none", "running", "complete", "incomplete"};
  const int32_t o = backup.outcome >= 0 && backup.outcome < 4 ? backup.outcome : 0;
  char file[sizeof backup.fileName + 1] = {};
  std::memcpy(file, backup.fileName, sizeof backup.fileName);
  out += ",\n  \"backup\": {\"outcome\": " + JsonString(kOutcome[o]) +
         ", \"percent\": " + std::to_string(backup.percent) +
         ", \"parts_written\": " + std::to_string(backup.partsWritten) +
         ", \"file\": " + JsonString(file) + "}";
}

}  // namespace

std::string FormDumpJson(const TTevranoX& form, const DumpState& state) {
  const TevranoScriptingView& status = state.view;
  const MessageLog* messages = state.messages;
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
  // The link and picture state ("connecting", "logged in", "no video").
  out += ", \"video_state\": " + JsonString(status.videoState);
  out += ", \"seconds_without_picture\": " + std::to_string(status.secondsWithoutPicture);
  // Decoded pictures drawn since start-up (a soak run takes pictures per second from it).
  out += ", \"pictures_shown\": " + std::to_string(status.picturesShown);
  out += "}";
  AppendInterfaceAndPlayback(out, status, state.interfaceVariables);
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
  out += "]";
  AppendEvents(out, status, state.events);
  AppendBackup(out, state.backup);
  out += "\n}\n";
  return out;
}

bool WriteDumpFile(const std::string& path, const TTevranoX& form, const DumpState& state) {
  const std::string json = FormDumpJson(form, state);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(json.data(), 1, json.size(), f) == json.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace tevrano::host
