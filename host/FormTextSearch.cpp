#include "host/FormTextSearch.h"

#include <string>

#include "host/FormText.h"

namespace tevrano::host {

namespace {
bool Contains(std::string_view text, std::string_view needle) {
  return FormTextUtf8(text).find(needle) != std::string::npos;
}
}  // namespace

bool FormShowsText(const TTevranoX& form, const MessageLog* messages, std::string_view needle) {
  for (const Component* c : form.Components())
    if (Contains(HoldsText(*c) ? c->text : c->caption, needle)) return true;
  if (messages)
    for (const auto& m : *messages)
      if (Contains(m.caption, needle) || Contains(m.text, needle)) return true;
  return false;
}

}  // namespace tevrano::host
