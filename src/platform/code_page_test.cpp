#include "platform/code_page.h"

#include <gtest/gtest.h>

#include "platform/error.h"

namespace kalvex {
namespace {

TEST(CodePageTest, Windows1252RoundTrip) {
  const std::string utf8 = "Coupé 5p € œ";
  const std::string ansi = FromUtf8(utf8, "windows-1252");
  EXPECT_EQ(ansi, "Coup\xE9 5p \x80 \x9C");
  EXPECT_EQ(ToUtf8(ansi, "windows-1252"), utf8);
}

TEST(CodePageTest, Iso885915PlacesEuroAndOe) {
  EXPECT_EQ(FromUtf8("é€œ", "ISO-8859-15"), "\xE9\xA4\xBD");
}

TEST(CodePageTest, AnUnknownCodePageIsNamedInTheError) {
  try {
    ToUtf8("x", "no-such-code-page");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Jeu de caractères inconnu : no-such-code-page");
  }
}

TEST(CodePageTest, UnmappableCharactersAreSubstituted) {
  EXPECT_EQ(FromUtf8("a\xE2\x86\x92z", "windows-1252"), "a?z");  // an arrow
}

TEST(CodePageTest, CharactersTheCodePageLacksTakeTheirNearestLatinForm) {
  struct Case {
    const char* utf8;
    const char* windows1252;
  };
  for (const Case& c : {
           Case{"Škoda Octavia", "\x8Akoda Octavia"},  // held: kept
           Case{"Łódź",
                "L\xF3"
                "dz"},                                           // Ł and ź are not
           Case{"Győr", "Gyor"},                                 // ő
           Case{"Жигули", "\x8Eiguli"},                          // another script: Ž is held
           Case{"e\xCC\x81t\xC3\xA9", "\xE9t\xE9"},              // composed first
           Case{"Prix : 9 990 € ✓ 🚗", "Prix : 9 990 \x80 ? ?"},  // no Latin form
           Case{"", ""},
       })
    EXPECT_EQ(FromUtf8Transliterating(c.utf8, "windows-1252"), c.windows1252) << c.utf8;
}

TEST(CodePageTest, Utf8OrWindows1252) {
  EXPECT_TRUE(IsValidUtf8("é"));
  EXPECT_FALSE(IsValidUtf8("\xE9t\xE9"));
  EXPECT_EQ(Utf8OrWindows1252("d:\\photos\\\xE9t\xE9"), "d:\\photos\\été");
  EXPECT_EQ(Utf8OrWindows1252("déjà"), "déjà");
}

}  // namespace
}  // namespace kalvex
