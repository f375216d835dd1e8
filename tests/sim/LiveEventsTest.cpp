// The live-event script: its JSON form, refusals, the masks it gives over
// time and the reported record's bytes.
#include "LiveEvents.h"

#include <gtest/gtest.h>

#include "Bytes.h"

namespace tevrano::sim {
namespace {

TEST(LiveEvents, SwitchesAndPatternsGiveTheMasksOverTime) {
  EventScript script;
  std::string error;
  ASSERT_TRUE(EventScript::FromJson(
      R"([{"at": 2, "channel": 3, "kind": "alarm", "on": true},
          {"at": 9, "channel": 3, "kind": "alarm", "on": false},
          {"at": 2, "channel": 16, "kind": "vloss", "on": true},
          {"every": 10, "for": 4, "from": 1, "channel": 5, "kind": "motion"},
          {"at": 5, "channel": 1, "kind": "motion", "on": true},
          {"at": 5, "channel": 1, "kind": "motion", "on": false}])",
      16, script, error))
      << error;
  struct Case {
    double at;
    EventMasks masks;
  };
  const Case cases[] = {
      {0, {0, 0, 0}},
      {1, {0, 1u << 4, 0}},
      {2, {1u << 2, 1u << 4, 1u << 15}},
      {4.9, {1u << 2, 1u << 4, 1u << 15}},
      {5, {1u << 2, 0, 1u << 15}},  // on and off at the same moment: file order
      {9, {0, 0, 1u << 15}},
      {11, {0, 1u << 4, 1u << 15}},
      {15.5, {0, 0, 1u << 15}},
  };
  for (const Case& c : cases) EXPECT_EQ(script.MasksAt(c.at), c.masks) << "at " << c.at;
}

TEST(LiveEvents, TheListMayComeInsideAnObject) {
  EventScript script;
  std::string error;
  ASSERT_TRUE(EventScript::FromJson(
      R"({"events": [{"every": 2, "for": 1, "channel": 4, "kind": "vloss"}]})", 4, script, error))
      << error;
  EXPECT_EQ(script.MasksAt(0.5), (EventMasks{0, 0, 8}));
  EXPECT_EQ(script.MasksAt(1.5), (EventMasks{0, 0, 0}));
}

TEST(LiveEvents, BadScriptsAreRefusedWithTheReason) {
  struct Case {
    const char* text;
    const char* reason;
  };
  const Case cases[] = {
      {R"([{"at": 1, "channel": 5, "kind": "alarm", "on": true}])", "camera number from 1 to 4"},
      {R"([{"at": 1, "channel": 0, "kind": "alarm", "on": true}])", "camera number"},
      {R"([{"at": 1, "channel": 1.5, "kind": "alarm", "on": true}])", "camera number"},
      {R"([{"at": 1, "channel": 1, "kind": "fire", "on": true}])", "\"kind\""},
      {R"([{"at": -1, "channel": 1, "kind": "alarm", "on": true}])", "\"at\""},
      {R"([{"at": 1, "channel": 1, "kind": "alarm"}])", "\"on\""},
      {R"([{"at": 1, "channel": 1, "kind": "alarm", "on": 1}])", "\"on\""},
      {R"([{"every": 0, "for": 1, "channel": 1, "kind": "alarm"}])", "\"every\""},
      {R"([{"every": 5, "channel": 1, "kind": "alarm"}])", "\"for\""},
      {R"([{"channel": 1, "kind": "alarm"}])", "either"},
      {R"([{"at": 1, "channel": 1, "kind": "alarm", "on": true, "colour": 2}])", "\"colour\""},
      {R"({"event": []})", "unknown key"},
      {R"(3)", "list of events"},
      {R"([{"at": 1, "channel": 1, "kind": "alarm", "on": true}, 7])", "event 2"},
      {R"([)", "line 1"},
  };
  for (const Case& c : cases) {
    EventScript script;
    std::string error;
    EXPECT_FALSE(EventScript::FromJson(c.text, 4, script, error)) << c.text;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.text << " gave " << error;
  }
}

TEST(LiveEvents, TheRecordCarriesMasksAndTimesInItsLastTwentyFourBytes) {
  const std::vector<uint8_t> r = LiveEventRecord({0x4, 0x10, 0x8000}, 0x12345678);
  ASSERT_EQ(r.size(), 96u);
  for (size_t i = 0; i < 72; ++i) EXPECT_EQ(r[i], 0) << i;
  const uint32_t words[] = {0x4, 0x12345678, 0x10, 0x12345678, 0x8000, 0x12345678};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(GetLe32(&r[72 + 4 * i]), words[i]) << i;
  EXPECT_EQ(CameraList(0x8005), "[1,3,16]");
  EXPECT_EQ(CameraList(0), "[]");
}

}  // namespace
}  // namespace tevrano::sim
