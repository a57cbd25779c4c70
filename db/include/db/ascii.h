// Case folding of names and keywords for the whole database layer and the layers above it.
//
// Table, column, provider and driver names, settings keys and T-SQL keywords are compared case-insensitively,
// and only the letters A to Z fold. The C and C++ locale is never consulted: under a Turkish locale
// std::toupper('i') is not 'I', and under a single-byte locale it rewrites bytes of UTF-8 sequences. Every
// byte from 0x80 up passes unchanged, so UTF-8 text is compared exactly outside its ASCII letters.
#ifndef CLUBIQA_DB_ASCII_H_
#define CLUBIQA_DB_ASCII_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace db {

constexpr bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

constexpr char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

inline std::string AsciiLowerCopy(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = AsciiLower(c);
  return result;
}

inline std::string AsciiUpperCopy(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = AsciiUpper(c);
  return result;
}

}  // namespace db

#endif  // CLUBIQA_DB_ASCII_H_
