#include "control/TypeLibrary.h"

namespace tevrano {

namespace {
constexpr TypeInfoEntry kTypes[] = {
    {"TevranoProj1", TypeInfoKind::Library, "{9E30612D-7467-477F-BFC5-82D8D2BF6D43}",
     "TevranoProj1 Library"},
    {"ITevranoX", TypeInfoKind::DispatchInterface, "{F00713E0-6E29-4200-BE5C-690DB1CA732B}",
     "Dispatch interface for TevranoX Control"},
    {"ITevranoXEvents", TypeInfoKind::EventInterface, "{A3FCEEE3-18E6-4264-93E7-24F1F4D9FA4A}",
     "Events interface for TevranoX Control"},
    {"TevranoX", TypeInfoKind::CoClass, "{0DC3A42F-E07A-46AD-9003-8C2112C6C64C}",
     "TevranoX Control"},
    {"TxActiveFormBorderStyle", TypeInfoKind::Enumeration, "", ""},
    {"TxPrintScale", TypeInfoKind::Enumeration, "", ""},
    {"TxMouseButton", TypeInfoKind::Enumeration, "", ""},
};

// Inherited form properties first (as the framework declares them), then
// the control's own four.
constexpr MemberEntry kProperties[] = {
    {"Visible", 1, MemberKind::Property, "WordBool"},
    {"AutoScroll", 2, MemberKind::Property, "WordBool"},
    {"AutoSize", 3, MemberKind::Property, "WordBool"},
    {"AxBorderStyle", 4, MemberKind::Property, "TxActiveFormBorderStyle"},
    {"BorderWidth", 5, MemberKind::Property, "Integer"},
    {"Caption", -518, MemberKind::Property, "WideString"},
    {"Color", -501, MemberKind::Property, "OLE_COLOR"},
    {"Font", -512, MemberKind::Property, "IFontDisp"},
    {"KeyPreview", 6, MemberKind::Property, "WordBool"},
    {"PixelsPerInch", 7, MemberKind::Property, "Integer"},
    {"PrintScale", 8, MemberKind::Property, "TxPrintScale"},
    {"Scaled", 9, MemberKind::Property, "WordBool"},
    {"Active", 10, MemberKind::PropertyGetOnly, "WordBool"},
    {"DropTarget", 11, MemberKind::Property, "WordBool"},
    {"HelpFile", 12, MemberKind::Property, "WideString"},
    {"DoubleBuffered", 13, MemberKind::Property, "WordBool"},
    {"AlignDisabled", 14, MemberKind::PropertyGetOnly, "WordBool"},
    {"VisibleDockClientCount", 15, MemberKind::PropertyGetOnly, "Integer"},
    {"Enabled", -514, MemberKind::Property, "WordBool"},
    {"DVRIP", 16, MemberKind::Property, "VARIANT"},
    {"HTTP_PORT", 17, MemberKind::Property, "VARIANT"},
    {"DVR_UK", 18, MemberKind::Property, "VARIANT"},
    {"HTTP_PAGE", 19, MemberKind::Property, "VARIANT"},
};

constexpr MemberEntry kEvents[] = {
    {"OnActivate", 1, MemberKind::Method, ""},   {"OnClick", 2, MemberKind::Method, ""},
    {"OnCreate", 3, MemberKind::Method, ""},     {"OnDblClick", 5, MemberKind::Method, ""},
    {"OnDestroy", 6, MemberKind::Method, ""},    {"OnDeactivate", 7, MemberKind::Method, ""},
    {"OnKeyPress", 11, MemberKind::Method, "Smallint* Key"},
    {"OnPaint", 16, MemberKind::Method, ""},
};

constexpr EnumEntry kEnumerations[] = {
    {"TxActiveFormBorderStyle", "afbNone", 0}, {"TxActiveFormBorderStyle", "afbSingle", 1},
    {"TxActiveFormBorderStyle", "afbSunken", 2}, {"TxActiveFormBorderStyle", "afbRaised", 3},
    {"TxPrintScale", "poNone", 0},           {"TxPrintScale", "poProportional", 1},
    {"TxPrintScale", "poPrintToFit", 2},     {"TxMouseButton", "mbLeft", 0},
    {"TxMouseButton", "mbRight", 1},         {"TxMouseButton", "mbMiddle", 2},
};

constexpr TypeLibraryDescription kLibrary{1, 0, kTypes, kProperties, kEvents, kEnumerations};
}  // namespace

const TypeLibraryDescription& TevranoTypeLibrary() { return kLibrary; }

}  // namespace tevrano
