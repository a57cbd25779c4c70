// Latin1_General_CI_AS: case-insensitive, accent-sensitive, trailing blanks ignored, 'ß' = 'ss';
// LIKE with its blank rules; UTF-8 helpers and the Windows-1252 best fit.
#include <gtest/gtest.h>

#include "values.h"

namespace engine {
namespace {

TEST(Collation, CaseInsensitive) {
  EXPECT_EQ(CollateCompare("abc", "ABC"), 0);
  EXPECT_EQ(CollateCompare("Müller", "MÜLLER"), 0);
  EXPECT_EQ(CollateCompare("élan", "ÉLAN"), 0);
  EXPECT_TRUE(CollateEqual("Mitglied", "mitglied"));
}

TEST(Collation, AccentSensitive) {
  EXPECT_NE(CollateCompare("a", "ä"), 0);
  EXPECT_NE(CollateCompare("ä", "ae"), 0);
  EXPECT_NE(CollateCompare("Mitglied", "Mitglíed"), 0);
  EXPECT_LT(CollateCompare("a", "ä"), 0);
  // Letters decide before accents: 'äa' sorts before 'ab'.
  EXPECT_LT(CollateCompare("äa", "ab"), 0);
}

TEST(Collation, TrailingBlanksIgnored) {
  EXPECT_EQ(CollateCompare("abc", "abc   "), 0);
  EXPECT_EQ(CollateCompare("", "   "), 0);
  EXPECT_NE(CollateCompare(" abc", "abc"), 0);  // leading blanks count
  EXPECT_EQ(CollateKey("Eintritt "), CollateKey("eintritt"));
}

TEST(Collation, SharpSEqualsDoubleS) {
  EXPECT_EQ(CollateCompare("Straße", "Strasse"), 0);
  EXPECT_EQ(CollateCompare("STRASSE", "straße"), 0);
  EXPECT_EQ(CollateKey("Straße"), CollateKey("STRASSE"));
  EXPECT_NE(CollateCompare("Straße", "Strase"), 0);
}

TEST(Collation, Ordering) {
  EXPECT_LT(CollateCompare("abc", "abd"), 0);
  EXPECT_GT(CollateCompare("b", "A"), 0);
  EXPECT_LT(CollateCompare("ab", "abc"), 0);
  EXPECT_LT(CollateCompare("9", "a"), 0);
  EXPECT_LT(CollateCompare("Zebra", "zucker"), 0);
}

TEST(Collation, KeysMatchEquality) {
  const char* words[] = {"abc", "ABC", "abc ", "äbc", "Äbc", "ss", "ß", "s", "", " "};
  for (const char* a : words) {
    for (const char* b : words) {
      EXPECT_EQ(CollateKey(a) == CollateKey(b), CollateEqual(a, b)) << a << " / " << b;
    }
  }
}

TEST(Collation, UpperLower) {
  EXPECT_EQ(UpperCase("straße äöü"), "STRAßE ÄÖÜ");
  EXPECT_EQ(LowerCase("ÄÖÜ ABC É"), "äöü abc é");
  EXPECT_EQ(UpperCase("ÿ"), "Ÿ");
}

TEST(Like, Wildcards) {
  EXPECT_TRUE(Like("Mitglied", "mit%", std::nullopt, false));
  EXPECT_TRUE(Like("Mitglied", "%GLIED", std::nullopt, false));
  EXPECT_TRUE(Like("Mitglied", "M_tglied", std::nullopt, false));
  EXPECT_FALSE(Like("Mitglied", "M_glied", std::nullopt, false));
  EXPECT_TRUE(Like("abc", "%", std::nullopt, false));
  EXPECT_TRUE(Like("", "%", std::nullopt, false));
  EXPECT_FALSE(Like("", "_", std::nullopt, false));
  EXPECT_TRUE(Like("aXbXc", "a%b%c", std::nullopt, false));
  EXPECT_FALSE(Like("ä", "a", std::nullopt, false));
  EXPECT_TRUE(Like("Ä", "ä", std::nullopt, false));
}

TEST(Like, Sets) {
  EXPECT_TRUE(Like("c1", "[a-f]1", std::nullopt, false));
  EXPECT_FALSE(Like("g1", "[a-f]1", std::nullopt, false));
  EXPECT_TRUE(Like("g1", "[^a-f]1", std::nullopt, false));
  EXPECT_TRUE(Like("_WA_Sys_1", "[_]WA[_]Sys%", std::nullopt, false));
  EXPECT_FALSE(Like("xWA", "[_]WA%", std::nullopt, false));
  EXPECT_TRUE(Like("C", "[abc]", std::nullopt, false));
}

TEST(Like, Escape) {
  EXPECT_TRUE(Like("100%", "100!%", U'!', false));
  EXPECT_FALSE(Like("1000", "100!%", U'!', false));
  EXPECT_TRUE(Like("a_b", "a!_b", U'!', false));
  EXPECT_FALSE(Like("axb", "a!_b", U'!', false));
}

TEST(Like, TrailingBlanks) {
  EXPECT_TRUE(Like("abc  ", "abc", std::nullopt, false));  // value blanks ignored (varchar)
  EXPECT_FALSE(Like("abc  ", "abc", std::nullopt, true));  // but not for nvarchar
  EXPECT_FALSE(Like("abc", "abc ", std::nullopt, false));  // pattern blanks count
  EXPECT_TRUE(Like("abc  ", "abc%", std::nullopt, true));
}

TEST(Utf8, LengthAndSubstr) {
  EXPECT_EQ(Utf8Length("Müller"), 6u);
  EXPECT_EQ(Utf8Substr("Müller", 1, 2), "ül");
  EXPECT_EQ(Utf8Substr("abc", 5, 2), "");
  EXPECT_EQ(Utf8Length(""), 0u);
}

TEST(Utf8, CodePage1252) {
  EXPECT_EQ(ToCodePage1252("Müller €"), "Müller €");
  EXPECT_EQ(ToCodePage1252("Łódź"), "Lódz");
  EXPECT_EQ(ToCodePage1252("日本"), "??");
}

}  // namespace
}  // namespace engine
