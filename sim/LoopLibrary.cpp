#include "LoopLibrary.h"

#include <ctime>

namespace tevrano::sim {

LoopLibrary::LoopLibrary(int fps, int channelCount)
    : fps_(fps), channelCount_(channelCount), worker_([this] { Work(); }) {}

LoopLibrary::~LoopLibrary() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

std::string LoopLibrary::ClockText(uint32_t minute) {
  std::time_t t = std::time_t(minute) * 60;
  std::tm local{};
  localtime_r(&t, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &local);
  return buf;
}

std::shared_ptr<LoopLibrary::Entry> LoopLibrary::EntryFor(const PictureKey& key, bool& created) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& slot = entries_[key];
  created = !slot;
  if (!slot) slot = std::make_shared<Entry>();
  return slot;
}

void LoopLibrary::Encode(const PictureKey& key, Entry& e) {
  std::call_once(e.once, [&] {
    LoopSpec spec;
    spec.width = key.width;
    spec.height = key.height;
    spec.fps = fps_;
    const std::string clock = ClockText(key.minute);
    auto loop =
        std::make_shared<EncodedLoop>(EncodeLoop(spec, [&](Picture& pic, int frame, int total) {
          if (key.splitKind == 0)
            DrawChannelPicture(pic, key.channel, frame, total, clock);
          else
            DrawSplitPicture(pic, key.splitKind, key.channel, channelCount_, frame, total, clock);
        }));
    e.loop = std::move(loop);
    e.ready.store(true, std::memory_order_release);
  });
}

LoopPtr LoopLibrary::Get(const PictureKey& key) {
  bool created = false;
  std::shared_ptr<Entry> e = EntryFor(key, created);
  Encode(key, *e);
  return e->loop;
}

LoopPtr LoopLibrary::TryGet(const PictureKey& key) {
  bool created = false;
  std::shared_ptr<Entry> e = EntryFor(key, created);
  if (e->ready.load(std::memory_order_acquire)) return e->loop;
  if (created) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.emplace_back(key, e);
    }
    wake_.notify_one();
  }
  return nullptr;
}

void LoopLibrary::WarmUp(const std::vector<PictureKey>& keys) {
  for (const PictureKey& key : keys) TryGet(key);
}

void LoopLibrary::ForgetBefore(uint32_t minute) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = entries_.begin(); it != entries_.end();)
    it = it->first.minute < minute ? entries_.erase(it) : std::next(it);
}

void LoopLibrary::Work() {
  while (true) {
    std::pair<PictureKey, std::shared_ptr<Entry>> job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
      if (stop_) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    Encode(job.first, *job.second);
  }
}

}  // namespace tevrano::sim
