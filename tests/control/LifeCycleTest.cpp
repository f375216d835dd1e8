// The library's life cycle: create, run, destroy. Under the sanitizer build
// this test also runs on its own with leak detection (LifeCycleLeaksNothing).
#include <gtest/gtest.h>

#include "base/Properties.h"
#include "control/TevranoApi.h"
#include "platform/fake/FakePlatform.h"

namespace tevrano {
namespace {

void Put(TevranoXHandle* control, int dispid, const char* text) {
  TevranoVariantIn v{8, 0, text};
  ASSERT_EQ(TevranoX_PutProperty(control, dispid, &v), 0);
}

TEST(LifeCycle, DestroyStopsEverythingTheControlStartedAndAllowsUnload) {
  platform::FakePlatform fakes;
  platform::Platform p = fakes.platform();
  TevranoXHandle* control = TevranoX_Create(&p);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(DllCanUnloadNow(), 1);  // S_FALSE while a control lives

  Put(control, kDispidDvrIp, "127.0.0.2");
  Put(control, kDispidHttpPort, "80");
  Put(control, kDispidDvrUk, "5F00AA11.123.4567");
  Put(control, kDispidHttpPage, "0");
  // Runs of the main loop until the control asks for a connection; the peer
  // accepts it, so a socket is open and has sent its Hello.
  for (int run = 0; run < 300; ++run) {
    fakes.clock.AdvanceMs(10);
    if (TevranoX_TimerEnabled(control)) TevranoX_Timer(control);
    for (platform::FakeClientSocket* s : fakes.network.Sockets())
      if (s->Active() && !s->Connected() && s->ConnectAttempts() == 1)
        fakes.network.AcceptConnect(*s);
    fakes.network.Pump();
  }
  int connected = 0;
  for (platform::FakeClientSocket* s : fakes.network.Sockets()) connected += s->Connected();
  ASSERT_GE(connected, 1);
  ASSERT_GT(fakes.network.LiveSockets(), 0);

  TevranoX_Destroy(control);
  EXPECT_EQ(fakes.network.LiveSockets(), 0);
  EXPECT_EQ(fakes.network.PendingEvents(), 0u);
  EXPECT_EQ(DllCanUnloadNow(), 0);  // S_OK after the last destroy
  TevranoX_Destroy(nullptr);        // ignored
}

}  // namespace
}  // namespace tevrano
