// Mount, format and delete: the shell commands they run, what they refuse
// to hand to the shell, and the completion record.
#include <sys/stat.h>

#include "AgentHarness.h"

namespace tevrano::agent_test {
namespace {

class StickCommands : public AgentTest {
 public:
  void PutDevice(const std::string& path) {
    Bytes field;
    PutText(field, path, 64);
    PutProc("usb_storage_mount", field);
  }
};

TEST_F(StickCommands, MountRemountsTheDeviceAndReportsDone) {
  PutDevice("/dev/sda1");
  EXPECT_EQ(RunCommand(2), 0);
  EXPECT_EQ(ToolCalls(), (std::vector<std::string>{"umount " + Mnt(), "mount /dev/sda1 " + Mnt()}));
  EXPECT_EQ(ProcInt("usb_storage_mount"), 0);
}

TEST_F(StickCommands, MountGoesOnWhenNothingWasMounted) {
  PutDevice("/dev/sda1");
  SetToolExit("umount", 1);
  SetToolExit("mount", 32);
  EXPECT_EQ(RunCommand(2), 0);
  EXPECT_EQ(ToolCalls(), (std::vector<std::string>{"umount " + Mnt(), "mount /dev/sda1 " + Mnt()}));
  EXPECT_EQ(ProcInt("usb_storage_mount"), 0);
}

TEST_F(StickCommands, DevicePathOfSixtyFourBytesCountsAsSixtyThree) {
  std::string device = "/dev/" + std::string(59, 'x');  // 64 characters, no terminator
  Bytes field(device.begin(), device.end());
  PutProc("usb_storage_mount", field);
  EXPECT_EQ(RunCommand(2), 0);
  EXPECT_EQ(ToolCalls(), (std::vector<std::string>{"umount " + Mnt(),
                                                   "mount " + device.substr(0, 63) + " " + Mnt()}));
}

// Only a plain path (letters, digits, "/", "_", "-", ".") reaches the shell;
// an empty one would make mount take the system table's entry, and a leading
// "-" would make it an option of mount or mkdosfs.
TEST_F(StickCommands, DevicePathsThatAreNotPlainPathsAreRefused) {
  const char* devices[] = {"",         "/dev/sda1; reboot", "$(reboot)", "/dev/sd a1",
                           "`reboot`", "/dev/sda1\n",       "a|b",       "/dev/sda1&",
                           "--bind",   "-oremount"};
  for (int code : {2, 8}) {
    for (const char* device : devices) {
      SCOPED_TRACE(std::string("code ") + std::to_string(code) + " device '" + device + "'");
      Remove("bin/calls.log");
      ClearProc("usb_storage_mount");
      PutDevice(device);
      PutProcInt("usb_sector_size", 1000);
      EXPECT_EQ(RunCommand(code), 0);
      EXPECT_TRUE(ToolCalls().empty());
      EXPECT_EQ(ProcInt("usb_storage_mount"), 0);
    }
  }
}

TEST_F(StickCommands, MissingDeviceFileMountsNothing) {
  EXPECT_EQ(RunCommand(2), 0);
  EXPECT_TRUE(ToolCalls().empty());
  EXPECT_EQ(ProcInt("usb_storage_mount"), 0);
}

TEST_F(StickCommands, FormatMakesFat32CreatesTheFoldersAndRemounts) {
  PutDevice("/dev/sdb1");
  PutProcInt("usb_sector_size", 3906250);
  EXPECT_EQ(RunCommand(8), 0);
  EXPECT_EQ(ToolCalls(), (std::vector<std::string>{
                             "umount " + Mnt(),
                             "mkdosfs -S 512 -F 32 /dev/sdb1 3906250",
                             "mount /dev/sdb1 " + Mnt(),
                             "umount " + Mnt(),
                             "mount /dev/sdb1 " + Mnt(),
                         }));
  struct stat st;
  ASSERT_EQ(stat(At("mnt/Movie").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  ASSERT_EQ(stat(At("mnt/Picture").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(ProcInt("usb_storage_mount"), 0);
}

// umount fails when nothing is mounted, which is the state of a new or
// unreadable stick that is to be formatted: only a folder that is still a
// mount point after it (the mount table, proc/mounts below the root, lists
// it) keeps the format tool away.
TEST_F(StickCommands, FormatRunsUnlessTheFolderIsStillMounted) {
  struct Case {
    const char* what;
    int umount_exit;
    std::string mount_table;  // empty: no mount table
    bool formats;
  };
  const std::string mnt = Mnt();
  // The mount table writes characters such as a space as octal escapes; the
  // root's "-" written as one checks that they are decoded.
  std::string escaped_mnt;
  for (char c : mnt) escaped_mnt += c == '-' ? std::string("\\055") : std::string(1, c);
  ASSERT_NE(escaped_mnt, mnt);
  const std::string others = "proc /proc proc rw 0 0\n/dev/sda2 " + mnt +
                             "x vfat rw 0 0\n/dev/sdc1 " + mnt + "/Movie vfat rw 0 0\n";
  const Case cases[] = {
      {"nothing mounted: umount fails", 1, "", true},
      {"nothing mounted, no other mount on the folder", 1, others, true},
      {"unmounted", 0, others, true},
      {"still mounted: umount failed", 1, others + "/dev/sdb1 " + escaped_mnt + " vfat rw 0 0\n",
       false},
      {"still mounted: a second mount underneath", 0,
       "/dev/sdb1 " + escaped_mnt + " vfat rw 0 0\n" + others, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Remove("bin/calls.log");
    Remove("mnt/Movie");
    Remove("mnt/Picture");
    Remove("proc/mounts");
    if (!c.mount_table.empty()) WriteText("proc/mounts", c.mount_table);
    PutDevice("/dev/sdb1");
    PutProcInt("usb_sector_size", 1000);
    SetToolExit("umount", c.umount_exit);
    EXPECT_EQ(RunCommand(8), 0);
    std::vector<std::string> calls = {"umount " + mnt};
    if (c.formats) {
      calls.push_back("mkdosfs -S 512 -F 32 /dev/sdb1 1000");
      calls.push_back("mount /dev/sdb1 " + mnt);
      calls.push_back("umount " + mnt);
      calls.push_back("mount /dev/sdb1 " + mnt);
    }
    EXPECT_EQ(ToolCalls(), calls);
    EXPECT_EQ(Exists("mnt/Movie"), c.formats);
    EXPECT_EQ(Exists("mnt/Picture"), c.formats);
    EXPECT_EQ(ProcInt("usb_storage_mount"), 0);
  }
}

TEST_F(StickCommands, FormatRefusesABlockCountBelowOne) {
  for (int32_t blocks : {0, -5, INT32_MIN}) {
    SCOPED_TRACE(blocks);
    PutDevice("/dev/sdb1");
    PutProcInt("usb_sector_size", blocks);
    EXPECT_EQ(RunCommand(8), 0);
    EXPECT_TRUE(ToolCalls().empty());
    EXPECT_EQ(ProcInt("usb_storage_mount"), 0);
  }
}

TEST_F(StickCommands, DeleteRemovesOnlyTheNamedMovie) {
  MakeStickFolders();
  WriteText("mnt/Movie/a.mov", "a");
  WriteText("mnt/Movie/b.mov", "b");
  Bytes name;
  PutText(name, "a.mov", 64);
  PutProc("usb_storage_inf", name);
  EXPECT_EQ(RunCommand(7), 0);
  EXPECT_FALSE(Exists("mnt/Movie/a.mov"));
  EXPECT_TRUE(Exists("mnt/Movie/b.mov"));
}

TEST_F(StickCommands, DeleteRefusesNamesOutsideTheMovieFolder) {
  MakeStickFolders();
  WriteText("mnt/Picture/p.jpg", "p");
  WriteText("mnt/Movie/sub/x.mov", "x");
  WriteText("mnt/keep.rom", "k");
  std::string too_long(58, 'm');  // "/mnt/Movie/" + 58 characters is 69
  WriteText("mnt/Movie/" + too_long, "m");
  std::string just_fits(57, 'n');
  WriteText("mnt/Movie/" + just_fits, "n");
  const std::string names[] = {"../Picture/p.jpg", "..", ".",     "sub/x.mov",
                               "../keep.rom",      "",   too_long};
  for (const std::string& n : names) {
    SCOPED_TRACE(n);
    Bytes field;
    PutText(field, n, 64);
    PutProc("usb_storage_inf", field);
    EXPECT_EQ(RunCommand(7), 0);
  }
  EXPECT_TRUE(Exists("mnt/Picture/p.jpg"));
  EXPECT_TRUE(Exists("mnt/Movie/sub/x.mov"));
  EXPECT_TRUE(Exists("mnt/keep.rom"));
  EXPECT_TRUE(Exists("mnt/Movie/" + too_long));

  Bytes field;
  PutText(field, just_fits, 64);
  PutProc("usb_storage_inf", field);
  EXPECT_EQ(RunCommand(7), 0);
  EXPECT_FALSE(Exists("mnt/Movie/" + just_fits));
}

TEST_F(StickCommands, DeleteNameOfSixtyFourBytesIsCutToSixtyThree) {
  MakeStickFolders();
  std::string name(64, 'z');
  PutProc("usb_storage_inf", Bytes(name.begin(), name.end()));
  EXPECT_EQ(RunCommand(7), 0);  // no terminator: must not read past the field
  EXPECT_EQ(ProcInt("usb_storage_running"), 0);
}

}  // namespace
}  // namespace tevrano::agent_test
