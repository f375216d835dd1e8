// The encoded picture loops, each made once: on first use, or earlier by a
// warm-up thread started with the simulator. Thread-safe; a loop, once
// made, never changes or moves.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "LoopEncoder.h"

namespace tevrano::sim {

// What a loop shows: one channel (split kind 0) or a split view.
struct PictureKey {
  int width = 704, height = 576;
  int splitKind = 0;  // 0 one channel, 1 four, 2 nine, 3 sixteen
  int channel = 0;    // the channel, or the first channel of the split
  auto operator<=>(const PictureKey&) const = default;
};

class LoopLibrary {
 public:
  LoopLibrary(int fps, int channelCount, std::string timeText);
  ~LoopLibrary();

  const EncodedLoop& Get(const PictureKey& key);
  // Encodes the given loops in the background, in order.
  void WarmUp(std::vector<PictureKey> keys);

 private:
  struct Entry {
    std::once_flag once;
    EncodedLoop loop;
  };
  Entry& EntryFor(const PictureKey& key);

  const int fps_;
  const int channelCount_;
  const std::string timeText_;
  std::mutex mutex_;
  std::map<PictureKey, std::unique_ptr<Entry>> entries_;
  std::thread warmUp_;
  bool stop_ = false;
};

}  // namespace tevrano::sim
