#pragma once
#include <cstddef>
#include <cstdint>

namespace tevrano {

// Darkens `count` 32-bit pixels (0x00RRGGBB) in place to 3/8 of their
// brightness, each component on its own (the top byte becomes 0). A plain
// loop over whole words that the compiler vectorises; it allocates nothing.
void DimPixels(uint32_t* pixels, size_t count);

}  // namespace tevrano
