#include "host/ControlHost.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

#include "base/Properties.h"
#include "host/ControlCall.h"
#include "host/QtPlatform.h"
#include "host/ScrambleText.h"

namespace tevrano::host {
namespace {

std::string Text(ControlHost& host, int dispid) {
  uint16_t vt = 0;
  int32_t value = 0;
  char text[128] = {};
  EXPECT_EQ(TevranoX_GetProperty(host.Handle(), dispid, &vt, &value, text, sizeof text), 0);
  return text;
}
uint64_t Runs(ControlHost& host) {
  return host.ScriptingView().mainLoopRuns;
}

void RunEventLoop(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The library allows one control per process, so one test holds all the
// cases that need the real entry points.
TEST(ControlHost, CreatesThroughTheLibraryPutsPropertiesAndRunsTimer1) {
  static QtPlatform platform(true, "");
  ControlHost host(platform.platform);
  ASSERT_TRUE(host.Created());
  EXPECT_EQ(host.Form().Label_time.caption, "Connecting ...");
  // The build's data folder holds the skins and pictures.
  const TevranoScriptingView view = host.ScriptingView();
  EXPECT_EQ(view.keyPanelSkinLoaded, 1);
  EXPECT_EQ(view.backgroundPictureLoaded, 1);
  EXPECT_FALSE(host.MissingData()) << *host.MissingData();
  EXPECT_EQ(view.loggedIn, 0);
  EXPECT_EQ(view.picturesShown, 0u);

  // Without --dvr-ip nothing is put.
  ViewerOptions none;
  EXPECT_TRUE(host.PutProperties(none, 0x6B1A2FD3));
  EXPECT_EQ(Text(host, kDispidDvrIp), "");

  // With it, all four, the token built from the credentials and the time.
  ViewerOptions o;
  o.dvrIp = "127.0.0.2";
  o.port = 8000;
  o.user = "1234";
  o.password = "5678";
  o.httpPage = 3;
  EXPECT_TRUE(host.PutProperties(o, 0x6B1A2FD3));
  EXPECT_EQ(Text(host, kDispidDvrIp), "127.0.0.2");
  EXPECT_EQ(Text(host, kDispidHttpPort), "8000");
  EXPECT_EQ(Text(host, kDispidDvrUk), ScrambleText("1234", "5678", 0x6B1A2FD3));
  EXPECT_EQ(Text(host, kDispidHttpPage), "3");

  // A ready token goes in as it is.
  o.user.reset();
  o.password.reset();
  o.token = "5F00AA11.123.4567";
  EXPECT_TRUE(host.PutProperties(o, 0));
  EXPECT_EQ(Text(host, kDispidDvrUk), "5F00AA11.123.4567");

  // Timer1 runs while enabled, after every run.
  int afterRuns = 0;
  host.Start([&] { ++afterRuns; });
  RunEventLoop(200);
  const uint64_t runs = Runs(host);
  EXPECT_GT(runs, 0u);
  EXPECT_GT(afterRuns, 0);

  // Not while the UI thread is inside the control (a modal dialog's loop).
  {
    ControlCall busy;
    RunEventLoop(100);
    EXPECT_EQ(Runs(host), runs);
  }
  RunEventLoop(100);
  EXPECT_GT(Runs(host), runs);

  // Not while Timer1 is disabled; again once it is enabled.
  host.Form().Timer1.SetEnabled(false);
  const uint64_t stopped = Runs(host);
  RunEventLoop(100);
  EXPECT_EQ(Runs(host), stopped);
  host.Form().Timer1.SetEnabled(true);
  RunEventLoop(100);
  EXPECT_GT(Runs(host), stopped);

  // Destroyed with the host: the timer stops and the library may be unloaded.
  EXPECT_EQ(DllCanUnloadNow(), 1);
  host.Destroy();
  EXPECT_FALSE(host.Created());
  EXPECT_EQ(DllCanUnloadNow(), 0);
  RunEventLoop(50);  // a pending tick finds no control and does nothing
  host.Destroy();    // twice is harmless
}

TEST(ControlHost, MissingDataIsNamedWithTheFolder) {
  struct Case {
    int skin, picture;
    const char* expected;
  };
  const Case cases[] = {
      {1, 1, ""},
      {0, 1, "no key panel skin in /d (set TEVRANO_DATA_DIR or build tevrano_skins)"},
      {1, 0, "no pictures in /d (set TEVRANO_DATA_DIR or build tevrano_skins)"},
      {0, 0,
       "no key panel skin and no pictures in /d (set TEVRANO_DATA_DIR or build tevrano_skins)"},
  };
  for (const Case& c : cases) {
    TevranoScriptingView view{};
    view.keyPanelSkinLoaded = c.skin;
    view.backgroundPictureLoaded = c.picture;
    std::snprintf(view.dataFolder, sizeof view.dataFolder, "/d");
    EXPECT_EQ(MissingDataMessage(view), c.expected) << c.skin << c.picture;
  }
}

}  // namespace
}  // namespace tevrano::host
