#include "FaultPlan.h"

#include <algorithm>

namespace tevrano::sim {

const std::vector<std::pair<const char*, FaultKind>>& FaultKinds() {
  static const std::vector<std::pair<const char*, FaultKind>> kinds = {
      {"drop", FaultKind::Drop},
      {"stall", FaultKind::Stall},
      {"garbage", FaultKind::Garbage},
      {"refuse", FaultKind::Refuse},
      {"credentials", FaultKind::Credentials},
      {"split", FaultKind::Split},
      {"oversize", FaultKind::Oversize},
      {"reset", FaultKind::Reset},
      {"slow", FaultKind::Slow}};
  return kinds;
}

bool ParseFaultKind(const std::string& name, FaultKind& out) {
  for (const auto& [n, kind] : FaultKinds())
    if (name == n) return out = kind, true;
  return false;
}

const char* FaultName(FaultKind kind) {
  for (const auto& [n, k] : FaultKinds())
    if (k == kind) return n;
  return "none";
}

bool FaultIsInstant(FaultKind kind) {
  return kind == FaultKind::Drop || kind == FaultKind::Oversize || kind == FaultKind::Reset;
}

bool FaultPlan::Starts(double elapsed) {
  if (kind_ == FaultKind::None || started_ || elapsed < at_) return false;
  return started_ = true;
}

bool FaultPlan::Ends(double elapsed) {
  if (!started_ || ended_ || elapsed < end()) return false;
  return ended_ = true;
}

std::vector<uint8_t> GarbageBytes(std::mt19937& random, size_t minimum, size_t maximum) {
  std::uniform_int_distribution<size_t> length(minimum, std::max(minimum, maximum));
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<uint8_t> out(length(random));
  for (uint8_t& b : out) b = uint8_t(byte(random));
  // No packet magic and no "H" at all: neither a packet nor an answer can
  // start inside the garbage.
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == 'H') out[i] = 'h';
    if (out[i] == 3 && i >= 3 && out[i - 1] == 0 && out[i - 2] == 0 && out[i - 3] == 0)
      out[i] = 0x55;
  }
  // Nor across its ends: a leading run of zeros could complete a magic with
  // the bytes before it, trailing zeros with the bytes after it.
  if (!out.empty()) out.front() |= 0x80, out.back() |= 0x80;
  return out;
}

}  // namespace tevrano::sim
