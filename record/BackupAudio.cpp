// Audio packets of the backup stream, from the audio ring into the movie.
#include "record/BackupAudio.h"

#include "record/BackupJob.h"
#include "stream/FrameHeader.h"
#include "stream/StreamConnection.h"
#include "view/ViewRecords.h"

namespace tevrano::record {

int ReadBackupAudioPacket(StreamConnection& c, BackupJob& job, bool markerFraming,
                          uint8_t* scratch) {
  if (!c.Context || !c.Context->view || !c.AudioRing.Allocated()) return 1;
  if (job.State() != BackupJob::kCollect && job.State() != BackupJob::kSteady) return 1;
  const ViewState& view = *c.Context->view;
  ByteRing& ring = c.AudioRing;
  uint32_t bytes = 0;
  if (markerFraming) {
    const int found = FindFrameHeader(ring);
    if (found == kGarbageSkipped) return 0;
    if (found != kPacketReady) return 1;
    uint8_t raw[FrameHeader::kSize];
    ring.Peek(raw, sizeof raw);
    bytes = FrameHeader::Of(raw).PacketBytes();
    if (bytes > ring.Used()) return 1;
    if (bytes >= kBackupAudioMax) {
      ring.Skip(bytes);
      return 0;
    }
    ring.Read(scratch, bytes);
  } else {
    if (ring.Used() < TransportHeader::kSize) return 1;
    uint8_t raw[TransportHeader::kSize];
    ring.Peek(raw, sizeof raw);
    const TransportHeader t = TransportHeader::Of(raw);
    if (t.total >= kBackupAudioMax || t.channel >= 15 || t.total < TransportHeader::kSize) {
      ring.DiscardAll();
      return 1;
    }
    if (t.total > ring.Used()) return 1;
    ring.Skip(TransportHeader::kSize);
    bytes = t.total - TransportHeader::kSize;
    ring.Read(scratch, bytes);
    if (t.tag != 0 && t.tag != view.ConnectionTag) return 0;
  }
  if (bytes < FrameHeader::kSize) return 0;
  const FrameHeader h = FrameHeader::Of({scratch, bytes});
  if (!h.Valid() || h.type != FrameHeader::kAudio || h.PacketBytes() > bytes) return 0;
  if (view.Backup.Channel >= 16) return 0;
  job.StepAudio(c, scratch, h.PacketBytes());
  return 0;
}

}  // namespace tevrano::record
