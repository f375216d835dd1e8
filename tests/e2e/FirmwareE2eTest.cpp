// Firmware upload end to end: the headless viewer picks an image on the
// Update tab and uploads it to the simulator's update service, which keeps
// what it received; the dialog counts the recorder's reboot down to
// "OS update completed.".
#include <gtest/gtest.h>

#include <QFile>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/e2e/E2eHarness.h"

namespace tevrano::e2e {
namespace {

using std::chrono::seconds;

// An image with the version marker at 0x80000 and its version text after it.
std::vector<char> MakeImage(size_t size) {
  std::vector<char> bytes(size);
  uint32_t x = 12345;
  for (char& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = char(x >> 16);
  }
  const size_t marker = 524288;
  const uint32_t word = 0x013218FC;
  for (int i = 0; i < 4; ++i) bytes[marker + i] = char(word >> (8 * i));
  const char version[] = "DVR 3.2.0_SIM";
  for (size_t i = 0; i < 23; ++i)
    bytes[marker + 4 + 11 + i] = i < sizeof version - 1 ? version[i] : 0;
  return bytes;
}

std::vector<char> ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<char>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// The dump, with bytes that are not UTF-8 (the UPnP help's quotes) replaced
// so that the JSON parses.

TEST(FirmwareE2e, UploadEndsWithOsUpdateCompletedAndTheSimulatorHoldsTheImage) {
  const std::string dir = TestOutputDir();
  const std::string imagePath = dir + "/dvr.rom";
  const std::string receivedPath = dir + "/received.rom";
  const int updatePort = FreePort();
  Simulator sim;
  ASSERT_TRUE(sim.Start({"--model", "7104", "--update-port", QString::number(updatePort),
                         "--update-save", QString::fromStdString(receivedPath)}))
      << sim.Output();
  // Written after the simulator's start, which empties the test's folder.
  const std::vector<char> image = MakeImage(600000);
  {
    std::ofstream f(imagePath, std::ios::binary);
    f.write(image.data(), std::streamsize(image.size()));
  }

  // The file dialog's path goes straight into the tab's file field.
  const std::string script = dir + "/update.txt";
  {
    std::ofstream f(script);
    f << "wait-until logged-in 60\n"
      << "tab 7\n"
      << "set-text LabeledEdit_Updata3 " << imagePath << "\n"
      << "click Button_Updata3\n"
      << "click Button_Update_Yes\n"
      // The reboot countdown takes a minute after the write; the run ends
      // as soon as the dialog says it is over.
      << "wait-until text \"OS update completed.\" 180\n"
      << "quit\n";
  }
  QStringList args = RecorderArgs(sim);
  args << "--update-port" << QString::number(updatePort) << "--script"
       << QString::fromStdString(script);
  Viewer viewer;
  ASSERT_TRUE(viewer.Start(args, "firmware"));

  const auto written = sim.WaitForLog(
      [](const QJsonObject& o) {
        return o.value("event").toString() == "update_write" && o.value("percent").toInt() == 100;
      },
      seconds(120));
  ASSERT_TRUE(written) << sim.Output();
  const auto announce = sim.WaitForLog(
      [](const QJsonObject& o) { return o.value("event").toString() == "update_announce"; },
      seconds(1));
  ASSERT_TRUE(announce);
  EXPECT_EQ(announce->value("size").toInt(), int(image.size()));
  EXPECT_EQ(announce->value("name").toString(), "dvr.rom");
  EXPECT_EQ(ReadAll(receivedPath), image);

  const ViewerResult r = viewer.Finish(seconds(240));
  ASSERT_TRUE(r.finished) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  const QJsonObject dump = ReadDump(dir + "/firmware.json");
  EXPECT_EQ(ComponentOf(dump, "Label_Update1").value("caption").toString(), "OS update completed.")
      << r.output;
  EXPECT_EQ(ComponentOf(dump, "Button_Update_No").value("caption").toString(), "OK");
  EXPECT_EQ(ComponentOf(dump, "Label_Update2").value("caption").toString().endsWith(" --> 3.2.0"),
            true);
}

}  // namespace
}  // namespace tevrano::e2e
