#include "host/ScriptRunner.h"

#include <cmath>
#include <cstdio>

#include "host/FormDump.h"
#include "host/FormRenderer.h"
#include "host/FormTextSearch.h"
#include "host/UserActions.h"

namespace tevrano::host {

ScriptRunner::ScriptRunner(ScriptedControl& control, std::vector<ScriptCommand> commands,
                           std::function<int64_t()> nowMs, QtHostServices* host)
    : control_(control), commands_(std::move(commands)), nowMs_(std::move(nowMs)), host_(host) {}

bool ScriptRunner::PressesKeyPanel(const ScriptCommand& cmd) {
  using Op = ScriptCommand::Op;
  if (cmd.op == Op::ClickTarget) return cmd.text.find("TevranoKeyForm") != std::string::npos;
  return (cmd.op == Op::Press || cmd.op == Op::Click) && cmd.component == "Image1";
}

bool ScriptRunner::Compares(int32_t value, ScriptCommand::Compare compare, int32_t against) {
  using C = ScriptCommand::Compare;
  switch (compare) {
    case C::Equal:
      return value == against;
    case C::NotEqual:
      return value != against;
    case C::Less:
      return value < against;
    case C::LessOrEqual:
      return value <= against;
    case C::Greater:
      return value > against;
    case C::GreaterOrEqual:
      return value >= against;
  }
  return false;
}

bool ScriptRunner::WaitUntilHolds(const ScriptCommand& cmd, std::string& why) {
  const TevranoScriptingView view = control_.ScriptingView();
  if (!waiting_) {
    waiting_ = true;
    waitStartMs_ = nowMs_();
    waitStartPictures_ = view.picturesShown;
  }
  using Condition = ScriptCommand::Condition;
  bool holds = false;
  std::string what;
  switch (cmd.condition) {
    case Condition::LoggedIn:
      holds = view.loggedIn != 0 && view.recorderKnown != 0;
      what = "logged-in";
      break;
    case Condition::Picture:
      holds = view.picturesShown > waitStartPictures_;
      what = "picture";
      break;
    case Condition::VideoState: {
      holds = cmd.text == view.videoState;
      std::string state = cmd.text;  // as the script wrote it
      for (char& c : state) c = c == ' ' ? '-' : c;
      what = "video-state " + state;
      break;
    }
    case Condition::BackupEnded: {
      // TevranoBackupStatus outcomes: 2 complete, 3 incomplete.
      const int32_t outcome = control_.BackupStatus().outcome;
      holds = outcome == 2 || outcome == 3;
      what = "backup-ended";
      break;
    }
    case Condition::Interface: {
      const std::optional<int32_t> value = control_.InterfaceValue(cmd.binding);
      if (!value) {
        why = "wait-until interface: no variable " + cmd.binding;
        waiting_ = false;
        return false;
      }
      holds = Compares(*value, cmd.compare, cmd.value);
      what = "interface " + cmd.binding;
      break;
    }
    case Condition::Text:
      holds = FormShowsText(control_.Form(), host_ ? &host_->Messages() : nullptr, cmd.text);
      what = "text \"" + cmd.text + "\"";
      break;
  }
  if (holds) {
    waiting_ = false;
    return true;
  }
  if (nowMs_() - waitStartMs_ >= std::llround(cmd.seconds * 1000)) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", cmd.seconds);
    why = "wait-until " + what + ": not within " + seconds + " s";
    waiting_ = false;
  }
  return false;
}

ScriptRunner::Outcome ScriptRunner::Continue() {
  using Op = ScriptCommand::Op;
  Outcome outcome;
  while (next_ < commands_.size()) {
    if (commands_[next_].op == Op::WaitUntil) {
      const ScriptCommand& cmd = commands_[next_];
      std::string why;
      if (WaitUntilHolds(cmd, why)) {
        ++next_;
        continue;
      }
      if (!why.empty()) {
        outcome.kind = Outcome::Kind::Error;
        outcome.error = {cmd.line, why};
        next_ = commands_.size();
        return outcome;
      }
      outcome.kind = Outcome::Kind::Wait;
      outcome.waitMs = kWaitUntilPollMs;
      return outcome;
    }
    // A press on the key panel waits (1 s at most) until the panel has been
    // drawn, as a user's would: the control drops a press while a redraw is due.
    if (PressesKeyPanel(commands_[next_]) && control_.ScriptingView().keyPanelRedrawPending) {
      if (!waiting_) {
        waiting_ = true;
        waitStartMs_ = nowMs_();
      }
      if (nowMs_() - waitStartMs_ < kKeyPanelWaitMs) {
        outcome.kind = Outcome::Kind::Wait;
        outcome.waitMs = kWaitUntilPollMs;
        return outcome;
      }
    }
    waiting_ = false;
    const ScriptCommand& cmd = commands_[next_++];
    if (cmd.op == Op::Wait) {
      outcome.kind = Outcome::Kind::Wait;
      outcome.waitMs = static_cast<int>(std::lround(cmd.seconds * 1000));
      return outcome;
    }
    if (cmd.op == Op::Quit) {
      outcome.kind = Outcome::Kind::Quit;
      return outcome;
    }
    if (std::string why = Execute(cmd); !why.empty()) {
      outcome.kind = Outcome::Kind::Error;
      outcome.error = {cmd.line, why};
      next_ = commands_.size();
      return outcome;
    }
  }
  outcome.kind = Outcome::Kind::Finished;
  return outcome;
}

std::string ScriptRunner::Execute(const ScriptCommand& cmd) {
  using Op = ScriptCommand::Op;
  TTevranoX& form = control_.Form();
  Component* c = cmd.component.empty() ? nullptr : form.Find(cmd.component);
  if (!cmd.component.empty() && !c) return "unknown component: " + cmd.component;
  switch (cmd.op) {
    case Op::Press:
      UserActions::Press(*c, cmd.x, cmd.y);
      break;
    case Op::Move:
      UserActions::Move(*c, cmd.x, cmd.y);
      break;
    case Op::Release:
      UserActions::Release(*c, cmd.x, cmd.y);
      break;
    case Op::Click:
      if (cmd.hasPosition) {
        UserActions::Press(*c, cmd.x, cmd.y);
        UserActions::Release(*c, cmd.x, cmd.y);
      } else {
        UserActions::Click(*c);
      }
      break;
    case Op::ClickTarget: {
      const auto target = control_.FindSkinTarget(cmd.text, cmd.binding, cmd.index);
      if (!target) {
        return "no item " + std::to_string(cmd.index) + " of a '" + cmd.binding +
               "' element in a skin named like '" + cmd.text + "'";
      }
      Component* image = form.Find(target->image);
      if (!image) return "no component " + std::string(target->image) + " shows that skin";
      UserActions::Press(*image, target->x, target->y);
      UserActions::Release(*image, target->x, target->y);
      break;
    }
    case Op::SetText:
      UserActions::SetText(*c, cmd.text);
      break;
    case Op::Select:
      if (c->kind == ComponentKind::PageControl) {
        UserActions::SelectTab(static_cast<PageControl&>(*c), cmd.index);
      } else {
        UserActions::Select(*c, cmd.index);
      }
      break;
    case Op::Tab:
      UserActions::SelectTab(form.PageControl1, cmd.index);
      break;
    case Op::Snapshot:
      if (!FormRenderer::SaveSnapshot(cmd.text, form, c)) return "cannot write " + cmd.text;
      break;
    case Op::Dump: {
      DumpState state = control_.CollectDumpState();
      state.messages = host_ ? &host_->Messages() : nullptr;
      if (!WriteDumpFile(cmd.text, form, state)) return "cannot write " + cmd.text;
    } break;
    case Op::Answer:
      if (!host_) return "no message boxes to answer here";
      host_->QueueAnswer(cmd.index);
      break;
    case Op::ChooseFile:
    case Op::SaveFile:
      if (!host_) return "no file dialogs to answer here";
      host_->QueueFile(cmd.op == Op::SaveFile ? QtHostServices::FileDialog::kSave
                                              : QtHostServices::FileDialog::kOpen,
                       cmd.text);
      break;
    case Op::Wait:
    case Op::WaitUntil:
    case Op::Quit:
      break;
  }
  return {};
}

}  // namespace tevrano::host
