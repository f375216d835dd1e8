#include <gtest/gtest.h>

#include <cstring>

#include "net/Scramble.h"

namespace tevrano {
namespace {

TEST(Scramble, OneDigitUserAndFourDigitPasswordGiveFifteenCharacters) {
  char out[kCredentialsSize];
  ScrambleText("1", "2345", 0x69A1B2C3, out);
  EXPECT_STREQ(out, "69A1B2C3.4.E5F6");
  EXPECT_EQ(std::strlen(out), 15u);

  char user[kCredentialsSize], password[kCredentialsSize];
  ASSERT_TRUE(UnscrambleText(out, user, password));
  EXPECT_STREQ(user, "1");
  EXPECT_STREQ(password, "2345");
}

TEST(Scramble, DigitsRoundTripForEveryTimeLength) {
  for (uint32_t seconds : {0x5u, 0xABCu, 0x12345678u, 0xFFFFFFFFu}) {
    char out[kCredentialsSize], user[kCredentialsSize], password[kCredentialsSize];
    ScrambleText("9081", "776655", seconds, out);
    ASSERT_TRUE(UnscrambleText(out, user, password)) << out;
    EXPECT_STREQ(user, "9081");
    EXPECT_STREQ(password, "776655");
  }
}

TEST(Scramble, HexLettersComeBackAsTwoDigitsAndOthersAsZero) {
  char out[kCredentialsSize], user[kCredentialsSize], password[kCredentialsSize];
  ScrambleText("a", "z", 0x10, out);
  ASSERT_TRUE(UnscrambleText(out, user, password));
  EXPECT_STREQ(user, "10");
  EXPECT_STREQ(password, "0");
}

TEST(Scramble, TokenWithoutTwoFullStopsChangesNothing) {
  for (const char* token : {"69A1B2C3", "69A1B2C3.4", ".4.5", ""}) {
    char user[kCredentialsSize] = "keep", password[kCredentialsSize] = "this";
    EXPECT_FALSE(UnscrambleText(token, user, password)) << token;
    EXPECT_STREQ(user, "keep");
    EXPECT_STREQ(password, "this");
  }
}

TEST(Scramble, CredentialsTooLongForTheFieldAreCutWithTheTerminatorKept) {
  char out[kCredentialsSize];
  std::memset(out, 'Q', sizeof out);
  ScrambleText("1234567890123", "1234567890123", 0x69A1B2C3, out);  // 8 + 2 + 26 > 31
  EXPECT_EQ(out[kCredentialsSize - 1], 0);
  EXPECT_EQ(std::strlen(out), kCredentialsSize - 1);
  EXPECT_EQ(std::string(out, 9), "69A1B2C3.");
}

TEST(Scramble, UnscrambledTextsAreCutAtThirtyOneCharacters) {
  // Hex letters come back as two digits: 20 letters would give 40 digits.
  char user[kCredentialsSize], password[kCredentialsSize];
  ASSERT_TRUE(UnscrambleText("0.FFFFFFFFFFFFFFFFFFFFFFFF.F", user, password));
  EXPECT_EQ(std::strlen(user), 31u);
  EXPECT_STREQ(password, "15");
}

}  // namespace
}  // namespace tevrano
