#include "host/QtAudioDevice.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QDateTime>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <cstdio>
#include <cstring>

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

namespace {
// The sink's view of the looping buffer: an endless sequential device.
class LoopReader : public QIODevice {
 public:
  explicit LoopReader(LoopBuffer& buffer) : buffer_(buffer) {}
  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override { return buffer_.Size() + QIODevice::bytesAvailable(); }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    // Hand out whole passes of at most one buffer so the cursor stays meaningful.
    int n = static_cast<int>(std::min<qint64>(maxSize, buffer_.Size()));
    buffer_.Pull(data, n);
    return n;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  LoopBuffer& buffer_;
};
}  // namespace

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
    reader_.open(QIODevice::ReadOnly);
    sink_->start(&reader_);
    return sink_->error() == QAudio::NoError;
  }
  void Stop() {
    if (sink_) sink_->stop();
  }

 private:
  LoopBuffer& buffer_;
  LoopReader reader_;
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

namespace {
int64_t NowMs() {
  return QDateTime::currentMSecsSinceEpoch();
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
}  // namespace

WavFileAudioDevice::~WavFileAudioDevice() {
  std::lock_guard lock(mutex_);
  if (!file_) return;
  Advance();
  WriteHeader();
  std::fclose(file_);
}

bool WavFileAudioDevice::Create(const platform::AudioFormat& format, int bufferBytes) {
  std::lock_guard lock(mutex_);
  if (bufferBytes <= 0) return false;
  format_ = format;
  buffer_.assign(static_cast<size_t>(bufferBytes), format.bitsPerSample == 8 ? 0x80 : 0);
  if (!file_) {
    file_ = std::fopen(path_.c_str(), "wb");
    if (!file_) return false;
    dataBytes_ = 0;
    WriteHeader();
  }
  return true;
}

void WavFileAudioDevice::WriteHeader() const {
  uint8_t h[44] = {};
  const uint32_t blockAlign = static_cast<uint32_t>(format_.channels * format_.bitsPerSample / 8);
  std::memcpy(h, "RIFF", 4);
  Put32(h + 4, static_cast<uint32_t>(36 + dataBytes_));
  std::memcpy(h + 8, "WAVEfmt ", 8);
  Put32(h + 16, 16);
  Put16(h + 20, 1);  // PCM
  Put16(h + 22, static_cast<uint16_t>(format_.channels));
  Put32(h + 24, static_cast<uint32_t>(format_.sampleRate));
  Put32(h + 28, static_cast<uint32_t>(format_.sampleRate) * blockAlign);
  Put16(h + 32, static_cast<uint16_t>(blockAlign));
  Put16(h + 34, static_cast<uint16_t>(format_.bitsPerSample));
  std::memcpy(h + 36, "data", 4);
  Put32(h + 40, static_cast<uint32_t>(dataBytes_));
  long end = std::ftell(file_);
  std::fseek(file_, 0, SEEK_SET);
  std::fwrite(h, 1, sizeof h, file_);
  std::fseek(file_, end > 44 ? end : 44, SEEK_SET);
  std::fflush(file_);
}

void WavFileAudioDevice::Advance() const {
  if (!playing_ || !file_ || buffer_.empty()) return;
  const int64_t byteRate =
      static_cast<int64_t>(format_.sampleRate) * format_.channels * format_.bitsPerSample / 8;
  const int64_t target = (NowMs() - playStartMs_) * byteRate / 1000;
  const int64_t size = static_cast<int64_t>(buffer_.size());
  while (played_ < target) {
    int64_t pos = played_ % size;
    int64_t n = std::min(target - played_, size - pos);
    std::fwrite(buffer_.data() + pos, 1, static_cast<size_t>(n), file_);
    played_ += n;
    dataBytes_ += n;
  }
}

bool WavFileAudioDevice::PlayLooping() {
  std::lock_guard lock(mutex_);
  if (!file_) return false;
  Advance();
  playing_ = true;
  playStartMs_ = NowMs();
  played_ = 0;
  return true;
}

void WavFileAudioDevice::Stop() {
  std::lock_guard lock(mutex_);
  Advance();
  playing_ = false;
  if (file_) WriteHeader();
}

int WavFileAudioDevice::PlayCursor() const {
  std::lock_guard lock(mutex_);
  Advance();
  return buffer_.empty() ? 0 : static_cast<int>(played_ % static_cast<int64_t>(buffer_.size()));
}

bool WavFileAudioDevice::Write(int offset, const uint8_t* bytes, int count) {
  std::lock_guard lock(mutex_);
  if (buffer_.empty() || count < 0) return false;
  Advance();
  const int size = static_cast<int>(buffer_.size());
  offset %= size;
  if (offset < 0) offset += size;
  for (int i = 0; i < count; ++i) buffer_[static_cast<size_t>((offset + i) % size)] = bytes[i];
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
