// Reader of server.ini (see server_ini.h).
#include "storage/server_ini.h"

#include <fstream>
#include <sstream>

namespace engine::storage {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

const IniSection* IniFile::Find(std::string_view section) const {
  for (const IniSection& s : sections) {
    if (EqualsIgnoreCase(s.name, section)) return &s;
  }
  return nullptr;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  const IniSection* s = Find(section);
  if (!s) return std::nullopt;
  for (const auto& [k, v] : s->entries) {
    if (EqualsIgnoreCase(k, key)) return v;
  }
  return std::nullopt;
}

IniFile ParseIni(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // UTF-8 byte order mark
  IniFile ini;
  IniSection* current = nullptr;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      std::string_view name = Trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
      // A repeated section continues the first one, as Windows' profile functions read it.
      for (IniSection& s : ini.sections) {
        if (EqualsIgnoreCase(s.name, name)) current = &s;
      }
      if (!current || !EqualsIgnoreCase(current->name, name)) {
        ini.sections.push_back({std::string(name), {}});
        current = &ini.sections.back();
      }
      continue;
    }
    size_t eq = line.find('=');
    if (!current || eq == std::string_view::npos) continue;  // text outside a section, or no '='
    current->entries.emplace_back(std::string(Trim(line.substr(0, eq))), std::string(Trim(line.substr(eq + 1))));
  }
  return ini;
}

IniFile ReadIni(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return ParseIni(text.str());
}

}  // namespace engine::storage
