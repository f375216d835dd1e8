#include "view/ViewRecords.h"

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

int LayoutOf(const LiveRecord& live) {
  switch (live.SplitKind) {
    case 0:
      return live.Channel < 16 ? int(live.Channel) : 0;
    case 1:
      return 16 + int(live.FirstChannel / 4 % 4);
    case 2:
      return live.FirstChannel == 9 ? 21 : 20;
    default:
      return 22;
  }
}

void ViewState::Initialize() {
  std::memset(this, 0, sizeof *this);
  Live.Width = 704;
  Live.Height = 576;
  BitrateIndex = 9;
  Pages[0] = 9;  // the Bitrate page's index, little-endian
}

}  // namespace tevrano
