// The XDG folders of the current user.
#include "xdg_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace shell {

namespace {

constexpr std::string_view kDesktopKey = "XDG_DESKTOP_DIR=";

// A path without the separators at its end ("/" stays), as the shell gives folder paths.
std::filesystem::path WithoutTrailingSeparator(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::optional<std::string_view> Environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string_view(value);
}

// An XDG base directory: the variable when it holds an absolute path (relative ones are invalid and
// ignored), else `fallback` under the home folder.
std::optional<std::filesystem::path> BaseDirectory(const char* variable, std::string_view fallback) {
  if (std::optional<std::string_view> value = Environment(variable); value && value->starts_with('/')) {
    return WithoutTrailingSeparator(std::string(*value));
  }
  const std::optional<std::filesystem::path> home = HomeFolder();
  if (!home) return std::nullopt;
  return *home / fallback;
}

// The word that starts `text` in shell syntax: double-quoted or bare, backslash escapes undone. Nothing for
// an unterminated quote.
std::optional<std::string> ShellWord(std::string_view text) {
  std::string word;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '\\' && i + 1 < text.size()) {
      word += text[++i];
    } else if (!quoted && (c == ' ' || c == '\t' || c == '#' || c == ';')) {
      break;
    } else {
      word += c;
    }
  }
  if (quoted) return std::nullopt;
  return word;
}

// "$HOME/x" and "${HOME}/x" are under the home folder; other values must be absolute.
std::optional<std::filesystem::path> UserDirValue(const std::string& word, const std::filesystem::path& home) {
  for (const std::string_view prefix : {"$HOME", "${HOME}"}) {
    if (word == prefix) return home;
    if (word.starts_with(prefix) && word[prefix.size()] == '/') {
      return WithoutTrailingSeparator(home.string() + word.substr(prefix.size()));
    }
  }
  if (word.starts_with('/')) return WithoutTrailingSeparator(word);
  return std::nullopt;
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

std::optional<std::filesystem::path> HomeFolder() {
  if (std::optional<std::string_view> home = Environment("HOME")) return WithoutTrailingSeparator(std::string(*home));
  const passwd* entry = ::getpwuid(::getuid());
  if (entry == nullptr || entry->pw_dir == nullptr || *entry->pw_dir == '\0') return std::nullopt;
  return WithoutTrailingSeparator(entry->pw_dir);
}

std::optional<std::filesystem::path> DesktopFromUserDirs(std::string_view text, const std::filesystem::path& home) {
  std::optional<std::filesystem::path> desktop;
  while (!text.empty()) {
    const size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!line.starts_with(kDesktopKey)) continue;
    const std::optional<std::string> word = ShellWord(line.substr(kDesktopKey.size()));
    if (!word) continue;
    if (std::optional<std::filesystem::path> value = UserDirValue(*word, home)) desktop = std::move(value);
  }
  return desktop;
}

std::optional<std::filesystem::path> UserDesktopFolder() {
  const std::optional<std::filesystem::path> home = HomeFolder();
  if (!home) return std::nullopt;
  const std::optional<std::filesystem::path> config = BaseDirectory("XDG_CONFIG_HOME", ".config");
  if (config) {
    if (std::optional<std::filesystem::path> desktop =
            DesktopFromUserDirs(ReadText(*config / "user-dirs.dirs"), *home)) {
      return desktop;
    }
  }
  return *home / "Desktop";
}

std::optional<std::filesystem::path> UserApplicationsFolder() {
  const std::optional<std::filesystem::path> data = BaseDirectory("XDG_DATA_HOME", ".local/share");
  if (!data) return std::nullopt;
  return *data / "applications";
}

std::optional<std::filesystem::path> SystemApplicationsFolder() {
  std::string_view dirs = Environment("XDG_DATA_DIRS").value_or("/usr/local/share:/usr/share");
  while (true) {
    const size_t colon = dirs.find(':');
    const std::string_view dir = dirs.substr(0, colon);
    if (dir.starts_with('/')) {
      const std::filesystem::path applications = WithoutTrailingSeparator(std::string(dir)) / "applications";
      std::error_code error;
      if (std::filesystem::is_directory(applications, error)) return applications;
    }
    if (colon == std::string_view::npos) return std::nullopt;
    dirs.remove_prefix(colon + 1);
  }
}

}  // namespace shell
