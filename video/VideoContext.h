#pragma once
#include <cstdint>

namespace tevrano {

struct Label;

// Calendar date and time of a picture's time stamp (recorder local time).
struct PictureTime {
  int year = 2000, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;
};

// What the decoder and the display read about the stream that one decoder
// slot serves: the view state and the stream connection of the slot's
// recorder context. The stream side implements it and hands it to
// `Video::SetContext`; everything is read on the main thread during
// `Video_Decode_Frame`.
class VideoContext {
 public:
  virtual ~VideoContext() = default;

  // The view Mode: 0 Live, 1 Playback, 2 Backup, 3 Setup, 4 FilePlayback.
  virtual int Mode() const = 0;
  // The stream is field-coded (resolution code 1 in the picture header).
  virtual bool FieldCoded() const = 0;
  // The stream belongs to the 960-pixel family (width 960 or 480).
  virtual bool WideStream() const = 0;
  // The I-frame flag: set by the parser when it put an I-frame with its
  // parameter sets into the unit. Returns it and clears it.
  virtual bool TakeKeyFrameFlag() = 0;
  // Height in pixels of the current stream as the parser last published it.
  virtual int StreamHeight() const = 0;
  // A picture output (the video image) is registered for this stream.
  virtual bool HasPictureOutput() const = 0;
  // The time labels registered for `mode`: stores up to `max` of them in
  // `labels` and returns how many were stored.
  virtual int TimeLabels(int mode, Label** labels, int max) = 0;
  // The time stamp of the picture being shown.
  virtual PictureTime Time() const = 0;
  // Date order of the time labels: 1 day/month/year, 2 month/day/year,
  // anything else year/month/day.
  virtual int DateOrder() const { return 0; }
};

}  // namespace tevrano
