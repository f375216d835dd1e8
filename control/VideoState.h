#pragma once
#include <cstdint>

namespace tevrano {

// What the user is told about the link and the picture: "connecting" until
// the recorder has accepted the viewer, then "logged in", or "no video" while
// the view should be showing pictures and none has been drawn for a while.
enum class VideoState { kConnecting, kLoggedIn, kNoVideo };

// The state's text, as the dump and scripts spell it.
const char* VideoStateText(VideoState state);

// What one main-loop run knows about the view and the pictures.
struct VideoStateInputs {
  uint32_t nowMs = 0;          // the platform's tick count (wraps)
  bool loggedIn = false;       // recorder context 0 is logged in
  bool recorderKnown = false;  // the recorder's system information arrived once
  int mode = 0;                // the view mode: 0 Live, 1 Playback, 2 Backup, 3 Setup, 4 file
  int page = 0;                // the on-screen page: 0 Live, 1 Playback, 2 Backup, 3 Setup
  int layout = 0;              // the live layout, 0..22
  int channelCount = 16;       // the recorder's cameras
  int playbackState = 1;       // 0 reverse, 1 pause, 2 play, 3 forward
  int playbackChannel = 0;     // 0..15
  bool settingsShown = false;  // the settings tabs cover the video area
  bool pictureHeld = false;    // the user holds the picture (FREEZE)
  uint64_t picturesShown = 0;  // pictures drawn into the video area so far
};

// Decides when the picture counts as frozen. The view is judged as a whole:
// the recorder sends one picture for the whole layout (a split arrives
// composed), so a cell cannot stop on its own as far as the viewer can see.
// Pictures are expected in Live when the layout shows at least one camera the
// recorder has, and in Playback while it plays (not paused); never on the
// Backup or Setup pages, under the settings tabs, while the user holds the
// picture, or before the recorder was ever known. The picture is frozen when
// pictures are expected and none has been drawn for kFrozenAfterMs, counted
// from the last picture or from the moment the view last changed, whichever
// is later; a frozen picture stays frozen until a picture is drawn or
// pictures are no longer expected. Plain state, no allocation; main thread.
class VideoStateMonitor {
 public:
  static constexpr uint32_t kFrozenAfterMs = 5000;

  // What a step changed about the frozen picture.
  enum class Change { kNone, kFroze, kPicturesBack, kNoLongerExpected };

  // One main-loop run, after the streams were parsed (so that a picture
  // drawn in this run counts).
  Change Step(const VideoStateInputs& in);

  VideoState State() const;
  bool Frozen() const { return frozen_; }
  // Whole seconds since the last picture was drawn (since the first step
  // when none was).
  uint32_t SecondsWithoutPicture(uint32_t nowMs) const;

  static bool ExpectsPictures(const VideoStateInputs& in);
  // True when the live layout shows one of the first `channelCount` cameras.
  static bool LayoutShowsCamera(int layout, int channelCount);

 private:
  // The view the expectation belongs to; a change restarts the count.
  struct View {
    int mode = -1, page = -1, layout = -1, channelCount = -1, playbackState = -1,
        playbackChannel = -1;
    bool settingsShown = false, pictureHeld = false, recorderKnown = false;
    bool operator==(const View&) const = default;
  };
  static View ViewOf(const VideoStateInputs& in);

  bool started_ = false;
  bool frozen_ = false;
  bool loggedIn_ = false;
  uint64_t pictures_ = 0;
  uint32_t lastPictureMs_ = 0;
  uint32_t viewSinceMs_ = 0;
  View view_;
};

}  // namespace tevrano
