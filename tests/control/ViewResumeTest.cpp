// After a login that follows an earlier one, the control tells the
// recorder's new session again what it shows.
#include <gtest/gtest.h>

#include <vector>

#include "base/ByteReader.h"
#include "control/TevranoImpl1.h"
#include "net/SendQueue.h"
#include "platform/fake/FakePlatform.h"
#include "platform/posix/PosixFileSystem.h"

namespace tevrano {
namespace {

struct Started {
  platform::PosixFileSystem disk;
  platform::FakePlatform fakes{disk};
  TevranoX control{fakes.platform()};
  Started() { control.ActiveFormCreate(); }
  RecorderContext& C0() { return control.Net().Context(0); }
  // The recorder's system information arrives for session `session`.
  void LogIn(uint32_t session) {
    C0().SessionId = session;
    uint8_t info[256] = {};
    info[0] = 16;
    for (auto& handOff : control.Net().Hooks().SystemInfoArrived) handOff(C0(), info);
  }
  void Tick(int ms) {
    fakes.clock.AdvanceMs(ms);
    control.Timer1Timer();
  }
  bool Click(const char* binding, int item = 1) {
    const auto t = control.FindSkinTarget("TevranoKeyForm", binding, item);
    if (!t) return false;
    Tick(40);
    control.Form().Image1.onMouseDown(t->x, t->y);
    control.Form().Image1.onMouseUp(t->x, t->y);
    return true;
  }
  void Forget() {
    C0().SendRing->Clear();
    C0().SendLengthLog.Reset();
  }
  struct Set {
    uint32_t session, type, mode;
    std::vector<uint8_t> record;
  };
  // The "ICMD" sets queued since the last Forget().
  std::vector<Set> QueuedSets() {
    std::vector<uint8_t> queued(C0().SendRing->Used());
    if (!queued.empty()) C0().SendRing->Peek(queued.data(), uint32_t(queued.size()));
    std::vector<Set> sets;
    ByteReader r(queued.data(), queued.size());
    while (r.Remaining() >= 64) {
      const size_t at = r.Position();
      uint32_t total = 0, tag = 0;
      r.Le32At(at, total);
      r.Le32At(at + 4, tag);
      if (total < 64 || !r.Seek(at + total)) break;
      const uint8_t* body = queued.data() + at + 32;
      const uint8_t* end = queued.data() + at + total;
      if (tag == Tag("ICMD") && LoadLe32(body + 4) == 2)
        sets.push_back({LoadLe32(body), LoadLe32(body + 8), LoadLe32(body + 12),
                        std::vector<uint8_t>(body + 32, end)});
    }
    return sets;
  }
};

TEST(ViewResume, PlaybackGoesOnFromTheLastPictureAfterALoginAgain) {
  Started s;
  s.LogIn(1001);
  ASSERT_TRUE(s.Click("Key_PB#SD"));       // the Playback page
  ASSERT_TRUE(s.Click("IE_PB_PS#SD", 3));  // play
  ASSERT_EQ(s.control.Status().viewMode, 1);
  // Pictures up to this recorder time were shown; then the link was lost.
  const uint32_t shown = 850147360;
  s.control.Streams().Stream().Connection(0).Timestamp = shown;
  s.Forget();
  s.LogIn(1002);
  const auto sets = s.QueuedSets();
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0].session, 1002u);
  EXPECT_EQ(sets[0].type, 512u);
  EXPECT_EQ(sets[0].mode, 1u);
  ASSERT_EQ(sets[0].record.size(), 64u);
  EXPECT_EQ(LoadLe32(sets[0].record.data() + 12), 1u);  // play
  EXPECT_EQ(LoadLe32(sets[0].record.data() + 20), shown);
}

TEST(ViewResume, LiveSendsItsViewRecordAgainAndTheFirstLoginNothing) {
  struct Case {
    const char* key;
    int item;
    uint32_t split, channel;
  } cases[] = {{"Key_Split#SD", 1, 3, 0}};
  for (const Case& c : cases) {
    Started s;
    s.Forget();
    s.LogIn(1001);
    EXPECT_TRUE(s.QueuedSets().empty()) << "the first login sends no view";
    ASSERT_TRUE(s.Click(c.key, c.item));
    s.Forget();
    s.LogIn(1002);
    const auto sets = s.QueuedSets();
    ASSERT_EQ(sets.size(), 1u) << c.key;
    EXPECT_EQ(sets[0].type, 256u);
    EXPECT_EQ(sets[0].mode, 0u);
    EXPECT_EQ(LoadLe32(sets[0].record.data()), c.split);
    EXPECT_EQ(LoadLe32(sets[0].record.data() + 8), c.channel);
  }
}

}  // namespace
}  // namespace tevrano
