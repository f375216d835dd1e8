// The parse pass over one stream connection: framing, filtering, pacing and
// the hand-off of whole frames to the decoder.
#include <algorithm>
#include <cstring>

#include "base/Form.h"
#include "stream/ParamSetPrefix.h"
#include "stream/StreamSystem.h"
#include "view/ViewRecords.h"

namespace tevrano {
namespace {

// The end of the leading run of whole length-prefixed NAL units of
// frame[from, end). `padding` is set when a zero length (the packet's
// padding) ends the run.
uint32_t WholeNalEnd(std::span<const uint8_t> frame, uint32_t from, bool& padding) {
  padding = false;
  if (from >= frame.size()) return from;
  return from + uint32_t(NalLengthWalker::WholeUnitBytes(frame.subspan(from), &padding));
}

// The sequence number of marker-framed video counts modulo 1024.
constexpr uint32_t kSequence10Mask = 1023;
// Channel 16 carries the split picture; it is shown only live.
constexpr uint32_t kSplitChannel = 16;

bool KindAccepted(uint32_t mode, uint32_t kind, bool marker) {
  switch (mode) {
    case kModeLive:
      return kind == 0;
    case kModePlayback:
    case kModeBackup:
      return marker || kind == 1;
    case kModeFilePlayback:
      return kind == 3;
    default:
      return false;
  }
}

// The playback buttons' states that tell the recorder to stop: 1, and any
// state outside 0 to 4 (the states that play).
bool PlaybackStopped(uint32_t playbackControl) {
  return playbackControl == 1 || playbackControl > 4;
}

}  // namespace

int StreamSystem::ParsePacket(StreamConnection& c) {
  if (!c.Context || !c.Context->view || !c.Context->stats) return 1;
  // A frame still waiting for its time keeps everything behind it. In
  // Backup mode the frame waits for the backup job (its next file), and goes
  // back to it: shown and dropped here, it would be missing from the movie.
  if (c.FrameLength != 0) {
    if (c.Context->view->Mode != kModeBackup)
      PresentFrame(c, picture_.keyFrameSeen);
    else if (hooks_.backupStep)
      hooks_.backupStep(c);
    else
      c.FrameLength = 0;
    if (c.FrameLength != 0) return 1;
  }
  if (!c.MainRing.Allocated()) return 1;
  ViewState& view = *c.Context->view;
  const bool marker = MarkerFraming();

  if (!marker) return ParseTransportFramed(c, view);

  if (view.Mode != kModeLive && view.Mode != kModePlayback && view.Mode != kModeBackup) return 1;
  if (FindFrameHeader(c.MainRing) < 0) return 1;
  uint8_t raw[FrameHeader::kSize];
  FrameHeader h;
  if (c.MainRing.Peek(raw, sizeof raw) != 0 || !FrameHeader::Parse(raw, h)) return 1;
  const TransportHeader t = TransportHeader::ForMarkerPacket(h);
  if (h.type == FrameHeader::kAudio) {
    const uint32_t bytes = h.PacketBytes();
    c.MainRing.Read(audioScratch_.get(), bytes);
    if (c.AudioRing.Allocated() && bytes < c.AudioRing.UsableFree())
      c.AudioRing.Write(audioScratch_.get(), bytes);
    return 0;
  }
  // Buffering leaves the packet unread, to be peeked again on the next
  // pass: its counter is checked only when it is taken.
  if (BufferingHolds(c, view)) return 1;
  if (h.type == FrameHeader::kVideo) {
    if (c.LastMarkerSequence < 0 ||
        h.sequence10 != ((uint32_t(c.LastMarkerSequence) + 1) & kSequence10Mask)) {
      picture_.keyFrameSeen = false;
      picture_.audioInSync = false;
    }
    c.LastMarkerSequence = int32_t(h.sequence10);
  }
  return HandlePacket(c, view, t, t.total - TransportHeader::kSize, true);
}

int StreamSystem::ParseTransportFramed(StreamConnection& c, ViewState& view) {
  if (BufferingHolds(c, view)) return 1;
  if (c.MainRing.Used() < TransportHeader::kSize) {
    if (c.Context->modelN6 && view.Mode != kModeBackup && hooks_.bitrateIndex) {
      const int bitrate = hooks_.bitrateIndex();
      picture_.keyFrameSeen = bitrate >= 0 && bitrate <= 2;
    }
    return 1;
  }
  uint8_t raw[TransportHeader::kSize];
  TransportHeader t;
  if (c.MainRing.Peek(raw, sizeof raw) != 0 || !TransportHeader::Parse(raw, t)) return 1;
  // Out-of-range totals and channels mean the ring lost step: start afresh.
  if (t.total >= TransportHeader::kMaxTotal || t.channel >= kChannels ||
      t.total < TransportHeader::kSize + FrameHeader::kSize) {
    c.MainRing.DiscardAll();
    return 1;
  }
  if (t.total > c.MainRing.Used()) return 1;  // the rest is still arriving
  c.MainRing.Skip(TransportHeader::kSize);
  return HandlePacket(c, view, t, t.total - TransportHeader::kSize, false);
}

int StreamSystem::DropPacket(StreamConnection& c, const TransportHeader& t) {
  c.Context->stats->RecorderValue = t.recorderValue;
  return 0;
}

int StreamSystem::SkipPacket(StreamConnection& c, const TransportHeader& t, uint32_t remaining) {
  c.MainRing.Skip(std::min(remaining, c.MainRing.Used()));
  return DropPacket(c, t);
}

int StreamSystem::HandlePacket(StreamConnection& c, ViewState& view, const TransportHeader& t,
                               uint32_t remaining, bool marker) {
  StreamStats& stats = *c.Context->stats;
  if (!c.FrameBuffer) return SkipPacket(c, t, remaining);
  if (t.tag != 0 && t.tag != view.ConnectionTag) return SkipPacket(c, t, remaining);
  if (t.channel == kSplitChannel && view.Mode != kModeLive) return SkipPacket(c, t, remaining);

  ChannelPacer& pacer = c.Pacers[t.channel];
  pacer.Bytes += t.total;
  if (!marker && stats.LastSequenceOf(t.channel) + 1 != t.sequence) pacer.Resync = 1;

  uint8_t raw[FrameHeader::kSize];
  FrameHeader h;
  if (remaining < FrameHeader::kSize || c.MainRing.Read(raw, sizeof raw) != 0 ||
      !FrameHeader::Parse(raw, h))
    return SkipPacket(c, t, remaining);
  remaining -= FrameHeader::kSize;
  // The frame header's length must fit in what the transport header framed.
  if (!h.Valid() || h.PacketBytes() - FrameHeader::kSize > remaining)
    return SkipPacket(c, t, remaining);
  if (h.type != FrameHeader::kVideo) return SkipPacket(c, t, remaining);
  // Paused playback shows nothing more: the frames still arriving were sent
  // before the recorder got the pause, and would carry the picture and the
  // time past the point that playback resumes from.
  if (view.Mode == kModePlayback && PlaybackStopped(view.PlaybackControl))
    return SkipPacket(c, t, remaining);
  const bool backup = view.Mode == kModeBackup;

  if (c.AssemblyMissing != 0) {
    if (!backup && t.channel == c.AssemblyChannel && h.seconds == c.AssemblySeconds &&
        h.frame == c.AssemblyFrame)
      return JoinPacket(c, t, h, remaining);
    // Any other packet breaks the frame: its decoder chain waits for an I-frame.
    c.AssemblyMissing = 0;
    c.Pacers[c.AssemblyChannel].Resync = 1;
  }
  if (pacer.Resync && !h.IsKeyFrame()) return SkipPacket(c, t, remaining);
  // Pictures larger than the display's work buffers are not decoded.
  if (!backup &&
      (h.widthMb > ParamSetPrefix::kMaxWidthMb || h.heightMb > ParamSetPrefix::kMaxHeightMb))
    return SkipPacket(c, t, remaining);

  const PlacedFrame placed = PlaceFrame(c, h, raw, backup, remaining);
  if (!placed.ok) return SkipPacket(c, t, remaining);

  if (!KindAccepted(view.Mode, h.streamKind, marker)) return DropPacket(c, t);
  if (view.Mode == kModePlayback) {
    if (view.PlaybackSelection != c.PlaybackSelection) {
      c.PlaybackSelection = view.PlaybackSelection;
      RestartPacers(c);
    }
    if (h.subChannel != view.PlaybackChannel()) return DropPacket(c, t);
  }
  return AcceptFrame(c, view, t, h, placed.length, placed.nalEnd);
}

// A further packet of the frame being assembled: its payload joins the
// first one's in the FrameBuffer; the last one presents the whole frame.
int StreamSystem::JoinPacket(StreamConnection& c, const TransportHeader& t, const FrameHeader& h,
                             uint32_t remaining) {
  const uint32_t payload = h.PacketBytes() - FrameHeader::kSize;
  if (c.AssemblyLength + payload > StreamConnection::kBufferSize) {
    c.AssemblyMissing = 0;
    c.Pacers[c.AssemblyChannel].Resync = 1;
    return SkipPacket(c, t, remaining);
  }
  c.MainRing.Read(c.FrameBuffer.get() + c.AssemblyLength, payload);
  c.MainRing.Skip(remaining - payload);
  c.Context->stats->LastSequenceOf(t.channel) = t.sequence;
  c.AssemblyLength += payload;
  bool padding = false;
  c.AssemblyNalEnd =
      WholeNalEnd({c.FrameBuffer.get(), c.AssemblyLength}, c.AssemblyNalEnd, padding);
  if (padding) c.AssemblyLength = c.AssemblyNalEnd;
  if (--c.AssemblyMissing != 0) return DropPacket(c, t);
  c.FrameLength = c.AssemblyNalEnd;
  return c.FrameLength ? PresentFrame(c, picture_.keyFrameSeen) : DropPacket(c, t);
}

// The frame goes into the FrameBuffer: the movie recorder wants the header,
// the decoder the parameter sets in front of an I-frame. Takes the packet's
// `remaining` bytes off the ring (sets it to 0) unless the payload cannot be
// read.
StreamSystem::PlacedFrame StreamSystem::PlaceFrame(StreamConnection& c, const FrameHeader& h,
                                                   const uint8_t (&raw)[FrameHeader::kSize],
                                                   bool backup, uint32_t& remaining) {
  PlacedFrame out;
  uint32_t placed = 0;
  if (backup) {
    std::memcpy(c.FrameBuffer.get(), raw, FrameHeader::kSize);
    placed = FrameHeader::kSize;
  } else if (h.IsKeyFrame()) {
    placed = ParamSetPrefix::Build(h.widthMb, h.heightMb, c.FrameBuffer.get());
  }
  const uint32_t payload = h.PacketBytes() - FrameHeader::kSize;
  if (c.MainRing.Read(c.FrameBuffer.get() + placed, payload) != 0) return out;
  c.MainRing.Skip(remaining - payload);  // bytes the transport framed beyond the header's length
  remaining = 0;
  out.ok = true;
  out.length = placed + payload;
  out.nalEnd = out.length;
  if (!backup) {
    bool padding = false;
    out.nalEnd = WholeNalEnd({c.FrameBuffer.get(), out.length}, 0, padding);
    if (padding || h.extraPackets == 0) out.length = out.nalEnd;
  }
  return out;
}

}  // namespace tevrano
