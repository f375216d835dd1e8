#pragma once
#include "platform/Platform.h"
#include "platform/fake/FakeAudioDevice.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeHost.h"
#include "platform/fake/FakeNetwork.h"
#include "platform/fake/ManualClock.h"

namespace tevrano::platform {

// Every fake in one place; platform() hands the control the interfaces.
struct FakePlatform {
  FakePlatform() = default;
  // The fakes, with `realFiles` (the disk) instead of the in-memory files.
  explicit FakePlatform(FileSystem& realFiles) : fileSystem(&realFiles) {}

  ManualClock clock;
  FakeNetwork network;
  FakeAudioDeviceFactory audio;
  FakeTextSurfaceFactory text;
  FakeHostServices host;
  FakeEnvironment environment;
  FakeFileSystem files;
  // The files the control sees: the in-memory ones unless a test points
  // this at another file system (the real disk, for the skins the build made).
  FileSystem* fileSystem = &files;

  Platform platform() {
    return Platform{clock, network, audio, text, host, environment, *fileSystem};
  }
};

}  // namespace tevrano::platform
