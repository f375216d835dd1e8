// Settings pages and the system information variants against the real
// program.
#include <gtest/gtest.h>

#include <fstream>

#include "SimClient.h"

namespace tevrano::sim::test {
namespace {

std::vector<uint8_t> PageMessage(uint32_t session, uint32_t op, uint32_t mask,
                                 const std::vector<uint8_t>& data, uint32_t sumDelta = 0) {
  std::vector<uint8_t> p(72 + data.size(), 0);
  uint32_t sum = 0;
  for (uint8_t b : data) sum += b;
  PutLe32(&p[0], mask);
  PutLe32(&p[4], uint32_t(p.size()));
  PutLe32(&p[8], sum + sumDelta);
  std::copy(data.begin(), data.end(), p.begin() + 72);
  return BuildModuleMessage(Tag("ICMD"), BuildSubHeaderBody(session, op, p, {4096, 3, 1}));
}

bool IsPage(const std::vector<uint8_t>& b, uint32_t mask) {
  return b.size() >= 32 + 72 && GetLe32(&b[8]) == 4096 && GetLe32(&b[32]) == mask;
}

TEST(SimulatorSettings, APageSetIsStoredEchoedToTheSenderAndForwardedToTheOtherViewer) {
  const std::string log = ::testing::TempDir() + "sim-settings.jsonl";
  SimProcess sim({"--log", log, "--model", "7104"});
  ASSERT_TRUE(sim.running());
  Socket first(sim.port()), second(sim.port());
  const uint32_t a = Login(first), b = Login(second);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);

  // PPPoE: mode word 1, then the user "abc".
  std::vector<uint8_t> pppoe(68, 0);
  pppoe[0] = 1;
  std::memcpy(&pppoe[4], "abc", 3);
  const auto isPppoe = [](const std::vector<uint8_t>& m) { return IsPage(m, 2); };

  // A page whose checksum is off by one, then the right one: the first
  // page either viewer gets is the right one's (the wrong one changed
  // nothing and was echoed to nobody).
  std::vector<uint8_t> both = PageMessage(a, 2, 2, pppoe, 1);
  const std::vector<uint8_t> good = PageMessage(a, 2, 2, pppoe);
  both.insert(both.end(), good.begin(), good.end());
  const std::vector<uint8_t> echo = PollFor(first, a, Tag("ICMD"), isPppoe, 8000, both);
  ASSERT_EQ(echo.size(), 32u + 72 + 68);
  EXPECT_EQ(GetLe32(&echo[4]), 4u);  // operation data
  EXPECT_EQ(GetLe32(&echo[32 + 4]), 72u + 68);
  EXPECT_EQ(GetLe32(&echo[32 + 8]), 1u + 'a' + 'b' + 'c');
  EXPECT_TRUE(std::equal(pppoe.begin(), pppoe.end(), echo.begin() + 32 + 72));

  const std::vector<uint8_t> forwarded = PollFor(second, b, Tag("ICMD"), isPppoe);
  ASSERT_EQ(forwarded.size(), echo.size());
  EXPECT_EQ(GetLe32(&forwarded[0]), b);
  EXPECT_TRUE(std::equal(echo.begin() + 32, echo.end(), forwarded.begin() + 32));

  // A request from the second viewer gets the stored page.
  std::vector<uint8_t> ask(72, 0);
  PutLe32(&ask[0], 2);
  const std::vector<uint8_t> answer =
      PollFor(second, b, Tag("ICMD"), isPppoe, 8000,
              BuildModuleMessage(Tag("ICMD"), BuildSubHeaderBody(b, 1, ask, {4096, 3, 2})));
  ASSERT_EQ(answer.size(), echo.size());
  EXPECT_TRUE(std::equal(pppoe.begin(), pppoe.end(), answer.begin() + 32 + 72));

  std::ifstream in(log);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string hex = "01000000616263" + std::string(2 * 61, '0');
  EXPECT_NE(text.find("\"page\":2,\"page_length\":140,\"page_sum\":295,\"page_name\":\"PPPoE\","
                      "\"computed_sum\":295,\"bytes\":\"" +
                      hex + "\",\"echoed_to\":["),
            std::string::npos);
  EXPECT_NE(text.find("\"page_sum\":296,\"page_name\":\"PPPoE\",\"computed_sum\":295,\"bytes\":\"" +
                      hex + "\",\"ignored\":\"page checksum\""),
            std::string::npos);
}

TEST(SimulatorSettings, SystemInformationVariantsFollowTheOptions) {
  struct Case {
    std::vector<std::string> args;
    uint32_t channels, variant, titles, noMailInterval;
    std::string model;
  };
  const Case cases[] = {
      {{}, 16, 0, 1, 0, "[N] 6104"},
      {{"--service-variant", "1", "--model", "7104"}, 16, 1, 1, 0, "[N] 7104"},
      {{"--titles", "no", "--mail-interval", "no", "--channels", "4"}, 4, 0, 0, 1, "[N] 6104"},
      {{"--info-channels", "32", "--model", "[N] 6216"}, 32, 0, 1, 0, "[N] 6216"},
  };
  for (const Case& c : cases) {
    SimProcess sim(c.args);
    ASSERT_TRUE(sim.running());
    Socket command(sim.port());
    std::vector<Module> answer;
    ASSERT_NE(Login(command, &answer), 0u);
    const Module* zell = nullptr;
    for (const Module& m : answer)
      if (m.tag == Tag("ZELL") && GetLe32(&m.body[4]) == 1) zell = &m;
    ASSERT_NE(zell, nullptr);
    ASSERT_EQ(zell->body.size(), 32u + 256);
    const uint8_t* info = &zell->body[32];
    EXPECT_EQ(GetLe32(info + 0), c.channels);
    EXPECT_EQ(GetLe32(info + 4), c.variant);
    EXPECT_EQ(GetLe32(info + 8), c.titles);
    EXPECT_EQ(GetLe32(info + 228), c.noMailInterval);
    EXPECT_EQ(FieldText(info + 108, 32), c.model);
    EXPECT_EQ(FieldText(info + 12, 32).rfind("[OS] ", 0), 0u);
    EXPECT_EQ(FieldText(info + 44, 32).rfind("[SN] ", 0), 0u);
    EXPECT_EQ(FieldText(info + 76, 32).rfind("[B] ", 0), 0u);
  }
}

}  // namespace
}  // namespace tevrano::sim::test
