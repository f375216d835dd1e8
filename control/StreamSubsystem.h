#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "stream/StreamSystem.h"
#include "stream/VidoModule.h"
#include "ui/ViewCommand.h"
#include "video/VideoContext.h"
#include "view/IcmdModule.h"

namespace tevrano {

class RecorderNet;
class Video;

// What a decoder slot reads of its recorder's stream and view.
class StreamVideoContext : public VideoContext {
 public:
  StreamVideoContext(StreamSystem& stream, int context) : stream_(stream), context_(context) {}
  int Mode() const override;
  bool FieldCoded() const override;
  bool WideStream() const override { return stream_.Picture().wide960; }
  bool TakeKeyFrameFlag() override;
  int StreamHeight() const override { return int(stream_.Picture().height); }
  bool HasPictureOutput() const override;
  int TimeLabels(int mode, Label** labels, int max) override;
  PictureTime Time() const override;

 private:
  StreamSystem& stream_;
  int context_;
};

// The live-video side of the control, wired to the recorder connection and
// the video display: the stream connections with their parser, the view
// records with the "ICMD" module and the view command, and video over the
// command channel. One per control, built at start-up.
class StreamSubsystem {
 public:
  StreamSubsystem(const platform::Clock& clock, TTevranoX& form, RecorderNet& net, Video& video,
                  int& framePacingCounter);
  ~StreamSubsystem();

  // Start-up: the "ICMD" and "VIDO" modules, then both stream connections
  // linked with their recorder contexts (connection 0's buffers made).
  void RegisterModules();
  // Start-up: the loader animation frames of the skin folder.
  void LoadSkinPictures(platform::FileSystem& files, const std::string& folder,
                        const std::string& skinVersion);

  // Main loop step 2: the packets that came over the command channel, then
  // the view state's delayed actions.
  void DeliverPackets();
  // Main loop step 7.
  void ParseStreams() { stream_.ParseStreams(); }

  StreamSystem& Stream() { return stream_; }
  IcmdModule& Icmd() { return icmd_; }
  VidoModule& Vido() { return vido_; }
  ViewControl& View() { return view_; }
  const ViewState& ViewOf(int context) const { return views_[context]; }
  StreamContextLinks& Links(int context) { return links_[context]; }

  // Delayed actions of context 0's view: each counts main-loop runs up to
  // 1000 after it is armed and fires once then.
  void ArmDelayedAction(int index, std::function<void()> action);

 private:
  RecorderNet& net_;
  Video& video_;
  TTevranoX& form_;
  StreamSystem stream_;
  StreamStats stats_[2];
  StreamContextLinks links_[2];
  RecorderContext* contexts_[2];
  IcmdModule icmd_;
  const ViewState* views_;
  VidoModule vido_;
  ViewControl view_;
  StreamVideoContext videoContexts_[2];
  uint8_t icmdBuffer_[4096] = {};
  std::unique_ptr<uint8_t[]> vidoBuffer_;
  static constexpr uint32_t kVidoBufferSize = VidoModule::kMaxPacket + VidoModule::kSubHeader;
  struct DelayedAction {
    uint32_t runs = 1000;  // 1000: not armed
    std::function<void()> action;
  } delayed_[4];
};

}  // namespace tevrano
