#include "AgentHarness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#ifndef USB_AGENT_DEFAULT_BINARY
#define USB_AGENT_DEFAULT_BINARY ""
#endif

namespace tevrano::agent_test {
namespace fs = std::filesystem;

namespace {

constexpr const char* kTools[] = {"umount", "mount", "mkdosfs", "df", "sync"};
constexpr auto kRunLimit = std::chrono::seconds(240);

std::string Env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

// A stub tool: records its arguments, runs TOOL.sh (a side effect such as a
// stick that changes on mount), prints TOOL.out, exits with TOOL.exit; each
// only if present.
std::string StubScript(const std::string& tool) {
  return "#!/bin/sh\n"
         "line=" +
         tool +
         "\n"
         "if [ $# -gt 0 ]; then line=\"$line $*\"; fi\n"
         "printf '%s\\n' \"$line\" >> \"$STUB_DIR/calls.log\"\n"
         "if [ -f \"$STUB_DIR/" +
         tool + ".sh\" ]; then . \"$STUB_DIR/" + tool +
         ".sh\"; fi\n"
         "if [ -f \"$STUB_DIR/" +
         tool + ".out\" ]; then cat \"$STUB_DIR/" + tool +
         ".out\"; fi\n"
         "if [ -f \"$STUB_DIR/" +
         tool + ".exit\" ]; then exit \"$(cat \"$STUB_DIR/" + tool +
         ".exit\")\"; fi\n"
         "exit 0\n";
}

// Runs argv with extra environment entries and, when file_size_limit is not
// negative, that file-size limit; kills it after kRunLimit.
int Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
          long long file_size_limit) {
  pid_t pid = fork();
  if (pid == 0) {
    if (file_size_limit >= 0) {
      // An ignored SIGXFSZ stays ignored across exec: writes past the limit
      // then fail with EFBIG, as on a full stick.
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit{static_cast<rlim_t>(file_size_limit), static_cast<rlim_t>(file_size_limit)};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    for (const auto& entry : env) putenv(strdup(entry.c_str()));
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  if (pid < 0) return -1000;
  auto deadline = std::chrono::steady_clock::now() + kRunLimit;
  int status = 0;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << "the agent did not end";
      return -1001;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  ADD_FAILURE() << "the agent died from signal " << WTERMSIG(status);
  return -1002;
}

}  // namespace

void PutLe32(Bytes& out, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

int32_t GetLe32(const Bytes& in, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | in.at(at + i);
  return static_cast<int32_t>(v);
}

void PutText(Bytes& out, const std::string& text, size_t width) {
  for (size_t i = 0; i < width; ++i) out.push_back(i < text.size() ? text[i] : 0);
}

Bytes WriteRequest::Encode() const {
  Bytes b;
  PutLe32(b, 0);
  PutLe32(b, sectors);
  PutLe32(b, mode);
  PutLe32(b, create);
  PutLe32(b, no_index);
  PutText(b, name, 64);
  return b;
}

Bytes ReadRequest::Encode() const {
  Bytes b;
  for (int32_t v : {op, format_a, format_b, offset, length, in_root}) PutLe32(b, v);
  PutText(b, name, 64);
  return b;
}

Listing Listing::Decode(const Bytes& record) {
  EXPECT_EQ(record.size(), 3352u);
  Listing l{};
  if (record.size() != 3352) return l;
  l.total_kib = GetLe32(record, 0);
  l.used_kib = GetLe32(record, 4);
  l.rom_count = GetLe32(record, 8);
  l.movie_count = GetLe32(record, 12);
  l.picture_count = GetLe32(record, 16);
  auto table = [&](size_t at, int slots, int32_t count) {
    std::vector<ListedFile> out;
    for (int i = 0; i < slots && i < count; ++i) {
      size_t entry = at + 68 * i;
      const char* name = reinterpret_cast<const char*>(&record[entry]);
      out.push_back({std::string(name, strnlen(name, 64)), GetLe32(record, entry + 64)});
    }
    return out;
  };
  l.roms = table(20, 1, l.rom_count);
  l.movies = table(88, 16, l.movie_count);
  l.pictures = table(1176, 32, l.picture_count);
  return l;
}

void AgentTest::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "usb-agent-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  root_ = pattern;
  stub_dir_ = root_ + "/bin";
  fs::create_directories(root_ + "/proc/dvr");
  fs::create_directories(root_ + "/mnt");
  fs::create_directories(stub_dir_);
  for (const char* tool : kTools) {
    std::string path = stub_dir_ + "/" + tool;
    std::ofstream(path) << StubScript(tool);
    chmod(path.c_str(), 0755);
  }
}

void AgentTest::TearDown() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void AgentTest::WriteFile(const std::string& rel, const Bytes& bytes) {
  fs::create_directories(fs::path(At(rel)).parent_path());
  std::ofstream out(At(rel), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << rel;
}

void AgentTest::WriteText(const std::string& rel, const std::string& text) {
  WriteFile(rel, Bytes(text.begin(), text.end()));
}

Bytes AgentTest::ReadFile(const std::string& rel) const {
  std::ifstream in(At(rel), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool AgentTest::Exists(const std::string& rel) const {
  struct stat st;
  return lstat(At(rel).c_str(), &st) == 0;
}

void AgentTest::MakeDir(const std::string& rel) {
  fs::create_directories(At(rel));
}

void AgentTest::Remove(const std::string& rel) {
  std::error_code ignored;
  fs::remove_all(At(rel), ignored);
}

void AgentTest::PutProcInt(const std::string& name, int32_t value) {
  Bytes b;
  PutLe32(b, value);
  PutProc(name, b);
}

int32_t AgentTest::ProcInt(const std::string& name) const {
  Bytes b = Proc(name);
  EXPECT_EQ(b.size(), 4u) << name;
  return b.size() == 4 ? GetLe32(b, 0) : INT32_MIN;
}

void AgentTest::MakeStickFolders() {
  MakeDir("mnt/Movie");
  MakeDir("mnt/Picture");
}

std::string UsualDfOutput(const std::string& device, int64_t total_kib, int64_t used_kib,
                          const std::string& mounted_on) {
  std::string header = "Filesystem           1K-blocks      Used Available Use% Mounted on\n";
  char line[512];
  int64_t available = total_kib - used_kib;
  int percent = total_kib ? static_cast<int>(used_kib * 100 / total_kib) : 0;
  snprintf(line, sizeof line, "%-20s %9lld %9lld %9lld %3d%% %s\n", device.c_str(),
           static_cast<long long>(total_kib), static_cast<long long>(used_kib),
           static_cast<long long>(available), percent, mounted_on.c_str());
  EXPECT_EQ(header.size(), 67u);
  return header + line;
}

void AgentTest::SetDf(const std::string& device, int64_t total_kib, int64_t used_kib) {
  SetDfOutput(UsualDfOutput(device, total_kib, used_kib, Mnt()));
}

void AgentTest::SetDfOutput(const std::string& text) {
  std::ofstream(stub_dir_ + "/df.out", std::ios::trunc) << text;
}

void AgentTest::SetToolExit(const std::string& tool, int status) {
  std::ofstream(stub_dir_ + "/" + tool + ".exit", std::ios::trunc) << status;
}

void AgentTest::SetToolAction(const std::string& tool, const std::string& script) {
  std::ofstream(stub_dir_ + "/" + tool + ".sh", std::ios::trunc) << script << "\n";
}

std::vector<std::string> AgentTest::ToolCalls() const {
  std::ifstream in(stub_dir_ + "/calls.log");
  std::vector<std::string> calls;
  for (std::string line; std::getline(in, line);) calls.push_back(line);
  return calls;
}

std::vector<std::string> AgentTest::AgentCommandLine() const {
  std::vector<std::string> argv;
  std::stringstream emulator(Env("USB_AGENT_EMULATOR", ""));
  for (std::string part; emulator >> part;) argv.push_back(part);
  argv.push_back(Env("USB_AGENT_BINARY", USB_AGENT_DEFAULT_BINARY));
  return argv;
}

std::vector<std::string> AgentTest::AgentEnvironment() const {
  return {"USB_AGENT_ROOT=" + root_, "PATH=" + stub_dir_ + ":" + Env("PATH", "/usr/bin:/bin"),
          "STUB_DIR=" + stub_dir_, "USB_AGENT_PAUSE_US=" + std::to_string(pause_us_)};
}

int AgentTest::RunAgent() {
  std::string binary = AgentCommandLine().back();
  EXPECT_TRUE(fs::exists(binary)) << "no agent binary at '" << binary << "'";
  return Spawn(AgentCommandLine(), AgentEnvironment(), file_size_limit_);
}

int AgentTest::RunCommand(int32_t code) {
  PutProcInt("usb_storage_com", code);
  return RunAgent();
}

ScriptedRun AgentTest::RunScript(const std::vector<int32_t>& codes, int32_t tail_code,
                                 size_t tail_count) {
  // The driver's side holds the FIFO open for reading and writing, so every
  // record stays queued until the agent reads it, and the agent's reads
  // block (instead of seeing the end) while the script runs.
  std::string fifo = At("proc/dvr/usb_storage_com");
  Remove("proc/dvr/usb_storage_com");
  EXPECT_EQ(mkfifo(fifo.c_str(), 0666), 0);
  int fd = open(fifo.c_str(), O_RDWR);
  EXPECT_GE(fd, 0);
  std::vector<int32_t> all = codes;
  all.insert(all.end(), tail_count, tail_code);
  Bytes records;
  for (int32_t code : all) PutLe32(records, code);
  EXPECT_LT(records.size(), 65536u) << "more than a pipe holds";
  EXPECT_EQ(write(fd, records.data(), records.size()), static_cast<ssize_t>(records.size()));
  int exit_code = RunAgent();
  int left = 0;
  ioctl(fd, FIONREAD, &left);
  close(fd);
  return {exit_code, all.size() - static_cast<size_t>(left) / 4};
}

int AgentTest::CountClosesAfterWrite(const std::string& rel, const std::function<void()>& run) {
  int fd = inotify_init1(IN_NONBLOCK);
  EXPECT_GE(fd, 0);
  // Opens are watched too: inotify merges identical events in a row, and an
  // open between two closes keeps them apart.
  EXPECT_GE(inotify_add_watch(fd, At(rel).c_str(), IN_OPEN | IN_CLOSE_WRITE), 0) << rel;
  run();
  int count = 0;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      auto* event = reinterpret_cast<inotify_event*>(buffer + at);
      if (event->mask & IN_CLOSE_WRITE) ++count;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  close(fd);
  return count;
}

std::vector<uint32_t> AgentTest::FileEvents(const std::string& rel,
                                            const std::function<void()>& run) {
  int fd = inotify_init1(IN_NONBLOCK);
  EXPECT_GE(fd, 0);
  EXPECT_GE(inotify_add_watch(fd, At(rel).c_str(),
                              IN_OPEN | IN_MODIFY | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE),
            0)
      << rel;
  run();
  std::vector<uint32_t> events;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      auto* event = reinterpret_cast<inotify_event*>(buffer + at);
      events.push_back(event->mask & (IN_OPEN | IN_MODIFY | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE));
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  close(fd);
  return events;
}

Bytes AgentTest::CollectThroughFifo(const std::string& rel, const std::function<void()>& run) {
  Remove(rel);
  EXPECT_EQ(mkfifo(At(rel).c_str(), 0666), 0);
  // Held open for reading and writing: the agent's opens never block and the
  // reader never sees an end between two of them.
  int reader = open(At(rel).c_str(), O_RDWR);
  EXPECT_GE(reader, 0);
  Bytes received;
  std::atomic<bool> run_ended{false};
  std::thread drain([&] {
    uint8_t buf[65536];
    for (;;) {
      pollfd p{reader, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) {
        if (run_ended) break;  // everything written has been taken
        continue;
      }
      ssize_t n = read(reader, buf, sizeof buf);
      if (n <= 0) break;
      received.insert(received.end(), buf, buf + n);
    }
  });
  run();
  run_ended = true;
  drain.join();
  close(reader);
  return received;
}

}  // namespace tevrano::agent_test
