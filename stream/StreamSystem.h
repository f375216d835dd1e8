#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "base/Bitmap.h"
#include "platform/FileSystem.h"
#include "stream/ChannelPacer.h"
#include "stream/FrameHeader.h"
#include "stream/StreamConnection.h"

namespace tevrano {

class TTevranoX;
struct ViewState;

// What the stream layer calls outside itself. Every hook is optional; the
// start-up binds them to the decoder, the movie recorder, audio and the
// on-screen interface.
struct StreamHooks {
  // Decodes and shows one length-prefixed H.264 unit on a decoder slot.
  std::function<void(const uint8_t* data, uint32_t length, int slot)> decodeFrame;
  // The movie recorder's step for the pending frame in Backup mode; returns
  // what ParsePacket returns. Unbound: the frame is dropped.
  std::function<int(StreamConnection&)> backupStep;
  // Reads one audio packet in Backup mode; 1 = nothing more for now.
  std::function<int(StreamConnection&)> readAudioPacket;
  // Audio arrived for the speaker logic.
  std::function<void()> audioReceived;
  // Whether the speaker is switched on, and the speaker's click actions.
  std::function<bool()> audioSwitchedOn;
  std::function<void(bool on)> switchAudio;
  std::function<void()> restartAudioOutput;
  // The on-screen interface: redraw the time bar / everything.
  std::function<void()> redrawInterface;
  // Mode changes reach the backup job and the local movie player.
  std::function<void()> backupToEndState;
  std::function<void()> stopLocalMovie;
  // Clears the recorder context's delivery queue.
  std::function<void(int context)> clearDeliveryQueue;
  // Item index of the bitrate selector.
  std::function<int()> bitrateIndex;
};

// Values the display reads from the last accepted packets.
struct PictureGlobals {
  uint32_t width = 0, height = 0;  // pixels
  bool wide960 = false;            // 960-pixel family (width 960 or 480)
  uint32_t keyFrameHeight = 0;     // height of the last I-frame
  bool keyFrameSeen = false;       // decoding waits for an I-frame
  // Shared with the audio thread, which reads the bias and sets and clears
  // the sync flag as well.
  std::atomic<bool> audioInSync{false};
  std::atomic<uint32_t> audioSampleBias{0};
};

// The stream side of the control: both stream connections, the parse pass,
// pacing and the hand-off to the decoder. Runs on the control's thread;
// FeedStream runs inside the stream socket's read event.
class StreamSystem {
 public:
  StreamSystem(const platform::Clock& clock, TTevranoX& form, int& framePacingCounter);

  // Links connection i with its recorder context (both ways at start-up).
  void Link(int index, StreamContextLinks* context) { connections_[index].Context = context; }
  StreamConnection& Connection(int index) { return connections_[index]; }
  StreamHooks& Hooks() { return hooks_; }
  PictureGlobals& Picture() { return picture_; }
  const PictureGlobals& Picture() const { return picture_; }

  // StreamState: 0 closed, 1 opened, 2 stream requested, 3 data flowing.
  // The connection layer owns it and sets 0..2; FeedStream sets 3.
  void UseStreamState(uint32_t* state) { streamState_ = state ? state : &ownStreamState_; }
  uint32_t& StreamState() { return *streamState_; }
  // The connection layer has selected the stream socket protocol of the
  // newer recorder family ("GVDO" request); with streamState 3 packets are
  // then marker-framed.
  bool rk9pProtocol = true;
  bool MarkerFraming() const { return rk9pProtocol && *streamState_ == 3; }
  bool Buffering() const { return buffering_; }
  void ClearBuffering() { StopBuffering(); }

  // Picture outputs; -1 for the context index searches context 0 by address.
  int RegisterPictureOutput(int contextIndex, const std::string& address, uint32_t port,
                            int channel, int kind, Image* output, Label* label, uint32_t value1,
                            uint32_t value2);
  const std::string& RecorderAddress() const { return address_; }
  uint32_t RecorderPort() const { return port_; }

  // A chunk read from the stream socket (at most 256 KiB).
  void FeedStream(const uint8_t* bytes, uint32_t n);
  // One whole transport-framed packet from the delivery queue.
  void RoutePacket(int context, const uint8_t* packet, uint32_t n, uint32_t type);
  // The parse pass of the main timer.
  void ParseStreams();
  int ParsePacket(StreamConnection& c);
  int PresentFrame(StreamConnection& c, bool keyFrameSeen);
  void RestartPacers(StreamConnection& c);
  // channelPlusOne: 1..17 one channel, 0 all; above 17 means channel 0.
  void ResetView(StreamConnection& c, uint32_t channelPlusOne);
  int SetViewMode(ViewState& view, uint32_t mode);

  // Loader animation frames, loaded from the skin folder at start-up.
  void LoadLoaderFrames(platform::FileSystem& files, const std::string& folder,
                        const std::string& skinVersion);
  void SetLoaderFrame(int index, Bitmap frame) { loader_[index & 7] = std::move(frame); }

  StreamClocks& Clocks() { return clocks_; }

 private:
  int ParseTransportFramed(StreamConnection& c, ViewState& view);
  int HandlePacket(StreamConnection& c, ViewState& view, const TransportHeader& t,
                   uint32_t remaining, bool marker);
  int JoinPacket(StreamConnection& c, const TransportHeader& t, const FrameHeader& h,
                 uint32_t remaining);
  struct PlacedFrame {
    bool ok = false;
    uint32_t length = 0;  // bytes in the FrameBuffer
    uint32_t nalEnd = 0;  // end of the whole NAL units
  };
  PlacedFrame PlaceFrame(StreamConnection& c, const FrameHeader& h,
                         const uint8_t (&raw)[FrameHeader::kSize], bool backup,
                         uint32_t& remaining);
  // A packet not shown: its remaining bytes skipped (Skip) or already taken
  // (Drop); the recorder's value noted. Both return 0.
  int SkipPacket(StreamConnection& c, const TransportHeader& t, uint32_t remaining);
  int DropPacket(StreamConnection& c, const TransportHeader& t);
  int AcceptFrame(StreamConnection& c, ViewState& view, const TransportHeader& t,
                  const FrameHeader& h, uint32_t length, uint32_t nalEnd);
  // Playback buffering while the playback buttons ask for it; true = wait.
  bool BufferingHolds(StreamConnection& c, const ViewState& view);
  void PlaybackBuffering(StreamConnection& c);
  void StopBuffering();
  void DrawLoaderFrame();
  void StoreFreeSpace(StreamConnection& c);
  StreamConnection* ConnectionOfView(const ViewState& view);

  const platform::Clock& clock_;
  StreamClocks clocks_;
  TTevranoX& form_;
  int& framePacingCounter_;
  StreamHooks hooks_;
  PictureGlobals picture_;
  StreamConnection connections_[2];
  std::string address_;
  uint32_t port_ = 0;
  uint32_t ownStreamState_ = 0;
  uint32_t* streamState_ = &ownStreamState_;
  bool buffering_ = false;
  bool audioSwitchedOffByBuffering_ = false;
  int loaderIndex_ = 0;
  Bitmap loader_[8];
  // Scratch for one marker-framed audio packet.
  std::unique_ptr<uint8_t[]> audioScratch_;
  // Table of active (context, channel, kind) streams.
  struct ActiveStream {
    int context, channel, kind;
  };
  ActiveStream active_[2 * kChannels * 2] = {};
  int activeCount_ = 0;
};

}  // namespace tevrano
