#pragma once
// The scripting view: the few facts about a running control that a host's
// script runner and its --dump need and that the form does not show. The
// control copies them into the host's struct on request
// (TevranoX_GetScriptingView), so the host holds no pointer into the control
// and needs none of its classes. Plain C, like the rest of the library's
// entry points.
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The state of recorder context 0 and of the picture, as the control sees it.
typedef struct {
  // The login: logged_in 1 once the recorder accepted the viewer; the
  // session it gave; the login state machine's step (4: logged in).
  int32_t loggedIn;
  uint32_t sessionId;
  int32_t loginState;
  // 1 once the recorder's system information (its channel count among it)
  // arrived after the login: the key panel then offers what it has.
  int32_t recorderKnown;
  // The view: mode (0 Live, 1 Playback, 2 Backup) and the page and layout
  // the dump reports.
  int32_t viewMode;
  int32_t page;
  int32_t layout;
  // Decoded pictures drawn into the video area since start-up. A host that
  // waits for "a picture" remembers this count and waits until it grows.
  uint64_t picturesShown;
  // Completed runs of the main loop.
  uint64_t mainLoopRuns;
  // The data the form is drawn from: whether the key panel's skin and the
  // form's background picture were found in the data folder, and the folder
  // (zero-terminated, cut to the buffer).
  int32_t keyPanelSkinLoaded;
  int32_t backgroundPictureLoaded;
  char dataFolder[128];
  // Playback on context 0: the time shown (recorder seconds), the played
  // channel (0..15) and the key panel's playback state (0 reverse, 1 pause,
  // 2 play, 3 forward).
  uint32_t playbackTime;
  int32_t playbackChannel;
  int32_t playbackState;
  // Sound against picture while sound played, in milliseconds (negative:
  // the sound is behind the picture): the last, the largest and the mean
  // distance, over `audioLagSamples` feeds.
  int32_t audioLagLastMs;
  int32_t audioLagMaxMs;
  int32_t audioLagMeanMs;
  uint32_t audioLagSamples;
  // The speed-dome pad's window: open, and where it stands on the screen.
  int32_t speedDomeOpen;
  int32_t speedDomeLeft;
  int32_t speedDomeTop;
  // 1 while the recorder's stream flows on the stream socket.
  int32_t streamFlowing;
  // 1 while a redraw of the key panel is due: a press on it now is dropped,
  // as it is for a user who clicks before the panel has been drawn.
  int32_t keyPanelRedrawPending;
  // The link and picture state the user is shown: "connecting" (not logged
  // in), "logged in", or "no video" (logged in, and the view has drawn no
  // picture for 5 s while it should), zero-terminated; and the whole
  // seconds since the last picture was drawn.
  char videoState[16];
  uint32_t secondsWithoutPicture;
} TevranoScriptingView;

// A backup into movie files: `outcome` 0 none, 1 running, 2 complete, 3
// incomplete; the progress in percent; the parts written and the last
// movie's path (zero-terminated, cut to the buffer).
typedef struct {
  int32_t outcome;
  int32_t percent;
  int32_t partsWritten;
  char fileName[512];
} TevranoBackupStatus;

// One entry of the event list: when (recorder seconds), which camera (from
// 1) and what ("Alarm", "Motion" or "Vloss", zero-terminated).
typedef struct {
  uint32_t time;
  int32_t channel;
  char kind[8];
} TevranoEventItem;

// One variable of the on-screen interface's binding table: its name, whether
// it is an array, and its values (the first `count`; arrays hold at most
// 100 entries).
typedef struct {
  char name[40];
  int32_t isArray;
  int32_t count;
  int32_t values[128];
} TevranoInterfaceVariable;

// Where a scripted click on a skin element lands: the form component that
// shows the skin (zero-terminated name) and the point in its pixels.
typedef struct {
  char image[32];
  int32_t x;
  int32_t y;
} TevranoSkinTarget;

#ifdef __cplusplus
}
#endif
