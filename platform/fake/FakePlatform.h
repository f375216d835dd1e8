#pragma once
#include "platform/Platform.h"
#include "platform/fake/FakeAudioDevice.h"
#include "platform/fake/FakeHost.h"
#include "platform/fake/FakeNetwork.h"
#include "platform/fake/ManualClock.h"

namespace tevrano::platform {

// Every fake in one place; platform() hands the control the interfaces.
struct FakePlatform {
  ManualClock clock;
  FakeNetwork network;
  FakeAudioDeviceFactory audio;
  FakeTextSurfaceFactory text;
  FakeHostServices host;
  FakeEnvironment environment;

  Platform platform() { return Platform{clock, network, audio, text, host, environment}; }
};

}  // namespace tevrano::platform
