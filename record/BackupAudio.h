#pragma once
#include <cstdint>

namespace tevrano {
struct StreamConnection;
}

namespace tevrano::record {

class BackupJob;

// Reads one audio packet of the backup stream from the connection's audio
// ring and hands it to the job: 1 = nothing (more) to read now, 0 = go on.
// While the job waits for its next file the packets stay in the ring.
// `scratch` holds at least kBackupAudioMax bytes.
constexpr uint32_t kBackupAudioMax = 0x2000;
int ReadBackupAudioPacket(StreamConnection& c, BackupJob& job, bool markerFraming,
                          uint8_t* scratch);

}  // namespace tevrano::record
