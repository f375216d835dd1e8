#include "host/FormDump.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

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
        QByteArray::fromStdString(FormDumpJson(control.Form(), status)), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    return doc.object();
  }

  platform::FakePlatform fakes;
  TevranoX control;
  TevranoScriptingView status{};
};

TEST_F(FormDumpTest, HasEveryComponentUnderItsNameWithItsFields) {
  QJsonObject dump = Dump();
  EXPECT_EQ(dump.keys(),
            (QStringList{"components", "control", "interface", "messages", "playback"}));
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
  QJsonObject dump = Dump();
  QJsonObject components = dump["components"].toObject();
  EXPECT_EQ(components["LabeledEdit_System1"].toObject()["text"].toString(), "say \"hi\"\\\n\x01");
  EXPECT_EQ(components["PageControl1"].toObject()["item_index"].toInt(), 4);
  QJsonObject c = dump["control"].toObject();
  EXPECT_EQ(c.keys(), (QStringList{"audio_lag_last_ms", "audio_lag_max_ms", "audio_lag_mean_ms",
                                   "audio_lag_samples", "layout", "logged_in", "login_state",
                                   "page", "session_id", "view_mode"}));
  EXPECT_EQ(c["logged_in"].toInt(), 1);
  EXPECT_EQ(c["session_id"].toDouble(), 1733820000.0);
  EXPECT_EQ(c["login_state"].toInt(), 4);
  EXPECT_EQ(c["view_mode"].toInt(), 1);
  EXPECT_EQ(c["page"].toInt(), 2);
  EXPECT_EQ(c["layout"].toInt(), 9);
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

// Texts in the recorder's code page (the UPnP help's Big5 quotation marks)
// keep the dump valid JSON: bytes that start no whole UTF-8 sequence are
// written as the character of their value; UTF-8 passes through.
TEST(FormDumpText, EveryTextIsWrittenAsValidJson) {
  struct Case {
    const char* what;
    std::string text;
    std::string json;
  } cases[] = {
      {"ASCII and escapes", "a\"b\\\n\x01", "\"a\\\"b\\\\\\n\\u0001\""},
      {"UTF-8", "\xC3\xA9\xE2\x80\x9C\xF0\x9F\x98\x80", "\"\xC3\xA9\xE2\x80\x9C\xF0\x9F\x98\x80\""},
      {"Big5 quotes",
       "\xA1\xA7"
       "Enable\xA1\xA8",
       "\"\\u00a1\\u00a7Enable\\u00a1\\u00a8\""},
      {"cut sequence", "x\xE2\x80", "\"x\\u00e2\\u0080\""},
      {"overlong", "\xC0\xAF", "\"\\u00c0\\u00af\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JsonString(c.text), c.json) << c.what;
    QJsonParseError error;
    QJsonDocument::fromJson(QByteArray::fromStdString("[" + JsonString(c.text) + "]"), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << c.what;
  }
}

}  // namespace
}  // namespace tevrano::host
