// server.ini of a server directory: Windows-INI text with [Section] headers and key=value
// lines. Section and key names compare case-insensitively; values are kept as written
// (trimmed). Lines starting with ';' or '#' are comments.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace engine::storage {

struct IniSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> entries;  // in file order
};

struct IniFile {
  std::vector<IniSection> sections;
  [[nodiscard]] const IniSection* Find(std::string_view section) const;
  [[nodiscard]] std::optional<std::string> Get(std::string_view section, std::string_view key) const;
};

IniFile ParseIni(std::string_view text);
// An absent or unreadable file reads as empty.
IniFile ReadIni(const std::filesystem::path& file);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace engine::storage
