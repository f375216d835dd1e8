// The real simulator program against a scripted client on raw sockets.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "SimClient.h"

namespace tevrano::sim::test {
namespace {

const Module* Find(const std::vector<Module>& ms, uint32_t tag) {
  for (const Module& m : ms)
    if (m.tag == tag) return &m;
  return nullptr;
}

std::vector<uint8_t> Item(uint32_t session, const std::string& name,
                          const std::vector<uint8_t>& data) {
  std::vector<uint8_t> payload(256 + data.size(), 0);
  PutLe32(&payload[0], uint32_t(payload.size()));
  std::memcpy(&payload[4], name.data(), name.size());
  std::memcpy(&payload[256], data.data(), data.size());
  return BuildModuleMessage(Tag("ICTL"), BuildSubHeaderBody(session, 0, payload, {0, 1}));
}

std::vector<uint8_t> Icmd(uint32_t session, uint32_t op, uint32_t type,
                          const std::vector<uint8_t>& payload, uint32_t mode = 0) {
  return BuildModuleMessage(Tag("ICMD"), BuildSubHeaderBody(session, op, payload, {type, mode, 1}));
}

std::vector<uint8_t> LiveRecord(uint32_t split, uint32_t first, uint32_t channel) {
  std::vector<uint8_t> r(64, 0);
  PutLe32(&r[0], split);
  PutLe32(&r[4], first);
  PutLe32(&r[8], channel);
  PutLe32(&r[16], 704);
  PutLe32(&r[20], 576);
  return r;
}

// Exchanges one frame of messages and returns the modules of the answer.
std::vector<Module> Exchange(Socket& s, uint32_t session, const std::vector<uint8_t>& messages,
                             uint32_t socketIndex = 0) {
  s.Send(Frame(kExchange, session, socketIndex, messages));
  std::vector<uint8_t> body;
  if (!AwaitAnswer(s, body)) return {};
  return ModulesOf(body);
}

struct StreamStats {
  int video = 0, audio = 0;
  std::set<uint32_t> videoSubChannels;
  bool countersContinuous = true;
  bool headersValid = true;
};

// Reads marker packets until `want` video packets have arrived.
StreamStats ReadStream(Socket& stream, int want, int timeoutMs = 15000) {
  StreamStats st;
  int lastVideo = -1, lastAudio = -1;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (st.video < want && std::chrono::steady_clock::now() < until) {
    if (!stream.ReadSome(50)) break;
    MarkerPacket p;
    bool complete = false;
    while (true) {
      if (!TakeMarkerPacket(stream.in, p, complete)) {
        st.headersValid = false;
        return st;
      }
      if (!complete) break;
      int& last = p.type == 1 ? lastVideo : lastAudio;
      if (last >= 0 && uint32_t(last + 1) % 1024 != p.counter) st.countersContinuous = false;
      last = int(p.counter);
      if (p.type == 1) {
        ++st.video;
        st.videoSubChannels.insert(p.subChannel);
        if (p.seconds == 0 || p.widthMbs != 44 || p.heightMbs != 36 || p.rateField != 500 ||
            p.streamKind != 0 || p.frame >= 25)
          st.headersValid = false;
        // Length-prefixed slices only, padded with zeros.
        if (p.payload.size() < 5 || ((p.payload[4] & 0x1F) != 5 && (p.payload[4] & 0x1F) != 1))
          st.headersValid = false;
        if (((p.payload[4] & 0x1F) == 5) != (p.frameType == 0)) st.headersValid = false;
      } else if (p.type == 2) {
        ++st.audio;
        if (p.units * 64 != 32 + 528 * 2) st.headersValid = false;
      } else {
        st.headersValid = false;
      }
    }
  }
  return st;
}

TEST(Simulator, LogsInAndStreamsContinuousValidPackets) {
  SimProcess sim({});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port());
  std::vector<Module> answer;
  const uint32_t session = Login(command, &answer);
  ASSERT_NE(session, 0u);
  const Module* info = Find(answer, Tag("ZELL"));
  ASSERT_NE(info, nullptr);
  ASSERT_GE(info->body.size(), 32u + 256u);
  EXPECT_EQ(GetLe32(&info->body[0]), session);
  EXPECT_EQ(GetLe32(&info->body[4]), 1u);    // SystemInfo
  EXPECT_EQ(GetLe32(&info->body[32]), 16u);  // channels
  EXPECT_EQ(FieldText(&info->body[32 + 108], 32), "[N] 6104");
  EXPECT_EQ(GetLe32(&info->body[32 + 148]), 1u);  // connections

  std::vector<Module> mach = Exchange(
      command, session, Item(session, "Zell_Mach_Type_Data_W", std::vector<uint8_t>(960, 0)));
  const Module* r = Find(mach, Tag("ICTL"));
  ASSERT_NE(r, nullptr);
  ASSERT_EQ(r->body.size(), 32u + 256u + 960u);
  EXPECT_EQ(FieldText(&r->body[32 + 4], 252), "Zell_Mach_Type_Data_R");
  EXPECT_EQ(GetLe32(&r->body[32 + 256 + 8]), 1u);   // UPnP
  EXPECT_EQ(GetLe32(&r->body[32 + 256 + 12]), 1u);  // stream socket

  Socket stream(sim.port());
  stream.Send(StreamRequest());
  StreamStats st = ReadStream(stream, 50);
  EXPECT_GE(st.video, 50);
  EXPECT_GT(st.audio, 0);
  EXPECT_TRUE(st.headersValid);
  EXPECT_TRUE(st.countersContinuous);
  EXPECT_EQ(st.videoSubChannels, std::set<uint32_t>{0});
}

TEST(Simulator, StreamFollowsTheLiveViewRecord) {
  SimProcess sim({});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port());
  const uint32_t session = Login(command);
  ASSERT_NE(session, 0u);
  Exchange(command, session, Icmd(session, 2, 256, LiveRecord(0, 0, 5)));
  Socket stream(sim.port());
  stream.Send(StreamRequest());
  StreamStats single = ReadStream(stream, 10);
  EXPECT_EQ(single.videoSubChannels, std::set<uint32_t>{5});

  // A quad: channel 16's composite (sub-channel field 0), no audio.
  Exchange(command, session, Icmd(session, 2, 256, LiveRecord(1, 4, 0)));
  ReadStream(stream, 3);  // what was under way
  stream.in.clear();
  // Resynchronise on a fresh packet start.
  StreamStats quad;
  for (int i = 0; i < 40 && quad.video == 0; ++i) {
    stream.ReadSome(50);
    while (stream.in.size() >= 4 &&
           !(stream.in[0] == 0 && stream.in[1] == 0 && stream.in[2] == 0 && stream.in[3] == 3))
      stream.in.erase(stream.in.begin());
    quad = ReadStream(stream, 10);
  }
  EXPECT_GE(quad.video, 10);
  EXPECT_EQ(quad.audio, 0);
}

TEST(Simulator, UnknownUserIsRefusedAndDisconnected) {
  SimProcess sim({"--users", "1:2,1234:9999"});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port());
  command.Send(Frame(kHello, 0, 0, {}));
  std::vector<uint8_t> body;
  ASSERT_TRUE(AwaitAnswer(command, body));
  const uint32_t session = GetLe32(&body[12]);
  command.Send(Frame(kExchange, session, 0, ZellHello(session)));
  ASSERT_TRUE(AwaitAnswer(command, body));
  std::vector<Module> ms = ModulesOf(body);
  const Module* z = Find(ms, Tag("ZELL"));
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(GetLe32(&z->body[4]), 2u);
  bool open = true;
  for (int i = 0; i < 40 && open; ++i) open = command.ReadSome(50);
  EXPECT_FALSE(open);
}

TEST(Simulator, RefuseSwitchRefusesKnownUsers) {
  SimProcess sim({"--refuse"});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port());
  std::vector<Module> answer;
  Login(command, &answer);
  const Module* z = Find(answer, Tag("ZELL"));
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(GetLe32(&z->body[4]), 2u);
}

TEST(Simulator, SettingsPageSetIsEchoedAndRequestAnswered) {
  SimProcess sim({});
  ASSERT_TRUE(sim.running());
  Socket command(sim.port());
  const uint32_t session = Login(command);
  ASSERT_NE(session, 0u);
  // Bitrate page: mask 1, length 76, data 3, checksum 3.
  std::vector<uint8_t> page(76, 0);
  PutLe32(&page[0], 1);
  PutLe32(&page[4], 76);
  PutLe32(&page[8], 3);
  page[72] = 3;
  std::vector<Module> echo = Exchange(command, session, Icmd(session, 2, 4096, page, 3));
  const Module* m = Find(echo, Tag("ICMD"));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GetLe32(&m->body[4]), 4u);  // data
  EXPECT_EQ(GetLe32(&m->body[8]), 4096u);
  EXPECT_EQ(GetLe32(&m->body[12]), 3u);  // the viewer's mode, as told
  EXPECT_EQ(std::vector<uint8_t>(m->body.begin() + 32, m->body.end()), page);

  // A page with a wrong checksum changes nothing and is not echoed.
  std::vector<uint8_t> bad = page;
  bad[72] = 5;
  EXPECT_EQ(Find(Exchange(command, session, Icmd(session, 2, 4096, bad, 3)), Tag("ICMD")), nullptr);

  std::vector<uint8_t> request(76, 0);
  PutLe32(&request[0], 1);
  std::vector<Module> data = Exchange(command, session, Icmd(session, 1, 4096, request, 3));
  m = Find(data, Tag("ICMD"));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(m->body.begin() + 32, m->body.end()), page);
}

TEST(Simulator, GarbageClosesOnlyItsConnection) {
  SimProcess sim({});
  ASSERT_TRUE(sim.running());
  const std::vector<std::vector<uint8_t>> garbage = {
      std::vector<uint8_t>(100, 0xAB),
      {'G', 'E', 'T', ' ', '/', ' ', 'H', 'T', 'T', 'P', '/', '1', '.', '1', '\r', '\n', '\r',
       '\n'},
      [] {  // a frame header claiming 4 GiB
        std::vector<uint8_t> f = Frame(kExchange, 1, 0, {});
        PutLe32(&f[0], 0xFFFFFFFF);
        return f;
      }(),
      [] {  // a module message claiming more bytes than the frame holds
        std::vector<uint8_t> m = BuildModuleMessage(Tag("ICMD"), std::vector<uint8_t>(40, 1));
        PutLe32(&m[0], 5000);
        return Frame(kExchange, 12345, 0, m);
      }(),
  };
  for (const auto& bytes : garbage) {
    Socket bad(sim.port());
    bad.Send(bytes);
    bool open = true;
    for (int i = 0; i < 40 && open; ++i) open = bad.ReadSome(50);
    EXPECT_FALSE(open);
  }
  EXPECT_TRUE(sim.Alive());
  Socket good(sim.port());
  EXPECT_NE(Login(good), 0u);
}

TEST(Simulator, VideoTravelsInPollAnswersOverBothConnections) {
  SimProcess sim({"--stream-socket", "no", "--connections", "2"});
  ASSERT_TRUE(sim.running());
  Socket first(sim.port());
  std::vector<Module> answer;
  const uint32_t session = Login(first, &answer);
  ASSERT_NE(session, 0u);
  EXPECT_EQ(GetLe32(&Find(answer, Tag("ZELL"))->body[32 + 148]), 2u);
  Socket second(sim.port());

  std::vector<uint8_t> status(256, 0);
  PutLe32(&status[128], 2 * 1024 * 1024);
  PutLe32(&status[152], 4 * 1024 * 1024);
  const std::vector<uint8_t> request =
      BuildModuleMessage(Tag("VIDO"), BuildSubHeaderBody(session, 1, status));
  std::map<uint32_t, int> bySequence;  // delivery sequence -> socket index
  int perSocket[2] = {0, 0};
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (bySequence.size() < 60 && std::chrono::steady_clock::now() < until) {
    for (uint32_t k = 0; k < 2; ++k) {
      for (const Module& m : Exchange(k ? second : first, session, request, k)) {
        if (m.tag != Tag("VIDO")) continue;
        ASSERT_GE(m.body.size(), 32u + 128u + 32u);
        EXPECT_EQ(GetLe32(&m.body[4]), 0u);
        const uint8_t* t = &m.body[32];
        const uint32_t total = GetLe32(t);
        EXPECT_EQ(total, m.body.size() - 32);
        EXPECT_EQ(GetLe32(t + 8), 40u);  // interval
        const uint8_t* f = t + 128;
        EXPECT_EQ(GetLe32(f), 0x03000000u);
        EXPECT_EQ(uint32_t(GetLe16(f + 18)) * 64 + 128, total);
        bySequence[GetLe32(t + 32)] = int(k);
        ++perSocket[k];
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_GE(bySequence.size(), 60u);
  EXPECT_GT(perSocket[0], 10);
  EXPECT_GT(perSocket[1], 10);
  // Delivery sequences start at 1 and have no holes.
  EXPECT_EQ(bySequence.begin()->first, 1u);
  EXPECT_EQ(bySequence.rbegin()->first, uint32_t(bySequence.size()));
}

TEST(Simulator, BadOptionsExitWithUsage) {
  for (const char* bad : {"--channels 5", "--fps 24", "--resolution 640x480", "--bogus 1",
                          "--stream-socket maybe", "--users 12a:34"}) {
    std::string command = std::string(TEVRANO_SIM_PROGRAM) + " " + bad + " >/dev/null 2>&1";
    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << bad;
  }
  std::string help = std::string(TEVRANO_SIM_PROGRAM) + " --help >/dev/null";
  EXPECT_EQ(std::system(help.c_str()), 0);
}

}  // namespace
}  // namespace tevrano::sim::test
