#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "control/TevranoImpl1.h"
#include "host/QtHostServices.h"
#include "host/Script.h"
#include "host/ScriptRunner.h"
#include "platform/fake/FakePlatform.h"

namespace tevrano::host {
namespace {

using Op = ScriptCommand::Op;
using Kind = ScriptRunner::Outcome::Kind;

// The script's view of a control built directly (the viewer's goes through
// the library's entry points); the scripting view's counts are the test's.
class DirectControl : public ScriptedControl {
 public:
  explicit DirectControl(TevranoX& control) : control_(control) {}
  TTevranoX& Form() override { return control_.Form(); }
  TevranoScriptingView ScriptingView() override { return view; }
  std::optional<TevranoSkinTarget> FindSkinTarget(const std::string& skin,
                                                  const std::string& binding, int item) override {
    const auto t = control_.FindSkinTarget(skin, binding, item);
    if (!t) return std::nullopt;
    TevranoSkinTarget target{};
    std::snprintf(target.image, sizeof target.image, "%s", t->image.c_str());
    target.x = t->x;
    target.y = t->y;
    return target;
  }
  std::optional<int32_t> InterfaceValue(const std::string& name) override {
    const auto v = variables.find(name);
    if (v == variables.end()) return std::nullopt;
    return v->second;
  }
  TevranoBackupStatus BackupStatus() override { return backup; }
  TevranoScriptingView view{};
  std::map<std::string, int32_t> variables;
  TevranoBackupStatus backup{};

 private:
  TevranoX& control_;
};

class ScriptTest : public ::testing::Test {
 protected:
  ScriptTest() : control(fakes.platform()), direct(control) { control.ActiveFormCreate(); }
  TTevranoX& form() { return control.Form(); }
  ScriptRunner Runner(const std::vector<ScriptCommand>& commands) {
    return ScriptRunner(direct, commands, [this] { return nowMs; });
  }

  platform::FakePlatform fakes;
  TevranoX control;
  DirectControl direct;
  int64_t nowMs = 1000;
};

TEST_F(ScriptTest, ParsesEveryCommandAndSkipsComments) {
  ParsedScript s = ParseScript(
      "# set-up\n"
      "\n"
      "   # indented comment\n"
      "wait 0.25\n"
      "press Image1 10 20\n"
      "move Image1 11 21\n"
      "release Image1 12 22\n"
      "click Image_Trumpet_Off\n"
      "click Image1 5 6\n"
      "click-target TevranoKeyForm Key_Split#SD 2\n"
      "set-text LabeledEdit_System1 text with  blanks # kept\r\n"
      "select PageControl1 2\n"
      "tab 7\n"
      "snapshot out.png\n"
      "snapshot one.png Image1\n"
      "dump out.json\n"
      "quit\n",
      form());
  ASSERT_FALSE(s.error) << s.error->line << ": " << s.error->message;
  ASSERT_EQ(s.commands.size(), 14u);
  const auto& c = s.commands;
  EXPECT_EQ(c[0].op, Op::Wait);
  EXPECT_EQ(c[0].seconds, 0.25);
  EXPECT_EQ(c[0].line, 4);
  EXPECT_EQ(c[1].op, Op::Press);
  EXPECT_EQ(c[1].component, "Image1");
  EXPECT_EQ(c[1].x, 10);
  EXPECT_EQ(c[1].y, 20);
  EXPECT_EQ(c[3].op, Op::Release);
  EXPECT_EQ(c[4].op, Op::Click);
  EXPECT_FALSE(c[4].hasPosition);
  EXPECT_TRUE(c[5].hasPosition);
  EXPECT_EQ(c[6].op, Op::ClickTarget);
  EXPECT_EQ(c[6].text, "TevranoKeyForm");
  EXPECT_EQ(c[6].binding, "Key_Split#SD");
  EXPECT_EQ(c[6].index, 2);
  EXPECT_EQ(c[7].op, Op::SetText);
  EXPECT_EQ(c[7].text, "text with  blanks # kept");
  EXPECT_EQ(c[9].op, Op::Tab);
  EXPECT_EQ(c[9].index, 7);
  EXPECT_EQ(c[10].component, "");
  EXPECT_EQ(c[11].component, "Image1");
  EXPECT_EQ(c[13].op, Op::Quit);
  EXPECT_EQ(c[13].line, 17);
}

TEST_F(ScriptTest, ReportsTheFirstBadLineByNumber) {
  struct Case {
    const char* script;
    int line;
    const char* says;
  };
  const Case cases[] = {
      {"wait 1\n\nfrobnicate\n", 3, "unknown command"},
      {"click NoSuchComponent\n", 1, "unknown component"},
      {"# c\npress Label_time 1 2\n", 2, "not an image"},
      {"press Image1 1\n", 1, "bad Y"},
      {"press Image1 x 2\n", 1, "bad X"},
      {"click Image1 1\n", 1, "bad Y"},
      {"wait soon\n", 1, "bad SECONDS"},
      {"wait -1\n", 1, "bad SECONDS"},
      {"wait-until\n", 1, "bad CONDITION"},
      {"wait-until ready\n", 1, "bad CONDITION"},
      {"wait-until picture soon\n", 1, "bad TIMEOUT"},
      {"wait-until logged-in 5 6\n", 1, "unexpected '6'"},
      {"wait-until video-state\n", 1, "bad STATE"},
      {"wait-until video-state no video\n", 1, "bad STATE: 'no'"},
      {"wait-until video-state frozen\n", 1, "bad STATE"},
      {"wait-until video-state no-video soon\n", 1, "bad TIMEOUT"},
      {"wait-until backup-ended 5 6\n", 1, "unexpected '6'"},
      {"wait-until interface\n", 1, "missing NAME"},
      {"wait-until interface IE_percentage#SD\n", 1, "bad OP"},
      {"wait-until interface IE_percentage#SD => 5\n", 1, "bad OP"},
      {"wait-until interface IE_percentage#SD >= half\n", 1, "bad VALUE"},
      {"wait-until interface Mon_Time#SD = 2147483648\n", 1, "bad VALUE"},
      {"wait-until interface IE_percentage#SD >= 5 soon\n", 1, "bad TIMEOUT"},
      {"tab 8\n", 1, "no tab"},
      {"select LabeledEdit_System1\n", 1, "bad INDEX"},
      {"quit now\n", 1, "unexpected"},
      {"snapshot\n", 1, "missing FILE"},
      {"snapshot f.png Nothing\n", 1, "unknown component"},
      {"click-target Skin Binding 0\n", 1, "ITEM counts from 1"},
      {"wait 1 # not a comment here\n", 1, "unexpected"},
      {"Wait 1\n", 1, "unknown command"},
      {"wait-until text\n", 1, "TEXT must be in double quotes"},
      {"wait-until text OS update\n", 1, "TEXT must be in double quotes"},
      {"wait-until text \"OS update\n", 1, "lacks its closing quote"},
      {"wait-until text \"\" 5\n", 1, "TEXT is empty"},
      {"wait-until text \"done\" soon\n", 1, "bad TIMEOUT"},
      {"wait-until text \"done\" 5 6\n", 1, "unexpected '6'"},
  };
  for (const Case& c : cases) {
    ParsedScript s = ParseScript(c.script, form());
    ASSERT_TRUE(s.error) << c.script;
    EXPECT_EQ(s.error->line, c.line) << c.script;
    EXPECT_NE(s.error->message.find(c.says), std::string::npos) << s.error->message;
    EXPECT_TRUE(s.commands.empty());
  }
}

TEST_F(ScriptTest, RunsCommandsThroughTheComponentsHandlers) {
  std::vector<std::string> calls;
  auto record = [&](std::string what) { calls.push_back(std::move(what)); };
  Image& image = form().Image1;
  image.onMouseDown = [&](int x, int y) {
    record("down " + std::to_string(x) + "," + std::to_string(y));
  };
  image.onMouseMove = [&](int x, int y) {
    record("move " + std::to_string(x) + "," + std::to_string(y));
  };
  image.onMouseUp = [&](int x, int y) {
    record("up " + std::to_string(x) + "," + std::to_string(y));
  };
  image.onClick = [&] { record("click"); };
  form().LabeledEdit_System1.onChange = [&] { record("edit " + form().LabeledEdit_System1.text); };
  form().PageControl1.onChange = [&] {
    record("tab " + std::to_string(form().PageControl1.activePageIndex));
  };

  ParsedScript s = ParseScript(
      "press Image1 1 2\nmove Image1 3 4\nrelease Image1 5 6\nclick Image1\n"
      "set-text LabeledEdit_System1 10.0.0.9\ntab 3\nwait 0.5\nclick Image1 7 8\nquit\nclick "
      "Image1\n",
      form());
  ASSERT_FALSE(s.error);
  ScriptRunner runner = Runner(s.commands);

  ScriptRunner::Outcome first = runner.Continue();
  EXPECT_EQ(first.kind, Kind::Wait);
  EXPECT_EQ(first.waitMs, 500);
  EXPECT_EQ(calls,
            (std::vector<std::string>{"down 1,2", "move 3,4", "click", "up 5,6", "down 162,320",
                                      "click", "up 162,320", "edit 10.0.0.9", "tab 3"}));
  calls.clear();
  EXPECT_EQ(runner.Continue().kind, Kind::Quit);
  EXPECT_EQ(calls, (std::vector<std::string>{"down 7,8", "click", "up 7,8"}));
  EXPECT_EQ(form().PageControl1.activePageIndex, 3);
}

TEST_F(ScriptTest, QueuedFilesAnswerTheDialogsThatTheNextClicksOpen) {
  ParsedScript bad = ParseScript("choose-file\n", form());
  ASSERT_TRUE(bad.error);
  EXPECT_EQ(bad.error->line, 1);

  ParsedScript s = ParseScript(
      "save-file /tmp/my titles.ttl\nclick Button_TSave\nchoose-file /tmp/in.ttl\n"
      "click Button_TLoad\nclick Button_TLoad\n",
      form());
  ASSERT_FALSE(s.error);
  ASSERT_EQ(s.commands.size(), 5u);
  EXPECT_EQ(s.commands[0].op, Op::SaveFile);
  EXPECT_EQ(s.commands[0].text, "/tmp/my titles.ttl");
  EXPECT_EQ(s.commands[2].op, Op::ChooseFile);

  QtHostServices host(true);
  std::vector<std::string> chosen;
  form().Button_TSave.onClick = [&] {
    chosen.push_back(host.SaveFileDialog("Title|*.ttl", "", "t.ttl").value_or("cancelled"));
  };
  form().Button_TLoad.onClick = [&] {
    chosen.push_back(host.OpenFileDialog("Title|*.ttl", "").value_or("cancelled"));
  };
  ScriptRunner runner(
      direct, s.commands, [this] { return nowMs; }, &host);
  EXPECT_EQ(runner.Continue().kind, Kind::Finished);
  EXPECT_EQ(chosen, (std::vector<std::string>{"/tmp/my titles.ttl", "/tmp/in.ttl", "cancelled"}));
}

TEST_F(ScriptTest, WritesSnapshotsAndDumps) {
  QTemporaryDir dir;
  const std::string base = dir.path().toStdString();
  ParsedScript s = ParseScript("snapshot " + base + "/form.png\nsnapshot " + base +
                                   "/video.png Image_video\ndump " + base + "/state.json\n",
                               form());
  ASSERT_FALSE(s.error);
  ScriptRunner runner = Runner(s.commands);
  EXPECT_EQ(runner.Continue().kind, Kind::Finished);
  EXPECT_EQ(QImage(QString::fromStdString(base + "/form.png")).size(), QSize(1518, 673));
  EXPECT_EQ(QImage(QString::fromStdString(base + "/video.png")).size(), QSize(704, 576));
  std::ifstream in(base + "/state.json");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("\"Label_time\""), std::string::npos);
}

TEST_F(ScriptTest, StopsAtACommandThatFailsWithItsLine) {
  ParsedScript s =
      ParseScript("click Image1\n\nclick-target NoSkin Key#X 1\nclick Image1\n", form());
  ASSERT_FALSE(s.error);
  int clicks = 0;
  form().Image1.onClick = [&] { ++clicks; };
  ScriptRunner runner = Runner(s.commands);
  ScriptRunner::Outcome outcome = runner.Continue();
  EXPECT_EQ(outcome.kind, Kind::Error);
  EXPECT_EQ(outcome.error.line, 3);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(runner.Done());

  ParsedScript unwritable = ParseScript("dump /nonexistent-dir/x/state.json\n", form());
  ScriptRunner second = Runner(unwritable.commands);
  EXPECT_EQ(second.Continue().error.line, 1);
}

TEST_F(ScriptTest, WaitUntilParsesItsConditionAndTimeOut) {
  ParsedScript s =
      ParseScript("wait-until logged-in\nwait-until picture 2.5\nwait-until logged-in 0\n", form());
  ASSERT_FALSE(s.error) << s.error->message;
  ASSERT_EQ(s.commands.size(), 3u);
  EXPECT_EQ(s.commands[0].op, Op::WaitUntil);
  EXPECT_EQ(s.commands[0].condition, ScriptCommand::Condition::LoggedIn);
  EXPECT_EQ(s.commands[0].seconds, ScriptCommand::kDefaultWaitUntilSeconds);
  EXPECT_EQ(s.commands[1].condition, ScriptCommand::Condition::Picture);
  EXPECT_EQ(s.commands[1].seconds, 2.5);
  EXPECT_EQ(s.commands[2].seconds, 0);
}

// The states as the dump spells them, a hyphen standing for the blank.
TEST_F(ScriptTest, WaitUntilVideoStateTakesTheStateAsTheDumpSpellsIt) {
  struct Case {
    const char* line;
    const char* state;
    double seconds;
  };
  const Case cases[] = {
      {"wait-until video-state connecting\n", "connecting",
       ScriptCommand::kDefaultWaitUntilSeconds},
      {"wait-until video-state logged-in 12\n", "logged in", 12},
      {"wait-until video-state no-video 0.5\n", "no video", 0.5},
  };
  for (const Case& c : cases) {
    ParsedScript s = ParseScript(c.line, form());
    ASSERT_FALSE(s.error) << s.error->message;
    ASSERT_EQ(s.commands.size(), 1u);
    EXPECT_EQ(s.commands[0].op, Op::WaitUntil);
    EXPECT_EQ(s.commands[0].condition, ScriptCommand::Condition::VideoState);
    EXPECT_EQ(s.commands[0].text, c.state);
    EXPECT_EQ(s.commands[0].seconds, c.seconds);
  }
}

TEST_F(ScriptTest, WaitUntilVideoStatePollsUntilTheStateIsReached) {
  int clicks = 0;
  form().Image1.onClick = [&] { ++clicks; };
  ParsedScript s = ParseScript("wait-until video-state no-video 20\nclick Image1\n", form());
  ASSERT_FALSE(s.error);
  ScriptRunner runner = Runner(s.commands);
  for (const char* state : {"connecting", "logged in", "no vide"}) {
    std::snprintf(direct.view.videoState, sizeof direct.view.videoState, "%s", state);
    EXPECT_EQ(runner.Continue().kind, Kind::Wait) << state;
    nowMs += 1000;
  }
  EXPECT_EQ(clicks, 0);
  std::snprintf(direct.view.videoState, sizeof direct.view.videoState, "no video");
  EXPECT_EQ(runner.Continue().kind, Kind::Finished);
  EXPECT_EQ(clicks, 1);
}

// A press on the key panel while its redraw is due would be dropped: the
// script holds it until the panel is drawn, or 1 s at most.
TEST_F(ScriptTest, KeyPanelPressesWaitForADueRedraw) {
  ParsedScript s = ParseScript("press Image1 10 20\nclick Image_Trumpet_Off\n", form());
  ASSERT_FALSE(s.error) << s.error->message;
  ScriptRunner runner = Runner(s.commands);
  direct.view.keyPanelRedrawPending = 1;
  EXPECT_EQ(runner.Continue().kind, ScriptRunner::Outcome::Kind::Wait);
  EXPECT_EQ(runner.Continue().kind, ScriptRunner::Outcome::Kind::Wait);
  direct.view.keyPanelRedrawPending = 0;
  EXPECT_EQ(runner.Continue().kind, ScriptRunner::Outcome::Kind::Finished);

  ScriptRunner late = Runner(s.commands);
  direct.view.keyPanelRedrawPending = 1;
  EXPECT_EQ(late.Continue().kind, ScriptRunner::Outcome::Kind::Wait);
  nowMs += ScriptRunner::kKeyPanelWaitMs;  // never drawn: the press goes ahead
  EXPECT_EQ(late.Continue().kind, ScriptRunner::Outcome::Kind::Finished);
}

TEST_F(ScriptTest, WaitUntilLoggedInPollsUntilTheControlSaysSo) {
  int clicks = 0;
  form().Image1.onClick = [&] { ++clicks; };
  ParsedScript s = ParseScript("wait-until logged-in 5\nclick Image1\n", form());
  ASSERT_FALSE(s.error);
  ScriptRunner runner = Runner(s.commands);
  for (int poll = 0; poll < 3; ++poll) {
    ScriptRunner::Outcome o = runner.Continue();
    EXPECT_EQ(o.kind, Kind::Wait);
    EXPECT_EQ(o.waitMs, ScriptRunner::kWaitUntilPollMs);
    nowMs += 1000;
  }
  EXPECT_EQ(clicks, 0);  // nothing after the wait runs before the login
  direct.view.loggedIn = 1;
  EXPECT_EQ(runner.Continue().kind, Kind::Wait);  // the recorder's system information not yet
  EXPECT_EQ(clicks, 0);
  direct.view.recorderKnown = 1;
  EXPECT_EQ(runner.Continue().kind, Kind::Finished);
  EXPECT_EQ(clicks, 1);
}

TEST_F(ScriptTest, WaitUntilPictureWantsAPictureDrawnAfterTheWaitBegan) {
  direct.view.picturesShown = 40;  // pictures before the wait do not count
  ParsedScript s = ParseScript("wait-until picture\nwait-until picture\n", form());
  ASSERT_FALSE(s.error);
  ScriptRunner runner = Runner(s.commands);
  EXPECT_EQ(runner.Continue().kind, Kind::Wait);
  EXPECT_EQ(runner.Continue().kind, Kind::Wait);
  direct.view.picturesShown = 41;
  // The first wait ends; the second begins at 41 and waits for another.
  EXPECT_EQ(runner.Continue().kind, Kind::Wait);
  EXPECT_FALSE(runner.Done());
  direct.view.picturesShown = 42;
  EXPECT_EQ(runner.Continue().kind, Kind::Finished);
}

TEST_F(ScriptTest, WaitUntilThatTimesOutFailsTheScriptWithItsLine) {
  struct Case {
    const char* script;
    const char* says;
  };
  const Case cases[] = {
      {"# first\nwait-until logged-in 2\nquit\n", "wait-until logged-in: not within 2 s"},
      {"# first\nwait-until picture 0.5\nquit\n", "wait-until picture: not within 0.5 s"},
      {"# first\nwait-until video-state no-video 2\nquit\n",
       "wait-until video-state no-video: not within 2 s"},
  };
  for (const Case& c : cases) {
    ParsedScript s = ParseScript(c.script, form());
    ASSERT_FALSE(s.error);
    ScriptRunner runner = Runner(s.commands);
    EXPECT_EQ(runner.Continue().kind, Kind::Wait);
    nowMs += 400;
    EXPECT_EQ(runner.Continue().kind, Kind::Wait);
    nowMs += 2000;
    ScriptRunner::Outcome o = runner.Continue();
    EXPECT_EQ(o.kind, Kind::Error) << c.script;
    EXPECT_EQ(o.error.line, 2);
    EXPECT_EQ(o.error.message, c.says);
    EXPECT_TRUE(runner.Done());
  }
}

TEST_F(ScriptTest, WaitUntilInterfaceComparesTheVariableAsAsked) {
  using C = ScriptCommand::Compare;
  struct Case {
    const char* op;
    C compare;
    int32_t holdsAt, failsAt;  // with 50 on the right-hand side
  };
  const Case cases[] = {{"=", C::Equal, 50, 49},          {"==", C::Equal, 50, 51},
                        {"!=", C::NotEqual, 49, 50},      {"<", C::Less, 49, 50},
                        {"<=", C::LessOrEqual, 50, 51},   {">", C::Greater, 51, 50},
                        {">=", C::GreaterOrEqual, 50, 49}};
  for (const Case& c : cases) {
    const std::string text =
        std::string("wait-until interface IE_percentage#SD ") + c.op + " 50 4\n";
    ParsedScript s = ParseScript(text, form());
    ASSERT_FALSE(s.error) << text;
    ASSERT_EQ(s.commands.size(), 1u);
    EXPECT_EQ(s.commands[0].condition, ScriptCommand::Condition::Interface);
    EXPECT_EQ(s.commands[0].binding, "IE_percentage#SD");
    EXPECT_EQ(s.commands[0].compare, c.compare) << c.op;
    EXPECT_EQ(s.commands[0].value, 50);
    EXPECT_EQ(s.commands[0].seconds, 4);
    ScriptRunner runner = Runner(s.commands);
    direct.variables["IE_percentage#SD"] = c.failsAt;
    EXPECT_EQ(runner.Continue().kind, Kind::Wait) << c.op;
    direct.variables["IE_percentage#SD"] = c.holdsAt;
    EXPECT_EQ(runner.Continue().kind, Kind::Finished) << c.op;
  }
  // Recorder times are values too: the whole 32-bit range parses.
  ParsedScript s = ParseScript("wait-until interface Mon_Time#SD = 850003200\n", form());
  ASSERT_FALSE(s.error) << s.error->message;
  EXPECT_EQ(s.commands[0].value, 850003200);
}

TEST_F(ScriptTest, WaitUntilInterfaceOnAVariableThatDoesNotExistFailsAtOnce) {
  ParsedScript s = ParseScript("# first\nwait-until interface No_Such#SD = 1\n", form());
  ASSERT_FALSE(s.error);
  ScriptRunner runner = Runner(s.commands);
  const ScriptRunner::Outcome o = runner.Continue();
  EXPECT_EQ(o.kind, Kind::Error);
  EXPECT_EQ(o.error.line, 2);
  EXPECT_EQ(o.error.message, "wait-until interface: no variable No_Such#SD");
}

TEST_F(ScriptTest, WaitUntilBackupEndedWaitsForACompleteOrIncompleteBackup) {
  struct Case {
    int32_t outcome;
    bool ended;
  };
  // TevranoBackupStatus outcomes: 0 none, 1 running, 2 complete, 3 incomplete.
  const Case cases[] = {{0, false}, {1, false}, {2, true}, {3, true}};
  for (const Case& c : cases) {
    ParsedScript s = ParseScript("wait-until backup-ended 60\n", form());
    ASSERT_FALSE(s.error);
    EXPECT_EQ(s.commands[0].condition, ScriptCommand::Condition::BackupEnded);
    ScriptRunner runner = Runner(s.commands);
    direct.backup.outcome = c.outcome;
    EXPECT_EQ(runner.Continue().kind, c.ended ? Kind::Finished : Kind::Wait) << c.outcome;
  }
  ParsedScript s = ParseScript("wait-until backup-ended 2\n", form());
  ScriptRunner runner = Runner(s.commands);
  direct.backup.outcome = 1;
  EXPECT_EQ(runner.Continue().kind, Kind::Wait);
  nowMs += 2000;
  const ScriptRunner::Outcome o = runner.Continue();
  EXPECT_EQ(o.kind, Kind::Error);
  EXPECT_EQ(o.error.message, "wait-until backup-ended: not within 2 s");
}

TEST_F(ScriptTest, WaitUntilTextParsesTheQuotedTextAndItsTimeOut) {
  ParsedScript s = ParseScript(
      "wait-until text \"OS update completed.\" 150\n"
      "wait-until text   \"  Live  CH1\"\n"
      "wait-until text \"Setup Successful.\"\t2.5\r\n",
      form());
  ASSERT_FALSE(s.error) << s.error->message;
  ASSERT_EQ(s.commands.size(), 3u);
  EXPECT_EQ(s.commands[0].op, Op::WaitUntil);
  EXPECT_EQ(s.commands[0].condition, ScriptCommand::Condition::Text);
  EXPECT_EQ(s.commands[0].text, "OS update completed.");
  EXPECT_EQ(s.commands[0].seconds, 150);
  EXPECT_EQ(s.commands[1].text, "  Live  CH1");  // blanks inside the quotes are kept
  EXPECT_EQ(s.commands[1].seconds, ScriptCommand::kDefaultWaitUntilSeconds);
  EXPECT_EQ(s.commands[2].text, "Setup Successful.");
  EXPECT_EQ(s.commands[2].seconds, 2.5);
}

// The text may turn up in a label's caption, an edit's text, a hidden
// component or a message box; each wait polls until it does, and nothing
// after it runs before.
TEST_F(ScriptTest, WaitUntilTextHoldsOnceTheFormOrAMessageBoxShowsIt) {
  struct Case {
    const char* name;
    std::function<void(TTevranoX&, QtHostServices&)> show;
  };
  const Case cases[] = {
      {"label caption",
       [](TTevranoX& f, QtHostServices&) { f.Label_time.caption = "x OS update completed. y"; }},
      {"edit text",
       [](TTevranoX& f, QtHostServices&) { f.LabeledEdit_System1.text = "OS update completed."; }},
      {"hidden component",
       [](TTevranoX& f, QtHostServices&) {
         f.Label1.visible = false;
         f.Label1.caption = "OS update completed.";
       }},
      {"message box text",
       [](TTevranoX&, QtHostServices& h) { h.MessageBox("OS update completed.", "Update", 0); }},
      {"message box caption",
       [](TTevranoX&, QtHostServices& h) { h.MessageBox("Reboot", "OS update completed.", 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::FakePlatform platform;
    TevranoX fresh(platform.platform());
    fresh.ActiveFormCreate();
    DirectControl control(fresh);
    QtHostServices host(true);
    int clicks = 0;
    fresh.Form().Image1.onClick = [&] { ++clicks; };
    ParsedScript s =
        ParseScript("wait-until text \"OS update completed.\" 5\nclick Image1\n", fresh.Form());
    ASSERT_FALSE(s.error) << s.error->message;
    ScriptRunner runner(
        control, s.commands, [this] { return nowMs; }, &host);
    for (int poll = 0; poll < 3; ++poll) {
      ScriptRunner::Outcome o = runner.Continue();
      EXPECT_EQ(o.kind, Kind::Wait);
      EXPECT_EQ(o.waitMs, ScriptRunner::kWaitUntilPollMs);
      nowMs += 1000;
    }
    EXPECT_EQ(clicks, 0);
    c.show(fresh.Form(), host);
    EXPECT_EQ(runner.Continue().kind, Kind::Finished);
    EXPECT_EQ(clicks, 1);
  }
}

TEST_F(ScriptTest, WaitUntilTextThatNeverShowsFailsWithItsTextAndLine) {
  form().Label_time.caption = "OS update";  // a part of the text is not enough
  ParsedScript s =
      ParseScript("# first\nwait-until text \"OS update completed.\" 2\nquit\n", form());
  ASSERT_FALSE(s.error);
  ScriptRunner runner = Runner(s.commands);  // no message boxes: the form alone is searched
  EXPECT_EQ(runner.Continue().kind, Kind::Wait);
  nowMs += 2000;
  ScriptRunner::Outcome o = runner.Continue();
  EXPECT_EQ(o.kind, Kind::Error);
  EXPECT_EQ(o.error.line, 2);
  EXPECT_EQ(o.error.message, "wait-until text \"OS update completed.\": not within 2 s");
  EXPECT_TRUE(runner.Done());
}

}  // namespace
}  // namespace tevrano::host
