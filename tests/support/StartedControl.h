#pragma once
// The control started as a host starts it (created, then ActiveFormCreate),
// on the fake platform: with the in-memory files, or with the real disk so
// that the skins and pictures the build made are loaded.
#include <cstdint>

#include "control/TevranoImpl1.h"
#include "platform/fake/FakePlatform.h"
#include "platform/posix/PosixFileSystem.h"

namespace tevrano::test {

// Started on the fake platform's in-memory files (no skins).
struct StartedControl {
  platform::FakePlatform fakes;
  TevranoX control{fakes.platform()};
  StartedControl() { control.ActiveFormCreate(); }
};

// Started on the real disk, so that the skins the build made are loaded.
struct StartedOnDisk {
  platform::PosixFileSystem disk;
  platform::FakePlatform fakes{disk};
  TevranoX control{fakes.platform()};
  TTevranoX& form = control.Form();
  ui::Ui& ui = control.OnScreen();
  StartedOnDisk() { control.ActiveFormCreate(); }

  // The recorder's system information arrives with `channels` channels.
  void LogIn(int channels) {
    uint8_t info[256] = {};
    info[0] = static_cast<uint8_t>(channels);
    for (auto& handOff : control.Net().Hooks().SystemInfoArrived)
      handOff(control.Net().Context(0), info);
  }
  // The clock moves on by `ms`, then the main timer runs once.
  void Tick(int ms) {
    fakes.clock.AdvanceMs(ms);
    control.Timer1Timer();
  }
  // A click on item `item` of the built key panel's element bound to
  // `binding`, after a main loop run; false when the panel has no such item.
  bool Click(const char* binding, int item = 1) {
    const auto t = control.FindSkinTarget("TevranoKeyForm", binding, item);
    if (!t) return false;
    Tick(40);
    form.Image1.onMouseDown(t->x, t->y);
    form.Image1.onMouseUp(t->x, t->y);
    return true;
  }
};

}  // namespace tevrano::test
