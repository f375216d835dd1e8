#pragma once
#include <cstdint>
#include <memory>

#include "base/ByteRing.h"
#include "stream/ChannelPacer.h"

namespace tevrano {

struct Image;
struct Label;
struct ViewState;

// One picture output: where a channel's pictures and times are drawn.
struct PictureOutput {
  Image* output = nullptr;  // the video image
  Label* label = nullptr;   // the time label
  uint32_t value1 = 0, value2 = 0;
};

// Fixed-size list of the outputs of one channel and stream kind.
struct PictureOutputList {
  static constexpr int kCapacity = 4;
  PictureOutput entries[kCapacity];
  int count = 0;
  uint32_t position[2] = {};  // cleared when the list is first filled
};

// The links of a stream connection to its recorder context: what the
// parser reads of it. The login layer keeps the recorder facts current.
struct StreamContextLinks {
  int index = 0;
  ViewState* view = nullptr;
  StreamStats* stats = nullptr;
  bool pal = true;       // the recorder's frame-rate standard is PAL (25 fps)
  bool modelN6 = false;  // the model text contains "[N] 6"
  int displaySlot = 0;   // decoder slot; -1 = this context shows no video

  // Where `pal` comes from: assumed (PAL) until the stream's own frame rate
  // or the recorder's settings record says; the settings record has the
  // last word.
  enum class RateSource { Assumed, Stream, Settings };
  RateSource palSource = RateSource::Assumed;
  // A recorder logged in: its standard is not known yet.
  void ForgetFrameRate() {
    pal = true;
    palSource = RateSource::Assumed;
  }
  // The recorder's settings record says which standard it runs.
  void SetPalFromSettings(bool isPal) {
    pal = isPal;
    palSource = RateSource::Settings;
  }
  // A live or playback frame's rate field (frame interval = 20000 / field
  // ms, so the field is 20 × the frame rate): about 25 or 30 frames a
  // second tells the standard; other values say nothing.
  void NoteRateField(uint32_t rateField) {
    if (palSource == RateSource::Settings) return;
    const uint32_t fps = (rateField + 10) / 20;
    if (fps != 25 && fps != 30) return;
    pal = fps == 25;
    palSource = RateSource::Stream;
  }
  uint32_t Fps() const { return pal ? 25 : 30; }
};

// The receive state of one recorder's stream.
struct StreamConnection {
  static constexpr uint32_t kBufferSize = 4 * 1024 * 1024;

  uint32_t PlaybackSelection = 0;
  uint32_t VideoSeen = 0;  // audio is routed only once video arrived
  ByteRing MainRing;
  ByteRing AudioRing;
  uint32_t KeyFrameInBuffer = 0;  // an I-frame with parameter sets is in the FrameBuffer
  int32_t FirstPresentedChannel = -1;
  uint32_t LastStreamKind = 0;
  uint32_t RecorderValue = 0;
  uint32_t ReadTime = 0;  // general clock in 1/100 ms when the last packet was taken
  uint32_t Seconds = 0, Frame = 0, SubChannel = 0;
  uint32_t Offset28 = 0;
  int32_t Offset28Changes = 0;
  uint32_t FrameLength = 0;  // length of the pending frame; 0 = none
  std::unique_ptr<uint8_t[]> FrameBuffer;
  ChannelPacer Pacers[kChannels];
  uint32_t Channel = 0, FieldCoded = 0, Timestamp = 0, Offset28Used = 0, Flag0 = 0, Flag31 = 0,
           Value44 = 0;
  StreamContextLinks* Context = nullptr;

  // Sequence counter of the last marker-framed video packet (-1: none yet).
  int32_t LastMarkerSequence = -1;
  // A frame of several packets being joined in the FrameBuffer.
  uint32_t AssemblyLength = 0;   // bytes placed so far
  uint32_t AssemblyNalEnd = 0;   // where the next NAL length prefix starts
  uint32_t AssemblyMissing = 0;  // packets still expected
  uint32_t AssemblyChannel = 0, AssemblySeconds = 0, AssemblyFrame = 0;
  // Packets since the last resynchronisation, for the time label.
  uint32_t PacketsSinceResync = 0;

  PictureOutputList Outputs[kChannels][2];
  int OutputCount[2] = {};

  bool Usable() const { return Context && FrameBuffer && MainRing.Allocated(); }
  // Allocates the three 4 MiB buffers once (zero-filled).
  void AllocateBuffers();
};

// FindFrameHeader results.
enum FindResult : int {
  kPacketReady = 1,
  kRingEmpty = -1,
  kGarbageSkipped = -2,
  kPacketIncomplete = -3,
};

// Looks for a complete marker-framed packet at the ring's read position.
// Garbage is skipped up to the next magic (also across the wrap point); a
// header whose length is 0 or could never be buffered counts as garbage.
int FindFrameHeader(ByteRing& ring);

// The largest marker-framed packet, header included: its transport total
// stays below 256 KiB.
constexpr uint32_t kMaxMarkerPacket = 0x40000 - 128 - 64;

}  // namespace tevrano
