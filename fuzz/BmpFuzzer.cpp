// Picture files are read from the data folder: any bytes must parse or be
// refused without reading outside them, and a parsed picture has the size
// its header gave.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/BmpFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tevrano::Bitmap picture;
  if (!tevrano::ParseBmp(std::span<const uint8_t>(data, size), picture)) return 0;
  if (picture.Width() <= 0 || picture.Height() <= 0) std::abort();
  // Every row's last pixel is inside the picture.
  volatile uint32_t last = 0;
  for (int y = 0; y < picture.Height(); ++y) last = picture.Row(y)[picture.Width() - 1];
  (void)last;
  return 0;
}
