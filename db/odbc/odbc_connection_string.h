// The ODBC connection string for a SQL Server, built from the OLE DB items of SysDBAdo.INI and the provider
// options, for the driver that will read it. Pure text work, no driver manager involved.
//
//   Data Source               -> Server (host, host,port or host\instance; "." and "(local)" are this machine)
//   Initial Catalog           -> Database
//   User ID / Password        -> UID / PWD
//   Integrated Security=SSPI  -> Trusted_Connection=yes (Kerberos), and no UID / PWD
//   Persist Security Info     -> nothing (ODBC has no such keyword)
// A FreeTDS driver also gets TDS_Version (7.4 unless the options name one) and ClientCharset=UTF-8.
//
// Every item ends in ";". A value that would otherwise be cut or misread (";", "{", "}", "=", blanks at an
// end) is wrapped in braces. Microsoft's drivers read "}}" inside braces as one "}"; FreeTDS 1.3 takes the
// braced value up to the first "};" and keeps "}}" as it stands, so for it "}" is not doubled and a value
// containing "};" cannot be written at all.
#ifndef CLUBIQA_DB_ODBC_ODBC_CONNECTION_STRING_H_
#define CLUBIQA_DB_ODBC_ODBC_CONNECTION_STRING_H_

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/provider.h"
#include "db/connection_items.h"

namespace db::odbc {

// Whose connection-string rules a driver follows.
enum class DriverKind { kMicrosoft, kFreeTds };

struct Driver {
  std::string name;  // as Driver= names it: a registered name or a library path
  DriverKind kind = DriverKind::kMicrosoft;
};

// The drivers for SQL Server that the provider picks from, best first, when the settings name none.
inline constexpr std::array<std::string_view, 3> kPreferredDrivers = {"ODBC Driver 18 for SQL Server",
                                                                      "ODBC Driver 17 for SQL Server", "FreeTDS"};

// A driver name or library path as a Driver: FreeTDS when the name says so (the registered name "FreeTDS" or
// its library libtdsodbc), Microsoft's rules otherwise.
Driver DriverNamed(std::string_view name);

// The driver to use: `configured` (ODBCDriver of the settings) when not empty, else the first of
// kPreferredDrivers among `installed` (compared without regard to case). nullopt when there is none.
std::optional<Driver> ChooseDriver(std::string_view configured, const std::vector<std::string>& installed);

// "key=value;" with the value escaped for `kind`. Throws db::Error naming `key` (never the value) when the
// value cannot be written for that driver.
std::string OdbcItem(std::string_view key, std::string_view value, DriverKind kind);

// The whole connection string. Throws db::Error as OdbcItem does.
std::string OdbcConnectionString(const ConnectionItemList& items, const ProviderOptions& options, const Driver& driver);

// Seconds to wait for the login: the `Connect Timeout` item, else the option, else 15 (what ADO waits).
// A value that is not a whole number of seconds counts as absent.
long LoginTimeoutSeconds(const ConnectionItemList& items, const ProviderOptions& options);

}  // namespace db::odbc

#endif  // CLUBIQA_DB_ODBC_ODBC_CONNECTION_STRING_H_
