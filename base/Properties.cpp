#include "base/Properties.h"

#include <climits>

namespace tevrano {

namespace {
int Slot(int dispid) {
  return dispid >= kDispidDvrIp && dispid <= kDispidHttpPage ? dispid - kDispidDvrIp : -1;
}

// What a put makes of a VARIANT: the page passes strings; an integer is taken
// as its decimal text and an empty VARIANT as empty text; others are refused.
bool VariantText(const Variant& v, std::string& out) {
  switch (v.vt) {
    case Variant::kBstr: out = v.str; return true;
    case Variant::kI4: out = std::to_string(v.intVal); return true;
    case Variant::kEmpty: out.clear(); return true;
    default: return false;
  }
}
}  // namespace

int32_t ControlProperties::Get(int dispid, Variant& out) const {
  int slot = Slot(dispid);
  if (slot < 0) return kDispEMemberNotFound;
  out = variant_[slot];
  return kSOk;
}

int32_t ControlProperties::Put(int dispid, const Variant& value) {
  int slot = Slot(dispid);
  if (slot < 0) return kDispEMemberNotFound;
  std::string text;
  if (!VariantText(value, text)) return kDispETypeMismatch;
  if (dispid == kDispidDvrUk && text.size() > kMaxTokenLength) text.resize(kMaxTokenLength);
  text_[slot] = text;
  if (dispid == kDispidHttpPage) {
    int page = 0;
    if (!ParseStrictInt(text, page)) return kEFail;
    httpPage_ = page;
  }
  variant_[slot] = value;
  ++putCount_;
  return kSOk;
}

bool ParseStrictInt(std::string_view text, int& out) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) return false;
  }
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (digits == 0 || i != text.size()) return false;
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) return false;
  out = static_cast<int>(value);
  return true;
}

int ParseLooseInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value < static_cast<long long>(INT_MAX) + 1) value = value * 10 + (text[i] - '0');
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace tevrano
