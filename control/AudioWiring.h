#pragma once

namespace tevrano {

class TevranoX;

// Binds the audio thread's hooks and the hooks through which the speaker
// images, the view command, the playback buffering and the link watchdog
// reach the sound. Start-up, before the audio thread starts.
void WireAudio(TevranoX& control);

}  // namespace tevrano
