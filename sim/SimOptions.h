// Command-line options of tevrano-recorder-sim.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "FaultPlan.h"

namespace tevrano::sim {

struct Resolution {
  int width = 704, height = 576;
};

struct SimOptions {
  std::string listenAddress = "127.0.0.2";
  uint16_t listenPort = 8000;
  int channels = 16;
  std::string model;  // empty: follows --stream-socket (see usage)
  std::string osVersion = "3.1.4_SIM";
  uint32_t serviceVariant = 0;
  int connections = 1;
  bool streamSocket = true;
  bool upnp = true;
  bool titles = true;
  bool mailInterval = true;  // false: the system information says "no mail interval"
  int infoChannels = -1;     // >= 0: the channel count the system information claims
  std::vector<std::pair<std::string, std::string>> users{{"1234", "5678"}};
  std::vector<Resolution> resolutions{Resolution{}};  // more than one: a cycle
  int cycleSeconds = 10;
  int fps = 25;
  std::string logPath;
  bool quiet = false;
  double dropAfter = -1;
  double stallAfter = -1;
  double stallFor = -1;  // <0: the stall lasts for ever
  int garbageEvery = 0;
  bool refuse = false;
  // --fault KIND --fault-at S --fault-for S: one fault, once.
  FaultKind faultKind = FaultKind::None;
  double faultAt = 10;
  double faultFor = 5;
  // --hostile SEED: random well-framed module messages in every answer.
  bool hostile = false;
  uint32_t hostileSeed = 0;
  int splitFrames = 0;  // >0: video packets carry at most this many payload bytes
  uint32_t seed = 1;
  std::string archivePath;  // empty: the archive is made from the seed
  // Live events: a script file, and events on from login (camera numbers).
  std::string eventsPath;
  std::vector<int> alarmChannels, motionChannels, vlossChannels;
  // Speed domes: the type byte of each channel in the preset table
  // answer; whether the stored table starts with its marker.
  std::vector<uint8_t> domeTypes;
  bool presetMarker = true;
  // Backup streams.
  int backupSpeed = 0;  // recorder frames per frame slot; 0 as fast as the viewer takes
  uint32_t backupTimeOffset = 0;
  double backupStallAfter = -1;
  bool watermarkAnswer = true;
  int64_t watermark = -1;  // <0: 0x57A70000 + the channel
  // Firmware update service (off without a port).
  int updatePort = 0;
  std::string updateVersion = "accept";  // accept | refuse
  uint32_t updateRepeat = 0;             // a chunk asked for twice
  std::string updateSilentAt;            // announce | upload | write
  double updateSilentFor = 30;
  std::string updateSavePath;

  // The "[N] " model text sent in the system information.
  std::string ModelText() const;
};

const char* UsageText();

// Parses argv. Returns 0 to run, 1 when --help was shown, 2 on a bad
// option (message in error).
int ParseOptions(int argc, char** argv, SimOptions& out, std::string& error);

}  // namespace tevrano::sim
