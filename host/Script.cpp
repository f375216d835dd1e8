#include "host/Script.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace tevrano::host {

namespace {
using Op = ScriptCommand::Op;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Splits off the next blank-separated word.
std::string_view NextWord(std::string_view& rest) {
  size_t i = 0;
  while (i < rest.size() && IsBlank(rest[i])) ++i;
  size_t j = i;
  while (j < rest.size() && !IsBlank(rest[j])) ++j;
  std::string_view word = rest.substr(i, j - i);
  rest.remove_prefix(j);
  return word;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool ToInt(std::string_view word, int& out) {
  if (word.empty()) return false;
  std::string s(word);
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(s.c_str(), &end, 10);
  if (errno != 0 || *end != 0 || v < -1000000 || v > 1000000) return false;
  out = static_cast<int>(v);
  return true;
}

// A variable's value: the whole 32-bit range (recorder times are large).
bool ToInt32(std::string_view word, int& out) {
  if (word.empty()) return false;
  std::string s(word);
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(s.c_str(), &end, 10);
  if (errno != 0 || *end != 0 || v < INT32_MIN || v > INT32_MAX) return false;
  out = static_cast<int>(v);
  return true;
}

bool ToSeconds(std::string_view word, double& out) {
  if (word.empty()) return false;
  std::string s(word);
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (*end != 0 || !std::isfinite(v) || v < 0 || v > 1e6) return false;
  out = v;
  return true;
}

struct LineParser {
  const TTevranoX& form;
  ScriptCommand& cmd;
  std::string_view rest;
  std::string error;

  bool Fail(std::string why) {
    error = std::move(why);
    return false;
  }
  bool Component(bool imageOnly) {
    std::string_view name = NextWord(rest);
    if (name.empty()) return Fail("missing component");
    const tevrano::Component* c = form.Find(name);
    if (!c) return Fail("unknown component: " + std::string(name));
    if (imageOnly && c->kind != ComponentKind::Image)
      return Fail(std::string(name) + " is not an image");
    cmd.component = name;
    return true;
  }
  bool Int(int& out, const char* what) {
    std::string_view w = NextWord(rest);
    if (!ToInt(w, out)) return Fail(std::string("bad ") + what + ": '" + std::string(w) + "'");
    return true;
  }
  bool Word(std::string& out, const char* what) {
    std::string_view w = NextWord(rest);
    if (w.empty()) return Fail(std::string("missing ") + what);
    out = w;
    return true;
  }
  bool End() {
    if (!Trim(rest).empty()) return Fail("unexpected '" + std::string(Trim(rest)) + "'");
    return true;
  }
  // A video state as a script writes it (a hyphen for the blank), kept as
  // the dump spells it.
  bool VideoStateWord(std::string_view w, std::string& out) {
    if (w == "connecting" || w == "logged-in" || w == "no-video") {
      out = w;
      if (const size_t hyphen = out.find('-'); hyphen != std::string::npos) out[hyphen] = ' ';
      return true;
    }
    return Fail("bad STATE: '" + std::string(w) + "' (connecting, logged-in or no-video)");
  }
  // A text in double quotes (it may hold blanks; no quote inside).
  bool QuotedText(std::string& out) {
    while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
    if (rest.empty() || rest.front() != '"') return Fail("TEXT must be in double quotes");
    const size_t close = rest.find('"', 1);
    if (close == std::string_view::npos) return Fail("TEXT lacks its closing quote");
    if (close == 1) return Fail("TEXT is empty");
    out = rest.substr(1, close - 1);
    rest.remove_prefix(close + 1);
    return true;
  }
  bool Position() {
    cmd.hasPosition = true;
    return Int(cmd.x, "X") && Int(cmd.y, "Y");
  }

  bool Parse(std::string_view name) {
    if (name == "wait") {
      cmd.op = Op::Wait;
      std::string_view w = NextWord(rest);
      if (!ToSeconds(w, cmd.seconds)) return Fail("bad SECONDS: '" + std::string(w) + "'");
      return End();
    }
    if (name == "wait-until") {
      cmd.op = Op::WaitUntil;
      std::string_view what = NextWord(rest);
      if (what == "logged-in") {
        cmd.condition = ScriptCommand::Condition::LoggedIn;
      } else if (what == "picture") {
        cmd.condition = ScriptCommand::Condition::Picture;
      } else if (what == "video-state") {
        cmd.condition = ScriptCommand::Condition::VideoState;
        if (!VideoStateWord(NextWord(rest), cmd.text)) return false;
      } else if (what == "backup-ended") {
        cmd.condition = ScriptCommand::Condition::BackupEnded;
      } else if (what == "interface") {
        cmd.condition = ScriptCommand::Condition::Interface;
        if (!Word(cmd.binding, "NAME")) return false;
        std::string_view op = NextWord(rest);
        using C = ScriptCommand::Compare;
        if (op == "=" || op == "==")
          cmd.compare = C::Equal;
        else if (op == "!=")
          cmd.compare = C::NotEqual;
        else if (op == "<")
          cmd.compare = C::Less;
        else if (op == "<=")
          cmd.compare = C::LessOrEqual;
        else if (op == ">")
          cmd.compare = C::Greater;
        else if (op == ">=")
          cmd.compare = C::GreaterOrEqual;
        else
          return Fail("bad OP: '" + std::string(op) + "' (=, !=, <, <=, > or >=)");
        std::string_view v = NextWord(rest);
        if (!ToInt32(v, cmd.value)) return Fail("bad VALUE: '" + std::string(v) + "'");
      } else if (what == "text") {
        cmd.condition = ScriptCommand::Condition::Text;
        if (!QuotedText(cmd.text)) return false;
      } else {
        return Fail("bad CONDITION: '" + std::string(what) +
                    "' (logged-in, picture, video-state, backup-ended, interface or text)");
      }
      cmd.seconds = ScriptCommand::kDefaultWaitUntilSeconds;
      std::string_view w = NextWord(rest);
      if (!w.empty() && !ToSeconds(w, cmd.seconds))
        return Fail("bad TIMEOUT: '" + std::string(w) + "'");
      return End();
    }
    if (name == "press" || name == "move" || name == "release") {
      cmd.op = name == "press" ? Op::Press : name == "move" ? Op::Move : Op::Release;
      return Component(true) && Position() && End();
    }
    if (name == "click") {
      cmd.op = Op::Click;
      if (!Component(false)) return false;
      if (Trim(rest).empty()) return true;
      return Position() && End();
    }
    if (name == "click-target") {
      cmd.op = Op::ClickTarget;
      if (!Word(cmd.text, "SKIN") || !Word(cmd.binding, "BINDING") || !Int(cmd.index, "ITEM"))
        return false;
      if (cmd.index < 1) return Fail("ITEM counts from 1");
      return End();
    }
    if (name == "set-text") {
      cmd.op = Op::SetText;
      if (!Component(false)) return false;
      // The text is the rest of the line after one separating blank.
      std::string_view text = rest;
      if (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
      while (!text.empty() && text.back() == '\r') text.remove_suffix(1);
      cmd.text = text;
      return true;
    }
    if (name == "select") {
      cmd.op = Op::Select;
      return Component(false) && Int(cmd.index, "INDEX") && End();
    }
    if (name == "tab") {
      cmd.op = Op::Tab;
      if (!Int(cmd.index, "INDEX")) return false;
      if (cmd.index < 0 || cmd.index >= static_cast<int>(form.PageControl1.pages.size()))
        return Fail("no tab " + std::to_string(cmd.index));
      return End();
    }
    if (name == "snapshot") {
      cmd.op = Op::Snapshot;
      if (!Word(cmd.text, "FILE")) return false;
      if (!Trim(rest).empty() && !Component(false)) return false;
      return End();
    }
    if (name == "dump") {
      cmd.op = Op::Dump;
      return Word(cmd.text, "FILE") && End();
    }
    if (name == "answer") {
      cmd.op = Op::Answer;
      std::string_view w = NextWord(rest);
      if (w == "ok")
        cmd.index = 1;
      else if (w == "cancel")
        cmd.index = 2;
      else if (w == "yes")
        cmd.index = 6;
      else if (w == "no")
        cmd.index = 7;
      else
        return Fail("bad answer: '" + std::string(w) + "' (yes, no, ok or cancel)");
      return End();
    }
    if (name == "choose-file" || name == "save-file") {
      cmd.op = name == "save-file" ? Op::SaveFile : Op::ChooseFile;
      // The path is the rest of the line (it may hold blanks).
      std::string_view path = Trim(rest);
      while (!path.empty() && path.back() == '\r') path.remove_suffix(1);
      if (path.empty()) return Fail(std::string(name) + " needs a PATH");
      cmd.text = path;
      return true;
    }
    if (name == "quit") {
      cmd.op = Op::Quit;
      return End();
    }
    return Fail("unknown command: " + std::string(name));
  }
};
}  // namespace

ParsedScript ParseScript(std::string_view text, const TTevranoX& form) {
  ParsedScript result;
  int lineNumber = 0;
  for (size_t pos = 0; pos < text.size();) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view rest = text.substr(pos, eol - pos);
    pos = eol + 1;
    ++lineNumber;
    std::string_view name = NextWord(rest);
    if (name.empty() || name.front() == '#') continue;
    ScriptCommand cmd;
    cmd.line = lineNumber;
    LineParser parser{form, cmd, rest, {}};
    if (!parser.Parse(name)) {
      result.commands.clear();
      result.error = ScriptError{lineNumber, parser.error};
      return result;
    }
    result.commands.push_back(std::move(cmd));
  }
  return result;
}

}  // namespace tevrano::host
