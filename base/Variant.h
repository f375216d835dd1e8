#pragma once
#include <cstdint>
#include <string>

namespace tevrano {

// The part of an OLE VARIANT the control's properties use.
struct Variant {
  enum Type : uint16_t { kEmpty = 0, kI4 = 3, kBstr = 8 };
  uint16_t vt = kEmpty;
  int32_t intVal = 0;
  std::string str;  // UTF-8 text of a kBstr

  static Variant Text(std::string s) {
    Variant v;
    v.vt = kBstr;
    v.str = std::move(s);
    return v;
  }
  bool operator==(const Variant&) const = default;
};

// COM result codes returned by the property accessors.
enum HResult : int32_t {
  kSOk = 0,
  kSFalse = 1,
  kEFail = static_cast<int32_t>(0x80004005),
  kEInvalidArg = static_cast<int32_t>(0x80070057),
  kDispEMemberNotFound = static_cast<int32_t>(0x80020003),
  kDispETypeMismatch = static_cast<int32_t>(0x80020005),
};

}  // namespace tevrano
