// The recorder's firmware update service: a TCP port of its own where a
// viewer announces an image and sends it in 4,096-byte chunks that the
// recorder asks for one by one, then follows the write progress. Runs on a
// thread of its own, one connection at a time (see the README for the wire
// layout).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "JsonLog.h"

namespace tevrano::sim {

struct UpdateServerOptions {
  std::string address = "127.0.0.2";
  uint16_t port = 0;           // 0: any free port (tests)
  bool refuseVersion = false;  // answer 0xFFFF to the announce
  uint32_t repeatChunk = 0;    // ask for this chunk a second time (once); 0: never
  // Go silent (read on, answer nothing) for `silentSeconds` once this phase
  // is reached: "announce", "upload" (after the first chunk) or "write".
  std::string silentAt;
  double silentSeconds = 30;
  std::string savePath;   // the received image is written here
  int writeStepMs = 100;  // between write progress answers
};

class UpdateServer {
 public:
  UpdateServer(const UpdateServerOptions& options, JsonLog& log);
  ~UpdateServer();
  UpdateServer(const UpdateServer&) = delete;
  UpdateServer& operator=(const UpdateServer&) = delete;

  // Binds and starts the thread; false with `error` when the port is taken.
  bool Start(std::string& error);
  void Stop();
  uint16_t Port() const { return port_; }

  // The last image received whole (empty until one is).
  std::vector<uint8_t> LastImage() const;

  // Packet layout, 4,108 bytes, integers little-endian.
  static constexpr size_t kPacketSize = 4108;
  static constexpr uint32_t kPoll = 0x32DB2900, kAnnounce = 0x32DB2901, kData = 0x32DB2902,
                            kLastData = 0x32DB2906;
  static constexpr size_t kChunk = 4096;

 private:
  void Run();
  void Serve(int fd);
  void Log(JsonEvent& e);
  bool Silent(const char* phase, int fd);

  UpdateServerOptions options_;
  JsonLog& log_;
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<uint8_t> lastImage_;
  double start_ = 0;
};

// 32-bit byte sum and FNV-1a of an image, for the log.
uint32_t ImageByteSum(const std::vector<uint8_t>& bytes);
uint32_t ImageFnv1a(const std::vector<uint8_t>& bytes);

}  // namespace tevrano::sim
