#pragma once

namespace tevrano {

class TevranoX;

// Binds the form's mouse handlers: the key panel (Image1), the video area
// (Image_Trumpet_BG), the speaker images and the speed-dome button, and the
// speed-dome window's Image5.
void BindFormMouse(TevranoX& control);

// Connects the on-screen interface with the view command, the login's
// hand-off of the recorder's system information and the speaker.
void WireOnScreen(TevranoX& control);

// Loads the two skins from the data folder and the form's small pictures
// (connection indicator, speaker, speed-dome button), then draws the skins.
void LoadSkins(TevranoX& control);

}  // namespace tevrano
