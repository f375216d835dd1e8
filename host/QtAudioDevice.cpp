#include "host/QtAudioDevice.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <cstring>

namespace tevrano::host {

void PushStream::Reset(int loopBytes) {
  bytes_.assign(static_cast<size_t>(std::max(loopBytes, 1)), 0);
  head_ = used_ = 0;
  pushed_ = 0;
}

bool PushStream::Queue(const uint8_t* bytes, int count) {
  const int size = static_cast<int>(bytes_.size());
  if (count < 0 || count > size - used_) return false;
  for (int done = 0; done < count;) {
    const int at = (head_ + used_) % size;
    const int n = std::min(count - done, size - at);
    std::memcpy(bytes_.data() + at, bytes + done, static_cast<size_t>(n));
    done += n;
    used_ += n;
  }
  return true;
}

void PushStream::Flush(const std::function<int64_t(const char*, int64_t)>& write) {
  const int size = static_cast<int>(bytes_.size());
  while (used_ > 0) {
    const int n = std::min(used_, size - head_);
    const int64_t took = write(reinterpret_cast<const char*>(bytes_.data() + head_), n);
    if (took <= 0) return;
    head_ = (head_ + static_cast<int>(took)) % size;
    used_ -= static_cast<int>(took);
    pushed_ += took;
    if (took < n) return;
  }
}

int PushStream::Cursor(int64_t queued) const {
  const int64_t size = static_cast<int64_t>(bytes_.size());
  const int64_t played = std::max<int64_t>(0, pushed_ - std::clamp<int64_t>(queued, 0, pushed_));
  return static_cast<int>(played % size);
}

class QtAudioDevice::Output : public QObject {
 public:
  ~Output() override {
    if (sink_) sink_->stop();
  }

  bool Create(const platform::AudioFormat& format, int bufferBytes) {
    if (sink_) sink_->stop();
    sink_.reset();
    io_ = nullptr;
    QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return false;
    QAudioFormat f;
    f.setSampleRate(format.sampleRate);
    f.setChannelCount(format.channels);
    f.setSampleFormat(format.bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    if (!device.isFormatSupported(f)) return false;
    sink_ = std::make_unique<QAudioSink>(device, f);
    // What the output holds is queued ahead of the play cursor, and so are
    // the bytes still waiting for room in it; together they make the device
    // buffer. The output's own buffer is kept to 128 ms: a sound server does
    // not start (or restart after running dry) until its buffer is about
    // full, and the control keeps far less than a whole device buffer queued.
    sink_->setBufferSize(std::min(bufferBytes, int(f.bytesForDuration(128000))));
    stream_.Reset(bufferBytes);
    return true;
  }
  bool Play() {
    if (!sink_) return false;
    sink_->stop();
    stream_.Rewind();
    io_ = sink_->start();
    if (!io_ || sink_->error() != QAudio::NoError) {
      io_ = nullptr;
      return false;
    }
    Flush();
    return true;
  }
  void Stop() {
    if (sink_) sink_->stop();
    io_ = nullptr;
    stream_.Clear();
  }
  bool Write(const uint8_t* bytes, int count) {
    if (!sink_) return false;
    const bool kept = stream_.Queue(bytes, count);
    Flush();
    return kept;
  }
  int Cursor() {
    if (!sink_) return 0;
    Flush();
    const int64_t queued = io_ ? int64_t(sink_->bufferSize()) - int64_t(sink_->bytesFree()) : 0;
    return stream_.Cursor(queued);
  }

 private:
  void Flush() {
    if (!io_) return;
    // Never more than the output has room for: a sound server takes more
    // than its buffer, and what it holds beyond it would not count as queued.
    int64_t room = sink_->bytesFree();
    stream_.Flush([this, &room](const char* data, int64_t n) {
      const int64_t took = room > 0 ? int64_t(io_->write(data, std::min(n, room))) : 0;
      room -= std::max<int64_t>(took, 0);
      return took;
    });
  }

  std::unique_ptr<QAudioSink> sink_;
  QIODevice* io_ = nullptr;  // the sink's push device while it plays
  PushStream stream_;
};

QtAudioDevice::QtAudioDevice() {
  thread_.setObjectName("audio output");
  thread_.start();
  output_ = new Output;
  output_->moveToThread(&thread_);
}

QtAudioDevice::~QtAudioDevice() {
  QMetaObject::invokeMethod(
      output_, [o = output_] { delete o; }, Qt::BlockingQueuedConnection);
  thread_.quit();
  thread_.wait();
}

bool QtAudioDevice::Create(const platform::AudioFormat& format, int bufferBytes) {
  bool ok = false;
  QMetaObject::invokeMethod(
      output_, [this, format, bufferBytes] { return output_->Create(format, bufferBytes); },
      Qt::BlockingQueuedConnection, &ok);
  return ok;
}

bool QtAudioDevice::PlayLooping() {
  bool ok = false;
  QMetaObject::invokeMethod(
      output_, [this] { return output_->Play(); }, Qt::BlockingQueuedConnection, &ok);
  return ok;
}

void QtAudioDevice::Stop() {
  QMetaObject::invokeMethod(
      output_, [this] { output_->Stop(); }, Qt::BlockingQueuedConnection);
}

int QtAudioDevice::PlayCursor() const {
  int cursor = 0;
  QMetaObject::invokeMethod(
      output_, [this] { return output_->Cursor(); }, Qt::BlockingQueuedConnection, &cursor);
  return cursor;
}

// Blocks come in the order they are to be played, each where the last one
// ended: the offset adds nothing a push-mode output could use.
bool QtAudioDevice::Write(int, const uint8_t* bytes, int count) {
  bool ok = false;
  QMetaObject::invokeMethod(
      output_, [this, bytes, count] { return output_->Write(bytes, count); },
      Qt::BlockingQueuedConnection, &ok);
  return ok;
}

QtAudioDeviceFactory::QtAudioDeviceFactory(bool headless, std::string wavPath)
    : wavPath_(std::move(wavPath)) {
  if (!headless && wavPath_.empty()) speakers_ = !QMediaDevices::audioOutputs().isEmpty();
}

std::unique_ptr<platform::AudioDevice> QtAudioDeviceFactory::CreateAudioDevice() {
  if (!wavPath_.empty()) return std::make_unique<WavFileAudioDevice>(wavPath_);
  if (speakers_) return std::make_unique<QtAudioDevice>();
  return nullptr;
}

}  // namespace tevrano::host
