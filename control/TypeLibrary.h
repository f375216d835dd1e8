#pragma once
#include <span>
#include <string_view>

namespace tevrano {

// The control's type library as data: what a COM host would read from the
// embedded type-library resource. GUIDs are fixed; the recorder's page names
// the class by its GUID.
enum class TypeInfoKind { Library, DispatchInterface, EventInterface, CoClass, Enumeration };

struct TypeInfoEntry {
  std::string_view name;
  TypeInfoKind kind;
  std::string_view guid;  // empty for enumerations
  std::string_view helpString;
};

enum class MemberKind { Property, PropertyGetOnly, Method };

struct MemberEntry {
  std::string_view name;
  int dispid;
  MemberKind kind;
  std::string_view type;  // "VARIANT", "WordBool", enumeration names, …
};

struct EnumEntry {
  std::string_view enumeration;
  std::string_view name;
  int value;
};

struct TypeLibraryDescription {
  int majorVersion;
  int minorVersion;
  std::span<const TypeInfoEntry> types;
  std::span<const MemberEntry> properties;  // ITevranoX: own and inherited
  std::span<const MemberEntry> events;      // ITevranoXEvents
  std::span<const EnumEntry> enumerations;
};

const TypeLibraryDescription& TevranoTypeLibrary();

}  // namespace tevrano
