#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace tevrano::host {

// The command line's backup: camera (0-based), span in recorder seconds and
// the movie's path.
struct BackupOptions {
  uint32_t channel = 0;
  uint32_t from = 0, to = 0;
  std::string out;
};

// Reads "--backup CHANNEL --from TIME --to TIME --out FILE.mov" (CHANNEL from
// 1, TIME as YYYY-MM-DDTHH:MM:SS recorder time). Empty when none of them is
// given; `error` says why they are wrong.
std::optional<BackupOptions> ParseBackupOptions(const std::optional<std::string>& channel,
                                                const std::optional<std::string>& from,
                                                const std::optional<std::string>& to,
                                                const std::optional<std::string>& out,
                                                std::string& error);
// "2026-01-02T03:04:05" as recorder seconds; false when malformed.
bool ParseRecorderTime(const std::string& text, uint32_t& seconds);

}  // namespace tevrano::host
