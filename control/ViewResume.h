#pragma once

namespace tevrano {

class TevranoX;

// After a login that follows an earlier one (a reconnect after a lost link,
// a refusal or the watchdog), the recorder's new session knows nothing of
// what the viewer shows: it would stream its default live view, which a
// viewer in Playback (or on another camera) never shows, and the picture
// would stand still under a "play" key for good. The view shown is sent
// again: Live its view record, Playback its record from the time of the
// last picture shown. Backup is left to the backup job, which ends such a
// run as incomplete.
void WireViewResume(TevranoX& control);

}  // namespace tevrano
