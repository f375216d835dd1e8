// What happens to an accepted video frame: published picture facts, the
// channel's due time, the time offset rule, and its presentation.
#include <cstdint>

#include "base/Form.h"
#include "stream/StreamSystem.h"
#include "view/ViewRecords.h"

namespace tevrano {

int StreamSystem::AcceptFrame(StreamConnection& c, ViewState& view, const TransportHeader& t,
                              const FrameHeader& h, uint32_t length, uint32_t nalEnd) {
  StreamStats& stats = *c.Context->stats;
  ChannelPacer& pacer = c.Pacers[t.channel];
  const uint32_t mode = view.Mode;
  const bool backup = mode == kModeBackup;

  // Picture facts come only from packets that were accepted.
  picture_.width = h.widthMb * 16;
  picture_.height = h.heightMb * 16;
  picture_.wide960 = picture_.width == 960 || picture_.width == 480;
  if (h.IsKeyFrame()) {
    if (!backup) c.KeyFrameInBuffer = 1;
    picture_.keyFrameHeight = picture_.height;
    picture_.keyFrameSeen = true;  // an I-frame restarts decoding on every recorder
  }
  c.FieldCoded = h.resolution == 1;

  if (h.streamKind != c.LastStreamKind) {
    c.LastStreamKind = h.streamKind;
    pacer.Resync = 1;
    RestartPacers(c);
  }
  stats.LastSequenceOf(t.channel) = t.sequence;
  const uint32_t rate = h.rateField ? h.rateField : 200;
  c.VideoSeen = 1;

  // Due time: one frame interval on, shortened while live video lags.
  if (h.streamKind == 0 || h.streamKind == 1) c.Context->NoteRateField(h.rateField);
  const uint32_t fps = c.Context->Fps();
  const bool playback = mode == kModePlayback || mode == kModeFilePlayback;
  const uint32_t interval = playback ? 20000 / rate : t.intervalMs;
  if (mode == kModeLive && c.Context->modelN6) {
    pacer.Due += 20000 / rate;
  } else {
    uint64_t pct = 100;
    if (mode == kModeLive && pacer.LatestSeconds > t.seconds) {
      const int64_t lag = int64_t(pacer.LatestSeconds - t.seconds) * fps +
                          int64_t(pacer.LatestFrame) - int64_t(t.frame);
      const int64_t full = int64_t(fps) * 120;
      // Two minutes behind or more: show frames as fast as they come.
      if (lag > int64_t(fps)) pct = lag >= full ? 0 : uint64_t((full - lag) * 100 / full);
    }
    pacer.Due += uint32_t(uint64_t(interval) * pct / 100);
  }
  const uint32_t now = clocks_.Read(StreamClocks::ChannelId(int(t.channel)));
  if (mode == kModePlayback) {
    if (pacer.Due < now) pacer.Due = now + interval;
  } else if (now > pacer.Due && now - pacer.Due > 100) {
    pacer.Due = now;  // never more than 100 ms behind
  }
  if (pacer.Resync) {
    pacer.Due = now;
    pacer.ResyncSeconds = h.seconds;
    pacer.ResyncFrame = h.frame;
    c.Offset28 = h.timeOffset;
    c.Offset28Changes = 0;
    c.PacketsSinceResync = 0;
    form_.Label_time.SetVisible(false);
    pacer.Resync = 0;
  }

  StoreFreeSpace(c);
  c.RecorderValue = t.recorderValue;
  c.ReadTime = clocks_.Read(StreamClocks::kGeneral) * 100;

  // An offset that keeps changing is not trusted: after three changes in a
  // row it counts as 0 until the next resynchronisation.
  if (c.Offset28Changes < 3) {
    if (h.timeOffset == c.Offset28) {
      c.Offset28Changes = 0;
    } else {
      c.Offset28 = h.timeOffset;
      if (++c.Offset28Changes == 3) c.Offset28 = 0;
    }
  }
  const uint32_t offset = c.Offset28Changes >= 3 ? 0 : c.Offset28;
  if (++c.PacketsSinceResync == 4) form_.Label_time.SetVisible(true);

  c.Channel = t.channel;
  c.Timestamp = h.seconds + offset;
  c.Offset28Used = offset;
  c.Flag0 = h.flag0;
  c.Flag31 = h.flag31;
  c.Value44 = t.value44;
  c.Seconds = h.seconds;
  c.Frame = h.frame;
  c.SubChannel = h.subChannel;
  if (mode == kModePlayback && c.Timestamp != view.DisplayedPlaybackTime) {
    view.DisplayedPlaybackTime = c.Timestamp;
    if (hooks_.redrawInterface) hooks_.redrawInterface();
  }
  if (mode == kModeLive)
    picture_.audioSampleBias = c.Context->modelN6 ? 0x80 : 0;
  else
    picture_.audioSampleBias = h.widthMb == 40 || h.widthMb == 20 ? 0 : 0x80;

  if (backup) {
    c.FrameLength = length;
    if (hooks_.backupStep) return hooks_.backupStep(c);
    c.FrameLength = 0;
    return 0;
  }
  if (h.extraPackets != 0) {
    // Wait for the frame's further packets before decoding.
    c.AssemblyMissing = h.extraPackets;
    c.AssemblyChannel = t.channel;
    c.AssemblySeconds = h.seconds;
    c.AssemblyFrame = h.frame;
    c.AssemblyLength = length;
    c.AssemblyNalEnd = nalEnd;
    return 0;
  }
  c.FrameLength = length;
  if (length == 0) return 0;
  return PresentFrame(c, picture_.keyFrameSeen);
}

int StreamSystem::PresentFrame(StreamConnection& c, bool keyFrameSeen) {
  if (c.FrameLength == 0) return 0;
  const ViewState& view = *c.Context->view;
  const uint32_t channel = c.Channel < kChannels ? c.Channel : 0;
  ChannelPacer& pacer = c.Pacers[channel];
  const uint32_t now = clocks_.Read(StreamClocks::ChannelId(int(channel)));
  if (uint64_t(now) + 66 < pacer.Due) {
    if (view.Mode == kModePlayback) return 1;
    // Live frames wait, unless their time is implausibly far ahead.
    if (channel < 16 && pacer.Due - now < 10000) return 1;
  }
  const uint32_t fps = c.Context->Fps();
  if (c.SubChannel < kChannels)
    c.Pacers[c.SubChannel].FrameCount = (c.Seconds & 0xFFFFFF) * fps + c.Frame;

  const int slot = view.Mode == kModeFilePlayback ? 0 : c.Context->displaySlot;
  const bool presented = slot >= 0;
  const uint32_t startMs = clocks_.NowMs();
  const uint32_t sinceRead = clocks_.Read(StreamClocks::kGeneral) - c.ReadTime / 100;
  if (presented && keyFrameSeen && hooks_.decodeFrame)
    hooks_.decodeFrame(c.FrameBuffer.get(), c.FrameLength, slot);
  const uint32_t decodeMs = clocks_.NowMs() - startMs;
  c.FrameLength = 0;
  c.Context->stats->RecorderValue = c.RecorderValue;

  uint32_t sample = sinceRead / 20 + decodeMs;
  if (sample == 0) sample = 10;
  uint32_t& smoothed = c.Context->stats->DecodeTimeOf(channel);
  smoothed =
      smoothed > sample ? (7 * smoothed + 3 * sample) / 10 : (3 * smoothed + 7 * sample) / 10;
  if (c.FirstPresentedChannel == -1) c.FirstPresentedChannel = int32_t(channel);
  return presented ? 1 : 0;
}

bool StreamSystem::BufferingHolds(StreamConnection& c, const ViewState& view) {
  if (view.Mode == kModePlayback && view.PlaybackControl == 2) {
    PlaybackBuffering(c);
    return buffering_;
  }
  StopBuffering();
  return false;
}

void StreamSystem::StopBuffering() {
  if (!buffering_) return;
  buffering_ = false;
  form_.Image_Loader.SetVisible(false);
  if (audioSwitchedOffByBuffering_) {
    if (hooks_.switchAudio) hooks_.switchAudio(true);
    audioSwitchedOffByBuffering_ = false;
  }
}

}  // namespace tevrano
