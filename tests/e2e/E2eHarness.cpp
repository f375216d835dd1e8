#include "tests/e2e/E2eHarness.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <filesystem>

namespace tevrano::e2e {

namespace {
std::string TestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (!info) return "no_test";
  return std::string(info->test_suite_name()) + "." + info->name();
}

bool CanConnect(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  ::inet_pton(AF_INET, kAddress, &a.sin_addr);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}
}  // namespace

std::string TestOutputDir() {
  std::filesystem::path dir = std::filesystem::path(TEVRANO_E2E_OUT) / TestName();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::create_directories(dir, ec);
  return dir.string();
}

int FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = 0;
  ::inet_pton(AF_INET, kAddress, &a.sin_addr);
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ::close(fd);
  return port;
}

bool Simulator::Start(const QStringList& args, int port) {
  Stop();
  port_ = port ? port : FreePort();
  if (logPath_.empty()) logPath_ = TestOutputDir() + "/sim.jsonl";
  process_ = new QProcess;
  process_->setProcessChannelMode(QProcess::MergedChannels);
  QStringList all{"--listen", QString("%1:%2").arg(kAddress).arg(port_), "--log",
                  QString::fromStdString(logPath_)};
  all += args;
  process_->start(TEVRANO_SIM, all);
  if (!process_->waitForStarted(10000)) return false;
  for (int i = 0; i < 200; ++i) {
    if (process_->state() != QProcess::Running) return false;
    if (CanConnect(port_)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

void Simulator::Stop() {
  if (!process_) return;
  if (process_->state() == QProcess::Running) {
    process_->terminate();
    if (!process_->waitForFinished(5000)) {
      process_->kill();
      process_->waitForFinished(5000);
    }
  }
  delete process_;
  process_ = nullptr;
}

bool Simulator::Running() const {
  return process_ && process_->state() == QProcess::Running;
}

std::string Simulator::Output() const {
  return process_ ? process_->readAll().toStdString() : std::string();
}

std::vector<QJsonObject> Simulator::Log() const {
  std::vector<QJsonObject> lines;
  QFile f(QString::fromStdString(logPath_));
  if (!f.open(QIODevice::ReadOnly)) return lines;
  while (!f.atEnd()) {
    const QByteArray line = f.readLine().trimmed();
    if (line.isEmpty()) continue;
    QJsonDocument doc = QJsonDocument::fromJson(line);
    if (doc.isObject()) lines.push_back(doc.object());
  }
  return lines;
}

Viewer::~Viewer() {
  if (process_) {
    process_->kill();
    process_->waitForFinished(5000);
    delete process_;
  }
}

bool Viewer::Start(const QStringList& args, const std::string& name) {
  const std::string dir = std::filesystem::path(TEVRANO_E2E_OUT) / TestName();
  std::filesystem::create_directories(dir);
  dumpPath_ = dir + "/" + name + ".json";
  snapshotPath_ = dir + "/" + name + ".png";
  std::filesystem::remove(dumpPath_);
  std::filesystem::remove(snapshotPath_);
  process_ = new QProcess;
  process_->setProcessChannelMode(QProcess::MergedChannels);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  process_->setProcessEnvironment(env);
  QStringList all{"--headless", "--dump", QString::fromStdString(dumpPath_), "--snapshot",
                  QString::fromStdString(snapshotPath_)};
  all += args;
  started_ = std::chrono::steady_clock::now();
  process_->start(TEVRANO_VIEWER, all);
  return process_->waitForStarted(10000);
}

void Viewer::Terminate() {
  if (process_) process_->terminate();
}

ViewerResult Viewer::Finish(std::chrono::seconds timeout) {
  ViewerResult r;
  if (!process_) return r;
  r.finished = process_->waitForFinished(static_cast<int>(timeout.count() * 1000));
  if (!r.finished) {
    process_->kill();
    process_->waitForFinished(5000);
  }
  r.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started_);
  r.exitCode = process_->exitStatus() == QProcess::NormalExit ? process_->exitCode() : -1;
  r.output = process_->readAll().toStdString();
  QFile f(QString::fromStdString(dumpPath_));
  if (f.open(QIODevice::ReadOnly)) r.dump = QJsonDocument::fromJson(f.readAll()).object();
  r.snapshot.load(QString::fromStdString(snapshotPath_));
  delete process_;
  process_ = nullptr;
  return r;
}

ViewerResult RunViewer(const QStringList& args, const std::string& name,
                       std::chrono::seconds timeout) {
  Viewer v;
  if (!v.Start(args, name)) return {};
  return v.Finish(timeout);
}

QStringList RecorderArgs(const Simulator& sim, const QString& user, const QString& password) {
  return {"--dvr-ip", kAddress, "--port",     QString::number(sim.Port()),
          "--user",   user,     "--password", password};
}

QJsonObject ControlOf(const QJsonObject& dump) {
  return dump.value("control").toObject();
}

QJsonObject ComponentOf(const QJsonObject& dump, const QString& name) {
  return dump.value("components").toObject().value(name).toObject();
}

Rgb MeanColour(const QImage& image, int cx, int cy, int w, int h) {
  Rgb sum;
  int n = 0;
  for (int y = cy - h / 2; y < cy + h / 2; ++y) {
    for (int x = cx - w / 2; x < cx + w / 2; ++x) {
      if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) continue;
      const QRgb p = image.pixel(x, y);
      sum.r += qRed(p), sum.g += qGreen(p), sum.b += qBlue(p);
      ++n;
    }
  }
  if (n) sum.r /= n, sum.g /= n, sum.b /= n;
  return sum;
}

bool Near(const Rgb& a, const Rgb& b, double tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

Rgb ShownColour(double r, double g, double b) {
  const int y = int(0.299 * r + 0.587 * g + 0.114 * b + 0.5);
  const int u = int(128 - 0.168736 * r - 0.331264 * g + 0.5 * b + 0.5);
  const int v = int(128 + 0.5 * r - 0.418688 * g - 0.081312 * b + 0.5);
  auto clamp = [](int x) { return double(x < 0 ? 0 : x > 255 ? 255 : x); };
  return {clamp(y + ((v * 292) >> 8) - 146), clamp(y + 125 - ((v * 149 + u * 101) >> 8)),
          clamp(y + ((u * 516) >> 8) - 258)};
}

QJsonObject ReadDump(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(f.readAll()).object();
}

}  // namespace tevrano::e2e
