#pragma once
#include <cstdint>

#include "base/Ticks.h"

namespace tevrano {

// State of the 10 ms main loop.
struct MainLoopState {
  // ElapsedTicks at which each periodic job was last due: one second, 300 ms,
  // 33 ms (the run that took it comes up to 10 ms later).
  Ticks stamps[3] = {0, 0, 0};
  uint64_t thirtyThreeMsRuns = 0;  // runs of the 33 ms job
  // 0..3, stepped by the 33 ms job; the playback loader animation resets it.
  int framePacingCounter = 0;
  uint64_t runs = 0;  // number of completed Timer1Timer runs

  static constexpr Ticks kOneSecond = 100000;
  static constexpr Ticks kThreeHundredMs = 30000;
  static constexpr Ticks kThirtyThreeMs = 3300;
};

// Speaker button state shared by the hover timeout and the audio toggle.
struct SpeakerState {
  bool hot = false;
  bool lastShownHot = false;
  Ticks lastMovement = 0;  // ElapsedTicks of the last mouse movement over it
  bool enabled = false;    // audio switched on by the user
  bool previousEnabled = false;
  bool audioHeard = false;  // audio of the shown stream is arriving
  Ticks toggledAt = 0;

  static constexpr Ticks kHotTimeout = 200000;  // 2 s
};

}  // namespace tevrano
