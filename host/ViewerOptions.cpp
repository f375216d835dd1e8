#include "host/ViewerOptions.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace tevrano::host {

const char* const kViewerUsage =
    "usage: tevrano-viewer [--dvr-ip HOST [--port N]\n"
    "                       [--user DIGITS --password DIGITS | --token TEXT] [--http-page N]]\n"
    "                      [--headless] [--run-for SECONDS] [--snapshot FILE.png]\n"
    "                      [--dump FILE.json] [--script FILE] [--audio-out FILE.wav]\n"
    "                      [--update-port N]\n"
    "  --dvr-ip HOST        the recorder's address; without it nothing is put and the\n"
    "                       viewer stays at \"Connecting ...\"\n"
    "  --port N             the recorder's web port (default 80)\n"
    "  --user, --password   the web user's credentials, digits only; the viewer\n"
    "                       builds the DVR_UK token from them and the current time\n"
    "  --token TEXT         a ready DVR_UK token instead of --user/--password\n"
    "  --http-page N        the page-rights value HTTP_PAGE (default 0)\n"
    "  --headless           no window (Qt's offscreen platform); same control and loop\n"
    "  --run-for SECONDS    exit 0 after that long\n"
    "  --snapshot FILE.png  at exit, the whole form as a 1518 x 673 picture\n"
    "  --dump FILE.json     at exit, every component's state and the control's\n"
    "  --script FILE        run the commands of FILE (see README)\n"
    "  --audio-out FILE.wav the sound into a WAV file, at the real rate, instead of\n"
    "                       the speakers (TEVRANO_AUDIO_WAV does the same)\n"

    "  --backup CHANNEL --from TIME --to TIME --out FILE.mov\n"
    "                       headless: write camera CHANNEL (from 1) from TIME to TIME\n"
    "                       (YYYY-MM-DDTHH:MM:SS, recorder time) into FILE.mov, FILE(1).mov\n"
    "                       ... (30 minutes each); exit 0 when complete, 1 when not\n"

    "  --update-port N      the recorder's firmware update port (default 21)\n"
    "  --status-log FILE    ten times a second, a JSON line with the monotonic clock,\n"
    "                       login, view, picture count, stream and backup state\n";

namespace {
bool IsDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool ParseInt(const std::string& s, int low, int high, int& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(s.c_str(), &end, 10);
  if (errno != 0 || *end != 0 || v < low || v > high) return false;
  out = static_cast<int>(v);
  return true;
}

bool ParseSeconds(const std::string& s, double& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(s.c_str(), &end);
  // At most 2,000,000 s (23 days): the limit is a timer in milliseconds.
  if (errno != 0 || *end != 0 || !std::isfinite(v) || v < 0 || v > 2e6) return false;
  out = v;
  return true;
}
}  // namespace

OptionsResult ParseViewerOptions(const std::vector<std::string>& args) {
  OptionsResult result;
  ViewerOptions o;
  bool portGiven = false, pageGiven = false;
  std::optional<std::string> backupChannel, backupFrom, backupTo, backupOut;
  auto fail = [&](std::string why) {
    result.error = std::move(why);
    return result;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      result.help = true;
      return fail("");
    }
    if (a == "--headless") {
      o.headless = true;
      continue;
    }
    if (a == "--status-log") {
      if (i + 1 >= args.size() || args[i + 1].empty())
        return fail("--status-log needs a file name");
      o.statusLogPath = args[++i];
      continue;
    }
    static const char* const kWithValue[] = {
        "--dvr-ip",  "--port",     "--user", "--password",   "--token",     "--http-page",
        "--run-for", "--snapshot", "--dump", "--script",     "--audio-out", "--backup",
        "--from",    "--to",       "--out",  "--update-port"};
    if (std::find(std::begin(kWithValue), std::end(kWithValue), a) == std::end(kWithValue))
      return fail("unknown option: " + a);
    if (i + 1 >= args.size()) return fail(a + " needs a value");
    const std::string& v = args[++i];
    if (a == "--dvr-ip") {
      if (v.empty()) return fail("--dvr-ip needs an address");
      o.dvrIp = v;
    } else if (a == "--port") {
      if (!ParseInt(v, 1, 65535, o.port)) return fail("--port needs a number from 1 to 65535");
      portGiven = true;
    } else if (a == "--user") {
      if (!IsDigits(v)) return fail("--user takes decimal digits");
      o.user = v;
    } else if (a == "--password") {
      if (!IsDigits(v)) return fail("--password takes decimal digits");
      o.password = v;
    } else if (a == "--token") {
      o.token = v;
    } else if (a == "--http-page") {
      if (!ParseInt(v, -2147483647 - 1, 2147483647, o.httpPage))
        return fail("--http-page needs an integer");
      pageGiven = true;
    } else if (a == "--run-for") {
      double s = 0;
      if (!ParseSeconds(v, s)) return fail("--run-for needs a number of seconds");
      o.runForSeconds = s;
    } else if (a == "--snapshot") {
      o.snapshotPath = v;
    } else if (a == "--dump") {
      o.dumpPath = v;
    } else if (a == "--script") {
      o.scriptPath = v;
    } else if (a == "--audio-out") {
      if (v.empty()) return fail("--audio-out needs a file name");
      o.audioOutPath = v;
    } else if (a == "--backup") {
      backupChannel = v;
    } else if (a == "--from") {
      backupFrom = v;
    } else if (a == "--to") {
      backupTo = v;
    } else if (a == "--out") {
      backupOut = v;
    } else if (a == "--update-port") {
      if (!ParseInt(v, 1, 65535, o.updatePort))
        return fail("--update-port needs a number from 1 to 65535");
    }
  }
  if (o.user.has_value() != o.password.has_value())
    return fail("--user and --password go together");
  if (o.user && o.token) return fail("give either --user/--password or --token, not both");
  // The control keeps 31 characters of the token: with an 8-digit time the
  // user and password together have room for 21 digits.
  if (o.user && o.user->size() + o.password->size() > 21)
    return fail("--user and --password together may have at most 21 digits");
  if (!o.dvrIp && (portGiven || pageGiven || o.user || o.token))
    return fail("--port, --user, --password, --token and --http-page need --dvr-ip");
  std::string backupError;
  o.backup = ParseBackupOptions(backupChannel, backupFrom, backupTo, backupOut, backupError);
  if (!backupError.empty()) return fail(backupError);
  if (o.backup) {
    if (!o.dvrIp) return fail("--backup needs --dvr-ip");
    o.headless = true;
  }
  result.options = std::move(o);
  return result;
}

}  // namespace tevrano::host
