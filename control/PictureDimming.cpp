#include "control/PictureDimming.h"

namespace tevrano {

void DimPixels(uint32_t* pixels, size_t count) {
  // c / 4 + c / 8 per component: the shifts never carry into the next
  // component once masked, and the sum stays below 256.
  for (size_t i = 0; i < count; ++i) {
    const uint32_t p = pixels[i];
    pixels[i] = ((p >> 2) & 0x003F3F3Fu) + ((p >> 3) & 0x001F1F1Fu);
  }
}

}  // namespace tevrano
