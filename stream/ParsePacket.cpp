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

// Walks the 4-byte length-prefixed NAL units of buf[pos, len) and returns
// where the first unit that is not whole starts. `padding` is set when a
// zero length (the packet's padding) ends the walk.
uint32_t WalkNalUnits(const uint8_t* buf, uint32_t pos, uint32_t len, bool& padding) {
  padding = false;
  while (len - pos >= 4) {
    const uint32_t n = LoadBe32(buf + pos);
    if (n == 0) {
      padding = true;
      break;
    }
    if (n > len - pos - 4) break;
    pos += 4 + n;
  }
  return pos;
}

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

}  // namespace

int StreamSystem::ParsePacket(StreamConnection& c) {
  if (!c.Context || !c.Context->view || !c.Context->stats) return 1;
  // A frame still waiting for its time keeps everything behind it.
  if (c.FrameLength != 0) {
    PresentFrame(c, picture_.keyFrameSeen);
    if (c.FrameLength != 0) return 1;
  }
  if (!c.MainRing.Allocated()) return 1;
  ViewState& view = *c.Context->view;
  const bool marker = MarkerFraming();

  if (!marker) return ParseTransportFramed(c, view);

  if (view.Mode != kModeLive && view.Mode != kModePlayback && view.Mode != kModeBackup) return 1;
  if (FindFrameHeader(c.MainRing) < 0) return 1;
  uint8_t raw[FrameHeader::kSize];
  c.MainRing.Peek(raw, sizeof raw);
  const FrameHeader h = FrameHeader::Parse(raw);
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
    if (c.LastMarkerSequence < 0 || h.sequence10 != ((uint32_t(c.LastMarkerSequence) + 1) & 1023)) {
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
  c.MainRing.Peek(raw, sizeof raw);
  const TransportHeader t = TransportHeader::Parse(raw);
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

int StreamSystem::HandlePacket(StreamConnection& c, ViewState& view, const TransportHeader& t,
                               uint32_t remaining, bool marker) {
  StreamStats& stats = *c.Context->stats;
  auto drop = [&] {
    stats.RecorderValue = t.recorderValue;
    return 0;
  };
  auto skip = [&] {
    c.MainRing.Skip(std::min(remaining, c.MainRing.Used()));
    return drop();
  };
  if (!c.FrameBuffer) return skip();
  if (t.tag != 0 && t.tag != view.ConnectionTag) return skip();
  if (t.channel == 16 && view.Mode != kModeLive) return skip();

  ChannelPacer& pacer = c.Pacers[t.channel];
  pacer.Bytes += t.total;
  if (!marker && stats.LastSequenceOf(t.channel) + 1 != t.sequence) pacer.Resync = 1;

  uint8_t raw[FrameHeader::kSize];
  if (remaining < FrameHeader::kSize || c.MainRing.Read(raw, sizeof raw) != 0) return skip();
  remaining -= FrameHeader::kSize;
  const FrameHeader h = FrameHeader::Parse(raw);
  // The frame header's length must fit in what the transport header framed.
  if (!h.Valid() || h.PacketBytes() - FrameHeader::kSize > remaining) return skip();
  if (h.type != FrameHeader::kVideo) return skip();
  const bool backup = view.Mode == kModeBackup;

  // The further packets of a frame are joined to its first one.
  if (c.AssemblyMissing != 0) {
    if (!backup && t.channel == c.AssemblyChannel && h.seconds == c.AssemblySeconds &&
        h.frame == c.AssemblyFrame) {
      const uint32_t payload = h.PacketBytes() - FrameHeader::kSize;
      if (c.AssemblyLength + payload > StreamConnection::kBufferSize) {
        c.AssemblyMissing = 0;
        c.Pacers[c.AssemblyChannel].Resync = 1;
        return skip();
      }
      c.MainRing.Read(c.FrameBuffer.get() + c.AssemblyLength, payload);
      remaining -= payload;
      c.MainRing.Skip(remaining);
      remaining = 0;
      stats.LastSequenceOf(t.channel) = t.sequence;
      c.AssemblyLength += payload;
      bool padding = false;
      c.AssemblyNalEnd =
          WalkNalUnits(c.FrameBuffer.get(), c.AssemblyNalEnd, c.AssemblyLength, padding);
      if (padding) c.AssemblyLength = c.AssemblyNalEnd;
      if (--c.AssemblyMissing != 0) return drop();
      c.FrameLength = c.AssemblyNalEnd;
      return c.FrameLength ? PresentFrame(c, picture_.keyFrameSeen) : drop();
    }
    // Any other packet breaks the frame: its decoder chain waits for an I-frame.
    c.AssemblyMissing = 0;
    c.Pacers[c.AssemblyChannel].Resync = 1;
  }
  if (pacer.Resync && !h.IsKeyFrame()) return skip();
  // Pictures larger than the display's work buffers are not decoded.
  if (!backup &&
      (h.widthMb > ParamSetPrefix::kMaxWidthMb || h.heightMb > ParamSetPrefix::kMaxHeightMb))
    return skip();

  // The frame goes into the FrameBuffer: the movie recorder wants the header,
  // the decoder the parameter sets in front of an I-frame.
  uint32_t placed = 0;
  if (backup) {
    std::memcpy(c.FrameBuffer.get(), raw, FrameHeader::kSize);
    placed = FrameHeader::kSize;
  } else if (h.IsKeyFrame()) {
    placed = ParamSetPrefix::Build(h.widthMb, h.heightMb, c.FrameBuffer.get());
  }
  const uint32_t payload = h.PacketBytes() - FrameHeader::kSize;
  if (c.MainRing.Read(c.FrameBuffer.get() + placed, payload) != 0) return skip();
  remaining -= payload;
  c.MainRing.Skip(remaining);  // bytes the transport framed beyond the frame header's length
  remaining = 0;
  uint32_t length = placed + payload;
  uint32_t nalEnd = length;
  bool padding = false;
  if (!backup) {
    nalEnd = WalkNalUnits(c.FrameBuffer.get(), 0, length, padding);
    if (padding || h.extraPackets == 0) length = nalEnd;
  }

  if (!KindAccepted(view.Mode, h.streamKind, marker)) return drop();
  if (view.Mode == kModePlayback) {
    if (view.PlaybackSelection != c.PlaybackSelection) {
      c.PlaybackSelection = view.PlaybackSelection;
      RestartPacers(c);
    }
    if (h.subChannel != view.PlaybackChannel()) return drop();
  }
  return AcceptFrame(c, view, t, h, length, nalEnd);
}

}  // namespace tevrano
