// A small JSON reader for the simulator's input files: objects, arrays,
// strings (with the usual escapes; \u only below 0x80), numbers, true,
// false, null. Depth is limited so that a hostile file cannot exhaust the
// stack.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tevrano::sim {

struct JsonMember;

struct JsonValue {
  enum class Type { Null, Bool, Number, String, Array, Object };
  Type type = Type::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;                            // Array
  std::vector<JsonMember> members;  // Object, in file order
};

// One member of an object: its name and value (named as a pair's, since a
// pair of an incomplete type cannot be a member of the type itself).
struct JsonMember {
  std::string first;
  JsonValue second;
};

// Parses the whole text; false with "line N: what" in error.
bool ParseJson(const std::string& text, JsonValue& out, std::string& error);

}  // namespace tevrano::sim
