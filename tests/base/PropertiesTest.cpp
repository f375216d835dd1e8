#include "base/Properties.h"

#include <gtest/gtest.h>

#include "control/TypeLibrary.h"

namespace tevrano {
namespace {

TEST(Properties, GetBeforeAnyPutIsEmpty) {
  ControlProperties p;
  for (int dispid : {16, 17, 18, 19}) {
    Variant v = Variant::Text("x");
    EXPECT_EQ(p.Get(dispid, v), kSOk);
    EXPECT_EQ(v.vt, Variant::kEmpty);
  }
  EXPECT_EQ(p.PutCount(), 0);
  EXPECT_EQ(p.HttpPage(), 0);
}

TEST(Properties, TableOfPutsAndGets) {
  struct Case {
    int dispid;
    std::string text;
    int32_t result;
    std::string storedText;
    int putCount;
    int httpPage;
  };
  const Case cases[] = {
      {kDispidDvrIp, "192.0.2.7", kSOk, "192.0.2.7", 1, 0},
      {kDispidHttpPort, "8000", kSOk, "8000", 2, 0},
      {kDispidHttpPage, "4", kSOk, "4", 3, 4},
      {kDispidHttpPage, " -12 ", kSOk, " -12 ", 4, -12},
      {kDispidHttpPage, "4x", kEFail, "4x", 4, -12},
      {kDispidHttpPage, "", kEFail, "", 4, -12},
      {kDispidDvrUk, "67A1B2C3.7.4812", kSOk, "67A1B2C3.7.4812", 5, -12},
      {kDispidDvrUk, std::string(40, 'A'), kSOk, std::string(31, 'A'), 6, -12},
      {kDispidDvrIp, "192.0.2.7", kSOk, "192.0.2.7", 7, -12},  // the same again still counts
  };
  ControlProperties p;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(p.Put(c.dispid, Variant::Text(c.text)), c.result);
    EXPECT_EQ(p.PutCount(), c.putCount);
    EXPECT_EQ(p.HttpPage(), c.httpPage);
    const std::string& stored = c.dispid == kDispidDvrIp     ? p.DvrIp()
                                : c.dispid == kDispidHttpPort ? p.HttpPortText()
                                : c.dispid == kDispidDvrUk    ? p.DvrUk()
                                                              : p.HttpPageText();
    EXPECT_EQ(stored, c.storedText);
  }
}

TEST(Properties, FailingHttpPagePutKeepsTheVariant) {
  ControlProperties p;
  ASSERT_EQ(p.Put(kDispidHttpPage, Variant::Text("2")), kSOk);
  EXPECT_EQ(p.Put(kDispidHttpPage, Variant::Text("two")), kEFail);
  Variant v;
  p.Get(kDispidHttpPage, v);
  EXPECT_EQ(v, Variant::Text("2"));
  EXPECT_EQ(p.HttpPageText(), "two");
  EXPECT_EQ(p.HttpPage(), 2);
}

TEST(Properties, GetReturnsTheWholeVariantEvenWhenTheTokenIsCut) {
  ControlProperties p;
  const Variant token = Variant::Text(std::string(40, '9'));
  p.Put(kDispidDvrUk, token);
  Variant v;
  p.Get(kDispidDvrUk, v);
  EXPECT_EQ(v, token);
  EXPECT_EQ(p.DvrUk().size(), 31u);
}

TEST(Properties, UnknownDispidAndNonTextVariants) {
  ControlProperties p;
  Variant v;
  EXPECT_EQ(p.Get(20, v), kDispEMemberNotFound);
  EXPECT_EQ(p.Put(15, Variant::Text("x")), kDispEMemberNotFound);
  Variant number;
  number.vt = Variant::kI4;
  number.intVal = 8000;
  EXPECT_EQ(p.Put(kDispidHttpPort, number), kSOk);
  EXPECT_EQ(p.HttpPortText(), "8000");
  Variant odd;
  odd.vt = 11;  // VT_BOOL
  EXPECT_EQ(p.Put(kDispidDvrIp, odd), kDispETypeMismatch);
  EXPECT_EQ(p.PutCount(), 1);
}

TEST(Properties, LooseIntegerParseIsTheCLibrarys) {
  EXPECT_EQ(ParseLooseInt("  8000abc"), 8000);
  EXPECT_EQ(ParseLooseInt("-5"), -5);
  EXPECT_EQ(ParseLooseInt("abc"), 0);
  EXPECT_EQ(ParseLooseInt(""), 0);
  EXPECT_EQ(ParseLooseInt("99999999999"), 2147483647);
}

TEST(TypeLibrary, DescribesTheControlWithFixedIdentifiers) {
  const TypeLibraryDescription& lib = TevranoTypeLibrary();
  EXPECT_EQ(lib.majorVersion, 1);
  EXPECT_EQ(lib.minorVersion, 0);
  ASSERT_GE(lib.types.size(), 4u);
  EXPECT_EQ(lib.types[0].helpString, "TevranoProj1 Library");
  EXPECT_EQ(lib.types[1].helpString, "Dispatch interface for TevranoX Control");
  EXPECT_EQ(lib.types[2].helpString, "Events interface for TevranoX Control");
  EXPECT_EQ(lib.types[3].helpString, "TevranoX Control");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(lib.types[i].guid.size(), 38u);
  auto dispid = [&](std::string_view name) {
    for (const auto& m : lib.properties)
      if (m.name == name) return m.dispid;
    return 0;
  };
  EXPECT_EQ(dispid("DVRIP"), 16);
  EXPECT_EQ(dispid("HTTP_PORT"), 17);
  EXPECT_EQ(dispid("DVR_UK"), 18);
  EXPECT_EQ(dispid("HTTP_PAGE"), 19);
  EXPECT_EQ(dispid("Caption"), -518);
  EXPECT_EQ(dispid("Enabled"), -514);
  EXPECT_EQ(lib.events.size(), 8u);
}

}  // namespace
}  // namespace tevrano
