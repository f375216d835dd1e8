#include "titles/ChannelTitles.h"

#include <charconv>
#include <cstring>
#include <iterator>
#include <memory>
#include <span>

#include "base/ByteReader.h"
#include "net/ModuleTable.h"

namespace tevrano {

using namespace titles;

namespace {
// "VDTT" body: sub-header, then the payload at 32.
constexpr uint32_t kHandleAt = 0, kFormAt = 4, kKindAt = 8, kTypeAt = 12, kSubHeader = 32;
constexpr uint32_t kPieceHeader = 32;
enum Kind : uint32_t { kRequest = 0, kData = 1 };
constexpr uint32_t kWhite = 0x00FFFFFF;
// Bitmap offsets of the four sizes inside VdttState::bitmaps.
constexpr uint32_t kBitmapAt[kSizes] = {0, BitmapBytes(0), BitmapBytes(0) + BitmapBytes(1),
                                        BitmapBytes(0) + BitmapBytes(1) + BitmapBytes(2)};
// The order in which a title set is fetched; 0 ends it.
constexpr uint32_t kFetchOrder[] = {kRecord, 1, 2, 3, 4, kFinished};
static_assert(kSetSize == 115592 && kFileSize == 115648);
static_assert(kModuleHeaderSize + kSubHeader + kPieceHeader + kMaxPiece <= kMaxModuleMessage);

// The longest prefix of `text` of at most `room` bytes that does not cut a
// UTF-8 character.
size_t CutText(std::string_view text, size_t room) {
  if (text.size() <= room) return text.size();
  size_t n = room;
  while (n > 0 && (static_cast<uint8_t>(text[n]) & 0xC0) == 0x80) --n;
  return n;
}
}  // namespace

uint32_t titles::ByteSum(const uint8_t* bytes, uint32_t n) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < n; ++i) sum += bytes[i];
  return sum;
}

ChannelTitles::ChannelTitles(TTevranoX& form, platform::HostServices& host,
                             platform::FileSystem& files, platform::TextSurface& measure,
                             platform::TextSurface& box)
    : form_(form), host_(host), files_(files), measure_(measure), box_(box) {
  // A fresh set: the default font, charset, size and language.
  const char kDefaultFont[] = "Arial";
  std::memcpy(state_.record + kFontNameAt, kDefaultFont, sizeof kDefaultFont);
  StoreLe32(state_.record + kCharsetAt, 1);
  StoreLe32(state_.record + kPercentAt, kTitleDefaultPercent);
}

void ChannelTitles::Bind() {
  TTevranoX& f = form_;
  f.ComboBox_Title.onChange = [this] { ComboBox_TitleChange(); };
  f.Button_TOption.onClick = [this] { Button_TOptionClick(); };
  f.ComboBox_TFS.onChange = [this] { ComboBox_TFSChange(); };
  f.Edit_TFS.onChange = [this] { Edit_TFSChange(); };
  f.ScrollBar_TFS.onChange = [this] { ScrollBar_TFSChange(); };
  f.Button_TLoad.onClick = [this] { Button_TLoadClick(); };
  f.Button_TSave.onClick = [this] { Button_TSaveClick(); };
  for (int i = 0; i < kChannels; ++i) f.TitleEdit(i).onChange = [this, i] { TitleChange(i); };
  // Button_Title1 ("Apply") belongs to the settings tabs' Apply.
  ProgressBarReset();
}

void ChannelTitles::ProgressBarReset() {
  form_.ProgressBar_title.SetPosition(0);
}

void ChannelTitles::SetChannelCount(int channels) {
  channels_ = channels < 0 ? 0 : channels > kChannels ? kChannels : channels;
  for (int i = 0; i < kChannels; ++i) form_.TitleEdit(i).SetVisible(i < channels_);
}

// ---- Titles, font and size ----

std::string_view ChannelTitles::Title(int channel) const {
  const auto* field = reinterpret_cast<const char*>(state_.record + kTitlesAt +
                                                    uint32_t(channel & 15) * kTitleField);
  return {field, strnlen(field, kTitleChars)};
}

void ChannelTitles::SetTitle(int channel, std::string_view text) {
  if (channel < 0 || channel >= kChannels) return;
  uint8_t* field = state_.record + kTitlesAt + uint32_t(channel) * kTitleField;
  std::memset(field, 0, kTitleField);
  std::memcpy(field, text.data(), CutText(text, kTitleChars));
  state_.redraw[channel] = true;
}

int ChannelTitles::Percent() const {
  const uint32_t p = RecordWord(kPercentAt);
  return p < 10 || p > 100 ? kTitleDefaultPercent : static_cast<int>(p);
}

void ChannelTitles::MarkAll() {
  for (bool& r : state_.redraw) r = true;
}

void ChannelTitles::TitleChange(int channel) {
  if (channel >= channels_) return;
  SetTitle(channel, form_.TitleEdit(channel).text);
  state_.previewChannel = channel;
}

void ChannelTitles::ComboBox_TitleChange() {
  int language = form_.ComboBox_Title.itemIndex;
  if (language < 0 || language > 18) language = 0;
  StoreLe32(state_.record + kLanguageAt, uint32_t(language));
  StoreLe32(state_.record + kCharsetAt, uint32_t(kTitleLanguages[language].charset));
  MarkAll();
}

void ChannelTitles::Button_TOptionClick() {
  platform::FontSpec font = Font(12);
  if (!host_.FontDialog(font)) return;
  StoreLe32(state_.record + kCharsetAt, uint32_t(font.charset) & 0xFF);
  uint8_t* name = state_.record + kFontNameAt;
  std::memset(name, 0, kFontNameField);
  std::memcpy(name, font.name.data(), CutText(font.name, kFontNameField - 1));
  StoreLe32(state_.record + kStyleAt, uint32_t(font.style) & 15);
  MarkAll();
}

void ChannelTitles::ComboBox_TFSChange() {
  Component& presets = form_.ComboBox_TFS;
  if (presets.itemIndex < 0 || presets.itemIndex > 4) presets.SetItemIndex(2);
  form_.Edit_TFS.SetText(std::to_string(kTitleSizePresets[presets.itemIndex].percent));
  Edit_TFSChange();
}

void ChannelTitles::ScrollBar_TFSChange() {
  form_.Edit_TFS.SetText(std::to_string(form_.ScrollBar_TFS.position));
  Edit_TFSChange();
}

void ChannelTitles::Edit_TFSChange() {
  const std::string& text = form_.Edit_TFS.text;
  int percent = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), percent);
  if (error != std::errc() || end != text.data() + text.size() || percent < 10 || percent > 100)
    percent = kTitleDefaultPercent;
  StoreLe32(state_.record + kPercentAt, uint32_t(percent));
  if (form_.ScrollBar_TFS.position != percent) form_.ScrollBar_TFS.SetPosition(percent);
  MarkAll();
}

void ChannelTitles::ShowTitles() {
  TTevranoX& f = form_;
  uint32_t language = RecordWord(kLanguageAt);
  if (language > 18) language = 0;
  StoreLe32(state_.record + kLanguageAt, language);
  state_.record[kFontNameAt + kFontNameField - 1] = 0;
  f.ScrollBar_TFS.SetPosition(Percent());
  f.Edit_TFS.SetText(std::to_string(Percent()));
  f.ComboBox_Title.SetItemIndex(static_cast<int>(language));
  for (int i = 0; i < kChannels; ++i) {
    state_.record[kTitlesAt + uint32_t(i) * kTitleField + kTitleChars] = 0;
    f.TitleEdit(i).SetText(Title(i));
  }
}

platform::FontSpec ChannelTitles::Font(int points) const {
  platform::FontSpec font;
  const auto* name = reinterpret_cast<const char*>(state_.record + kFontNameAt);
  font.name.assign(name, strnlen(name, kFontNameField - 1));
  font.charset = static_cast<int>(RecordWord(kCharsetAt) & 0xFF);
  font.style = static_cast<int>(RecordWord(kStyleAt) & 15);
  font.size = points;
  font.color = 0x000000;
  return font;
}

// ---- Rendering ----

void ChannelTitles::RedrawMarked() {
  for (int channel = kChannels - 1; channel >= 0; --channel) {
    if (!state_.redraw[channel]) continue;
    for (int size = 0; size < kSizes; ++size) Render(channel, size);
    state_.redraw[channel] = false;
  }
}

void ChannelTitles::Render(int channel, int size) {
  const int W = kWidth[size], H = kHeight[size];
  uint8_t* slot = state_.bitmaps + kBitmapAt[size] + uint32_t(channel) * BytesPerChannel(size);
  std::memset(slot, 0, BytesPerChannel(size));
  TitleInk& ink = state_.ink[channel][size];
  ink = TitleInk{};
  const std::string_view text = Title(channel);
  const bool preview = size == state_.previewSize && channel == state_.previewChannel;

  auto showPreview = [&](const uint32_t* pixels) {
    Bitmap& picture = form_.Image_Title1.picture;
    if (picture.Width() != W || picture.Height() != H) picture.SetSize(W, H);
    if (pixels)
      std::memcpy(picture.Data(), pixels, sizeof(uint32_t) * size_t(W) * H);
    else
      picture.Fill(kWhite);
    form_.Image_Title1.Invalidate();
  };

  // The font that gives the ink the chosen share of the height, measured at
  // 72 points; a text without height stays background.
  platform::FontSpec font = Font(72);
  if (!text.empty()) {
    measure_.SetFont(font);
    const int h72 = measure_.Measure(text).height;
    if (h72 > 0) {
      const int target = Percent() * H / 100;
      int points = 72 * target / h72;
      font.size = points < 8 ? 8 : points > 72 ? 72 : points;
    } else {
      font.size = 0;
    }
  }
  if (text.empty() || font.size == 0) {
    if (preview) showPreview(nullptr);
    return;
  }

  // The ink box: the text drawn alone on a surface of its own extent.
  measure_.SetFont(font);
  const platform::TextExtent extent = measure_.Measure(text);
  if (extent.width <= 0 || extent.height <= 0) {
    if (preview) showPreview(nullptr);
    return;
  }
  // Drawn with a margin all round, so that glyphs reaching past their
  // advance (overhangs, negative bearings) are measured whole.
  const int pad = extent.height / 2 + 1;
  const int mw = extent.width + 2 * pad, mh = extent.height + 2 * pad;
  measure_.Resize(mw, mh);
  measure_.Fill(kWhite);
  measure_.DrawText(pad, pad, text);
  const uint32_t* pixels = measure_.Pixels();
  int top = -1, bottom = -1, left = mw, right = -1;
  for (int y = 0; y < mh; ++y) {
    const uint32_t* row = pixels + size_t(y) * mw;
    for (int x = 0; x < mw; ++x) {
      if ((row[x] & kWhite) == kWhite) continue;
      if (top < 0) top = y;
      bottom = y;
      if (x < left) left = x;
      if (x > right) right = x;
    }
  }
  if (top < 0) {  // nothing visible: all background
    if (preview) showPreview(nullptr);
    return;
  }
  // Offsets from the drawing position (negative when ink lies before it).
  left -= pad, right -= pad, top -= pad, bottom -= pad;
  ink = {right - left + 1, bottom - top + 1, left, top};

  // Centred in the box; ink wider than the box starts at its left edge.
  const int x = ink.width <= W ? (W - ink.width) / 2 - ink.left : 0;
  const int y = (H - ink.height) / 2 - ink.top;
  if (box_.Width() != W || box_.Height() != H) box_.Resize(W, H);
  box_.SetFont(font);
  box_.Fill(kWhite);
  box_.DrawText(x, y, text);
  const uint32_t* out = box_.Pixels();
  for (int row = 0; row < H; ++row) {
    const uint32_t* line = out + size_t(row) * W;
    uint8_t* bits = slot + size_t(row) * (W / 8);
    for (int col = 0; col < W; ++col)
      if ((line[col] & kWhite) != kWhite) bits[col >> 3] |= uint8_t(1u << (col & 7));
  }
  if (preview) showPreview(out);
}

// ---- Title files ----

uint8_t* ChannelTitles::Buffer(uint32_t type, uint32_t& size) {
  if (type == kRecord) {
    size = kRecordSize;
    return state_.record;
  }
  if (type >= 1 && type <= 4) {
    size = BitmapBytes(int(type - 1));
    return state_.bitmaps + kBitmapAt[type - 1];
  }
  size = 0;
  return nullptr;
}

bool ChannelTitles::SaveFile(std::string_view path) {
  RedrawMarked();
  ByteWriter w(file_, sizeof file_);
  w.Le32(kFileSize);
  w.Bytes("VDTT", 4);
  w.Le32(kFileVersion);
  w.Le32(5);
  for (uint32_t type : {uint32_t(kRecord), 1u, 2u, 3u, 4u}) {
    uint32_t size = 0;
    const uint8_t* data = Buffer(type, size);
    w.Le32(size + 8);
    w.Le32(type);
    w.Bytes(data, size);
  }
  if (!w.Ok() || w.Position() != kFileSize) return false;
  return platform::WriteWholeFile(files_, path, {file_, kFileSize});
}

bool ChannelTitles::LoadFile(std::string_view path) {
  const std::unique_ptr<platform::File> file = files_.Open(path, platform::FileMode::kRead);
  if (!file) return false;
  // Reads exactly n bytes or fails.
  auto readAll = [&file](uint8_t* out, uint32_t n) {
    uint32_t got = 0;
    while (got < n) {
      const int64_t r = file->Read(out + got, n - got);
      if (r <= 0) return false;
      got += uint32_t(r);
    }
    return true;
  };
  uint8_t header[kFileHeaderSize];
  if (!readAll(header, sizeof header)) return false;
  ByteReader h(header, sizeof header);
  uint32_t total = 0, tag = 0, version = 0, count = 0;
  h.Le32(total);
  h.Le32(tag);
  h.Le32(version);
  h.Le32(count);
  if (tag != Tag("VDTT") && tag != Tag("vdtt")) return false;
  if (version != kFileVersion) return false;

  bool loaded = false;
  uint32_t read = 0, consumed = kFileHeaderSize;
  while (read < count && consumed < total) {
    uint8_t recordHeader[8];
    if (!readAll(recordHeader, sizeof recordHeader)) break;
    const uint32_t recordSize = LoadLe32(recordHeader), type = LoadLe32(recordHeader + 4);
    uint32_t size = 0;
    uint8_t* target = Buffer(type, size);
    if (!target || recordSize < 8 || recordSize - 8 != size) break;
    // Staged whole, so a short file leaves the buffer as it was.
    if (!readAll(file_, size)) break;
    std::memcpy(target, file_, size);
    loaded = true;
    ++read;
    consumed += recordSize;
  }
  if (!loaded) return false;
  ShowTitles();
  MarkAll();
  return true;
}

void ChannelTitles::Button_TSaveClick() {
  if (auto path = host_.SaveFileDialog("Title File (*.ttl)|*.ttl", "", "title.ttl"))
    SaveFile(*path);
}

void ChannelTitles::Button_TLoadClick() {
  if (auto path = host_.OpenFileDialog("Title File (*.ttl)|*.ttl", "")) LoadFile(*path);
}

// ---- The exchange ----

void ChannelTitles::EnableControls(bool on) {
  TTevranoX& f = form_;
  for (Component* c : {&f.Button_Title1, &f.Button_TLoad, &f.Button_TSave, &f.Button_TOption,
                       &f.ComboBox_TFS, &f.Edit_TFS, &f.ScrollBar_TFS, &f.ComboBox_Title})
    c->SetEnabled(on);
  for (int i = 0; i < kChannels; ++i) f.TitleEdit(i).SetEnabled(on);
}

void ChannelTitles::LoadTitles() {
  if (state_.offered) return;
  for (int i = 0; i < kChannels; ++i) form_.TitleEdit(i).SetText("");
  state_.mode = 1;
}

void ChannelTitles::Apply() {
  RedrawMarked();
  state_.mode = 2;
  state_.offered = true;
  state_.bytesSent = 0;
  state_.total = kSetSize;
  StoreLe32(state_.record + kChecksumAt, 0);
  const uint32_t sum = ByteSum(state_.record, kRecordSize) + ByteSum(state_.bitmaps, kBitmapsSize);
  StoreLe32(state_.record + kChecksumAt, sum);
  EnableControls(false);
}

void ChannelTitles::ThreeHundredMsStep() {
  // An exchange starts once the connection can carry it; a message that
  // could not be queued is tried again on the next pass.
  if (state_.mode != 0 && (!hooks_.connected || hooks_.connected())) {
    int sent = 0;
    if (state_.mode == 1) {
      sent = Send(0, kRequest, kWholeRecord, 0, kMaxPiece, nullptr);
    } else if (state_.mode == 2) {
      RedrawMarked();
      sent = Send(0, kData, kRecord, 0, kMaxPiece, state_.record);
      if (sent >= 0) state_.bytesSent += kMaxPiece;
    }
    if (sent >= 0) state_.mode = 0;
  }
  RedrawMarked();
  if (state_.total != 0 && (!hooks_.tabShowing || hooks_.tabShowing())) {
    const uint64_t percent = uint64_t(state_.bytesSent) * 100 / state_.total;
    form_.ProgressBar_title.SetPosition(percent > 100 ? 100 : int(percent));
  }
}

int ChannelTitles::Send(uint32_t form, uint32_t kind, uint32_t type, uint32_t offset,
                        uint32_t length, const uint8_t* piece) {
  if (!hooks_.queue) return -1;
  uint32_t n = 0;
  if (kind == kData) {
    uint32_t size = 0;
    const uint8_t* buffer = type == kWholeRecord ? state_.record : Buffer(type, size);
    if (type == kWholeRecord) size = kRecordSize;
    if (!buffer || piece != buffer) return -1;
    n = PieceLength(size, offset, length);
    // Only the whole record goes out larger than a piece.
    if (type != kWholeRecord && n > kMaxPiece) n = kMaxPiece;
  }
  uint8_t* body = send_ + kModuleHeaderSize;
  std::memset(body, 0, kSubHeader + kPieceHeader);
  StoreLe32(body + kHandleAt, hooks_.handle ? hooks_.handle() : 0);
  StoreLe32(body + kFormAt, form);
  StoreLe32(body + kKindAt, kind);
  StoreLe32(body + kTypeAt, type);
  uint8_t* payload = body + kSubHeader;
  StoreLe32(payload, offset);
  if (kind == kData) {
    StoreLe32(payload + 4, n);
    if (n) std::memcpy(payload + kPieceHeader, piece + offset, n);
    StoreLe32(payload + 8, ByteSum(piece + (n ? offset : 0), n));
  } else {
    StoreLe32(payload + 4, length);
  }
  const uint32_t total = kModuleHeaderSize + kSubHeader + kPieceHeader + n;
  if (total > sizeof send_) return -1;
  FinishModuleMessage(send_, total, kTag);
  return hooks_.queue(send_, total) < 0 ? -1 : int(n);
}

void ChannelTitles::Receive(const uint8_t* body, uint32_t length) {
  ByteReader r(body, length);
  ByteReader sub;
  if (!r.Sub(kSubHeader, sub)) return;
  uint32_t form = 0, kind = 0, type = 0;
  sub.Le32At(kFormAt, form);
  sub.Le32At(kKindAt, kind);
  sub.Le32At(kTypeAt, type);
  ByteReader header;
  uint32_t offset = 0, pieceLength = 0, sum = 0;
  if (!r.Sub(kPieceHeader, header) || !header.Le32(offset) || !header.Le32(pieceLength) ||
      !header.Le32(sum))
    return;
  if (kind == kRequest)
    ReceiveRequest(form, type, offset, pieceLength);
  else if (kind == kData)
    ReceivePiece(form, type, offset, pieceLength, sum, r);
}

void ChannelTitles::ReceiveRequest(uint32_t form, uint32_t type, uint32_t offset, uint32_t length) {
  if (form == 0) {
    Send(1, kData, kWholeRecord, 0, kRecordSize, state_.record);
    return;
  }
  if (form != 1) return;
  if (type == kFinished) {
    EnableControls(true);
    // The whole set went over: the progress bar ends full.
    state_.bytesSent = state_.total;
    state_.offered = false;
    return;
  }
  uint32_t size = 0;
  uint8_t* buffer = Buffer(type, size);
  if (!buffer) return;
  const int sent = Send(0, kData, type, offset, length, buffer);
  if (sent > 0) state_.bytesSent += uint32_t(sent);
}

void ChannelTitles::ReceivePiece(uint32_t form, uint32_t type, uint32_t offset, uint32_t length,
                                 uint32_t sum, ByteReader& rest) {
  // The piece must lie inside the message that carries it.
  std::span<const uint8_t> piece;
  const bool whole = length <= rest.Remaining() && rest.Span(length, piece);
  const bool sound = whole && length != 0 && ByteSum(piece.data(), length) == sum;

  if (form == 1) {
    // The recorder's title record: exactly one record, undamaged.
    if (type != kWholeRecord && type != kRecord) return;
    if (!sound || offset != 0 || length != kRecordSize) return;
    std::memcpy(state_.record, piece.data(), kRecordSize);
    ShowTitles();
    MarkAll();
    return;
  }
  if (form != 0) return;
  uint32_t size = 0;
  uint8_t* buffer = Buffer(type, size);
  if (!buffer) return;
  const uint32_t n = sound ? PieceLength(size, offset, length) : 0;
  if (n) std::memcpy(buffer + offset, piece.data(), n);

  if (!sound && offset < size) {
    // A damaged piece is asked for again, a few times.
    if (state_.retryType == type && state_.retryOffset == offset) {
      ++state_.retries;
    } else {
      state_.retryType = type, state_.retryOffset = offset, state_.retries = 1;
    }
    if (state_.retries <= kPieceRetries) {
      Send(1, kRequest, type, offset, PieceLength(size, offset, kMaxPiece), nullptr);
      return;
    }
  }
  state_.retries = 0;
  // Moves on as if the piece had been stored; an empty one ends the type.
  const uint32_t next = length == 0 ? size : offset + PieceLength(size, offset, length);
  RequestNext(type, next);
}

void ChannelTitles::RequestNext(uint32_t type, uint32_t offset) {
  uint32_t size = 0;
  Buffer(type, size);
  if (offset < size) {
    Send(1, kRequest, type, offset, PieceLength(size, offset, kMaxPiece), nullptr);
    return;
  }
  uint32_t next = kFinished;
  for (size_t i = 0; i + 1 < std::size(kFetchOrder); ++i)
    if (kFetchOrder[i] == type) next = kFetchOrder[i + 1];
  if (next == kFinished) {
    state_.mode = 0;
    Send(1, kRequest, kFinished, 0, 0, nullptr);
    ShowTitles();
    return;
  }
  uint32_t nextSize = 0;
  Buffer(next, nextSize);
  Send(1, kRequest, next, 0, PieceLength(nextSize, 0, kMaxPiece), nullptr);
}

}  // namespace tevrano
