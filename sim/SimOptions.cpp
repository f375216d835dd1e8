#include "SimOptions.h"

#include <cstdlib>
#include <cstring>

namespace tevrano::sim {

const char* UsageText() {
  return R"(usage: tevrano-recorder-sim [options]

A recorder for tests and the demo: speaks the recorder's command protocol
(login, module messages, named items, view records, settings pages) and
streams H.264 test pictures and audio tones on one TCP port.

Recorder:
  --listen ADDR:PORT       address to listen on (default 127.0.0.2:8000)
  --channels 4|8|16        camera channels (default 16)
  --model TEXT             model text of the system information, with or
                           without its "[N] " (default "[N] 6104" with a
                           stream socket, "[N] 7104" without); "[N] 6..."
                           is the newer recorder family (a viewer hides
                           its PPPoE and Update tabs for it)
  --os-version TEXT        operating-system version text (default 3.1.4_SIM)
  --service-variant N      service variant word (default 0; 1 = the
                           maker's own DDNS, the "Default" mail mode, no
                           update through the viewer)
  --connections 1|2        command connections offered to a viewer (default 1)
  --stream-socket yes|no   streams over a separate stream connection (yes,
                           default) or as "VIDO" messages in the answers to
                           the viewer's polls (no)
  --upnp yes|no            offer the UPnP settings (default yes)
  --titles yes|no          channel-title support (default yes)
  --mail-interval yes|no   the recorder has a mail interval setting (default
                           yes; no sets word 228 of the system information)
  --info-channels N        the channel count the system information claims
                           (0-255; default the --channels value), to test
                           viewers against odd counts; streams keep
                           --channels
  --users U:P[,U:P...]     accepted user names and passwords, digits
                           (default 1234:5678)

Video:
  --resolution WxH         704x576 (default), 704x288, 352x288, 704x480,
                           352x240 or 960x576
  --resolution-cycle LIST  comma-separated sizes streamed in turn, switching
                           every --cycle-seconds at an I-frame, for testing
                           size changes (e.g. 704x576,352x288)
  --cycle-seconds N        seconds per size of the cycle (default 10)
  --fps 25|30              frame rate (default 25)
  --split-frames BYTES     split each video frame into packets of at most
                           BYTES payload bytes (default: one packet a frame)

Recordings:
  --archive FILE.json      the recordings to offer, exactly (format in the
                           README and sim/RecordingArchive.h):
                           {"channels": {"1": [["2026-12-01T08:00:00",
                           "2026-12-01T09:30:00"], ...], ...}}
                           Default: made from --seed, recordings on about
                           half the days of the last five weeks on each
                           channel, and the last two hours on every one.
  Searches ("PBBA", calendar days and half-hours) are answered from it, and
  in Playback the stream plays the viewer's channel from it (StreamKind 1,
  from the playback record's start time; forwards, 4x forwards, 4x
  backwards; nothing while stopped; gaps skipped).

Backup (while the viewer is in Backup mode and its backup record, type
1024, says a backup runs):
  the span streams from the archive as fast as the viewer takes it:
  StreamKind 1, the channel's audio interleaved, gaps skipped, frames
  split by --split-frames, sizes changing every --cycle-seconds of
  recorder time with --resolution-cycle, a closing I-frame at the end
  time.
  --backup-speed N         at most N times real time (default 0: as fast
                           as the viewer reads)
  --backup-time-offset N   the FrameHeader time offset (offset 28) of every
                           backup packet (default 0)
  --backup-stall-after S   send nothing more after S seconds of the span
                           (until the next backup record)
  --watermark N|none       the "Zell_Watermark_Var_R" answer (default
                           0x57A70000 + the channel asked for; none: no
                           answer)

Events and speed domes:
  --events FILE.json       alarm, motion and video-loss events to report
                           ("Zell_LIVE_Event_W"), in seconds after each
                           viewer's login (format in the README and
                           sim/LiveEvents.h):
                           [{"at": 2, "channel": 3, "kind": "alarm",
                           "on": true}, {"every": 10, "for": 4,
                           "channel": 5, "kind": "motion"}, ...]
  --alarm CH[,CH...]       an alarm on these cameras (from 1) from login on
  --motion CH[,CH...]      motion on these cameras from login on
  --vloss CH[,CH...]       video loss on these cameras from login on
  --dome-types T[,T...]    speed-dome type byte per channel (0-255) in the
                           preset table sent when the pad opens (default 0)
  --preset-marker yes|no   the stored preset table carries its "Ufw3"
                           marker (default yes)

Firmware update (a TCP port of its own; see the README for the wire layout):
  --update-port N          serve firmware uploads on the listen address,
                           port N (default: no update service)
  --update-version accept|refuse
                           answer the announce with 1 (go ahead, default)
                           or 0xFFFF (the version is refused)
  --update-repeat N        ask for chunk N a second time (once)
  --update-silent-at announce|upload|write
                           go silent (read on, answer nothing) once that
                           phase is reached: the announce, the first
                           chunk, or the end of the upload
  --update-silent-for S    the silence's length (default 30)
  --update-save FILE       write each image received whole to FILE (its
                           size, byte sum and FNV-1a are logged anyway)

Diagnostics:
  --log FILE.jsonl         one JSON object a line: every frame and module
                           message received, decoded, and connection events
  --quiet                  no messages on standard error
  --help                   this text

Faults (for reliability tests; each is logged):
  --drop-after SECONDS     close every connection once, after SECONDS
  --stall-after SECONDS    from then on neither read, accept, answer nor
                           stream, but keep the connections open
  --stall-for SECONDS      the stall's length (default: for ever); after it
                           the recorder takes up what waited (requests,
                           new connections) and streams again
  --garbage-every N        insert random bytes after every N-th stream packet
  --refuse                 refuse every login
  --seed N                 seed of the garbage bytes and of the recording
                           archive (default 1)
  --fault KIND             one fault, once, --fault-at seconds after the
                           start, for --fault-for seconds: drop (close
                           every connection), stall (as --stall-after),
                           garbage (random bytes before every answer and
                           after every stream packet), refuse (close
                           everything, refuse connections, then listen
                           again), credentials (refuse logins and log
                           viewers out), split (answers in several small
                           writes with pauses), oversize (an answer, a
                           frame, module messages and a stream packet
                           announcing absurd lengths), reset (half an
                           answer or packet, then a reset), slow (reads
                           and writes of one byte at a time); drop,
                           oversize and reset happen at their moment
  --fault-at SECONDS       when the fault begins (default 10)
  --fault-for SECONDS      how long it lasts (default 5)
  --hostile SEED           put random but well-framed module messages of
                           every tag ("ZELL", "ICMD", "VIDO", "VDTT",
                           "ICTL", "PBBA", "SPDM", "RK9P", unknown) into
                           the answers, and random stream packets into
                           the streams, from this seed

Every channel's picture is a flat field of its own colour (see
sim/ChannelPattern.h for the table), its number, a moving square and the
recorder's clock (to the minute); the centre region is the flat colour only.
)";
}

std::string SimOptions::ModelText() const {
  std::string m = model.empty() ? (streamSocket ? "6104" : "7104") : model;
  if (m.rfind("[N] ", 0) != 0) m = "[N] " + m;
  return m;
}

namespace {

bool ParseInt(const std::string& s, long lo, long hi, long& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (*end != 0 || v < lo || v > hi) return false;
  out = v;
  return true;
}

bool ParseSeconds(const std::string& s, double& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (*end != 0 || !(v >= 0) || v > 1e7) return false;
  out = v;
  return true;
}

bool ParseYesNo(const std::string& s, bool& out) {
  if (s == "yes") return out = true, true;
  if (s == "no") return out = false, true;
  return false;
}

bool ParseResolution(const std::string& s, Resolution& out) {
  static const Resolution kAllowed[] = {{704, 576}, {704, 288}, {352, 288},
                                        {704, 480}, {352, 240}, {960, 576}};
  for (const Resolution& r : kAllowed)
    if (s == std::to_string(r.width) + "x" + std::to_string(r.height)) return out = r, true;
  return false;
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t at = s.find(sep, start);
    parts.push_back(s.substr(start, at - start));
    if (at == std::string::npos) break;
    start = at + 1;
  }
  return parts;
}

bool Digits(const std::string& s) {
  if (s.empty() || s.size() > 10) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

int ParseOptions(int argc, char** argv, SimOptions& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--help" || name == "-h") return 1;
    if (name == "--quiet") {
      o.quiet = true;
      continue;
    }
    if (name == "--refuse") {
      o.refuse = true;
      continue;
    }
    if (i + 1 >= argc) {
      error = "missing value for " + name;
      return 2;
    }
    const std::string v = argv[++i];
    long n = 0;
    bool ok = true;
    if (name == "--listen") {
      size_t colon = v.rfind(':');
      ok = colon != std::string::npos && colon > 0 && ParseInt(v.substr(colon + 1), 1, 65535, n);
      if (ok) {
        o.listenAddress = v.substr(0, colon);
        o.listenPort = uint16_t(n);
      }
    } else if (name == "--channels") {
      ok = ParseInt(v, 4, 16, n) && (n == 4 || n == 8 || n == 16);
      o.channels = int(n);
    } else if (name == "--model") {
      ok = !v.empty() && v.size() < 32;
      o.model = v;
    } else if (name == "--os-version") {
      ok = v.size() < 26;
      o.osVersion = v;
    } else if (name == "--service-variant") {
      ok = ParseInt(v, 0, 0x7FFFFFFF, n);
      o.serviceVariant = uint32_t(n);
    } else if (name == "--connections") {
      ok = ParseInt(v, 1, 2, n);
      o.connections = int(n);
    } else if (name == "--stream-socket") {
      ok = ParseYesNo(v, o.streamSocket);
    } else if (name == "--upnp") {
      ok = ParseYesNo(v, o.upnp);
    } else if (name == "--titles") {
      ok = ParseYesNo(v, o.titles);
    } else if (name == "--mail-interval") {
      ok = ParseYesNo(v, o.mailInterval);
    } else if (name == "--info-channels") {
      ok = ParseInt(v, 0, 255, n);
      o.infoChannels = int(n);
    } else if (name == "--users") {
      o.users.clear();
      for (const std::string& pair : Split(v, ',')) {
        size_t colon = pair.find(':');
        if (colon == std::string::npos || !Digits(pair.substr(0, colon)) ||
            !Digits(pair.substr(colon + 1))) {
          ok = false;
          break;
        }
        o.users.emplace_back(pair.substr(0, colon), pair.substr(colon + 1));
      }
    } else if (name == "--resolution") {
      Resolution r;
      ok = ParseResolution(v, r);
      o.resolutions = {r};
    } else if (name == "--resolution-cycle") {
      o.resolutions.clear();
      for (const std::string& part : Split(v, ',')) {
        Resolution r;
        if (!ParseResolution(part, r)) {
          ok = false;
          break;
        }
        o.resolutions.push_back(r);
      }
    } else if (name == "--cycle-seconds") {
      ok = ParseInt(v, 1, 86400, n);
      o.cycleSeconds = int(n);
    } else if (name == "--fps") {
      ok = ParseInt(v, 25, 30, n) && (n == 25 || n == 30);
      o.fps = int(n);
    } else if (name == "--split-frames") {
      ok = ParseInt(v, 64, 1 << 20, n);
      o.splitFrames = int(n);
    } else if (name == "--log") {
      ok = !v.empty();
      o.logPath = v;
    } else if (name == "--drop-after") {
      ok = ParseSeconds(v, o.dropAfter);
    } else if (name == "--stall-after") {
      ok = ParseSeconds(v, o.stallAfter);
    } else if (name == "--stall-for") {
      ok = ParseSeconds(v, o.stallFor);
    } else if (name == "--fault") {
      ok = ParseFaultKind(v, o.faultKind);
    } else if (name == "--fault-at") {
      ok = ParseSeconds(v, o.faultAt);
    } else if (name == "--fault-for") {
      ok = ParseSeconds(v, o.faultFor);
    } else if (name == "--hostile") {
      ok = ParseInt(v, 0, 0x7FFFFFFF, n);
      o.hostile = ok;
      o.hostileSeed = uint32_t(n);
    } else if (name == "--garbage-every") {
      ok = ParseInt(v, 1, 1 << 30, n);
      o.garbageEvery = int(n);
    } else if (name == "--archive") {
      ok = !v.empty();
      o.archivePath = v;
    } else if (name == "--backup-speed") {
      ok = ParseInt(v, 0, 100000, n);
      o.backupSpeed = int(n);
    } else if (name == "--backup-time-offset") {
      ok = ParseInt(v, 0, 0xFFFFFFFFl, n);
      o.backupTimeOffset = uint32_t(n);
    } else if (name == "--backup-stall-after") {
      ok = ParseSeconds(v, o.backupStallAfter);
    } else if (name == "--watermark") {
      o.watermarkAnswer = v != "none";
      if (o.watermarkAnswer) {
        char* end = nullptr;
        const unsigned long long w = std::strtoull(v.c_str(), &end, 0);
        ok = !v.empty() && *end == 0 && v[0] != '-' && w <= 0xFFFFFFFFull;
        o.watermark = int64_t(w);
      }
    } else if (name == "--events") {
      ok = !v.empty();
      o.eventsPath = v;
    } else if (name == "--alarm" || name == "--motion" || name == "--vloss") {
      std::vector<int>& list = name == "--alarm"    ? o.alarmChannels
                               : name == "--motion" ? o.motionChannels
                                                    : o.vlossChannels;
      for (const std::string& part : Split(v, ',')) {
        if (!ParseInt(part, 1, 16, n)) {
          ok = false;
          break;
        }
        list.push_back(int(n));
      }
    } else if (name == "--dome-types") {
      o.domeTypes.clear();
      for (const std::string& part : Split(v, ',')) {
        if (!ParseInt(part, 0, 255, n) || o.domeTypes.size() >= 16) {
          ok = false;
          break;
        }
        o.domeTypes.push_back(uint8_t(n));
      }
    } else if (name == "--preset-marker") {
      ok = ParseYesNo(v, o.presetMarker);
    } else if (name == "--update-port") {
      ok = ParseInt(v, 1, 65535, n);
      o.updatePort = int(n);
    } else if (name == "--update-version") {
      ok = v == "accept" || v == "refuse";
      o.updateVersion = v;
    } else if (name == "--update-repeat") {
      ok = ParseInt(v, 1, 0x7FFFFFFF, n);
      o.updateRepeat = uint32_t(n);
    } else if (name == "--update-silent-at") {
      ok = v == "announce" || v == "upload" || v == "write";
      o.updateSilentAt = v;
    } else if (name == "--update-silent-for") {
      ok = ParseSeconds(v, o.updateSilentFor);
    } else if (name == "--update-save") {
      ok = !v.empty();
      o.updateSavePath = v;
    } else if (name == "--seed") {
      ok = ParseInt(v, 0, 0x7FFFFFFF, n);
      o.seed = uint32_t(n);
    } else {
      error = "unknown option " + name;
      return 2;
    }
    if (!ok) {
      error = "bad value for " + name + ": " + v;
      return 2;
    }
  }
  // The drop and the stall have switches of their own; --fault drives them.
  if (o.faultKind == FaultKind::Drop) o.dropAfter = o.faultAt;
  if (o.faultKind == FaultKind::Stall) {
    o.stallAfter = o.faultAt;
    o.stallFor = o.faultFor;
  }
  for (const auto* list : {&o.alarmChannels, &o.motionChannels, &o.vlossChannels})
    for (int ch : *list)
      if (ch > o.channels) {
        error = "camera " + std::to_string(ch) + " beyond the channel count " +
                std::to_string(o.channels);
        return 2;
      }
  return 0;
}

}  // namespace tevrano::sim
