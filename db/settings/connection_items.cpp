#include "db/connection_items.h"

#include <algorithm>

#include "ascii_text.h"
#include "db/ascii.h"

namespace db {
namespace {

using internal::Trim;

constexpr std::string_view kSection = "Datenbank";
// Windows authentication is chosen only by this exact text; "j" or "Ja" mean the server login.
constexpr std::string_view kWindowsAuthentication = "J";
constexpr std::string_view kWhiteSpace = " \t\r\n";

bool NeedsQuotes(std::string_view value) {
  if (value.empty()) return false;
  if (value.find_first_of(";\"") != std::string_view::npos) return true;
  // A leading "=" would read as the doubled "=" of a key; a leading quote as the start of a quoted value.
  if (value.front() == '\'' || value.front() == '"' || value.front() == '=') return true;
  return kWhiteSpace.find(value.front()) != std::string_view::npos ||
         kWhiteSpace.find(value.back()) != std::string_view::npos;
}

std::string Quote(std::string_view value) {
  // Single quotes spare the doubling when only double quotes occur, as OLE DB allows.
  const char quote =
      (value.find('"') != std::string_view::npos && value.find('\'') == std::string_view::npos) ? '\'' : '"';
  std::string quoted(1, quote);
  for (const char c : value) {
    if (c == quote) quoted += quote;
    quoted += c;
  }
  quoted += quote;
  return quoted;
}

void AppendAuthenticationItems(const ConnectionSettings& settings, std::string_view win_auth,
                               std::vector<std::string>& items) {
  if (win_auth == kWindowsAuthentication) {
    items.emplace_back("Integrated Security=SSPI;");
    return;
  }
  items.push_back(FormatItem("Password", settings.password));
  items.push_back(FormatItem("User ID", settings.user_id));
}

// Reads a quoted value starting at text[pos], the opening quote; leaves `pos` behind the closing quote.
std::string ReadQuotedValue(std::string_view text, std::size_t& pos, std::string_view key) {
  const char quote = text[pos++];
  std::string value;
  while (pos < text.size()) {
    const char c = text[pos++];
    if (c != quote) {
      value += c;
    } else if (pos < text.size() && text[pos] == quote) {
      value += quote;
      ++pos;
    } else {
      return value;
    }
  }
  throw SettingsError("The value of '" + std::string(key) + "' in the connection string lacks its closing quote.");
}

// Reads a key up to its "=" (a doubled "=" belongs to the key). Returns false when the segment has no "=";
// `pos` then stands on the ";" that ends it or at the end.
bool ReadKey(std::string_view text, std::size_t& pos, std::string& key) {
  while (pos < text.size() && text[pos] != ';') {
    const char c = text[pos++];
    if (c != '=') {
      key += c;
    } else if (pos < text.size() && text[pos] == '=') {
      key += '=';
      ++pos;
    } else {
      return true;
    }
  }
  return false;
}

std::string ReadValue(std::string_view text, std::size_t& pos, std::string_view key) {
  pos = std::min(text.find_first_not_of(kWhiteSpace, pos), text.size());
  if (pos < text.size() && (text[pos] == '"' || text[pos] == '\'')) {
    std::string value = ReadQuotedValue(text, pos, key);
    pos = std::min(text.find_first_not_of(kWhiteSpace, pos), text.size());
    if (pos < text.size() && text[pos] != ';') {
      throw SettingsError("The value of '" + std::string(key) +
                          "' in the connection string has text after its closing quote.");
    }
    return value;
  }
  const std::size_t end = std::min(text.find(';', pos), text.size());
  std::string value(Trim(text.substr(pos, end - pos), kWhiteSpace));
  pos = end;
  return value;
}

}  // namespace

ConnectionSettings ReadSettings(const IniFile& file, std::string* win_auth) {
  ConnectionSettings settings;
  settings.provider = file.Get(kSection, "Provider", "ERROR");
  settings.password = file.Get(kSection, "Password", "");
  settings.persist_security_info = file.Get(kSection, "Persist Security Info", "");
  settings.user_id = file.Get(kSection, "User ID", "");
  settings.data_source = file.Get(kSection, "Data Source", "");
  std::string auth = file.Get(kSection, "WinAuth", "");
  if (win_auth != nullptr) *win_auth = std::move(auth);
  return settings;
}

ProviderOptions ReadProviderOptions(const IniFile& file) {
  ProviderOptions options;
  options.odbc_driver = file.Get(kSection, "ODBCDriver", "");
  options.connect_timeout = file.Get(kSection, "Connect Timeout", "");
  options.tds_version = file.Get(kSection, "TDS_Version", "");
  return options;
}

std::string FormatItem(std::string_view key, std::string_view value) {
  std::string item(key);
  item += '=';
  item += NeedsQuotes(value) ? Quote(value) : std::string(value);
  item += ';';
  return item;
}

std::vector<std::string> ServerConnectionItems(const ConnectionSettings& settings, std::string_view win_auth,
                                               std::string_view catalog) {
  std::vector<std::string> items;
  items.push_back(FormatItem("Provider", settings.provider));
  items.push_back(FormatItem("Persist Security Info", settings.persist_security_info));
  AppendAuthenticationItems(settings, win_auth, items);
  items.push_back(FormatItem("Initial Catalog", catalog));
  items.push_back(FormatItem("Data Source", settings.data_source));
  return items;
}

std::vector<std::string> ClientConnectionItems(const ConnectionSettings& settings, std::string_view win_auth,
                                               std::string_view catalog) {
  std::vector<std::string> items;
  items.push_back(FormatItem("Provider", settings.provider));
  AppendAuthenticationItems(settings, win_auth, items);
  items.push_back(FormatItem("Persist Security Info", settings.persist_security_info));
  items.push_back(FormatItem("Initial Catalog", catalog));
  items.push_back(FormatItem("Data Source", settings.data_source));
  return items;
}

std::string JoinItems(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) {
    text += item;
    text += "\r\n";
  }
  return text;
}

std::vector<std::pair<std::string, std::string>> ParseConnectionString(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> items;
  std::size_t pos = 0;
  while (true) {
    pos = std::min(text.find_first_not_of(" \t\r\n;", pos), text.size());
    if (pos == text.size()) return items;
    std::string key;
    if (!ReadKey(text, pos, key)) continue;
    key = std::string(Trim(key, kWhiteSpace));
    std::string value = ReadValue(text, pos, key);
    items.emplace_back(std::move(key), std::move(value));
  }
}

std::optional<std::string> FindItem(const std::vector<std::pair<std::string, std::string>>& items,
                                    std::string_view key) {
  const auto found = std::find_if(items.rbegin(), items.rend(),
                                  [key](const auto& item) { return EqualsIgnoreCaseAscii(item.first, key); });
  if (found == items.rend()) return std::nullopt;
  return found->second;
}

std::string ConnectionErrorText(std::string_view catalog, std::string_view failure_text) {
  std::string text = "False parameters for database connection.\nUnable to connect to database '";
  for (const char c : catalog) {
    if (c == '\'') text += '\'';
    text += c;
  }
  text += "'.\n\n";
  text += failure_text;
  return text;
}

}  // namespace db
