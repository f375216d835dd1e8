#include "host/FormDump.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <cstring>

#include "control/TevranoImpl1.h"
#include "host/FormRenderer.h"
#include "platform/fake/FakePlatform.h"

namespace tevrano::host {
namespace {

class FormDumpTest : public ::testing::Test {
 protected:
  FormDumpTest() : control(fakes.platform()) { control.ActiveFormCreate(); }
  QJsonObject Dump() {
    QJsonParseError error;
    QJsonDocument doc = QJsonDocument::fromJson(
        QByteArray::fromStdString(FormDumpJson(control.Form(), state)), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    return doc.object();
  }

  platform::FakePlatform fakes;
  TevranoX control;
  DumpState state;
  TevranoScriptingView& status = state.view;
};

TEST_F(FormDumpTest, HasEveryComponentUnderItsNameWithItsFields) {
  QJsonObject dump = Dump();
  EXPECT_EQ(dump.keys(), (QStringList{"backup", "components", "control", "events", "interface",
                                      "messages", "playback", "speed_dome"}));
  QJsonObject components = dump["components"].toObject();
  EXPECT_EQ(components.size(), static_cast<qsizetype>(control.Form().Components().size()));
  for (const Component* c : control.Form().Components()) {
    QJsonObject o = components[QString::fromStdString(c->name)].toObject();
    const QString content = HoldsText(*c) ? "text" : "caption";
    QStringList keys{"kind", content, "visible", "enabled", "item_index",
                     "left", "top",   "width",   "height"};
    keys.sort();
    EXPECT_EQ(o.keys(), keys) << c->name;
    EXPECT_EQ(o["kind"].toString().toStdString(), KindName(c->kind));
    EXPECT_EQ(o["left"].toInt(), c->left);
    EXPECT_EQ(o["height"].toInt(), c->height);
    EXPECT_EQ(o["visible"].toBool(), c->visible);
  }
  EXPECT_EQ(components["Label_time"].toObject()["caption"].toString(), "Connecting ...");
  EXPECT_EQ(components["Label_Version"].toObject()["caption"].toString(), "Ver.030330");
  EXPECT_TRUE(components.contains("Image5"));
  EXPECT_TRUE(components.contains("TabSheet8"));
}

TEST_F(FormDumpTest, CarriesTextsAndTheControlsState) {
  control.Form().LabeledEdit_System1.SetText("say \"hi\"\\\n\x01");
  control.Form().PageControl1.SetActivePageIndex(4);
  status.loggedIn = 1;
  status.sessionId = 1733820000u;
  status.loginState = 4;
  status.viewMode = 1;
  status.page = 2;
  status.layout = 9;
  std::snprintf(status.videoState, sizeof status.videoState, "no video");
  status.secondsWithoutPicture = 7;
  status.picturesShown = 5000000000ull;  // beyond 32 bits after days of 16 channels
  QJsonObject dump = Dump();
  QJsonObject components = dump["components"].toObject();
  EXPECT_EQ(components["LabeledEdit_System1"].toObject()["text"].toString(), "say \"hi\"\\\n\x01");
  EXPECT_EQ(components["PageControl1"].toObject()["item_index"].toInt(), 4);
  QJsonObject c = dump["control"].toObject();
  EXPECT_EQ(c.keys(), (QStringList{"audio_lag_last_ms", "audio_lag_max_ms", "audio_lag_mean_ms",
                                   "audio_lag_samples", "layout", "logged_in", "login_state",
                                   "page", "pictures_shown", "seconds_without_picture",
                                   "session_id", "video_state", "view_mode"}));
  EXPECT_EQ(c["logged_in"].toInt(), 1);
  EXPECT_EQ(c["session_id"].toDouble(), 1733820000.0);
  EXPECT_EQ(c["login_state"].toInt(), 4);
  EXPECT_EQ(c["view_mode"].toInt(), 1);
  EXPECT_EQ(c["page"].toInt(), 2);
  EXPECT_EQ(c["layout"].toInt(), 9);
  EXPECT_EQ(c["video_state"].toString(), "no video");
  EXPECT_EQ(c["seconds_without_picture"].toInt(), 7);
  EXPECT_EQ(c["pictures_shown"].toDouble(), 5000000000.0);
}

TEST_F(FormDumpTest, TabContentsShowOnlyOnTheActivePageOfAVisiblePageControl) {
  TTevranoX& form = control.Form();
  Component& edit = form.LabeledEdit_System1;  // on the "System" tab
  EXPECT_FALSE(FormRenderer::Showing(edit));   // the page control starts hidden
  form.PageControl1.SetVisible(true);
  EXPECT_TRUE(FormRenderer::Showing(edit));
  form.PageControl1.SetActivePageIndex(1);
  EXPECT_FALSE(FormRenderer::Showing(edit));
  EXPECT_TRUE(FormRenderer::Showing(*form.Tab(1)));
  EXPECT_EQ(FormRenderer::FormRect(edit), QRect(34 + 4 + 120, 43 + 24 + 40, 160, 21));
}

TEST_F(FormDumpTest, EventsAndThePadWindowAreListed) {
  state.events = {{0, 3, "Alarm"}, {86400 + 3661, 16, "Vloss"}};
  status.speedDomeOpen = 1;
  status.speedDomeLeft = 40;
  status.speedDomeTop = -20;
  QJsonObject dump = Dump();
  const QJsonArray events = dump["events"].toArray();
  ASSERT_EQ(events.size(), 2);
  EXPECT_EQ(events[0].toObject()["channel"].toInt(), 3);
  EXPECT_EQ(events[0].toObject()["kind"].toString(), "Alarm");
  EXPECT_EQ(events[1].toObject()["time"].toString(), "2000-01-02 01:01:01");
  const QJsonObject pad = dump["speed_dome"].toObject();
  EXPECT_TRUE(pad["open"].toBool());
  EXPECT_EQ(pad["left"].toInt(), 40);
  EXPECT_EQ(pad["top"].toInt(), -20);
  state.events.clear();
  EXPECT_TRUE(Dump()["events"].toArray().isEmpty());
}

TEST_F(FormDumpTest, BackupReportsItsOutcomeProgressAndLastFile) {
  struct Case {
    int32_t outcome;
    const char* says;
  };
  const Case cases[] = {
      {0, "none"}, {1, "running"}, {2, "complete"}, {3, "incomplete"}, {7, "none"}};
  for (const Case& c : cases) {
    state.backup = {};
    state.backup.outcome = c.outcome;
    state.backup.percent = 42;
    state.backup.partsWritten = 2;
    std::snprintf(state.backup.fileName, sizeof state.backup.fileName, "/home/u/m(1).mov");
    const QJsonObject backup = Dump()["backup"].toObject();
    EXPECT_EQ(backup["outcome"].toString(), c.says) << c.outcome;
    EXPECT_EQ(backup["percent"].toInt(), 42);
    EXPECT_EQ(backup["parts_written"].toInt(), 2);
    EXPECT_EQ(backup["file"].toString(), "/home/u/m(1).mov");
  }
  // A file name that fills the whole field is cut, not read past.
  std::memset(state.backup.fileName, 'a', sizeof state.backup.fileName);
  EXPECT_EQ(Dump()["backup"].toObject()["file"].toString().size(),
            qsizetype(sizeof state.backup.fileName));
}

// Password edits are drawn masked, one mask character per character typed.
TEST(FormRendererTest, PasswordEditsShowTheirMaskCharacter) {
  struct Case {
    char mask;
    std::string text, shown;
  };
  const Case cases[] = {{'*', "secret", "******"},
                        {'*', "", ""},
                        {'*', "\xC3\xA9t\xC3\xA9", "***"},
                        {0, "plain text", "plain text"}};
  for (const Case& c : cases) {
    Component edit("LabeledEdit_x", ComponentKind::LabeledEdit, 0, 0, 100, 20);
    edit.passwordChar = c.mask;
    edit.text = c.text;
    EXPECT_EQ(FormRenderer::ShownText(edit), c.shown) << c.text;
  }
}

}  // namespace
}  // namespace tevrano::host
