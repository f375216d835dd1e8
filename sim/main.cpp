// tevrano-recorder-sim: a recorder for the tests and the demo.
#include <csignal>
#include <cstdio>
#include <memory>

#include "JsonLog.h"
#include "LiveEvents.h"
#include "Recorder.h"
#include "RecorderTime.h"
#include "RecordingArchive.h"
#include "SimOptions.h"
#include "UpdateServer.h"

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) {
  g_stop = true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tevrano::sim;
  SimOptions options;
  std::string error;
  const int parsed = ParseOptions(argc, argv, options, error);
  if (parsed == 1) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (parsed == 2) {
    std::fprintf(stderr, "tevrano-recorder-sim: %s\n\n%s", error.c_str(), UsageText());
    return 2;
  }

  JsonLog log;
  if (!options.logPath.empty() && !log.Open(options.logPath)) {
    std::fprintf(stderr, "tevrano-recorder-sim: cannot write %s\n", options.logPath.c_str());
    return 1;
  }
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);

  RecordingArchive archive(options.channels);
  if (options.archivePath.empty()) {
    archive = RecordingArchive::Generate(options.seed, RecorderTimeNow(), options.channels);
  } else if (!RecordingArchive::FromFile(options.archivePath, options.channels, archive, error)) {
    std::fprintf(stderr, "tevrano-recorder-sim: --archive %s\n", error.c_str());
    return 2;
  }

  EventScript events;
  if (!options.eventsPath.empty() &&
      !EventScript::FromFile(options.eventsPath, options.channels, events, error)) {
    std::fprintf(stderr, "tevrano-recorder-sim: --events %s\n", error.c_str());
    return 2;
  }
  const std::pair<const std::vector<int>*, EventKind> steady[] = {
      {&options.alarmChannels, EventKind::Alarm},
      {&options.motionChannels, EventKind::Motion},
      {&options.vlossChannels, EventKind::Vloss}};
  for (const auto& [list, kind] : steady)
    for (int camera : *list) events.Add(EventSwitch{0, camera - 1, kind, true});

  Recorder recorder(options, log, archive, events);
  if (!recorder.Listen(error)) {
    std::fprintf(stderr, "tevrano-recorder-sim: cannot listen: %s\n", error.c_str());
    return 1;
  }
  std::unique_ptr<UpdateServer> update;
  if (options.updatePort != 0) {
    UpdateServerOptions u;
    u.address = options.listenAddress;
    u.port = uint16_t(options.updatePort);
    u.refuseVersion = options.updateVersion == "refuse";
    u.repeatChunk = options.updateRepeat;
    u.silentAt = options.updateSilentAt;
    u.silentSeconds = options.updateSilentFor;
    u.savePath = options.updateSavePath;
    update = std::make_unique<UpdateServer>(u, log);
    if (!update->Start(error)) {
      std::fprintf(stderr, "tevrano-recorder-sim: cannot listen: %s\n", error.c_str());
      return 1;
    }
  }
  recorder.Run(g_stop);
  if (update) update->Stop();
  return 0;
}
