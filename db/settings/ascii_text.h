// Small text helpers shared by the settings reader and the connection items. Names in the settings file and in
// connection strings are ASCII words; their case folding is the layer's own (db/ascii.h).
#ifndef CLUBIQA_DB_SETTINGS_ASCII_TEXT_H_
#define CLUBIQA_DB_SETTINGS_ASCII_TEXT_H_

#include <string_view>

namespace db::internal {

// Removes the characters of `blanks` from both ends.
inline std::string_view Trim(std::string_view text, std::string_view blanks) {
  const auto first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

}  // namespace db::internal

#endif  // CLUBIQA_DB_SETTINGS_ASCII_TEXT_H_
