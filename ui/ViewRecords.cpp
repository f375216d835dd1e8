#include "ui/ViewRecords.h"

#include <cstring>

namespace tevrano {

uint8_t* ViewState::RecordOfType(uint32_t type) {
  switch (type) {
    case 256:
      return reinterpret_cast<uint8_t*>(&Live);
    case 512:
      return reinterpret_cast<uint8_t*>(&Playback);
    case 1024:
      return reinterpret_cast<uint8_t*>(&Backup);
    default:
      return nullptr;
  }
}

void ViewState::Initialize() {
  std::memset(this, 0, sizeof *this);
  Live.Width = 704;
  Live.Height = 576;
  BitrateIndex = 9;
}

}  // namespace tevrano
