#pragma once
#include <string>

#include "base/Bitmap.h"

namespace tevrano {

// Reads an uncompressed 24- or 32-bit Windows bitmap file into `out`.
// False (and `out` untouched) when the file is missing, damaged or of
// another kind; never reads outside the file.
bool LoadBmpFile(const std::string& path, Bitmap& out);

// Writes `picture` as a 32-bit top-down bitmap file.
bool SaveBmpFile(const std::string& path, const Bitmap& picture);

}  // namespace tevrano
