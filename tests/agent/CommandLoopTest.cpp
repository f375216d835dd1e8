// The command loop: single-shot and resident runs, stop codes, the idle
// limit, codes that do nothing, and the proc files whose loss ends the run.
#include <chrono>

#include "AgentHarness.h"

namespace tevrano::agent_test {
namespace {

class CommandLoop : public AgentTest {};

TEST_F(CommandLoop, FirstCommandFourListsOnceAndEndsInOrder) {
  MakeStickFolders();
  SetDf("/dev/sda1", 1000, 10);
  EXPECT_EQ(RunCommand(4), 0);
  EXPECT_EQ(Proc("usb_storage_inf").size(), 3352u);
  EXPECT_EQ(ProcInt("usb_storage_running"), 0);
  EXPECT_EQ(ToolCalls(), std::vector<std::string>{"df " + Mnt()});
}

TEST_F(CommandLoop, SingleShotCodeThatDoesNothingStillEndsInOrder) {
  EXPECT_EQ(RunCommand(1), 0);
  EXPECT_EQ(ProcInt("usb_storage_running"), 0);
  EXPECT_FALSE(HasProc("usb_storage_inf"));
  EXPECT_TRUE(ToolCalls().empty());
}

TEST_F(CommandLoop, ResidentRunCarriesOutPostedCommandsAndEndsAfterAThousandIdleReads) {
  MakeStickFolders();
  SetDf("/dev/sda1", 1000, 10);
  PutProc("usb_storage_mount", Bytes{'/', 'd', 'e', 'v', '/', 's', 'd', 'a', '1', 0});
  ScriptedRun run = RunScript({11, 2, 4}, 0, 1200);
  EXPECT_EQ(run.exit_code, 0);
  // A nonzero read sets the idle counter back to 1; each read of 0 adds 1
  // and the run ends when the counter reaches 1,000.
  EXPECT_EQ(run.codes_read, 3u + 999u);
  EXPECT_EQ(ToolCalls(), (std::vector<std::string>{"umount " + Mnt(), "mount /dev/sda1 " + Mnt(),
                                                   "df " + Mnt()}));
  EXPECT_EQ(ProcInt("usb_storage_mount"), 0);
  EXPECT_EQ(Proc("usb_storage_inf").size(), 3352u);
  EXPECT_EQ(ProcInt("usb_storage_running"), 0);
}

TEST_F(CommandLoop, IdleCounterRestartsOnEveryNonzeroCode) {
  ScriptedRun run = RunScript({11, 0, 0, 0, 1}, 0, 1200);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.codes_read, 5u + 999u);
}

TEST_F(CommandLoop, StopCodesEndTheResidentRunAfterTheirPass) {
  struct Case {
    int32_t code;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {12, {}},
      {3, {"umount " + Mnt()}},
      {9, {"umount " + Mnt()}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    Remove("bin/calls.log");
    ScriptedRun run = RunScript({11, 4, c.code}, 0, 20);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.codes_read, 3u);
    EXPECT_EQ(ToolCalls(), c.calls);
    EXPECT_EQ(ProcInt("usb_storage_running"), 0);
  }
}

TEST_F(CommandLoop, SingleShotUnmountRunsUmount) {
  EXPECT_EQ(RunCommand(3), 0);
  EXPECT_EQ(ToolCalls(), std::vector<std::string>{"umount " + Mnt()});
}

// A code that the driver leaves in place must not make the agent spin: each
// pass that does nothing pauses like the idle pass. Sleeping guarantees a
// minimum duration, so the lower bound checked here cannot fail by chance.
TEST_F(CommandLoop, CodesThatDoNothingPauseLikeTheIdlePass) {
  constexpr long kPauseUs = 40000;
  constexpr int kPasses = 5;
  SetPauseMicroseconds(kPauseUs);
  for (int32_t code : {1, 11, 13, 99, -1}) {
    SCOPED_TRACE(code);
    std::vector<int32_t> script = {11};
    script.insert(script.end(), kPasses, code);
    script.push_back(12);
    auto start = std::chrono::steady_clock::now();
    ScriptedRun run = RunScript(script);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.codes_read, script.size());
    // The first pass (code 11) pauses too.
    EXPECT_GE(elapsed, std::chrono::microseconds(kPauseUs * (kPasses + 1)));
  }
}

// In a resident run each write chunk is followed by the idle pause, which
// paces the driver's chunks; the last chunk's pause is taken too.
TEST_F(CommandLoop, ResidentWriteChunksArePaced) {
  constexpr long kPauseUs = 40000;
  SetPauseMicroseconds(kPauseUs);
  MakeStickFolders();
  WriteRequest r{.sectors = 1, .mode = 0, .create = 0, .no_index = 0, .name = "Movie/m.mov"};
  PutProc("usb_storage_inf", r.Encode());
  PutProc("usb_storage_data", Bytes(512, 3));
  auto start = std::chrono::steady_clock::now();
  ScriptedRun run = RunScript({11, 5, 5, 5, 12});
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(ReadFile("mnt/Movie/m.mov").size(), 3u * 512);
  EXPECT_EQ(ProcInt("usb_storage"), 2);
  EXPECT_GE(elapsed, std::chrono::microseconds(kPauseUs * 4));  // code 11 and three chunks
}

TEST_F(CommandLoop, UnopenableProcFilesEndTheRunWithMinusOne) {
  struct Case {
    const char* what;
    std::function<void(CommandLoop&)> arrange;
    int32_t running_after;  // INT32_MIN: the running file is not a record
  };
  const Case cases[] = {
      {"running file",
       [](CommandLoop& t) {
         t.PutProcInt("usb_storage_com", 4);
         t.MakeDir("proc/dvr/usb_storage_running");
       },
       INT32_MIN},
      {"command file", [](CommandLoop& t) { t.ClearProc("usb_storage_com"); }, 1},
      {"sector size file for a format",
       [](CommandLoop& t) {
         t.PutProcInt("usb_storage_com", 8);
         t.PutProc("usb_storage_mount", Bytes{'/', 'd', 'e', 'v', '/', 's', 'd', 'b', '1', 0});
       },
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearProc("usb_storage_running");
    ClearProc("usb_storage_com");
    c.arrange(*this);
    EXPECT_EQ(RunAgent(), 255);  // main's -1
    if (c.running_after != INT32_MIN) {
      EXPECT_EQ(ProcInt("usb_storage_running"), c.running_after);
    }
    EXPECT_TRUE(ToolCalls().empty());
  }
}

// The driver learns of an orderly end only from the running record 0: when
// it can't be written the run ends with -1 as well. The umount of command 3
// replaces the running file by a folder before the end is written.
TEST_F(CommandLoop, FinalRunningRecordThatCanNotBeWrittenEndsWithMinusOne) {
  struct Case {
    const char* what;
    const char* umount_action;
    int exit_code;
  };
  const Case cases[] = {
      {"running file in place", "", 0},
      {"running file gone",
       "rm -f \"$USB_AGENT_ROOT/proc/dvr/usb_storage_running\"\n"
       "mkdir \"$USB_AGENT_ROOT/proc/dvr/usb_storage_running\"",
       255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Remove("proc/dvr/usb_storage_running");
    SetToolAction("umount", c.umount_action);
    EXPECT_EQ(RunCommand(3), c.exit_code);
    EXPECT_EQ(ToolCalls().back(), "umount " + Mnt());
  }
  EXPECT_EQ(ToolCalls().size(), 2u);
}

}  // namespace
}  // namespace tevrano::agent_test
