// The recorder's frame rate (PAL 25 or NTSC 30 frames a second) in the live
// lag and the frame count: from the stream's own timing until the
// recorder's settings record says.
#include "tests/stream/StreamFixture.h"

namespace tevrano::test {
namespace {

using FrameRateTest = StreamFixture;

TEST_F(FrameRateTest, TheStreamOrTheSettingsRecordSetTheStandard) {
  using Source = StreamContextLinks::RateSource;
  struct Case {
    const char* what;
    int settings;  // -1 none, 0 NTSC, 1 PAL
    uint32_t rateField;
    bool pal;
    uint32_t frameCount;  // seconds 1000, frame 7
    uint32_t lagAdvance;  // a 1000 ms interval, 1 s and 6 frames behind
  } cases[] = {
      {"a 25 fps stream", -1, 500, true, 1000 * 25 + 7, 980},
      {"a 30 fps stream", -1, 600, false, 1000 * 30 + 7, 990},
      {"a rate field that says nothing", -1, 0, true, 1000 * 25 + 7, 980},
      {"the settings say PAL, the stream 30 fps", 1, 600, true, 1000 * 25 + 7, 980},
      {"the settings say NTSC, the stream 25 fps", 0, 500, false, 1000 * 30 + 7, 990},
  };
  uint32_t sequence = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    links.ForgetFrameRate();
    if (c.settings >= 0) links.SetPalFromSettings(c.settings == 1);
    stream.ResetView(conn(), 0);
    PacketSpec key;
    key.sequence = ++sequence;
    key.rateField = c.rateField;
    key.seconds = 1000;
    key.frame = 7;
    FeedTransport(key);
    Parse();
    EXPECT_EQ(links.pal, c.pal);
    EXPECT_EQ(links.palSource, c.settings >= 0    ? Source::Settings
                               : c.rateField != 0 ? Source::Stream
                                                  : Source::Assumed);
    EXPECT_EQ(pacer(0).FrameCount, c.frameCount);

    const uint32_t due = pacer(0).Due;
    pacer(0).LatestSeconds = 1001;
    pacer(0).LatestFrame = 6;
    PacketSpec p;
    p.key = false;
    p.sequence = ++sequence;
    p.rateField = c.rateField;
    p.intervalMs = 1000;
    p.lagSeconds = 1000;
    p.lagFrame = 0;
    FeedTransport(p);
    Parse();
    EXPECT_EQ(pacer(0).Due, due + c.lagAdvance);
    pacer(0).LatestSeconds = 0;
  }
}

}  // namespace
}  // namespace tevrano::test
