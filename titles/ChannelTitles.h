#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/ByteReader.h"
#include "base/Form.h"
#include "platform/FileSystem.h"
#include "platform/HostServices.h"
#include "platform/TextSurface.h"

namespace tevrano {

namespace titles {
// The title record (record type 16).
constexpr uint32_t kRecordSize = 1160;
constexpr uint32_t kTitlesAt = 4, kTitleField = 64, kTitleChars = 63;
constexpr uint32_t kFontNameAt = 1060, kFontNameField = 64;
constexpr uint32_t kCharsetAt = 1124, kStyleAt = 1128, kPercentAt = 1132, kLanguageAt = 1136;
constexpr uint32_t kChecksumAt = 1144;
constexpr int kChannels = 16;
constexpr int kSizes = 4;
// Bitmap sizes by size index (record types 1 to 4).
constexpr int kWidth[kSizes] = {448, 352, 288, 224};
constexpr int kHeight[kSizes] = {56, 44, 36, 28};
constexpr uint32_t BytesPerChannel(int size) {
  return uint32_t(kWidth[size] * kHeight[size] / 8);
}
constexpr uint32_t BitmapBytes(int size) {
  return BytesPerChannel(size) * kChannels;
}
constexpr uint32_t kBitmapsSize = BitmapBytes(0) + BitmapBytes(1) + BitmapBytes(2) + BitmapBytes(3);
// The record and the four bitmaps together.
constexpr uint32_t kSetSize = kRecordSize + kBitmapsSize;  // 115,592
// The title file: 16-byte header, then the five records with 8 bytes each.
constexpr uint32_t kFileHeaderSize = 16;
constexpr uint32_t kFileSize = kFileHeaderSize + kSetSize + 5 * 8;  // 115,648
constexpr uint32_t kFileVersion = 0x01000003;
// Record types on the wire and in the file.
enum Type : uint32_t { kFinished = 0, kRecord = 16, kWholeRecord = 17 };
// The largest piece a message carries: 32-byte module header, 32-byte
// sub-header, 32-byte piece header and the piece fit the 1,280 bytes a poll
// can carry.
constexpr uint32_t kMaxPiece = 1152;
// How often one piece is asked for again when it arrives damaged.
constexpr int kPieceRetries = 3;

// The part of a buffer of `size` bytes that a piece at `offset` of `length`
// may cover: 0 when the offset lies at or beyond the end, else at most what
// is left after the offset.
constexpr uint32_t PieceLength(uint32_t size, uint32_t offset, uint32_t length) {
  if (offset >= size) return 0;
  return length < size - offset ? length : size - offset;
}
uint32_t ByteSum(const uint8_t* bytes, uint32_t n);
}  // namespace titles

// The ink box of one rendered title.
struct TitleInk {
  int width = 0, height = 0, left = 0, top = 0;
};

// Title state of one recorder connection.
struct VdttState {
  int mode = 0;          // 1 fetch the recorder's titles, 2 offer ours, 0 nothing to start
  bool offered = false;  // from Apply until the recorder reports the end
  int previewSize = 0, previewChannel = 0;
  uint32_t bytesSent = 0, total = 0;
  bool redraw[titles::kChannels] = {};
  TitleInk ink[titles::kChannels][titles::kSizes] = {};
  uint8_t record[titles::kRecordSize] = {};
  uint8_t bitmaps[titles::kBitmapsSize] = {};
  // The piece last asked for while fetching and how often it came damaged.
  uint32_t retryType = 0, retryOffset = 0;
  int retries = 0;
};

// The Title tab and the "VDTT" module: title texts with language, font and
// size, rendered into four one-bit bitmaps per channel, kept in title files
// and exchanged with the recorder in pieces. Works on the first recorder
// connection, on the control's thread.
class ChannelTitles {
 public:
  struct Hooks {
    // Queues one whole module message on the first connection; -1 when not.
    std::function<int(const uint8_t* message, uint32_t length)> queue;
    // The first connection's handle; whether it is logged in.
    std::function<uint32_t()> handle;
    std::function<bool()> connected;
    // Whether the Title tab is showing.
    std::function<bool()> tabShowing;
  };
  static constexpr uint32_t kTag = Tag("VDTT");

  // `measure` and `box` are the two drawing surfaces rendering uses.
  ChannelTitles(TTevranoX& form, platform::HostServices& host, platform::FileSystem& files,
                platform::TextSurface& measure, platform::TextSurface& box);
  ChannelTitles(const ChannelTitles&) = delete;
  ChannelTitles& operator=(const ChannelTitles&) = delete;

  Hooks& GetHooks() { return hooks_; }
  VdttState& State() { return state_; }
  uint8_t* ReceiveBuffer() { return receive_; }
  static constexpr uint32_t kReceiveBufferSize = 1280;

  // Start-up: the tab's events bound, the default font and size.
  void Bind();
  // The recorder's channel count (0..16): that many title boxes show.
  void SetChannelCount(int channels);
  // The "VDTT" module's receive function.
  void Receive(const uint8_t* body, uint32_t length);
  // The 300 ms job: starts an exchange, redraws, shows the progress.
  void ThreeHundredMsStep();
  // The Title tab chosen: unless our set is being offered, the boxes are
  // emptied and the recorder's titles fetched.
  void LoadTitles();
  // Apply: offers the title set to the recorder.
  void Apply();

  // Form events.
  void ComboBox_TitleChange();
  void Button_TOptionClick();
  void ComboBox_TFSChange();
  void Edit_TFSChange();
  void ScrollBar_TFSChange();
  void TitleChange(int channel);
  void Button_TLoadClick();
  void Button_TSaveClick();

  // Title files; false when nothing was written / loaded.
  bool SaveFile(std::string_view path);
  bool LoadFile(std::string_view path);

  // Stores a title text (at most 63 bytes, cut at a character boundary) and
  // marks the channel for redrawing.
  void SetTitle(int channel, std::string_view text);
  std::string_view Title(int channel) const;
  int Percent() const;
  // Renders every channel marked for redrawing, the highest first.
  void RedrawMarked();
  // Renders one title into its bitmap slot (and the preview when chosen).
  void Render(int channel, int size);
  // The buffer of a record type (16, 1..4) and its size; null for others.
  uint8_t* Buffer(uint32_t type, uint32_t& size);
  // Shows the record's titles, language, font and size in the tab.
  void ShowTitles();
  void MarkAll();

 private:
  int Send(uint32_t form, uint32_t kind, uint32_t type, uint32_t offset, uint32_t length,
           const uint8_t* piece);
  void ReceiveRequest(uint32_t form, uint32_t type, uint32_t offset, uint32_t length);
  void ReceivePiece(uint32_t form, uint32_t type, uint32_t offset, uint32_t length, uint32_t sum,
                    ByteReader& rest);
  void RequestNext(uint32_t type, uint32_t offset);
  void EnableControls(bool on);
  void ProgressBarReset();
  platform::FontSpec Font(int points) const;
  uint32_t RecordWord(uint32_t at) const { return LoadLe32(state_.record + at); }

  TTevranoX& form_;
  platform::HostServices& host_;
  platform::FileSystem& files_;
  platform::TextSurface& measure_;
  platform::TextSurface& box_;
  Hooks hooks_;
  VdttState state_;
  int channels_ = 16;
  uint8_t receive_[kReceiveBufferSize] = {};
  uint8_t send_[kReceiveBufferSize] = {};
  uint8_t file_[titles::kFileSize] = {};
};

}  // namespace tevrano
