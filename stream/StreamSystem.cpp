#include "stream/StreamSystem.h"

#include <cstdio>

#include "base/BmpFile.h"
#include "base/Form.h"
#include "view/ViewRecords.h"

namespace tevrano {

StreamSystem::StreamSystem(const platform::Clock& clock, TTevranoX& form, int& framePacingCounter)
    : clock_(clock),
      clocks_(clock),
      form_(form),
      framePacingCounter_(framePacingCounter),
      audioScratch_(std::make_unique<uint8_t[]>(kMaxMarkerPacket)) {
  for (int id = 0; id < 27; ++id) clocks_.Reset(id);
}

int StreamSystem::RegisterPictureOutput(int contextIndex, const std::string& address, uint32_t port,
                                        int channel, int kind, Image* output, Label* label,
                                        uint32_t value1, uint32_t value2) {
  if (contextIndex >= 1 || contextIndex < -1 || address.empty() || !output || channel < 0 ||
      channel >= kChannels || (kind != 0 && kind != 1))
    return -1;
  if (contextIndex == -1) {
    if (address != address_ || port != port_) return -1;
    contextIndex = 0;
  }
  address_ = address.substr(0, 63);
  port_ = port;
  StreamConnection& c = connections_[contextIndex];
  PictureOutputList& list = c.Outputs[channel][kind];
  if (list.count == PictureOutputList::kCapacity) return -1;
  if (list.count == 0) {
    list.position[0] = list.position[1] = 0;
    if (activeCount_ < int(std::size(active_)))
      active_[activeCount_++] = {contextIndex, channel, kind};
    c.AllocateBuffers();
  }
  list.entries[list.count++] = {output, label, value1, value2};
  ++c.OutputCount[kind];
  return 0;
}

void StreamSystem::FeedStream(const uint8_t* bytes, uint32_t n) {
  for (StreamConnection& c : connections_) {
    if (!c.Context || !c.Context->view || !c.Context->stats) continue;
    if (*streamState_ == 2) *streamState_ = 3;
    // A chunk is taken whole or not at all, so the ring never holds half a chunk.
    if (c.MainRing.Allocated() && c.MainRing.UsableFree() >= n) c.MainRing.Write(bytes, n);
  }
}

void StreamSystem::RoutePacket(int context, const uint8_t* packet, uint32_t n, uint32_t type) {
  if (MarkerFraming() || context < 0 || context > 1) return;
  StreamConnection& c = connections_[context];
  if (!c.Usable() || !c.Context->view) return;
  const ViewState& view = *c.Context->view;
  if (n > c.MainRing.UsableFree() && view.Mode == kModeLive) {
    c.MainRing.Clear();  // live video that lags this far is worth nothing
    return;
  }
  if (type == 2) {
    if (!c.VideoSeen) return;
    if (c.AudioRing.Allocated()) c.AudioRing.Write(packet, n);
    if (view.Mode != kModeBackup && hooks_.audioReceived) hooks_.audioReceived();
    return;
  }
  c.MainRing.Write(packet, n);  // a packet that does not fit is lost
}

void StreamSystem::ParseStreams() {
  for (StreamConnection& c : connections_) {
    if (!c.Context || !c.Context->view || !c.Context->stats) continue;
    c.FirstPresentedChannel = -1;
    // The further packets of a frame count with its first one (at most 15).
    for (int i = 0, further = 0; i < 4; ++i) {
      if (ParsePacket(c) == 1) break;
      if (c.AssemblyMissing != 0 && further < 15) ++further, --i;
    }
    if (c.Context->view->Mode == kModeBackup && hooks_.readAudioPacket) {
      for (int i = 0; i < 100; ++i)
        if (hooks_.readAudioPacket(c) == 1) break;
    }
    // The local movie feeder and indexer stay idle: the control opens no local movie.
  }
}

void StreamSystem::RestartPacers(StreamConnection& c) {
  for (int ch = 0; ch < kChannels; ++ch) {
    c.Pacers[ch].Due = 0;
    clocks_.Reset(StreamClocks::ChannelId(ch));
  }
}

void StreamSystem::StoreFreeSpace(StreamConnection& c) {
  const uint32_t free = c.MainRing.UsableFree();
  if (c.Context && c.Context->stats)
    c.Context->stats->MainFreeAbove512K = free > 0x80000 ? free - 0x80000 : 0;
}

void StreamSystem::ResetView(StreamConnection& c, uint32_t channelPlusOne) {
  c.MainRing.Clear();
  c.FrameLength = 0;
  c.AssemblyMissing = 0;
  auto reset = [&](int ch) {
    c.Pacers[ch].Resync = 1;
    c.Pacers[ch].Due = 0;
    if (c.Context && c.Context->stats) c.Context->stats->DecodeTimeOf(ch) = 0;
    clocks_.Reset(StreamClocks::ChannelId(ch));
  };
  if (channelPlusOne == 0) {
    for (int ch = 0; ch < kChannels; ++ch) reset(ch);
  } else {
    reset(channelPlusOne > 17 ? 0 : int(channelPlusOne) - 1);
  }
  StoreFreeSpace(c);
}

StreamConnection* StreamSystem::ConnectionOfView(const ViewState& view) {
  for (StreamConnection& c : connections_)
    if (c.Context && c.Context->view == &view) return &c;
  return nullptr;
}

int StreamSystem::SetViewMode(ViewState& view, uint32_t mode) {
  if (view.Mode == mode) return 0;
  const uint32_t previous = view.Mode;
  view.Mode = mode;
  view.PlaybackControl = 0;
  view.PlaybackStateFlag = 0;
  if (hooks_.stopLocalMovie) hooks_.stopLocalMovie();
  if (hooks_.backupToEndState) hooks_.backupToEndState();
  StreamConnection* c = ConnectionOfView(view);
  if (c) {
    ResetView(*c, 0);
    if (hooks_.clearDeliveryQueue) hooks_.clearDeliveryQueue(c->Context->index);
  }
  form_.PageControl1.SetVisible(false);
  form_.Label1.SetVisible(false);
  static constexpr const char* kNames[] = {"Live", "Playback", "Backup", "Setup"};
  if (mode < 4) form_.Label_time.SetCaption(kNames[mode]);
  if (mode == kModeBackup) form_.Label1.SetVisible(true);
  if (mode == kModeSetup) {
    form_.PageControl1.SetActivePageIndex(0);
    form_.PageControl1.SetVisible(true);
  }
  if ((mode == kModePlayback || mode == kModeBackup) && c && c->Timestamp != 0) {
    // Coming from live, playback starts half a minute back.
    const uint32_t t = c->Timestamp - (previous == kModeLive ? 30 : 0);
    view.Playback.StartTime = t;
    c->Timestamp = t;
    view.SecondPlaybackTime = t + 5;
    if (hooks_.redrawInterface) hooks_.redrawInterface();
  }
  return 1;
}

void StreamSystem::LoadLoaderFrames(platform::FileSystem& files, const std::string& folder,
                                    const std::string& skinVersion) {
  for (int i = 0; i < 8; ++i) {
    char path[512];
    std::snprintf(path, sizeof path, "%s/loader%d_%s.bmp", folder.c_str(), i, skinVersion.c_str());
    LoadBmpFile(files, path, loader_[i]);
  }
}

void StreamSystem::PlaybackBuffering(StreamConnection& c) {
  const uint32_t used = c.MainRing.Used();
  Image& loader = form_.Image_Loader;
  const Image& video = form_.Image_video;
  if (used < 0x10000 && !buffering_) {
    if (hooks_.audioSwitchedOn && hooks_.audioSwitchedOn()) {
      if (hooks_.switchAudio) hooks_.switchAudio(false);
      audioSwitchedOffByBuffering_ = true;
      if (hooks_.restartAudioOutput) hooks_.restartAudioOutput();
    }
    buffering_ = true;
    loader.SetBounds(video.left + (video.width - loader.width) / 2,
                     video.top + (video.height - loader.height) / 2, loader.width, loader.height);
    loader.SetVisible(true);
  } else if (used > 0x80000 && buffering_) {
    if (audioSwitchedOffByBuffering_) {
      if (hooks_.switchAudio) hooks_.switchAudio(true);
      audioSwitchedOffByBuffering_ = false;
    }
    buffering_ = false;
    loader.SetVisible(false);
  }
  if (buffering_ && framePacingCounter_ >= 3) {
    loaderIndex_ = (loaderIndex_ + 1) % 8;
    DrawLoaderFrame();
    framePacingCounter_ = 0;
  }
}

// Draws the current loader frame over the picture beneath it: white pixels
// of the frame let the video through.
void StreamSystem::DrawLoaderFrame() {
  const Bitmap& frame = loader_[loaderIndex_];
  if (frame.Empty()) return;
  Image& loader = form_.Image_Loader;
  if (loader.picture.Width() != frame.Width() || loader.picture.Height() != frame.Height())
    loader.picture.SetSize(frame.Width(), frame.Height());
  const Bitmap& video = form_.Image_video.picture;
  const int x0 = loader.left - form_.Image_video.left;
  const int y0 = loader.top - form_.Image_video.top;
  for (int y = 0; y < frame.Height(); ++y) {
    const uint32_t* src = frame.Row(y);
    uint32_t* dst = loader.picture.Row(y);
    const int vy = y0 + y;
    for (int x = 0; x < frame.Width(); ++x) {
      const int vx = x0 + x;
      uint32_t under = 0;
      if (vy >= 0 && vy < video.Height() && vx >= 0 && vx < video.Width()) under = video.At(vx, vy);
      dst[x] = (src[x] & 0x00FFFFFF) == 0x00FFFFFF ? under : src[x];
    }
  }
  loader.Invalidate();
}

}  // namespace tevrano
