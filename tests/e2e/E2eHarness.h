#pragma once
// Runs the real simulator and the real headless viewer for end-to-end tests.
// Everything talks over loopback on 127.0.0.2 (the control never connects its
// command sockets to 127.0.0.1). Waits use generous time-outs; no test asserts
// a timing.
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tevrano::e2e {

inline constexpr const char* kAddress = "127.0.0.2";

// A folder for this test's files (logs, dumps, snapshots), made empty.
std::string TestOutputDir();

// Picks a TCP port that is free on kAddress now.
int FreePort();

// The recorder simulator as a child process.
class Simulator {
 public:
  Simulator() = default;
  ~Simulator() { Stop(); }
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Starts it listening on kAddress and a free port (or `port` when given)
  // with `args` added, logging to log(); true once it accepts connections.
  bool Start(const QStringList& args = {}, int port = 0);
  void Stop();
  bool Running() const;
  int Port() const { return port_; }
  const std::string& LogPath() const { return logPath_; }
  // Every JSON object of the log so far.
  std::vector<QJsonObject> Log() const;
  // Waits until `predicate` holds for some log line; returns that line.
  template <typename Pred>
  std::optional<QJsonObject> WaitForLog(Pred predicate, std::chrono::seconds timeout) const;
  std::string Output() const;

 private:
  QProcess* process_ = nullptr;
  int port_ = 0;
  std::string logPath_;
};

// One headless viewer run that ends by itself after --run-for.
struct ViewerResult {
  int exitCode = -1;
  bool finished = false;
  std::string output;  // stdout and stderr
  QJsonObject dump;    // parsed --dump, empty when none
  QImage snapshot;     // --snapshot, null when none
  std::chrono::milliseconds elapsed{0};
};

// The viewer started in the background (for tests that act while it runs).
class Viewer {
 public:
  ~Viewer();
  // Starts tevrano-viewer --headless with `args`; writes the dump and
  // snapshot to `name`.json / `name`.png in the test's output folder.
  bool Start(const QStringList& args, const std::string& name);
  // Ends the run as SIGTERM does (snapshot and dump written, exit 0).
  void Terminate();
  // Waits for the viewer to exit (it was given --run-for or a script that
  // quits, or was terminated).
  ViewerResult Finish(std::chrono::seconds timeout = std::chrono::seconds(120));

 private:
  QProcess* process_ = nullptr;
  std::string dumpPath_, snapshotPath_;
  std::chrono::steady_clock::time_point started_;
};

ViewerResult RunViewer(const QStringList& args, const std::string& name,
                       std::chrono::seconds timeout = std::chrono::seconds(120));

// Arguments that point the viewer at `sim` with the simulator's default user.
QStringList RecorderArgs(const Simulator& sim, const QString& user = "1234",
                         const QString& password = "5678");

// The "control" object and one component of a dump.
QJsonObject ControlOf(const QJsonObject& dump);
QJsonObject ComponentOf(const QJsonObject& dump, const QString& name);

// Mean colour (r, g, b) of a w × h region centred on (cx, cy) of `image`.
struct Rgb {
  double r = 0, g = 0, b = 0;
};
Rgb MeanColour(const QImage& image, int cx, int cy, int w, int h);
// True when every component differs by at most `tolerance`.
bool Near(const Rgb& a, const Rgb& b, double tolerance);
// The colour the viewer draws for a camera colour that the recorder sends
// as full-range BT.601 YCbCr: its conversion adds integer offsets from Cb
// and Cr to the luma, without black-level offset.
Rgb ShownColour(double r, double g, double b);

// A dump the viewer wrote (`--dump` or the script's dump); empty when the
// file cannot be read.
QJsonObject ReadDump(const std::string& path);

template <typename Pred>
std::optional<QJsonObject> Simulator::WaitForLog(Pred predicate,
                                                 std::chrono::seconds timeout) const {
  const auto end = std::chrono::steady_clock::now() + timeout;
  do {
    for (const QJsonObject& line : Log())
      if (predicate(line)) return line;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  } while (std::chrono::steady_clock::now() < end);
  return std::nullopt;
}

}  // namespace tevrano::e2e
