#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "control/VideoState.h"
#include "platform/TextSurface.h"

namespace tevrano {

class TTevranoX;

// What the user sees of a frozen picture and of the link state: the last
// picture dimmed in the video area with "No video" over it, the status line
// `Label_time` saying "No video", and the connection indicator `Image_Conn`
// drawn as designed while logged in, grey while the login is still pending
// and amber while there is no video (`Image_Disconn`, shown while no command
// connection is up, keeps its own picture). Every buffer is made once by
// Prepare; freezing and thawing copy and dim in place. Main thread only.
class NoVideoPicture {
 public:
  static constexpr const char* kText = "No video";
  // The saved picture holds the widest video area.
  static constexpr int kMaxWidth = 960;
  static constexpr int kMaxHeight = 576;
  static constexpr int kTextWidth = 320;
  static constexpr int kTextHeight = 80;
  static constexpr uint32_t kConnectingTint = 0x00B4B4B4;  // grey
  static constexpr uint32_t kNoVideoTint = 0x00FFA000;     // amber

  explicit NoVideoPicture(TTevranoX& form) : form_(form) {}

  // Made once, after the form's pictures were loaded: the copy of the last
  // picture, the text surface and the indicator's picture as designed.
  void Prepare(platform::TextSurfaceFactory& text);
  bool Prepared() const { return prepared_; }

  // The picture froze: the video image is saved, dimmed in place and
  // labelled, and the status line says so.
  void Freeze();
  // While frozen: the status line keeps saying so when something else
  // wrote into it (a view change), and stays visible.
  void KeepStatusLine();
  // The picture is no longer frozen. `restorePicture`: put the saved
  // picture back (pictures are no longer expected); pictures that came back
  // have drawn over it already. The status line gets back what it said
  // before, unless something else has written into it since.
  void Thaw(bool restorePicture);
  // Draws the connection indicator for `state` (only when it changes).
  void ShowIndicator(VideoState state);

 private:
  void DrawLabel(uint32_t* pixels, int width, int height);

  TTevranoX& form_;
  bool prepared_ = false;
  std::unique_ptr<uint32_t[]> saved_;  // kMaxWidth × kMaxHeight pixels
  int savedWidth_ = 0, savedHeight_ = 0;
  bool savedValid_ = false;
  std::unique_ptr<platform::TextSurface> text_;
  std::vector<uint32_t> indicator_;  // Image_Conn's picture as designed
  int indicatorWidth_ = 0, indicatorHeight_ = 0;
  bool indicatorDrawn_ = false;
  VideoState indicatorState_ = VideoState::kLoggedIn;
  // What the status line said before it said kText (a time label or a
  // page and layout label), kept without allocating.
  char statusBefore_[64] = {};
};

}  // namespace tevrano
