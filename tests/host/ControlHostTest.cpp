#include "host/ControlHost.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "host/ControlCall.h"
#include "host/QtPlatform.h"
#include "host/ScrambleText.h"

namespace tevrano::host {
namespace {

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

  // Without --dvr-ip nothing is put.
  ViewerOptions none;
  EXPECT_TRUE(host.PutProperties(none, 0x6B1A2FD3));
  EXPECT_EQ(host.Control().Properties().PutCount(), 0);

  // With it, all four, the token built from the credentials and the time.
  ViewerOptions o;
  o.dvrIp = "127.0.0.2";
  o.port = 8000;
  o.user = "1234";
  o.password = "5678";
  o.httpPage = 3;
  EXPECT_TRUE(host.PutProperties(o, 0x6B1A2FD3));
  const ControlProperties& p = host.Control().Properties();
  EXPECT_EQ(p.PutCount(), 4);
  EXPECT_EQ(p.DvrIp(), "127.0.0.2");
  EXPECT_EQ(p.HttpPortText(), "8000");
  EXPECT_EQ(p.DvrUk(), ScrambleText("1234", "5678", 0x6B1A2FD3));
  EXPECT_EQ(p.HttpPage(), 3);

  // A ready token goes in as it is.
  o.user.reset();
  o.password.reset();
  o.token = "5F00AA11.123.4567";
  EXPECT_TRUE(host.PutProperties(o, 0));
  EXPECT_EQ(host.Control().Properties().DvrUk(), "5F00AA11.123.4567");

  // Timer1 runs while enabled, after every run.
  int afterRuns = 0;
  host.Start([&] { ++afterRuns; });
  RunEventLoop(200);
  const uint64_t runs = host.Control().MainLoop().runs;
  EXPECT_GT(runs, 0u);
  EXPECT_GT(afterRuns, 0);

  // Not while the UI thread is inside the control (a modal dialog's loop).
  {
    ControlCall busy;
    RunEventLoop(100);
    EXPECT_EQ(host.Control().MainLoop().runs, runs);
  }
  RunEventLoop(100);
  EXPECT_GT(host.Control().MainLoop().runs, runs);

  // Not while Timer1 is disabled; again once it is enabled.
  host.Form().Timer1.SetEnabled(false);
  const uint64_t stopped = host.Control().MainLoop().runs;
  RunEventLoop(100);
  EXPECT_EQ(host.Control().MainLoop().runs, stopped);
  host.Form().Timer1.SetEnabled(true);
  RunEventLoop(100);
  EXPECT_GT(host.Control().MainLoop().runs, stopped);
}

}  // namespace
}  // namespace tevrano::host
