// Camera sound wired into the control: the audio thread of context 0's
// stream, the speaker images, the view command, the playback buffering and
// the link watchdog.
#include "control/AudioWiring.h"

#include "control/TevranoImpl1.h"

namespace tevrano {

void WireAudio(TevranoX& c) {
  Audiothread1& audio = c.Audio();
  StreamSystem& stream = c.Streams().Stream();
  TTevranoX& form = c.Form();

  AudioHooks& ah = audio.Hooks();
  ah.markerFraming = [&stream] {
    const uint32_t state =
        std::atomic_ref<uint32_t>(stream.StreamState()).load(std::memory_order_relaxed);
    return stream.rk9pProtocol && state == 3;
  };
  ah.backupStep = [&stream](StreamConnection& connection) {
    return stream.Hooks().backupStep ? stream.Hooks().backupStep(connection) : 0;
  };
  // The alarm beeper stays silent: an event report tells which cameras are
  // in alarm and when that was reported, not how long to beep; its time is
  // the recorder's clock while the beeper compares with this machine's; and
  // a blocking beep on the audio thread would starve the camera sound.

  // The speaker images hand their toggle on: the switch, then a restart of
  // the output in the image's style.
  c.OnScreen().hooks.speakerToggle = [&c, &audio](int style) {
    audio.SetEnabled(c.Speaker().enabled);
    audio.RequestRestart(style);
  };
  // The view command's camera change: the next packet chooses the camera.
  c.Streams().View().GetHooks().setAudioChannel = [&audio](int channel) {
    audio.RequestChannel(channel);
  };

  // Playback buffering and the link watchdog switch sound off and on through
  // the speaker images' click actions.
  StreamHooks& sh = stream.Hooks();
  sh.readAudioPacket = [&audio](StreamConnection& connection) {
    return audio.BackupReadAudioPacket(connection);
  };
  sh.audioSwitchedOn = [&c] { return c.Speaker().enabled; };
  sh.switchAudio = [&c, &form](bool on) {
    if (on != c.Speaker().enabled) (on ? form.Image_Trumpet_Off : form.Image_Trumpet_On).onClick();
  };
  sh.restartAudioOutput = [&audio] { audio.RequestRestart(0); };
  NetHooks& nh = c.Net().Hooks();
  nh.AudioOn = [&c] { return c.Speaker().enabled; };
  nh.SwitchAudioOff = [&form, &audio] {
    form.Image_Trumpet_On.onClick();
    audio.RequestStop();
  };
  nh.SwitchAudioOn = [&form] { form.Image_Trumpet_Off.onClick(); };
}

}  // namespace tevrano
