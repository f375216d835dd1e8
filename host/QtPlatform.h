#pragma once
#include <string>

#include "host/QtAudioDevice.h"
#include "host/QtClientSocket.h"
#include "host/QtClock.h"
#include "host/QtHostServices.h"
#include "host/QtTextSurface.h"
#include "platform/Platform.h"
#include "platform/posix/PosixFileSystem.h"

namespace tevrano::host {

// The machine as the control sees it, built on Qt. Lives as long as the
// control. Needs a QApplication (fonts, widgets) on the calling thread.
struct QtPlatform {
  QtPlatform(bool headless, std::string wavPath)
      : audio(headless, std::move(wavPath)), host(headless) {}

  QtClock clock;
  QtSocketFactory sockets;
  QtAudioDeviceFactory audio;
  QtTextSurfaceFactory text;
  QtHostServices host;
  QtEnvironment environment;
  platform::PosixFileSystem files;
  platform::Platform platform{clock, sockets, audio, text, host, environment, files};
};

}  // namespace tevrano::host
