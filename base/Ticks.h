#pragma once
#include <cstdint>

namespace tevrano {

// ElapsedTicks are 10 µs units (milliseconds × 100) in 32 bits: they wrap
// after about 12 hours, so ticks are only ever compared as differences.
using Ticks = uint32_t;

constexpr Ticks kTicksPerMs = 100;
constexpr Ticks kTicksPerSecond = 100000;

// Ticks that have passed since `earlier`, a time in the past: wrap-safe
// for any pause shorter than the whole 32-bit range.
constexpr uint32_t TicksSince(Ticks now, Ticks earlier) { return now - earlier; }

// Signed distance from `earlier` to `later`, for times that may lie in the
// future (a deadline pushed ahead); valid within about 6 hours.
constexpr int32_t TicksBetween(Ticks earlier, Ticks later) {
  return static_cast<int32_t>(later - earlier);
}

}  // namespace tevrano
