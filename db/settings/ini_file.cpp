#include "db/ini_file.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "ascii_text.h"
#include "db/ascii.h"

namespace db {
namespace {

using internal::Trim;

// Windows trims blanks and tabs around names and values; CR stays in this set so that CR LF files read like
// LF files.
constexpr std::string_view kBlanks = " \t\r";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// A value wrapped in a matching pair of quotes loses them; a lone quote is kept.
std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw SettingsError("Cannot open the settings file '" + path.string() + "'.");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw SettingsError("Cannot read the settings file '" + path.string() + "'.");
  return text;
}

}  // namespace

IniFile IniFile::Load(const std::filesystem::path& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return {};
  if (error) throw SettingsError("Cannot access the settings file '" + path.string() + "': " + error.message());
  // Opening a directory succeeds on some systems and then reads nothing; say what is wrong instead.
  if (std::filesystem::is_directory(status)) {
    throw SettingsError("The settings file '" + path.string() + "' is a directory.");
  }
  return Parse(ReadWholeFile(path));
}

IniFile IniFile::Parse(std::string_view text) {
  if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  IniFile file;
  Section* current = nullptr;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end), kBlanks);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const auto close = line.find(']');
      if (close == std::string_view::npos) continue;
      current = &file.sections_.emplace_back(Section{std::string(line.substr(1, close - 1)), {}});
      continue;
    }
    const auto equals = line.find('=');
    if (current == nullptr || equals == std::string_view::npos) continue;
    current->entries.emplace_back(std::string(Trim(line.substr(0, equals), kBlanks)),
                                  std::string(Unquote(Trim(line.substr(equals + 1), kBlanks))));
  }
  return file;
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  for (const Section& section : sections_) {
    if (EqualsIgnoreCaseAscii(section.name, name)) return &section;
  }
  return nullptr;
}

std::string IniFile::Get(std::string_view section, std::string_view key, std::string_view default_value) const {
  if (const Section* found = FindSection(section)) {
    for (const auto& [name, value] : found->entries) {
      if (EqualsIgnoreCaseAscii(name, key)) return value;
    }
  }
  return std::string(default_value);
}

}  // namespace db
