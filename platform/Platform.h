#pragma once
#include "platform/AudioDevice.h"
#include "platform/ClientSocket.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/HostServices.h"
#include "platform/TextSurface.h"

namespace tevrano::platform {

// Everything the control needs from the machine. The host owns the
// implementations and keeps them alive as long as the control.
struct Platform {
  Clock& clock;
  SocketFactory& sockets;
  AudioDeviceFactory& audio;
  TextSurfaceFactory& text;
  HostServices& host;
  Environment& environment;
  FileSystem& files;
};

}  // namespace tevrano::platform
