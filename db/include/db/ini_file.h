// Read-only access to a Windows settings file such as SysDBAdo.INI.
//
// The upgrader must read the file exactly as the Windows profile functions would, because users edit it on
// Windows and expect the same outcome everywhere:
//   - "[Name]" starts a section; "key = value" lines belong to the section above them; lines before the first
//     section and lines without "=" carry nothing.
//   - Section and key names match without regard to ASCII case; the first section of a name and the first key
//     of a name inside it win, later duplicates are never seen.
//   - A value is the text after the first "=", without leading and trailing blanks and tabs. A value enclosed
//     in a pair of double or single quotes is read without them. A ";" inside a value is part of it.
//   - Lines whose first non-blank character is ";" are comments.
//   - CR LF and LF line ends are both accepted; a UTF-8 byte order mark at the start is skipped.
// The file is never created or written.
#ifndef CLUBIQA_DB_INI_FILE_H_
#define CLUBIQA_DB_INI_FILE_H_

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace db {

// A settings file exists but cannot be read, or a connection string is malformed. The text names the cause
// and is meant to be shown to the user as it is.
class SettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class IniFile {
 public:
  // An empty file: every lookup yields the caller's default.
  IniFile() = default;

  // Reads the whole file at `path` into memory. A file that does not exist gives an empty IniFile, as Windows
  // treats it; a path that exists but cannot be read (a directory, no permission, an I/O error) throws
  // SettingsError.
  static IniFile Load(const std::filesystem::path& path);

  // Same rules as Load, for text already in memory.
  static IniFile Parse(std::string_view text);

  // The value of `key` in `section`, or `default_value` when the section or the key is absent.
  [[nodiscard]] std::string Get(std::string_view section, std::string_view key, std::string_view default_value) const;

 private:
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;  // key, value in file order
  };

  [[nodiscard]] const Section* FindSection(std::string_view name) const;

  std::vector<Section> sections_;  // in file order, duplicates kept so that the first one is found
};

}  // namespace db

#endif  // CLUBIQA_DB_INI_FILE_H_
