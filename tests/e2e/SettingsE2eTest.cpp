// The settings tabs end to end: a headless viewer enters Setup, changes
// every page through its widgets and applies it; the simulator logs each
// page it receives, byte for byte; a second viewer logged in to the same
// recorder receives the new pages (the recorder forwards each set).
#include <gtest/gtest.h>

#include <QFile>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>

#include "tests/e2e/E2eHarness.h"

namespace tevrano::e2e {
namespace {

using std::chrono::seconds;

QJsonObject ReadJson(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(f.readAll()).object();
}

// Polls a dump the viewer rewrites every second until `done` holds for it.
std::optional<QJsonObject> WaitForDump(const std::string& path,
                                       const std::function<bool(const QJsonObject&)>& done,
                                       seconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  do {
    const QJsonObject dump = ReadJson(path);
    if (!dump.isEmpty() && done(dump)) return dump;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  } while (std::chrono::steady_clock::now() < end);
  return std::nullopt;
}

// A page's bytes as the simulator logs them (lower-case hex).
struct PageBytes {
  explicit PageBytes(size_t size) : bytes(size, 0) {}
  PageBytes& Le16(size_t at, uint16_t v) {
    bytes[at] = uint8_t(v), bytes[at + 1] = uint8_t(v >> 8);
    return *this;
  }
  PageBytes& Le32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(v >> (8 * i));
    return *this;
  }
  PageBytes& Text(size_t at, const std::string& s) {
    std::memcpy(&bytes[at], s.data(), s.size());
    return *this;
  }
  // Texts one after the other from `at`, each followed by a zero byte.
  PageBytes& Texts(size_t at, const std::vector<std::string>& texts) {
    for (const std::string& t : texts) {
      Text(at, t);
      at += t.size() + 1;
    }
    return *this;
  }
  uint32_t Sum() const {
    uint32_t s = 0;
    for (uint8_t b : bytes) s += b;
    return s;
  }
  QString Hex() const {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).toHex());
  }
  std::vector<uint8_t> bytes;
};

bool PageSet(const QJsonObject& l, int mask) {
  return l.value("event").toString() == "module" && l.value("tag").toString() == "ICMD" &&
         l.value("op").toInt() == 2 && l.value("type").toInt() == 4096 &&
         l.value("page").toInt() == mask;
}

bool UpnpWrite(const QJsonObject& l, uint32_t value) {
  return l.value("event").toString() == "module" &&
         l.value("name").toString() == "Zell_Upnp_C_Data_W" &&
         uint32_t(l.value("value").toInteger()) == value;
}

int SuccessCount(const QJsonObject& dump) {
  int n = 0;
  for (const QJsonValue& m : dump.value("messages").toArray()) {
    const QJsonObject o = m.toObject();
    if (o.value("text").toString() == "Setup Successful." &&
        o.value("caption").toString() == "Setup Information")
      ++n;
  }
  return n;
}

QString Text(const QJsonObject& dump, const char* name) {
  return ComponentOf(dump, name).value("text").toString();
}
int Item(const QJsonObject& dump, const char* name) {
  return ComponentOf(dump, name).value("item_index").toInt();
}

// What the user types; the PPPoE user name is longer than its edit box
// takes (31 characters), so only its first 31 characters go out.
const std::string kPppoeUserTyped = "dialup.user.of.the.recorder.at.home.example";
const std::string kPppoeUser = kPppoeUserTyped.substr(0, 31);
const std::string kPppoePassword = "line secret";
const std::string kDdnsUser = "guest1", kDdnsPassword = "ddns-pass",
                  kDdnsHost = "frontgate.example.no-ip.net";
const std::vector<std::string> kMailTexts = {"smtp.example.net",
                                             "587",
                                             "mailer",
                                             "mail-pass",
                                             "dvr@example.net",
                                             "guard@example.net",
                                             "office@example.net",
                                             "night@example.net",
                                             "Alarm at the gate",
                                             "Gate 2"};

constexpr int kApplies = 6;  // Bitrate, PPPoE, DDNS, Mail, Test Mail, UPnP

TEST(SettingsE2e, EveryPageAppliedThroughTheWidgetsReachesTheRecorderAndTheOtherViewer) {
  const std::string out = TestOutputDir();  // made empty first: the simulator logs there too
  Simulator sim;
  // A model text without "[N] 6" keeps the PPPoE and Update tabs.
  ASSERT_TRUE(sim.Start({"--model", "7104"})) << sim.Output();

  // The second viewer: logged in, it dumps its form every second until the
  // test has seen the forwarded pages in it.
  const std::string otherScript = out + "/other.txt";
  {
    std::ofstream f(otherScript);
    f << "wait-until logged-in\n";
    for (int i = 0; i < 170; ++i) f << "wait 1\ndump " << out << "/other_now.json\n";
    f << "quit\n";
  }
  Viewer other;
  QStringList otherArgs = RecorderArgs(sim);
  otherArgs << "--script" << QString::fromStdString(otherScript) << "--run-for"
            << "200";
  ASSERT_TRUE(other.Start(otherArgs, "other"));
  ASSERT_TRUE(sim.WaitForLog(
      [](const QJsonObject& l) { return l.value("event").toString() == "login"; }, seconds(60)))
      << sim.Output();

  // The user: enters Setup, then changes and applies every page. The waits
  // between steps let the event loop run (the page's answer arrives); the
  // bytes checked below show that each page went out as the widgets said.
  const std::string script = out + "/settings.txt";
  {
    std::ofstream f(script);
    auto snap = [&](const char* name) {
      f << "snapshot " << out << "/" << name << ".png PageControl1\n";
    };
    // The key panel takes the Setup click once the recorder streams.
    f << "wait-until logged-in\n"
         "wait-until picture\n"
         "click-target TevranoKeyForm IE_Page2#SD 4\n"
         "wait 1\n";
    snap("tab0_system");
    // Bitrate: "512 Kbps".
    f << "tab 1\nwait 2\nselect ComboBox_bitrate 5\nclick Button_Bitrate\nwait 2\n";
    snap("tab1_bitrate");
    // PPPoE: on, a user name longer than the box takes, a password.
    f << "tab 2\nwait 2\nselect ComboBox_pppoe1 1\n"
      << "set-text LabeledEdit_pppoe2 " << kPppoeUserTyped << "\n"
      << "set-text LabeledEdit_pppoe3 " << kPppoePassword << "\n"
      << "click Button_PPPoE\nwait 2\n";
    snap("tab2_pppoe");
    // DDNS: No-IP (the list reads Disable, DynDNS, No-IP).
    f << "tab 3\nwait 2\nselect ComboBox_ddns1 2\n"
      << "set-text LabeledEdit_ddns2 " << kDdnsUser << "\n"
      << "set-text LabeledEdit_ddns3 " << kDdnsPassword << "\n"
      << "set-text LabeledEdit_ddns4 " << kDdnsHost << "\n"
      << "click Button_DDNS\nwait 2\n";
    snap("tab3_ddns");
    // Mail: on, every field, the secure-password tick, interval 15; then a
    // test mail.
    const char* mailEdits[10] = {"LabeledEdit_smtp1", "LabeledEdit_smtp10", "LabeledEdit_smtp2",
                                 "LabeledEdit_smtp3", "LabeledEdit_smtp4",  "LabeledEdit_smtp5",
                                 "LabeledEdit_smtp6", "LabeledEdit_smtp7",  "LabeledEdit_smtp8",
                                 "LabeledEdit_smtp9"};
    f << "tab 4\nwait 2\nselect ComboBox_smtp1 1\n";
    for (int i = 0; i < 10; ++i)
      f << "set-text " << mailEdits[i] << " " << kMailTexts[size_t(i)] << "\n";
    f << "click CheckBox_SMTP\nselect ComboBox_smtp2 15\nclick Button_SMTP\nwait 2\n";
    snap("tab4_mail");
    f << "click Button_SMTP3\nwait 2\n";
    f << "tab 5\nwait 1\n";
    snap("tab5_title");
    // UPnP: on, port 8080.
    f << "tab 6\nwait 2\nselect ComboBox_upnp 1\nset-text LabeledEdit_upnp 8080\n"
         "click Button_UPNP\nwait 2\n";
    snap("tab6_upnp");
    f << "tab 7\nwait 1\n";
    snap("tab7_update");
    // Back on UPnP: the query carries the setting shown.
    f << "tab 6\n";
    for (int i = 0; i < 120; ++i) f << "wait 1\ndump " << out << "/now.json\n";
    f << "quit\n";
  }
  Viewer user;
  QStringList args = RecorderArgs(sim);
  args << "--script" << QString::fromStdString(script) << "--run-for"
       << "200";
  ASSERT_TRUE(user.Start(args, "user"));

  // The user's viewer: every apply confirmed, the controls usable again.
  const auto done = WaitForDump(
      out + "/now.json", [](const QJsonObject& d) { return SuccessCount(d) >= kApplies; },
      seconds(150));
  user.Terminate();
  const ViewerResult r = user.Finish();
  ASSERT_TRUE(done.has_value()) << r.output << sim.Output();
  const QJsonObject& dump = *done;
  EXPECT_EQ(SuccessCount(dump), kApplies);
  for (const QJsonValue& m : dump.value("messages").toArray())
    EXPECT_EQ(m.toObject().value("text").toString(), "Setup Successful.")
        << QJsonDocument(m.toObject()).toJson().toStdString();
  for (const char* name :
       {"ComboBox_bitrate", "Button_Bitrate", "ComboBox_pppoe1", "LabeledEdit_pppoe2",
        "Button_PPPoE", "ComboBox_ddns1", "LabeledEdit_ddns4", "Button_DDNS", "ComboBox_smtp1",
        "LabeledEdit_smtp1", "LabeledEdit_smtp9", "ComboBox_smtp2", "Button_SMTP", "Button_SMTP3",
        "ComboBox_upnp", "Button_UPNP"})
    EXPECT_TRUE(ComponentOf(dump, name).value("enabled").toBool()) << name;
  // Setup mode, with the PPPoE and Update tabs (sheets 3 and 8) of this model.
  EXPECT_EQ(ControlOf(dump).value("view_mode").toInt(), 3);
  EXPECT_TRUE(ComponentOf(dump, "PageControl1").value("visible").toBool());
  EXPECT_EQ(ComponentOf(dump, "PageControl1").value("item_index").toInt(), 6);
  EXPECT_TRUE(ComponentOf(dump, "TabSheet3").value("visible").toBool());
  EXPECT_TRUE(ComponentOf(dump, "TabSheet8").value("visible").toBool());

  // The recorder received each page byte for byte (the last message, the
  // UPnP query sent on the last tab change, is in its log too).
  EXPECT_TRUE(
      sim.WaitForLog([](const QJsonObject& l) { return UpnpWrite(l, 0xC0001F90u); }, seconds(30)));
  const auto log = sim.Log();
  auto lastSet = [&](int mask) -> QJsonObject {
    QJsonObject found;
    for (const QJsonObject& l : log)
      if (PageSet(l, mask) && !l.contains("ignored")) found = l;
    return found;
  };
  auto expectPage = [&](const QJsonObject& l, int mask, const PageBytes& page) {
    SCOPED_TRACE(mask);
    ASSERT_FALSE(l.isEmpty()) << "no set of page " << mask;
    EXPECT_EQ(l.value("page_length").toInt(), 72 + int(page.bytes.size()));
    EXPECT_EQ(uint32_t(l.value("page_sum").toInteger()), page.Sum());
    EXPECT_EQ(l.value("bytes").toString(), page.Hex());
  };
  expectPage(lastSet(1), 1, PageBytes(4).Le32(0, 5));
  expectPage(lastSet(2), 2, PageBytes(68).Le16(0, 1).Text(4, kPppoeUser).Text(36, kPppoePassword));
  expectPage(
      lastSet(4), 4,
      PageBytes(116).Le16(2, 3).Text(4, kDdnsUser).Text(36, kDdnsPassword).Text(68, kDdnsHost));
  // Mail page 1: marker 20, kind, the twelve texts, the test-mail counter.
  std::vector<std::string> texts = {"1"};
  texts.insert(texts.end(), kMailTexts.begin(), kMailTexts.begin() + 4);
  texts.push_back("1");  // the secure-password tick
  texts.insert(texts.end(), kMailTexts.begin() + 4, kMailTexts.end());
  std::vector<QJsonObject> mail1;
  for (const QJsonObject& l : log)
    if (PageSet(l, 8)) mail1.push_back(l);
  ASSERT_EQ(mail1.size(), 2u);
  PageBytes settings(256);
  settings.bytes[0] = 20, settings.bytes[1] = 9;
  settings.Texts(2, texts);
  expectPage(mail1[0], 8, settings);
  PageBytes testMail = settings;
  testMail.bytes[1] = 16, testMail.bytes[254] = 1;
  expectPage(mail1[1], 8, testMail);
  expectPage(lastSet(16), 16, PageBytes(256).Le16(0, 15));

  // UPnP on port 8080 applied, then asked for with the setting shown.
  bool applied = false, queried = false;
  for (const QJsonObject& l : log) {
    applied = applied || UpnpWrite(l, 0x60001F90u);
    queried = queried || (applied && UpnpWrite(l, 0xC0001F90u));
  }
  EXPECT_TRUE(applied);
  EXPECT_TRUE(queried);

  // Each set went back to both viewers: the sender's echo and the other's copy.
  std::set<int> sessions;
  for (int mask : {1, 2, 4, 8, 16}) {
    const QJsonArray to = lastSet(mask).value("echoed_to").toArray();
    EXPECT_EQ(to.size(), 2) << "page " << mask;
    for (const QJsonValue& v : to) sessions.insert(v.toInt());
  }
  EXPECT_EQ(sessions.size(), 2u);

  // The other viewer shows the new pages without having asked for them.
  const auto forwarded = WaitForDump(
      out + "/other_now.json",
      [&](const QJsonObject& d) {
        return Item(d, "ComboBox_bitrate") == 5 &&
               Text(d, "LabeledEdit_ddns4") == QString::fromStdString(kDdnsHost) &&
               Item(d, "ComboBox_smtp2") == 15 &&
               Text(d, "LabeledEdit_smtp9") == QString::fromStdString(kMailTexts[9]);
      },
      seconds(60));
  other.Terminate();
  const ViewerResult o = other.Finish();
  ASSERT_TRUE(forwarded.has_value()) << o.output;
  const QJsonObject& seen = *forwarded;
  EXPECT_EQ(Item(seen, "ComboBox_pppoe1"), 1);
  EXPECT_EQ(Text(seen, "LabeledEdit_pppoe2"), QString::fromStdString(kPppoeUser));
  EXPECT_EQ(Text(seen, "LabeledEdit_pppoe3"), QString::fromStdString(kPppoePassword));
  EXPECT_EQ(Item(seen, "ComboBox_ddns1"), 2);
  EXPECT_EQ(Text(seen, "LabeledEdit_ddns2"), QString::fromStdString(kDdnsUser));
  EXPECT_EQ(Item(seen, "ComboBox_smtp1"), 1);
  const char* mailEdits[10] = {"LabeledEdit_smtp1", "LabeledEdit_smtp10", "LabeledEdit_smtp2",
                               "LabeledEdit_smtp3", "LabeledEdit_smtp4",  "LabeledEdit_smtp5",
                               "LabeledEdit_smtp6", "LabeledEdit_smtp7",  "LabeledEdit_smtp8",
                               "LabeledEdit_smtp9"};
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(Text(seen, mailEdits[i]), QString::fromStdString(kMailTexts[size_t(i)]))
        << mailEdits[i];
  // Forwarded pages are no answers to its own sets: no confirmation there.
  EXPECT_EQ(SuccessCount(seen), 0);
}

// A recorder of service variant 1 with a model of family 6: no PPPoE and
// no Update tab, the maker's DDNS as the only provider (code 2) and the
// "Default" mail mode, which sends mode "2" with the account fields empty.
TEST(SettingsE2e, ServiceVariantOneSendsTheMakersDdnsAndTheDefaultMailMode) {
  const std::string out = TestOutputDir();
  Simulator sim;
  ASSERT_TRUE(sim.Start({"--service-variant", "1", "--model", "6104"})) << sim.Output();
  const std::string script = out + "/variant1.txt";
  {
    std::ofstream f(script);
    // The key panel takes the Setup click once the recorder streams.
    f << "wait-until logged-in\n"
         "wait-until picture\n"
         "click-target TevranoKeyForm IE_Page2#SD 4\n"
         "wait 1\n"
         "tab 3\nwait 2\nselect ComboBox_ddns1 1\n"
         "set-text LabeledEdit_ddns2 guest1\nset-text LabeledEdit_ddns3 pass\n"
         "set-text LabeledEdit_ddns4 guest\nclick Button_DDNS\nwait 2\n"
         "tab 4\nwait 2\nselect ComboBox_smtp1 2\n"
         "set-text LabeledEdit_smtp4 dvr@example.net\n"
         "set-text LabeledEdit_smtp5 guard@example.net\nclick Button_SMTP\n";
    for (int i = 0; i < 120; ++i) f << "wait 1\ndump " << out << "/now.json\n";
    f << "quit\n";
  }
  Viewer user;
  QStringList args = RecorderArgs(sim);
  args << "--script" << QString::fromStdString(script) << "--run-for"
       << "200";
  ASSERT_TRUE(user.Start(args, "variant1"));
  const auto done = WaitForDump(
      out + "/now.json", [](const QJsonObject& d) { return SuccessCount(d) >= 2; }, seconds(150));
  user.Terminate();
  const ViewerResult r = user.Finish();
  ASSERT_TRUE(done.has_value()) << r.output << sim.Output();
  const QJsonObject& dump = *done;
  EXPECT_EQ(SuccessCount(dump), 2);
  EXPECT_EQ(ControlOf(dump).value("view_mode").toInt(), 3);
  EXPECT_FALSE(ComponentOf(dump, "TabSheet3").value("visible").toBool());  // PPPoE
  EXPECT_FALSE(ComponentOf(dump, "TabSheet8").value("visible").toBool());  // Update
  EXPECT_FALSE(ComponentOf(dump, "Label_ddns2").value("visible").toBool());
  EXPECT_EQ(Text(dump, "LabeledEdit_ddns4"), "guest");
  // Default leaves the account fields off and the addresses on.
  EXPECT_FALSE(ComponentOf(dump, "LabeledEdit_smtp1").value("enabled").toBool());
  EXPECT_TRUE(ComponentOf(dump, "LabeledEdit_smtp4").value("enabled").toBool());
  EXPECT_TRUE(ComponentOf(dump, "Button_SMTP3").value("enabled").toBool());

  QJsonObject ddns, mail;
  for (const QJsonObject& l : sim.Log()) {
    if (PageSet(l, 4)) ddns = l;
    if (PageSet(l, 8)) mail = l;
  }
  PageBytes ddnsPage(116);
  ddnsPage.Le16(2, 2).Text(4, "guest1").Text(36, "pass").Text(68, "guest");
  EXPECT_EQ(ddns.value("bytes").toString(), ddnsPage.Hex());
  PageBytes mailPage(256);
  mailPage.bytes[0] = 20, mailPage.bytes[1] = 9;
  mailPage.Texts(
      2, {"2", "", "", "", "", "0", "dvr@example.net", "guard@example.net", "", "", "", ""});
  EXPECT_EQ(mail.value("bytes").toString(), mailPage.Hex());
}

}  // namespace
}  // namespace tevrano::e2e
