// The text encodings of shell-link strings: UTF-8 in the program, UTF-16LE and Windows-1252 in the files.
#include "text_encoding.h"

#include <gtest/gtest.h>

namespace {

TEST(TextEncodingTest, Utf8IsDecodedOnlyWhenWellFormed) {
  EXPECT_EQ(shell::DecodeUtf8("a\xC3\xBC\xE2\x80\x93\xF0\x9F\x98\x80"), std::u32string(U"a\u00FC\u2013\U0001F600"));
  for (const char* bad : {"\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "\xC3\x41"}) {
    EXPECT_FALSE(shell::DecodeUtf8(bad)) << bad;
  }
  EXPECT_EQ(shell::EncodeUtf8(U"a\u00FC\u2013\U0001F600"), "a\xC3\xBC\xE2\x80\x93\xF0\x9F\x98\x80");
}

TEST(TextEncodingTest, Utf16LittleEndianHasSurrogatePairs) {
  const std::string bytes = shell::EncodeUtf16Le(U"A\u20AC\U0001F600");
  EXPECT_EQ(bytes, std::string("A\0\xAC\x20\x3D\xD8\x00\xDE", 8));
  EXPECT_EQ(shell::DecodeUtf16Le(bytes), std::u32string(U"A\u20AC\U0001F600"));
  EXPECT_FALSE(shell::DecodeUtf16Le(std::string("A", 1)));
  EXPECT_FALSE(shell::DecodeUtf16Le(std::string("\x3D\xD8", 2)));  // a high surrogate alone
  EXPECT_FALSE(
      shell::DecodeUtf16Le(std::string("\x00\xDE"
                                       "A\0",
                                       4)));  // a low one first
}

TEST(TextEncodingTest, Windows1252CoversItsHighHalfAsWindowsDoes) {
  EXPECT_EQ(shell::EncodeCp1252(U"\u20AC\u2013\u00FC\u00A0\u0081"), "\x80\x96\xFC\xA0\x81");
  EXPECT_FALSE(shell::EncodeCp1252(U"\u2192"));
  EXPECT_FALSE(shell::EncodeCp1252(U"\u0080"));  // byte 0x80 is the euro sign, not the C1 control
  std::string every_byte;
  for (int b = 0; b < 256; ++b) every_byte.push_back(static_cast<char>(b));
  EXPECT_EQ(shell::EncodeCp1252(shell::DecodeCp1252(every_byte)), every_byte);
  EXPECT_EQ(shell::DecodeCp1252("\x9F\x8D"), std::u32string(U"\u0178\u008D"));
}

}  // namespace
