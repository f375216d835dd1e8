#include "titles/ChannelTitles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "net/ModuleTable.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeHost.h"

namespace tevrano {
namespace {

using namespace titles;

// A fixed-cell text surface whose text height at 72 points can be set.
class MeasuredSurface : public platform::FakeTextSurface {
 public:
  MeasuredSurface() : FakeTextSurface(0, 0) {}
  platform::TextExtent Measure(std::string_view text) const override {
    platform::TextExtent e = FakeTextSurface::Measure(text);
    if (height72 >= 0 && Font().size == 72) e.height = height72;
    return e;
  }
  int height72 = -1;  // -1: the fake's own
};

struct Message {
  uint32_t form, kind, type, offset, length, sum;
  std::vector<uint8_t> piece;
};

class TitlesTest : public ::testing::Test {
 protected:
  TitlesTest() {
    ChannelTitles::Hooks& h = titles.GetHooks();
    h.queue = [this](const uint8_t* m, uint32_t n) {
      EXPECT_LE(n, kMaxModuleMessage);
      EXPECT_EQ(LoadLe32(m), n);
      EXPECT_EQ(LoadLe32(m + 4), Tag("VDTT"));
      const uint8_t* b = m + kModuleHeaderSize;
      EXPECT_EQ(LoadLe32(m + 8), ModuleChecksum(b, n - kModuleHeaderSize));
      Message msg{LoadLe32(b + 4),
                  LoadLe32(b + 8),
                  LoadLe32(b + 12),
                  LoadLe32(b + 32),
                  LoadLe32(b + 36),
                  LoadLe32(b + 40),
                  {}};
      msg.piece.assign(b + 64, m + n);
      sent.push_back(msg);
      return 0;
    };
    h.handle = [] { return 77u; };
    files.AddFolder("/titles");
    files.AddFolder("/t");
    h.connected = [this] { return connected; };
    titles.Bind();
  }

  // A "VDTT" body as the recorder sends it.
  static std::vector<uint8_t> Body(uint32_t form, uint32_t kind, uint32_t type, uint32_t offset,
                                   uint32_t length, std::vector<uint8_t> piece = {},
                                   int sumDelta = 0) {
    std::vector<uint8_t> b(64, 0);
    StoreLe32(b.data(), 77);
    StoreLe32(b.data() + 4, form);
    StoreLe32(b.data() + 8, kind);
    StoreLe32(b.data() + 12, type);
    StoreLe32(b.data() + 32, offset);
    StoreLe32(b.data() + 36, length);
    StoreLe32(b.data() + 40, ByteSum(piece.data(), uint32_t(piece.size())) + sumDelta);
    b.insert(b.end(), piece.begin(), piece.end());
    return b;
  }
  void Receive(const std::vector<uint8_t>& body) {
    titles.Receive(body.data(), uint32_t(body.size()));
  }
  void SetPercent(int percent) {
    form.Edit_TFS.SetText(std::to_string(percent));
    titles.Edit_TFSChange();
  }
  void Type(int channel, const std::string& text) {
    form.TitleEdit(channel).SetText(text);
    titles.TitleChange(channel);
  }
  const uint8_t* Slot(int size, int channel) {
    uint32_t n = 0;
    return titles.Buffer(uint32_t(size + 1), n) + uint32_t(channel) * BytesPerChannel(size);
  }
  bool Ink(int size, int channel, int x, int y) {
    return (Slot(size, channel)[y * (kWidth[size] / 8) + x / 8] >> (x & 7)) & 1;
  }

  TTevranoX form;
  platform::FakeHostServices host;
  platform::FakeFileSystem files;
  MeasuredSurface measure;
  MeasuredSurface box;
  ChannelTitles titles{form, host, files, measure, box};
  std::vector<Message> sent;
  bool connected = true;
};

TEST_F(TitlesTest, ASixtyFourCharacterTitleIsStoredAsItsFirstSixtyThree) {
  Type(0, std::string(64, 'A'));
  EXPECT_EQ(titles.Title(0), std::string(63, 'A'));
  EXPECT_EQ(titles.State().record[kTitlesAt + 63], 0);
  // A character of several bytes is never cut in half.
  Type(1, std::string(62, 'B') + "\xC3\xA9");
  EXPECT_EQ(titles.Title(1), std::string(62, 'B'));
}

TEST_F(TitlesTest, FontSizeFollowsThePercentOfTheBitmapHeight) {
  struct Case {
    int percent, size, height72, points;
  } cases[] = {
      {100, 0, 72, 56},                                    // aims at the whole 56-pixel height
      {60, 0, 72, 33},  {100, 3, 72, 28}, {10, 3, 72, 8},  // 2 points is held at 8
      {100, 0, 10, 72},  // a small text height would ask for 403: held at 72
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.percent * 1000 + c.size * 100 + c.height72);
    SetPercent(c.percent);
    Type(0, "AB");
    measure.height72 = box.height72 = c.height72;
    titles.Render(0, c.size);
    EXPECT_EQ(box.Font().size, c.points);
  }
}

TEST_F(TitlesTest, PercentHundredOnSizeZeroGivesAFiftySixPixelInkBoxCentred) {
  SetPercent(100);
  Type(0, "AB");
  titles.RedrawMarked();
  const TitleInk& ink = titles.State().ink[0][0];
  EXPECT_EQ(ink.height, 56);
  int top = 99, bottom = -1, left = 999, right = -1;
  for (int y = 0; y < 56; ++y)
    for (int x = 0; x < 448; ++x)
      if (Ink(0, 0, x, y)) {
        top = std::min(top, y), bottom = std::max(bottom, y);
        left = std::min(left, x), right = std::max(right, x);
      }
  EXPECT_EQ(top, 0);
  EXPECT_EQ(bottom, 55);
  EXPECT_LE(std::abs(left - (447 - right)), 1);
  // The preview shows channel 1 at the largest size.
  EXPECT_EQ(form.Image_Title1.picture.Width(), 448);
  EXPECT_NE(form.Image_Title1.picture.At((left + right) / 2 - 2, 28), 0x00FFFFFFu);
}

TEST_F(TitlesTest, AZeroTextHeightLeavesTheBitmapBlank) {
  measure.height72 = 0;
  Type(2, "XYZ");
  titles.RedrawMarked();
  for (int size = 0; size < kSizes; ++size) {
    const uint8_t* slot = Slot(size, 2);
    EXPECT_TRUE(std::all_of(slot, slot + BytesPerChannel(size), [](uint8_t b) { return b == 0; }));
  }
}

TEST_F(TitlesTest, ASavedFileOf115648BytesRoundTrips) {
  Type(0, "Gate");
  Type(15, "Yard 16");
  SetPercent(70);
  form.ComboBox_Title.SetItemIndex(3);
  titles.ComboBox_TitleChange();
  ASSERT_TRUE(titles.SaveFile("/titles/set.ttl"));
  const auto file = files.Contents("/titles/set.ttl");
  ASSERT_TRUE(file);
  ASSERT_EQ(file->size(), 115648u);
  EXPECT_EQ(LoadLe32(file->data()), 115648u);
  EXPECT_EQ(LoadLe32(file->data() + 4), Tag("VDTT"));
  EXPECT_EQ(LoadLe32(file->data() + 8), 0x01000003u);
  EXPECT_EQ(LoadLe32(file->data() + 16), 1168u);
  EXPECT_EQ(LoadLe32(file->data() + 20), 16u);

  TTevranoX otherForm;
  MeasuredSurface m2, b2;
  ChannelTitles other{otherForm, host, files, m2, b2};
  ASSERT_TRUE(other.LoadFile("/titles/set.ttl"));
  EXPECT_EQ(other.Title(0), "Gate");
  EXPECT_EQ(other.Title(15), "Yard 16");
  EXPECT_EQ(other.Percent(), 70);
  EXPECT_EQ(otherForm.TitleEdit(15).text, "Yard 16");
  EXPECT_EQ(otherForm.ComboBox_Title.itemIndex, 3);
  EXPECT_EQ(otherForm.ScrollBar_TFS.position, 70);
  EXPECT_TRUE(std::equal(std::begin(other.State().bitmaps), std::end(other.State().bitmaps),
                         std::begin(titles.State().bitmaps)));
  for (bool marked : other.State().redraw) EXPECT_TRUE(marked);
}

TEST_F(TitlesTest, ForeignOrDamagedTitleFilesLoadNothingOrStopAtTheDamage) {
  Type(0, "Gate");
  ASSERT_TRUE(titles.SaveFile("/t/good.ttl"));
  const std::vector<uint8_t> good = *files.Contents("/t/good.ttl");
  struct Case {
    const char* name;
    size_t at;  // byte changed (or the file cut there when cut)
    uint32_t value;
    bool cut;
    bool loads;
    bool recordKept;  // the title record was taken
  } cases[] = {
      {"tag", 4, Tag("VDTX"), false, false, false},
      {"lower-case tag", 4, Tag("vdtt"), false, true, true},
      {"version", 8, 0x01000002, false, false, false},
      {"bitmap record size", 16 + 1168, 9, false, true, true},
      {"title record size", 16, 1167, false, false, false},
      {"cut inside the header", 10, 0, true, false, false},
      {"cut inside the title record", 600, 0, true, false, false},
      {"cut inside a bitmap", 16 + 1168 + 100, 0, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = good;
    if (c.cut)
      bytes.resize(c.at);
    else
      StoreLe32(bytes.data() + c.at, c.value);
    files.AddFile("/t/case.ttl", bytes);
    TTevranoX otherForm;
    MeasuredSurface m2, b2;
    ChannelTitles other{otherForm, host, files, m2, b2};
    other.SetTitle(0, "Before");
    EXPECT_EQ(other.LoadFile("/t/case.ttl"), c.loads);
    EXPECT_EQ(other.Title(0), c.recordKept ? "Gate" : "Before");
  }
  EXPECT_FALSE(titles.LoadFile("/t/missing.ttl"));
}

TEST_F(TitlesTest, RequestedPiecesAreCutToTheBuffer) {
  struct Case {
    uint32_t type, offset, length;
    int answered;  // -1: no answer
  } cases[] = {
      {2, 30000, 1152, 976}, {2, 30976, 1152, 0}, {2, 40000, 1152, 0},   {2, 0xFFFFFF00u, 1152, 0},
      {16, 1152, 1152, 8},   {1, 0, 5000, 1152},  {4, 12000, 1152, 544}, {5, 0, 100, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type * 100000 + c.offset);
    sent.clear();
    Receive(Body(1, 0, c.type, c.offset, c.length));
    if (c.answered < 0) {
      EXPECT_TRUE(sent.empty());
      continue;
    }
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].kind, 1u);
    EXPECT_EQ(sent[0].form, 0u);
    EXPECT_EQ(sent[0].type, c.type);
    EXPECT_EQ(sent[0].offset, c.offset);
    EXPECT_EQ(sent[0].length, uint32_t(c.answered));
    EXPECT_EQ(sent[0].piece.size(), size_t(c.answered));
    EXPECT_EQ(sent[0].sum, ByteSum(sent[0].piece.data(), uint32_t(sent[0].piece.size())));
  }
}

TEST_F(TitlesTest, ApplyOffersTheSetAndTheEndFillsTheProgressBar) {
  Type(0, "Door");
  titles.Apply();
  EXPECT_FALSE(form.Button_Title1.enabled);
  EXPECT_FALSE(form.TitleEdit(0).enabled);
  const VdttState& s = titles.State();
  uint8_t record[kRecordSize];
  std::copy(std::begin(s.record), std::end(s.record), record);
  StoreLe32(record + kChecksumAt, 0);
  EXPECT_EQ(LoadLe32(s.record + kChecksumAt),
            ByteSum(record, kRecordSize) + ByteSum(s.bitmaps, kBitmapsSize));

  connected = false;
  titles.ThreeHundredMsStep();
  EXPECT_TRUE(sent.empty());  // kept until the connection can carry it
  connected = true;
  titles.ThreeHundredMsStep();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].kind, 1u);
  EXPECT_EQ(sent[0].type, 16u);
  EXPECT_EQ(sent[0].length, 1152u);

  // The recorder asks for the record of the whole title and then signals the end.
  sent.clear();
  Receive(Body(0, 0, 0, 0, 0));
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].type, 17u);
  EXPECT_EQ(sent[0].form, 1u);
  EXPECT_EQ(sent[0].length, kRecordSize);
  Receive(Body(1, 0, 0, 0, 0));
  titles.ThreeHundredMsStep();
  EXPECT_EQ(form.ProgressBar_title.position, 100);
  EXPECT_TRUE(form.Button_Title1.enabled);
  EXPECT_FALSE(titles.State().offered);
}

TEST_F(TitlesTest, FetchingStoresSoundPiecesAndRetriesDamagedOnesABoundedNumberOfTimes) {
  std::vector<uint8_t> piece(1152, 7);
  // A sound piece of the title record: stored, the rest asked for.
  Receive(Body(0, 1, 16, 0, 1152, piece));
  EXPECT_EQ(titles.State().record[100], 7);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].kind, 0u);
  EXPECT_EQ(sent[0].form, 1u);
  EXPECT_EQ(sent[0].type, 16u);
  EXPECT_EQ(sent[0].offset, 1152u);
  EXPECT_EQ(sent[0].length, 8u);

  // The last 8 bytes: on to bitmap type 1.
  sent.clear();
  Receive(Body(0, 1, 16, 1152, 8, std::vector<uint8_t>(8, 1)));
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].type, 1u);
  EXPECT_EQ(sent[0].offset, 0u);
  EXPECT_EQ(sent[0].length, 1152u);

  // A damaged piece is not stored and asked for again, three times, then skipped.
  sent.clear();
  for (int i = 0; i < 4; ++i) Receive(Body(0, 1, 1, 0, 1152, piece, 1));
  ASSERT_EQ(sent.size(), 4u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(sent[i].offset, 0u);
  EXPECT_EQ(sent[3].offset, 1152u);
  EXPECT_EQ(titles.State().bitmaps[0], 0);

  // A piece longer than the message that carries it is damaged too.
  sent.clear();
  std::vector<uint8_t> lying = Body(0, 1, 1, 1152, 1152, std::vector<uint8_t>(100, 9));
  StoreLe32(lying.data() + 36, 1152);
  Receive(lying);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].offset, 1152u);
  EXPECT_EQ(titles.State().bitmaps[1152], 0);

  // The end of type 4 ends the fetch with type 0.
  sent.clear();
  Receive(Body(0, 1, 4, 12000, 544, std::vector<uint8_t>(544, 3)));
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].type, 0u);
}

TEST_F(TitlesTest, TheRecordersTitleRecordMustBeWholeAndSound) {
  std::vector<uint8_t> record(kRecordSize, 0);
  std::copy_n("Front", 5, record.begin() + kTitlesAt);
  StoreLe32(record.data() + kPercentAt, 80);
  struct Case {
    uint32_t length;
    int sumDelta;
    bool taken;
  } cases[] = {{kRecordSize - 1, 0, false}, {kRecordSize, 1, false}, {kRecordSize, 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length * 10 + c.sumDelta);
    std::vector<uint8_t> piece(record.begin(), record.begin() + c.length);
    Receive(Body(1, 1, 17, 0, c.length, piece, c.sumDelta));
    EXPECT_EQ(titles.Title(0), c.taken ? "Front" : "");
    EXPECT_EQ(form.TitleEdit(0).text, c.taken ? "Front" : "");
  }
  EXPECT_EQ(form.ScrollBar_TFS.position, 80);
}

TEST_F(TitlesTest, ChoosingTheTabFetchesTheRecordersTitles) {
  form.TitleEdit(3).SetText("old");
  titles.LoadTitles();
  EXPECT_EQ(form.TitleEdit(3).text, "");
  titles.ThreeHundredMsStep();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].kind, 0u);
  EXPECT_EQ(sent[0].form, 0u);
  EXPECT_EQ(sent[0].type, 17u);
  EXPECT_EQ(sent[0].length, 1152u);
  sent.clear();
  titles.ThreeHundredMsStep();
  EXPECT_TRUE(sent.empty());
}

TEST_F(TitlesTest, SizeControlsKeepThePercentInRange) {
  struct Case {
    const char* typed;
    int percent;
  } cases[] = {{"45", 45}, {"9", 60}, {"101", 60}, {"abc", 60}, {"100", 100}, {"10", 10}};
  for (const Case& c : cases) {
    form.Edit_TFS.SetText(c.typed);
    titles.Edit_TFSChange();
    EXPECT_EQ(titles.Percent(), c.percent) << c.typed;
  }
  form.ComboBox_TFS.SetItemIndex(7);
  titles.ComboBox_TFSChange();
  EXPECT_EQ(form.ComboBox_TFS.itemIndex, 2);
  EXPECT_EQ(titles.Percent(), 60);
  form.ComboBox_TFS.SetItemIndex(0);
  titles.ComboBox_TFSChange();
  EXPECT_EQ(form.Edit_TFS.text, "80");
  form.ScrollBar_TFS.SetPosition(33);
  titles.ScrollBar_TFSChange();
  EXPECT_EQ(titles.Percent(), 33);
}

}  // namespace
}  // namespace tevrano
