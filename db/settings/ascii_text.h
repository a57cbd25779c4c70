// Small text helpers shared by the settings reader and the connection items. Names in the settings file and in
// connection strings are ASCII words, so case folding is deliberately limited to ASCII: bytes of UTF-8
// sequences compare exactly and can never be mangled by a locale.
#ifndef CLUBIQA_DB_SETTINGS_ASCII_TEXT_H_
#define CLUBIQA_DB_SETTINGS_ASCII_TEXT_H_

#include <string_view>

namespace db::internal {

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// Removes the characters of `blanks` from both ends.
inline std::string_view Trim(std::string_view text, std::string_view blanks) {
  const auto first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

}  // namespace db::internal

#endif  // CLUBIQA_DB_SETTINGS_ASCII_TEXT_H_
