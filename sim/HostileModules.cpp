#include "HostileModules.h"

#include <algorithm>
#include <cstring>

#include "Bytes.h"
#include "StreamPacket.h"
#include "Wire.h"

namespace tevrano::sim {

const std::vector<uint32_t>& HostileTags() {
  static const std::vector<uint32_t> tags = {Tag("ZELL"), Tag("ICMD"), Tag("VIDO"), Tag("VDTT"),
                                             Tag("ICTL"), Tag("PBBA"), Tag("SPDM"), Tag("RK9P")};
  return tags;
}

namespace {

const char* const kItemNames[] = {
    "Zell_Watermark_Var_R",  "Zell_Watermark_Var_W",  "Zell_Upnp_C_Data_W", "Zell_Upnp_C_Data_R",
    "Zell_Mach_Type_Data_W", "Zell_Mach_Type_Data_R", "Zell_ACK_R",         "Zell_LIVE_Event_W"};
const uint32_t kItemSizes[] = {4, 160, 4, 4, 960, 960, 4, 96};

uint32_t ByteSum(const uint8_t* p, size_t n) {
  uint32_t s = 0;
  for (size_t i = 0; i < n; ++i) s += p[i];
  return s;
}

}  // namespace

bool HostileModules::Chance(int every) {
  return std::uniform_int_distribution<int>(1, std::max(1, every))(random_) == 1;
}

// One of the usual values mostly, else any word.
uint32_t HostileModules::Pick(std::initializer_list<uint32_t> usual) {
  if (Chance(8)) return Word();
  std::uniform_int_distribution<size_t> i(0, usual.size() - 1);
  return usual.begin()[i(random_)];
}

uint32_t HostileModules::Word() {
  switch (std::uniform_int_distribution<int>(0, 5)(random_)) {
    case 0:
      return 0;
    case 1:
      return 0xFFFFFFFFu;
    case 2:
      return 0x80000000u;
    case 3:
      return std::uniform_int_distribution<uint32_t>(0, 64)(random_);
    default:
      return uint32_t(random_());
  }
}

// A length near the usual one, or anything up to `most`.
size_t HostileModules::Length(size_t usual, size_t most) {
  switch (std::uniform_int_distribution<int>(0, 3)(random_)) {
    case 0:
      return usual;
    case 1:
      return std::uniform_int_distribution<size_t>(usual > 8 ? usual - 8 : 0, usual + 8)(random_);
    case 2:
      return std::uniform_int_distribution<size_t>(0, 64)(random_);
    default:
      return std::uniform_int_distribution<size_t>(0, most)(random_);
  }
}

void HostileModules::Fill(std::vector<uint8_t>& v, size_t from, size_t n) {
  if (v.size() < from + n) v.resize(from + n);
  const int style = std::uniform_int_distribution<int>(0, 3)(random_);
  for (size_t i = 0; i < n; ++i)
    v[from + i] = style == 0 ? 0 : style == 1 ? 0xFF : uint8_t(random_());
}

std::vector<uint8_t> HostileModules::Body(uint32_t tag, uint32_t session) {
  std::vector<uint8_t> b(32, 0);
  PutLe32(&b[0], Chance(10) ? Word() : session);
  auto word = [&](size_t at, uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4, 0);
    PutLe32(&b[at], v);
  };
  if (tag == Tag("ZELL")) {
    // Mostly system information and peer hellos; a refusal now and then
    // (it logs the viewer out, which it must survive too).
    const uint32_t type = Chance(300) ? 2 : Pick({0, 1, 1, 3});
    word(4, type);
    const size_t n = Length(256, 600);
    Fill(b, 32, n);
    if (type == 1 && n >= 256) {
      word(32, Pick({0, 1, 4, 8, 16, 32, 255}));
      word(32 + 148, Pick({0, 1, 2, 3}));
    }
  } else if (tag == Tag("ICMD")) {
    const uint32_t type = Pick({256, 512, 1024, 2048, 4096});
    word(4, Pick({1, 2, 4}));
    word(8, type);
    word(12, Pick({0, 1, 2, 3, 4, 5}));
    word(16, Word());
    if (type == 4096) {
      const uint32_t mask = Pick({1, 2, 4, 8, 16});
      const size_t size = Length(mask == 1 ? 4 : mask == 2 ? 68 : mask == 4 ? 116 : 256, 4200);
      Fill(b, 32 + 72, size);
      word(32, mask);
      word(36, Chance(3) ? Word() : uint32_t(72 + size));
      word(40, Chance(3) ? Word() : ByteSum(b.data() + 32 + 72, size));
    } else {
      Fill(b, 32, Length(64, 4200));
    }
  } else if (tag == Tag("VIDO")) {
    word(4, Pick({0, 0, 0, 1}));
    // A packet in transport framing: its lengths mostly right, its
    // fields and payload random.
    const size_t payload = Length(600, 300000);
    std::vector<uint8_t> packet(kTransportHeaderSize + kStreamFrameHeaderSize + payload, 0);
    Fill(packet, 0, packet.size());
    PutLe32(&packet[0], Chance(4) ? Word() : uint32_t(packet.size()));
    PutLe32(&packet[8], Pick({40, 33, 0, 1000}));
    PutLe32(&packet[12], Word());
    PutLe32(&packet[20], Pick({0, 1, 5, 15, 16, 17}));
    PutLe32(&packet[32], Chance(3) ? Word() : ++vidoSequence_);
    PutLe32(&packet[48], Pick({1, 2}));
    PutLe32(&packet[52], Pick({0, 0, 0, 1}));
    uint8_t* f = &packet[kTransportHeaderSize];
    if (!Chance(5)) PutLe32(f, 0x03000000);
    f[11] = uint8_t((f[11] & 0x3F) | (Pick({1, 2}) << 6));
    PutLe16(f + 18, uint16_t(Chance(4) ? Word() : (kStreamFrameHeaderSize + payload + 63) / 64));
    b.insert(b.end(), packet.begin(), packet.end());
  } else if (tag == Tag("VDTT")) {
    word(4, Pick({0, 1}));
    word(8, Pick({0, 1}));
    word(12, Pick({0, 1, 2, 3, 4, 16, 17}));
    const size_t n = Length(1152, 1400);
    Fill(b, 64, n);
    word(32, Pick({0, 1024, 1152, 1159, 8064, 0x7FFFFFFF}));
    word(36, Chance(3) ? Word() : uint32_t(n));
    word(40, Chance(3) ? Word() : ByteSum(b.data() + 64, n));
  } else if (tag == Tag("ICTL")) {
    word(8, Pick({0, 1}));
    word(12, Pick({0, 1}));
    const size_t item = std::uniform_int_distribution<size_t>(0, 8)(random_);
    const size_t size = Length(item < 8 ? kItemSizes[item] : 16, 1400);
    Fill(b, 32 + 256, size);
    std::memset(&b[32], 0, 256);
    word(32, Chance(4) ? Word() : uint32_t(256 + size));
    if (item < 8)
      std::memcpy(&b[36], kItemNames[item], std::strlen(kItemNames[item]));
    else
      Fill(b, 36, 252);
  } else if (tag == Tag("PBBA")) {
    word(4, Pick({0, 1, 2, 3, 4, 5, 6, 7, 8}));
    const uint32_t type = Pick({0, 1});
    word(8, type);
    word(12, Pick({0, 1, 2, 15, 16, 17}));
    if (type == 1) {
      const size_t map = Length(2 * 48, 1400);
      Fill(b, 32 + 72, map);
      std::fill(b.begin() + 32, b.begin() + 32 + 72, uint8_t(0));
      word(32, Word());
      word(36, Word());
      word(40, Chance(3) ? Word() : uint32_t(72 + map));
      word(44, Chance(3) ? Word() : ByteSum(b.data() + 32 + 72, map));
    } else {
      Fill(b, 32, Length(72, 1400));
    }
  } else if (tag == Tag("SPDM")) {
    word(4, Pick({0, 1}));
    word(8, Pick({0, 1, 2, 3}));
    const size_t n = Length(328, 1100);
    word(12, Chance(3) ? Word() : uint32_t(n));
    Fill(b, 32, n);
    if (n >= 104 && Chance(2)) std::memcpy(&b[32 + 100], "Ufw3", 4);
  } else {
    Fill(b, 4, 28);
    Fill(b, 32, Length(64, 2000));
  }
  return b;
}

std::vector<uint8_t> HostileModules::Message(uint32_t tag, uint32_t sessionId) {
  const std::vector<uint32_t>& tags = HostileTags();
  bool known = true;
  if (tag == 0) {
    // Each tag alike, and now and then one no module has.
    const size_t i = std::uniform_int_distribution<size_t>(0, tags.size())(random_);
    known = i < tags.size();
    tag = known ? tags[i] : uint32_t(random_());
  }
  std::vector<uint8_t> m = BuildModuleMessage(tag, Body(tag, sessionId));
  // A wrong checksum now and then: the viewer must skip the message.
  if (Chance(20)) PutLe32(&m[8], GetLe32(&m[8]) ^ 0x10);
  ++counts_[known ? TagText(tag) : "other"];
  return m;
}

void HostileModules::Append(std::vector<uint8_t>& out, uint32_t sessionId, size_t budget) {
  const int n = std::uniform_int_distribution<int>(0, 3)(random_);
  for (int i = 0; i < n; ++i) {
    std::vector<uint8_t> m = Message(0, sessionId);
    if (m.size() > budget) continue;
    budget -= m.size();
    out.insert(out.end(), m.begin(), m.end());
  }
}

std::vector<uint8_t> HostileModules::StreamPacket(uint32_t seconds) {
  FrameHeaderFields h;
  h.seconds = Chance(4) ? Word() : seconds;
  h.frame = std::uniform_int_distribution<uint32_t>(0, 40)(random_);
  h.type = Pick({1, 1, 2});
  h.widthMbs = Pick({44, 22, 60, 0, 255});
  h.heightMbs = Pick({36, 18, 30, 0, 255});
  h.resolutionCode = std::uniform_int_distribution<uint32_t>(0, 3)(random_);
  h.subChannel = std::uniform_int_distribution<uint32_t>(0, 15)(random_);
  h.morePackets = std::uniform_int_distribution<uint32_t>(0, 15)(random_);
  h.key = Chance(2);
  h.rateField = Pick({500, 600, 0, 1});
  h.streamKind = std::uniform_int_distribution<uint32_t>(0, 3)(random_);
  h.counter = std::uniform_int_distribution<uint32_t>(0, 1023)(random_);
  h.timeOffset = Pick({0, 0, 3600});
  std::vector<uint8_t> payload;
  Fill(payload, 0, Length(2000, 200000));
  // Mostly length-prefixed NAL units with random contents.
  if (h.type == 1 && payload.size() > 8 && !Chance(4)) {
    size_t at = 0;
    while (at + 5 <= payload.size()) {
      const size_t left = payload.size() - at - 4;
      const size_t n = std::uniform_int_distribution<size_t>(1, left)(random_);
      PutBe32(&payload[at], uint32_t(Chance(6) ? Word() : n));
      payload[at + 4] = uint8_t(Pick({0x67, 0x68, 0x65, 0x41, 0x06}));
      at += 4 + n;
    }
  }
  std::vector<uint8_t> out;
  AppendMarkerPacket(out, h, payload.data(), payload.size());
  return out;
}

}  // namespace tevrano::sim
