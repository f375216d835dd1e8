#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/Variant.h"

namespace tevrano {

// DISPIDs of the control's own properties.
enum PropertyDispid : int { kDispidDvrIp = 16, kDispidHttpPort = 17, kDispidDvrUk = 18,
                            kDispidHttpPage = 19 };

// The four text properties the hosting page puts. Values are read when the
// connection is (re)built, so a later put takes effect at the next reconnect.
class ControlProperties {
 public:
  static constexpr size_t kMaxTokenLength = 31;  // DVR_UK keeps at most 31 characters

  // Get: a copy of the VARIANT last put (empty before any put).
  int32_t Get(int dispid, Variant& out) const;
  // Put: stores text and VARIANT and counts the put. A HTTP_PAGE text that
  // is not an integer stores the text but fails, leaving the integer, the
  // VARIANT and the count as they were.
  int32_t Put(int dispid, const Variant& value);

  const std::string& DvrIp() const { return text_[0]; }
  const std::string& HttpPortText() const { return text_[1]; }
  const std::string& DvrUk() const { return text_[2]; }
  const std::string& HttpPageText() const { return text_[3]; }
  int HttpPage() const { return httpPage_; }
  int PutCount() const { return putCount_; }

 private:
  std::string text_[4];
  Variant variant_[4];
  int httpPage_ = 0;
  int putCount_ = 0;
};

// Strict integer text: optional blanks, optional sign, at least one digit,
// nothing after but blanks. False when the text is not such an integer or
// does not fit 32 bits.
bool ParseStrictInt(std::string_view text, int& out);
// The C library's atoi: leading blanks, optional sign, digits up to the
// first non-digit; no digits gives 0. Saturates instead of overflowing.
int ParseLooseInt(std::string_view text);

}  // namespace tevrano
