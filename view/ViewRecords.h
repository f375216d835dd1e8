#pragma once
#include <cstddef>
#include <cstdint>

namespace tevrano {

// The view modes of a recorder context.
enum ViewMode : uint32_t {
  kModeLive = 0,
  kModePlayback = 1,
  kModeBackup = 2,
  kModeSetup = 3,
  kModeFilePlayback = 4,
};

// View record 1: what the live view shows. 64 bytes, 32-bit words; words not
// named are carried unchanged.
struct LiveRecord {
  uint32_t SplitKind;     // 0 one channel, 1 four, 2 nine, 3 sixteen
  uint32_t FirstChannel;  // first channel of the split
  uint32_t Channel;       // the single channel (0..15) when SplitKind is 0
  uint32_t ChannelMask;   // bit n | bit 31 for single channel n; 0 otherwise
  uint32_t Width;         // 704 from start-up
  uint32_t Height;        // 576 from start-up
  uint32_t Other[10];
};

// View record 2: playback.
struct PlaybackRecord {
  uint32_t Word0, Word1;
  uint32_t Channel;    // playback channel 0..15
  uint32_t PlayFlag;   // 0 stopped, 1 playing, 2 playback state 4
  int32_t Direction;   // -1, 0, 1
  uint32_t StartTime;  // recorder seconds
  uint32_t Other[10];
};

// View record 3: backup.
struct BackupRecord {
  uint32_t Word0, Word1;
  uint32_t Channel;    // backup channel
  uint32_t State;      // 1 running, 0 none, 2 playback state 4 on the Backup page
  uint32_t StartTime;  // recorder seconds
  uint32_t EndTime;    // recorder seconds
  uint32_t Other[10];
};

// The 960-byte view state of one recorder context: the mode, the "ICMD"
// counter, the three view records that travel as "ICMD" types 256, 512 and
// 1024, the control's own view fields, and the settings pages from byte 256.
// Host byte order is the wire's (little-endian), so records travel as bytes.
struct ViewState {
  static constexpr uint32_t kRecordBytes = 64;
  static constexpr uint32_t kPagesOffset = 256;

  uint32_t Mode;            // 0: ViewMode
  uint32_t Word1;           // 4
  uint32_t IcmdCounter;     // 8: incremented before each "ICMD" message sent
  LiveRecord Live;          // 12
  PlaybackRecord Playback;  // 76
  BackupRecord Backup;      // 140
  // 204..255: the view logic's own fields.
  uint32_t ConnectionTag;          // compared with a transport header's tag
  uint32_t PlaybackControl;        // playback control state of the playback buttons
  uint32_t PlaybackSelection;      // changes when the playback selection changes
  uint32_t BitrateIndex;           // 9 from start-up
  uint32_t DisplayedPlaybackTime;  // recorder seconds shown by the time bar
  uint32_t SecondPlaybackTime;     // playback start + 5 s
  uint32_t PlaybackStateFlag;      // 1 for playback states 2, 4 and above
  // Settings pages: the bit of each page sent with a set whose answer has
  // not come yet, and the page-ready counters of the Bitrate, PPPoE, DDNS
  // and Mail pages (1001 enabled, 0 disabled, counting up in between).
  uint32_t PendingSetMask;  // 232
  int32_t PageReady[4];     // 236
  uint32_t Reserved[1];
  uint8_t Pages[960 - kPagesOffset];  // settings pages

  uint32_t PlaybackChannel() const { return Playback.Channel; }
  uint32_t BackupChannel() const { return Backup.Channel; }
  // The record carried by "ICMD" type 256, 512 or 1024; nullptr for others.
  uint8_t* RecordOfType(uint32_t type);
  // Start-up values: all zero but the live record's 704 x 576 and bitrate 9
  // (in the Bitrate page).
  void Initialize();
};

// The on-screen layout a live record shows: 0..15 one channel, 16..22 the
// splits (four from 0, 4, 8, 12; nine from 0, 9; sixteen).
int LayoutOf(const LiveRecord& live);

static_assert(sizeof(LiveRecord) == 64 && sizeof(PlaybackRecord) == 64 &&
              sizeof(BackupRecord) == 64);
static_assert(offsetof(ViewState, Live) == 12 && offsetof(ViewState, Playback) == 76 &&
              offsetof(ViewState, Backup) == 140 && offsetof(ViewState, Pages) == 256);
static_assert(offsetof(ViewState, PendingSetMask) == 232 && offsetof(ViewState, PageReady) == 236);
static_assert(sizeof(ViewState) == 960);

}  // namespace tevrano
