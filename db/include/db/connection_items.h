// The connection settings of SysDBAdo.INI and the connection strings built from them.
//
// A connection string is a list of "key=value;" items, handed to the database layer as one text in which every
// item, the last included, is followed by CR LF. Values go in as read. Only a value that the provider would
// otherwise cut or misread is quoted, following the OLE DB connection string rules, so that it reaches the
// provider intact:
//   - quoted are values that contain ";" or a double quote, start with a single or double quote, or start or
//     end with white space (which the provider would otherwise trim);
//   - such a value is enclosed in double quotes, unless it contains a double quote and no single quote: then it
//     is enclosed in single quotes, so that nothing needs escaping;
//   - a double quote inside a double-quoted value is doubled.
// ParseConnectionString, used on the provider side, reads these rules back, so that parsing the joined items
// yields every value exactly as it was read from the file.
#ifndef CLUBIQA_DB_CONNECTION_ITEMS_H_
#define CLUBIQA_DB_CONNECTION_ITEMS_H_

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/ini_file.h"

namespace db {

// Name of the settings file that stands beside the executable.
inline constexpr std::string_view kSettingsFileName = "SysDBAdo.INI";

// What a provider needs beyond the connection string, from optional keys of section "Datenbank". They stay out
// of the connection string, whose items are fixed; only the ODBC provider reads them.
struct ProviderOptions {
  std::string odbc_driver;      // ODBCDriver: a driver name as the driver manager knows it, or a library path
  std::string connect_timeout;  // Connect Timeout: seconds to wait for the login
  std::string tds_version;      // TDS_Version: the protocol version a FreeTDS driver speaks
};

// What the upgrader keeps of section "Datenbank". Overwritten at every read; the password is never shown.
struct ConnectionSettings {
  std::string provider;
  std::string password;
  std::string persist_security_info;
  std::string user_id;
  std::string data_source;
};

// Reads Provider (default "ERROR"), Password, Persist Security Info, User ID, Data Source and WinAuth (default
// empty each) from section "Datenbank", in that order. The WinAuth value is stored in `*win_auth` when
// `win_auth` is not null; it lives only as long as the connection being set up. "Initial Catalog" in the file is
// ignored on purpose: the catalog always comes from the caller.
ConnectionSettings ReadSettings(const IniFile& file, std::string* win_auth);

// Reads the provider options ODBCDriver, Connect Timeout and TDS_Version (default empty each) from section
// "Datenbank".
ProviderOptions ReadProviderOptions(const IniFile& file);

// One item "key=value;", the value quoted as the header comment describes.
std::string FormatItem(std::string_view key, std::string_view value);

// Items of the server connection: Provider, Persist Security Info, then either "Integrated Security=SSPI;"
// (WinAuth exactly "J", compared with case) or Password and User ID, then Initial Catalog = `catalog`, then
// Data Source.
std::vector<std::string> ServerConnectionItems(const ConnectionSettings& settings, std::string_view win_auth,
                                               std::string_view catalog);

// Items of the client connection: as ServerConnectionItems, but the Persist Security Info item follows the
// authentication items.
std::vector<std::string> ClientConnectionItems(const ConnectionSettings& settings, std::string_view win_auth,
                                               std::string_view catalog);

// The connection string: every item followed by CR LF, the last included.
std::string JoinItems(const std::vector<std::string>& items);

// Splits a connection string into (key, value) pairs in order. White space (CR LF included) around items, keys
// and unquoted values is ignored; a value starting with a single or double quote runs to the matching closing
// quote, with a doubled quote standing for one. An "==" in a key stands for "=". Segments without "=" carry
// nothing. Throws SettingsError for an unterminated quoted value or text between a closing quote and the next
// ";".
std::vector<std::pair<std::string, std::string>> ParseConnectionString(std::string_view text);

// The value of `key` (compared without regard to ASCII case). When a key occurs more than once the last
// occurrence counts, as OLE DB providers treat repeated keywords.
std::optional<std::string> FindItem(const std::vector<std::pair<std::string, std::string>>& items,
                                    std::string_view key);

// Text of the connection error box, lines separated by single LF characters: the fixed first two lines with
// `catalog` in single quotes (each single quote inside doubled), an empty line, then `failure_text`.
std::string ConnectionErrorText(std::string_view catalog, std::string_view failure_text);

}  // namespace db

#endif  // CLUBIQA_DB_CONNECTION_ITEMS_H_
