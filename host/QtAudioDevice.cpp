#include "host/QtAudioDevice.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QDateTime>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

namespace tevrano::host {

void LoopBuffer::Reset(int bytes) {
  std::lock_guard lock(mutex_);
  bytes_.assign(static_cast<size_t>(std::max(bytes, 1)), 0);
  size_ = static_cast<int>(bytes_.size());
  cursor_.store(0);
}

void LoopBuffer::Write(int offset, const uint8_t* bytes, int count) {
  std::lock_guard lock(mutex_);
  if (size_ == 0 || count <= 0) return;
  offset %= size_;
  if (offset < 0) offset += size_;
  for (int done = 0; done < count;) {
    int n = std::min(count - done, size_ - offset);
    std::memcpy(bytes_.data() + offset, bytes + done, static_cast<size_t>(n));
    done += n;
    offset = 0;
  }
}

void LoopBuffer::Pull(char* into, int count) {
  std::lock_guard lock(mutex_);
  if (size_ == 0) {
    std::memset(into, 0, static_cast<size_t>(count));
    return;
  }
  int pos = cursor_.load();
  for (int done = 0; done < count;) {
    int n = std::min(count - done, size_ - pos);
    std::memcpy(into + done, bytes_.data() + pos, static_cast<size_t>(n));
    done += n;
    pos = (pos + n) % size_;
  }
  cursor_.store(pos);
}

qint64 LoopReader::readData(char* data, qint64 maxSize) {
  const qint64 allowed = (playedBytes_ ? playedBytes_() : 0) + lead_ - pulled_;
  const int n = static_cast<int>(std::min({maxSize, allowed, qint64{buffer_.Size()}}));
  if (n <= 0) return 0;
  buffer_.Pull(data, n);
  pulled_ += n;
  return n;
}

class QtAudioDevice::Output : public QObject {
 public:
  explicit Output(LoopBuffer& buffer) : buffer_(buffer), reader_(buffer) {
    reader_.setParent(this);  // moves to the output thread with its owner
  }
  ~Output() override {
    if (sink_) sink_->stop();
  }

  bool Create(const platform::AudioFormat& format) {
    QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return false;
    QAudioFormat f;
    f.setSampleRate(format.sampleRate);
    f.setChannelCount(format.channels);
    f.setSampleFormat(format.bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    if (!device.isFormatSupported(f)) return false;
    format_ = f;
    sink_ = std::make_unique<QAudioSink>(device, f);
    // Keep the output's own buffer short: the looping buffer is the latency.
    sink_->setBufferSize(f.bytesForDuration(100000));
    return true;
  }
  bool Play() {
    if (!sink_) return false;
    sink_->stop();
    reader_.close();
    buffer_.Rewind();
    // The lead: about 128 ms, at most half the looping buffer.
    const qint64 lead =
        std::min<qint64>(format_.bytesForDuration(128000), std::max(buffer_.Size() / 2, 1));
    QAudioSink* sink = sink_.get();
    const QAudioFormat format = format_;
    reader_.Start([sink, format] { return format.bytesForDuration(sink->processedUSecs()); }, lead);
    reader_.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    sink_->start(&reader_);
    return sink_->error() == QAudio::NoError;
  }
  void Stop() {
    if (sink_) sink_->stop();
  }

 private:
  LoopBuffer& buffer_;
  LoopReader reader_;
  QAudioFormat format_;
  std::unique_ptr<QAudioSink> sink_;
};

QtAudioDevice::QtAudioDevice() {
  thread_.setObjectName("audio output");
  thread_.start();
  output_ = new Output(buffer_);
  output_->moveToThread(&thread_);
}

QtAudioDevice::~QtAudioDevice() {
  QMetaObject::invokeMethod(
      output_, [o = output_] { delete o; }, Qt::BlockingQueuedConnection);
  thread_.quit();
  thread_.wait();
}

bool QtAudioDevice::Create(const platform::AudioFormat& format, int bufferBytes) {
  buffer_.Reset(bufferBytes);
  bool ok = false;
  QMetaObject::invokeMethod(
      output_, [this, format] { return output_->Create(format); }, Qt::BlockingQueuedConnection,
      &ok);
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

bool QtAudioDevice::Write(int offset, const uint8_t* bytes, int count) {
  if (buffer_.Size() == 0) return false;
  buffer_.Write(offset, bytes, count);
  return true;
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
