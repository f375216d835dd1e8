#include "LoopLibrary.h"

namespace tevrano::sim {

LoopLibrary::LoopLibrary(int fps, int channelCount, std::string timeText)
    : fps_(fps), channelCount_(channelCount), timeText_(std::move(timeText)) {}

LoopLibrary::~LoopLibrary() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  if (warmUp_.joinable()) warmUp_.join();
}

LoopLibrary::Entry& LoopLibrary::EntryFor(const PictureKey& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& slot = entries_[key];
  if (!slot) slot = std::make_unique<Entry>();
  return *slot;
}

const EncodedLoop& LoopLibrary::Get(const PictureKey& key) {
  Entry& e = EntryFor(key);
  std::call_once(e.once, [&] {
    LoopSpec spec;
    spec.width = key.width;
    spec.height = key.height;
    spec.fps = fps_;
    e.loop = EncodeLoop(spec, [&](Picture& pic, int frame, int total) {
      if (key.splitKind == 0)
        DrawChannelPicture(pic, key.channel, frame, total, timeText_);
      else
        DrawSplitPicture(pic, key.splitKind, key.channel, channelCount_, frame, total, timeText_);
    });
  });
  return e.loop;
}

void LoopLibrary::WarmUp(std::vector<PictureKey> keys) {
  warmUp_ = std::thread([this, keys = std::move(keys)] {
    for (const PictureKey& key : keys) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) return;
      }
      Get(key);
    }
  });
}

}  // namespace tevrano::sim
