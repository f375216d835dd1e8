#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tevrano::host {

// The credentials token a recorder's web page hands the control as DVR_UK:
// the calendar time in upper-case hex, ".", the scrambled user, ".", the
// scrambled password. Each character of user and password is shifted by a
// hex digit of the time, walking the time's digits from the last one
// backwards and wrapping round.
std::string ScrambleText(std::string_view user, std::string_view password, int64_t calendarTime);

}  // namespace tevrano::host
