#include "platform/unicode_case.h"

#include <gtest/gtest.h>

namespace kalvex {
namespace {

TEST(UnicodeCaseTest, AsciiUpperCaseLeavesAccentsAlone) {
  EXPECT_EQ(UpperCaseAscii("paruVendu é-1"), "PARUVENDU é-1");
}

TEST(UnicodeCaseTest, UnicodeUpperCaseMapsAccentedLetters) {
  EXPECT_EQ(UpperCaseUnicode("coupé société œuvre ÿ"), "COUPÉ SOCIÉTÉ ŒUVRE Ÿ");
  EXPECT_EQ(UpperCaseUnicode("€ 12"), "€ 12");
}

TEST(UnicodeCaseTest, InvalidBytesAreKept) {
  std::string bad = "a\xE9z";  // a Latin-1 byte, not UTF-8
  EXPECT_EQ(UpperCaseUnicode(bad), "A\xE9Z");
}

TEST(UnicodeCaseTest, SameTextIgnoringCase) {
  EXPECT_TRUE(SameTextIgnoringCase("Élan.JPG", "élan.jpg"));
  EXPECT_FALSE(SameTextIgnoringCase("elan.jpg", "élan.jpg"));
}

}  // namespace
}  // namespace kalvex
