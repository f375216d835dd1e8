#pragma once
#include <QString>
#include <string>
#include <string_view>

namespace tevrano::host {

// The form's texts are UTF-8, except for a few byte pairs of the recorder's
// Big5 code page that some of the control's own texts hold (the curly
// quotation marks and apostrophe of the UPnP help: A1 A5 to A1 A8). These
// turn the bytes into what a person should see: valid UTF-8 as it is, those
// pairs as their characters, any other stray byte as U+FFFD. The window, the
// snapshot and the dump all show form texts through them.
QString FormText(std::string_view bytes);
std::string FormTextUtf8(std::string_view bytes);

}  // namespace tevrano::host
