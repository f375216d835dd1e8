// The encoded picture loops. Each loop is made once per picture and minute
// of the clock shown in it: on first use, or ahead of time by a worker
// thread (the start-up warm-up, and the next minute's loops of the
// pictures being streamed). Thread-safe; a loop never changes once made,
// and stays alive while a stream holds it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LoopEncoder.h"

namespace tevrano::sim {

// What a loop shows: one channel (split kind 0) or a split view, and the
// minute of its clock (calendar time / 60).
struct PictureKey {
  int width = 704, height = 576;
  int splitKind = 0;  // 0 one channel, 1 four, 2 nine, 3 sixteen
  int channel = 0;    // the channel, or the first channel of the split
  uint32_t minute = 0;
  auto operator<=>(const PictureKey&) const = default;
  bool SamePicture(const PictureKey& o) const {
    return width == o.width && height == o.height && splitKind == o.splitKind &&
           channel == o.channel;
  }
};

using LoopPtr = std::shared_ptr<const EncodedLoop>;

class LoopLibrary {
 public:
  LoopLibrary(int fps, int channelCount);
  ~LoopLibrary();

  // The loop, encoded now if nobody has yet.
  LoopPtr Get(const PictureKey& key);
  // The loop when it is ready; otherwise null, and the worker makes it.
  LoopPtr TryGet(const PictureKey& key);
  // Has the worker make these loops, in order.
  void WarmUp(const std::vector<PictureKey>& keys);
  // Drops loops whose minute is before `minute` (streams keep theirs).
  void ForgetBefore(uint32_t minute);

  // The clock text drawn into a loop of that minute, in local time.
  static std::string ClockText(uint32_t minute);

 private:
  struct Entry {
    std::once_flag once;
    std::atomic<bool> ready{false};
    LoopPtr loop;
  };
  std::shared_ptr<Entry> EntryFor(const PictureKey& key, bool& created);
  void Encode(const PictureKey& key, Entry& e);
  void Work();

  const int fps_;
  const int channelCount_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::map<PictureKey, std::shared_ptr<Entry>> entries_;
  std::deque<std::pair<PictureKey, std::shared_ptr<Entry>>> queue_;
  bool stop_ = false;
  std::thread worker_;
};

}  // namespace tevrano::sim
