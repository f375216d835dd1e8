#include "control/VideoState.h"

namespace tevrano {

const char* VideoStateText(VideoState state) {
  switch (state) {
    case VideoState::kConnecting:
      return "connecting";
    case VideoState::kLoggedIn:
      return "logged in";
    case VideoState::kNoVideo:
      return "no video";
  }
  return "connecting";
}

bool VideoStateMonitor::LayoutShowsCamera(int layout, int channelCount) {
  const int count = channelCount > 0 && channelCount <= 16 ? channelCount : 16;
  int first = 0;  // the lowest camera the layout shows (0-based)
  if (layout >= 0 && layout <= 15) {
    first = layout;
  } else if (layout >= 16 && layout <= 19) {
    // Quads of four; layout 18 on an eight-camera recorder shows cameras 1-8.
    first = layout == 18 && count == 8 ? 0 : (layout - 16) * 4;
  } else if (layout >= 20 && layout <= 22) {
    first = 0;  // nine-way 1-9, nine-way 10-16 and 1-2, sixteen-way
  } else {
    return false;
  }
  return first < count;
}

bool VideoStateMonitor::ExpectsPictures(const VideoStateInputs& in) {
  if (!in.recorderKnown || in.settingsShown || in.pictureHeld) return false;
  if (in.mode == 0 && in.page == 0) return LayoutShowsCamera(in.layout, in.channelCount);
  if (in.mode == 1 && in.page == 1) {
    const int count = in.channelCount > 0 && in.channelCount <= 16 ? in.channelCount : 16;
    return in.playbackState != 1 && in.playbackChannel >= 0 && in.playbackChannel < count;
  }
  return false;
}

VideoStateMonitor::View VideoStateMonitor::ViewOf(const VideoStateInputs& in) {
  View v;
  v.mode = in.mode;
  v.page = in.page;
  v.layout = in.layout;
  v.channelCount = in.channelCount;
  v.playbackState = in.playbackState;
  v.playbackChannel = in.playbackChannel;
  v.settingsShown = in.settingsShown;
  v.pictureHeld = in.pictureHeld;
  v.recorderKnown = in.recorderKnown;
  return v;
}

VideoStateMonitor::Change VideoStateMonitor::Step(const VideoStateInputs& in) {
  const uint32_t now = in.nowMs;
  if (!started_) {
    started_ = true;
    pictures_ = in.picturesShown;
    lastPictureMs_ = now;
    viewSinceMs_ = now;
    view_ = ViewOf(in);
  }
  loggedIn_ = in.loggedIn;
  const bool newPicture = in.picturesShown != pictures_;
  pictures_ = in.picturesShown;
  if (newPicture) lastPictureMs_ = now;
  if (const View v = ViewOf(in); !(v == view_)) {
    view_ = v;
    viewSinceMs_ = now;
  }
  const bool expected = ExpectsPictures(in);
  if (frozen_) {
    if (newPicture) {
      frozen_ = false;
      return Change::kPicturesBack;
    }
    if (!expected) {
      frozen_ = false;
      return Change::kNoLongerExpected;
    }
    return Change::kNone;
  }
  if (!expected || newPicture) return Change::kNone;
  // Tick differences are taken unsigned, so the counter's wrap does no harm.
  const uint32_t sincePicture = now - lastPictureMs_;
  const uint32_t sinceView = now - viewSinceMs_;
  const uint32_t quiet = sincePicture < sinceView ? sincePicture : sinceView;
  if (quiet < kFrozenAfterMs) return Change::kNone;
  frozen_ = true;
  return Change::kFroze;
}

VideoState VideoStateMonitor::State() const {
  if (!loggedIn_) return VideoState::kConnecting;
  return frozen_ ? VideoState::kNoVideo : VideoState::kLoggedIn;
}

uint32_t VideoStateMonitor::SecondsWithoutPicture(uint32_t nowMs) const {
  return started_ ? (nowMs - lastPictureMs_) / 1000 : 0;
}

}  // namespace tevrano
