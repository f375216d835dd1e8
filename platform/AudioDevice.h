#pragma once
#include <cstdint>
#include <memory>

namespace tevrano::platform {

struct AudioFormat {
  int sampleRate = 8000;
  int bitsPerSample = 16;
  int channels = 1;
};

// A looping sound buffer in the manner of a DirectSound secondary buffer: the
// device plays the buffer round and round; the writer keeps ahead of the play
// cursor. Used from the audio thread only.
class AudioDevice {
 public:
  virtual ~AudioDevice() = default;
  // Creates the looping buffer; false when no output exists.
  virtual bool Create(const AudioFormat& format, int bufferBytes) = 0;
  virtual bool PlayLooping() = 0;
  virtual void Stop() = 0;
  // Byte offset in the buffer that is being played now.
  virtual int PlayCursor() const = 0;
  // Writes count bytes at offset (wrapping at the buffer's end).
  virtual bool Write(int offset, const uint8_t* bytes, int count) = 0;
  // A buffer whose memory was taken away must be restored before writing.
  virtual bool Lost() const = 0;
  virtual bool Restore() = 0;
};

class AudioDeviceFactory {
 public:
  virtual ~AudioDeviceFactory() = default;
  // nullptr when the machine has no audio output; the control then stays silent.
  virtual std::unique_ptr<AudioDevice> CreateAudioDevice() = 0;
};

}  // namespace tevrano::platform
