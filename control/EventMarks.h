#pragma once
#include <cstdint>

#include "base/Bitmap.h"
#include "platform/TextSurface.h"
#include "ui/Alarm_list.h"

namespace tevrano {

// One mark of the overlay table: a picture or a word laid over a channel.
struct EventMark {
  char name[12];  // "Alarm", "Motion", "Vloss", "Trumpet"
  int32_t kind;   // 1 picture, 2 text
  int32_t textOn;
  int32_t textColor;  // 0x00RRGGBB
  int32_t fontSize;   // points
  int32_t textReserved;
  int32_t pictureOn;
  int32_t pictureSource;        // index into the mark pictures, -1 none
  int16_t x, y, width, height;  // in Image2's pixels
};
static_assert(sizeof(EventMark) == 48);

// 16 channels × 4 marks and the flag that asks the main loop to repaint them.
class EventMarkTable {
 public:
  static constexpr int kChannels = 16;
  static constexpr int kMarksPerChannel = 4;
  static constexpr int kTextAreaWidth = 320;
  static constexpr int kTextAreaHeight = 80;

  // All marks named and off; the table counts as changed.
  void Initialize();
  EventMark& Mark(int channel, int mark) { return marks_[channel][mark]; }
  const EventMark& Mark(int channel, int mark) const { return marks_[channel][mark]; }
  void MarkChanged() { changed_ = true; }
  bool Changed() const { return changed_; }
  void ClearChanged() { changed_ = false; }
  // Takes the event markers' words (alarm, motion, video loss) into the
  // first three marks of each channel: shown markers become text marks with
  // their colour, font size and rectangle; the table counts as changed.
  void TakeEventMarkers(const ui::Alarm_list& alarms);

  // Repaints the overlay: white (transparent over the video), then the marks,
  // outer loop over the four marks, inner over the channels. Pictures come
  // from `pictures` (may be null); words are drawn through `text`, a surface
  // of the text area's size. A text mark with a rectangle has its word
  // centred on it; without one the word is drawn from its
  // position over the text area.
  void Redraw(Bitmap& overlay, const Bitmap* const* pictures, int pictureCount,
              platform::TextSurface* text) const;

 private:
  EventMark marks_[kChannels][kMarksPerChannel]{};
  bool changed_ = false;
};

}  // namespace tevrano
