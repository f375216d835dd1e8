#include "control/StreamSubsystem.h"

#include <cstring>

#include "base/Form.h"
#include "base/RecorderTime.h"
#include "net/RecorderNet.h"
#include "video/Video.h"

namespace tevrano {

int StreamVideoContext::Mode() const {
  const StreamConnection& c = stream_.Connection(context_);
  return c.Context && c.Context->view ? int(c.Context->view->Mode) : 0;
}

bool StreamVideoContext::FieldCoded() const {
  return stream_.Connection(context_).FieldCoded;
}

// The parser raises the I-frame flag on the first connection's record.
bool StreamVideoContext::TakeKeyFrameFlag() {
  StreamConnection& c = stream_.Connection(0);
  const bool set = c.KeyFrameInBuffer != 0;
  c.KeyFrameInBuffer = 0;
  return set;
}

bool StreamVideoContext::HasPictureOutput() const {
  const StreamConnection& c = stream_.Connection(context_);
  return c.OutputCount[0] + c.OutputCount[1] > 0;
}

int StreamVideoContext::TimeLabels(int mode, Label** labels, int max) {
  StreamConnection& c = stream_.Connection(context_);
  const int kind = mode == 0 ? 0 : 1;
  int n = 0;
  for (const auto& list : c.Outputs) {
    for (int i = 0; i < list[kind].count && n < max; ++i) {
      Label* label = list[kind].entries[i].label;
      bool known = label == nullptr;
      for (int k = 0; k < n && !known; ++k) known = labels[k] == label;
      if (!known) labels[n++] = label;
    }
  }
  return n;
}

PictureTime StreamVideoContext::Time() const {
  const ui::RecorderDate d = ui::UnpackRecorderTime(stream_.Connection(context_).Timestamp);
  return {d.year, d.month, d.day, d.hour, d.minute, d.second};
}

StreamSubsystem::StreamSubsystem(const platform::Clock& clock, TTevranoX& form, RecorderNet& net,
                                 Video& video, int& framePacingCounter)
    : net_(net),
      video_(video),
      form_(form),
      stream_(clock, form, framePacingCounter),
      contexts_{&net.Context(0), &net.Context(1)},
      icmd_(contexts_),
      views_(&icmd_.View(0)),
      vido_(contexts_, [this](int context, const uint8_t* packet, uint32_t n,
                              uint32_t type) { stream_.RoutePacket(context, packet, n, type); }),
      view_(icmd_, stream_, form, contexts_),
      videoContexts_{{stream_, 0}, {stream_, 1}},
      vidoBuffer_(std::make_unique<uint8_t[]>(kVidoBufferSize)) {}

StreamSubsystem::~StreamSubsystem() = default;

void StreamSubsystem::RegisterModules() {
  net_.Modules().RegisterModule(
      IcmdModule::kTag, [this](const uint8_t* body, uint32_t n) { icmd_.Receive(body, n); },
      nullptr, icmdBuffer_, sizeof icmdBuffer_);
  net_.Modules().RegisterModule(
      VidoModule::kTag, [this](const uint8_t* body, uint32_t n) { vido_.Receive(body, n); },
      nullptr, vidoBuffer_.get(), kVidoBufferSize);

  // Both stream connections, linked both ways with their recorder contexts.
  stream_.UseStreamState(&net_.Link().StreamState);
  for (int i = 0; i < 2; ++i) {
    links_[i].index = i;
    links_[i].view = &icmd_.View(i);
    links_[i].stats = &stats_[i];
    links_[i].displaySlot = i;
    stream_.Link(i, &links_[i]);
    net_.Context(i).Stream = &stream_.Connection(i);
    video_.SetContext(i, &videoContexts_[i]);
  }
  stream_.Connection(0).AllocateBuffers();

  StreamHooks& hooks = stream_.Hooks();
  hooks.decodeFrame = [this](const uint8_t* data, uint32_t length, int slot) {
    video_.Video_Decode_Frame(data, length, slot);
  };
  hooks.clearDeliveryQueue = [this](int context) { VidoModule::ClearQueue(net_.Context(context)); };
  icmd_.GetHooks().setViewMode = [this](ViewState& view, uint32_t mode) {
    stream_.SetViewMode(view, mode);
  };
  icmd_.GetHooks().machTypeWord3 = [this] {
    return LoadLe32(net_.MachTypeRecord() + RecorderNet::kMachTypeStreamSocket);
  };

  NetHooks& net = net_.Hooks();
  net.FeedStream = [this](const uint8_t* bytes, uint32_t n) { stream_.FeedStream(bytes, n); };
  // A backup takes the stream only as fast as it is parsed: the rest waits
  // in the socket rather than being dropped with a full ring.
  net.StreamRoom = [this]() -> uint32_t {
    const StreamConnection& c = stream_.Connection(0);
    if (!c.Context || !c.Context->view || c.Context->view->Mode != kModeBackup ||
        !c.MainRing.Allocated())
      return 0xFFFFFFFFu;
    return c.MainRing.UsableFree();
  };
  net.StreamBacklog = [this] {
    const StreamConnection& c = stream_.Connection(0);
    return c.Context && c.Context->view && c.Context->view->Mode == kModeBackup &&
           c.MainRing.Allocated() && c.MainRing.Used() > 0;
  };
  net.RequestVideo = [this](uint32_t sessionId) { vido_.RequestVideo(sessionId); };
  net.ViewMode = [](const RecorderContext& c) { return c.View ? c.View->Mode : 0u; };
  net.Buffering = [this] { return stream_.Buffering(); };
  net.StreamLost = [this] {
    stream_.ClearBuffering();
    icmd_.View(0).PlaybackControl = 1;
  };
  net.RegisterPictureOutputs = [this](RecorderContext& c) {
    for (int kind = 0; kind < 2; ++kind)
      stream_.RegisterPictureOutput(int(c.Index), c.RecorderAddress, c.RecorderPort, 0, kind,
                                    &form_.Image_video, &form_.Label_time, 0, 0);
  };
  net.PeerAdmitted = [this](RecorderContext& c) { vido_.State(int(c.Index & 1)).Restart(); };
  net.SystemInfoArrived.push_back([this](RecorderContext& c, const uint8_t* info) {
    char model[33] = {};
    std::memcpy(model, info + system_info::kTexts[3], 32);
    links_[c.Index & 1].modelN6 = std::strstr(model, "[N] 6") != nullptr;
    // A recorder that logged in says its frame rate again (stream timing,
    // then its settings record).
    links_[c.Index & 1].ForgetFrameRate();
  });
}

void StreamSubsystem::LoadSkinPictures(platform::FileSystem& files, const std::string& folder,
                                       const std::string& skinVersion) {
  stream_.LoadLoaderFrames(files, folder, skinVersion);
}

void StreamSubsystem::DeliverPackets() {
  for (RecorderContext* c : contexts_) vido_.DeliverPackets(*c);
  for (DelayedAction& d : delayed_) {
    if (d.runs >= 1000) continue;
    if (++d.runs == 1000 && d.action) d.action();
  }
}

void StreamSubsystem::ArmDelayedAction(int index, std::function<void()> action) {
  delayed_[index & 3] = {0, std::move(action)};
}

}  // namespace tevrano
