// The hostile recorder (`--hostile SEED`): module messages of every tag a
// viewer knows ("ZELL", "ICMD", "VIDO", "VDTT", "ICTL", "PBBA", "SPDM",
// "RK9P") and of none, well framed (header length and, mostly, checksum
// right) but with random sub-headers, types, lengths and bodies, put into
// the answers beside the recorder's real messages; and now and then a
// random but well-framed stream packet. A viewer's parsers meet them all
// while it stays logged in and streaming.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace tevrano::sim {

class HostileModules {
 public:
  explicit HostileModules(uint32_t seed) : random_(seed) {}

  // Appends 0 to 3 random module messages for the session (at most about
  // `budget` bytes in all).
  void Append(std::vector<uint8_t>& out, uint32_t sessionId, size_t budget);
  // One random module message of the tag (0: a random one).
  std::vector<uint8_t> Message(uint32_t tag, uint32_t sessionId);
  // True for about one stream packet in `every`.
  bool Chance(int every);
  // A random stream packet with a valid packet start and length field.
  std::vector<uint8_t> StreamPacket(uint32_t seconds);

  // Messages made so far, by tag text.
  const std::map<std::string, uint64_t>& counts() const { return counts_; }

 private:
  uint32_t Pick(std::initializer_list<uint32_t> usual);
  uint32_t Word();
  size_t Length(size_t usual, size_t most);
  void Fill(std::vector<uint8_t>& v, size_t from, size_t n);
  std::vector<uint8_t> Body(uint32_t tag, uint32_t session);

  std::mt19937 random_;
  uint32_t vidoSequence_ = 0;
  std::map<std::string, uint64_t> counts_;
};

// The tags of the viewer's modules, in its registration order.
const std::vector<uint32_t>& HostileTags();

}  // namespace tevrano::sim
