// One fault of the recorder, switched on once for a while so that a viewer
// can show that it recovers: `--fault KIND --fault-at SECONDS
// [--fault-for SECONDS]`. Instant faults (drop, oversize, reset) happen at
// their moment; the others last for the window [at, at + for).
#pragma once

#include <random>
#include <string>
#include <vector>

namespace tevrano::sim {

enum class FaultKind {
  None,
  Drop,         // every connection closed (FIN)
  Stall,        // neither read, accept, answer nor stream; connections kept
  Garbage,      // random bytes before every answer and after every stream packet
  Refuse,       // every connection closed and no listening socket: connects refused
  Credentials,  // logins and stream requests refused, logged-in viewers logged out
  Split,        // command answers written in several small writes with pauses
  Oversize,     // headers announcing absurd lengths (answer, frame, module, packet)
  Reset,        // half a frame written, then the connection reset (RST)
  Slow,         // reads and writes of one byte at a time, with pauses
};

// The kinds by name, in the order of the usage text.
const std::vector<std::pair<const char*, FaultKind>>& FaultKinds();
bool ParseFaultKind(const std::string& name, FaultKind& out);
const char* FaultName(FaultKind kind);
// Whether the fault happens at one moment rather than over a window.
bool FaultIsInstant(FaultKind kind);

// When the fault is on, by the seconds since the recorder started.
class FaultPlan {
 public:
  FaultPlan() = default;
  FaultPlan(FaultKind kind, double at, double seconds) : kind_(kind), at_(at), for_(seconds) {}

  FaultKind kind() const { return kind_; }
  double at() const { return at_; }
  double end() const { return FaultIsInstant(kind_) ? at_ : at_ + for_; }
  // True while the fault `kind` is on at `elapsed`.
  bool Active(FaultKind kind, double elapsed) const {
    return kind_ == kind && kind != FaultKind::None && elapsed >= at_ && elapsed < end();
  }
  // Once each: true on the first call at or after the start, and after the end.
  bool Starts(double elapsed);
  bool Ends(double elapsed);

 private:
  FaultKind kind_ = FaultKind::None;
  double at_ = 0, for_ = 0;
  bool started_ = false, ended_ = false;
};

// Random bytes that hold neither a stream packet start (00 00 00 03) nor
// the start of an answer ("HTTP"), so that the next real one is the first
// thing a viewer can find.
std::vector<uint8_t> GarbageBytes(std::mt19937& random, size_t minimum, size_t maximum);

}  // namespace tevrano::sim
