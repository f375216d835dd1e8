// The test plays the recorder's video driver: it prepares a root folder that
// stands for the recorder's file system (proc files under proc/dvr, the stick
// under mnt), puts recording stubs of the shell tools first on PATH, runs the
// agent binary and reads the proc records back.
//
// The agent binary is USB_AGENT_BINARY (default: the host build's agent);
// USB_AGENT_EMULATOR, when set, is the command line that runs it (for the
// MIPS build: qemu-mipsel and its options, separated by spaces).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tevrano::agent_test {

using Bytes = std::vector<uint8_t>;

// Appends little-endian int32s (the driver's byte order).
void PutLe32(Bytes& out, int32_t value);
int32_t GetLe32(const Bytes& in, size_t at);
// A fixed-width, zero-filled text field.
void PutText(Bytes& out, const std::string& text, size_t width);

// df's output as the recorder prints it: a 67-byte header line, then the
// device padded to 20 characters and the numbers in columns of 9.
std::string UsualDfOutput(const std::string& device, int64_t total_kib, int64_t used_kib,
                          const std::string& mounted_on);

struct WriteRequest {
  int32_t sectors = 1;
  int32_t mode = 0;
  int32_t create = 0;
  int32_t no_index = 1;
  std::string name;
  Bytes Encode() const;  // 84 bytes
};

struct ReadRequest {
  int32_t op = 0;
  int32_t format_a = 2;
  int32_t format_b = 1;
  int32_t offset = 0;
  int32_t length = 0;
  int32_t in_root = 0;
  std::string name;
  Bytes Encode() const;  // 88 bytes
};

// One listed entry of the listing answer.
struct ListedFile {
  std::string name;
  int32_t size;
  bool operator==(const ListedFile&) const = default;
};

struct Listing {
  int32_t total_kib, used_kib, rom_count, movie_count, picture_count;
  std::vector<ListedFile> roms, movies, pictures;  // every slot up to its count
  static Listing Decode(const Bytes& record);      // the 3,352-byte record
};

// What a resident run did with a scripted command file.
struct ScriptedRun {
  int exit_code;
  size_t codes_read;  // command records the agent took from the script
};

class AgentTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 public:
  // Paths inside the root; rel has no leading "/".
  std::string Root() const { return root_; }
  std::string At(const std::string& rel) const { return root_ + "/" + rel; }
  std::string Mnt() const { return root_ + "/mnt"; }

  void WriteFile(const std::string& rel, const Bytes& bytes);
  void WriteText(const std::string& rel, const std::string& text);
  Bytes ReadFile(const std::string& rel) const;
  bool Exists(const std::string& rel) const;
  void MakeDir(const std::string& rel);
  void Remove(const std::string& rel);

  void PutProc(const std::string& name, const Bytes& bytes) {
    WriteFile("proc/dvr/" + name, bytes);
  }
  void PutProcInt(const std::string& name, int32_t value);
  Bytes Proc(const std::string& name) const { return ReadFile("proc/dvr/" + name); }
  int32_t ProcInt(const std::string& name) const;
  bool HasProc(const std::string& name) const { return Exists("proc/dvr/" + name); }
  void ClearProc(const std::string& name) { Remove("proc/dvr/" + name); }

  // The stick as it looks after a format: mnt/Movie and mnt/Picture.
  void MakeStickFolders();
  // df's output: the recorder's usual layout for this device and figures.
  void SetDf(const std::string& device, int64_t total_kib, int64_t used_kib);
  void SetDfOutput(const std::string& text);
  // Exit status of a stub tool (0 unless set).
  void SetToolExit(const std::string& tool, int status);
  // Shell text the stub tool runs before it ends (with USB_AGENT_ROOT set).
  void SetToolAction(const std::string& tool, const std::string& script);
  // Every stub call in order, as "tool arg1 arg2 ...".
  std::vector<std::string> ToolCalls() const;

  // Single-shot run: the command file holds code; returns the exit status.
  int RunCommand(int32_t code);
  // Runs the agent with whatever the proc files hold now.
  int RunAgent();
  // Resident run: the command file is a FIFO that hands out codes one read
  // at a time, then tail_count copies of tail_code.
  ScriptedRun RunScript(const std::vector<int32_t>& codes, int32_t tail_code = 0,
                        size_t tail_count = 0);

  // How often the file rel (which must exist) was closed after writing while
  // run() ran: one per record the agent sent through it.
  int CountClosesAfterWrite(const std::string& rel, const std::function<void()>& run);

  // Makes rel a FIFO and returns every byte the agent wrote into it while
  // run() ran, across all its opens.
  Bytes CollectThroughFifo(const std::string& rel, const std::function<void()>& run);

  // The inotify events (IN_OPEN, IN_MODIFY, IN_CLOSE_WRITE, IN_CLOSE_NOWRITE)
  // of the file rel (which must exist) while run() ran, in order.
  std::vector<uint32_t> FileEvents(const std::string& rel, const std::function<void()>& run);

  // A file-size limit for the agent's process (as a full stick): writes past
  // it fail with EFBIG instead of raising SIGXFSZ. Negative: no limit.
  void SetFileSizeLimit(long long bytes) { file_size_limit_ = bytes; }

  // The idle pause the agent sleeps (set small so resident runs stay quick).
  void SetPauseMicroseconds(long us) { pause_us_ = us; }

 private:
  std::vector<std::string> AgentCommandLine() const;
  std::vector<std::string> AgentEnvironment() const;

  std::string root_;
  std::string stub_dir_;
  long pause_us_ = 200;
  long long file_size_limit_ = -1;
};

}  // namespace tevrano::agent_test
