// The upgrader's access to its server: the settings file, the server-level connection `ADOConnectionMand`
// with the two listings of client databases, and the client connection `ADOConnection` that every upgrade
// statement runs on.
//
// pConn and MandantChange never throw: a connection that cannot be opened is reported in the connection
// error box and left closed, carrying its new connection string, so that the next query on it tries once
// more and fails in the caller's hands. Opening a listing is not guarded: its db::Error goes to the caller.
//
// Owns both connections and both listings; `ui` must outlive this object.
#ifndef CLUBIQA_DB_DATABASE_ACCESS_H_
#define CLUBIQA_DB_DATABASE_ACCESS_H_

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"
#include "db/connection_items.h"
#include "db/query.h"
#include "ui/ui.h"

namespace db {

// Client databases without the temporary ones (characters 7 to 9 of the upper-cased name "TMP").
inline constexpr std::string_view kQryMandText =
    "SELECT name FROM master.dbo.sysdatabases where UPPER(name) LIKE 'ZENTIX%' AND "
    "UPPER(SUBSTRING(name,7,3))<>'TMP'";
// All client databases, temporary ones included.
inline constexpr std::string_view kQryMandAllText =
    "SELECT name FROM master.dbo.sysdatabases where UPPER(name) LIKE 'ZENTIX%'";
// The catalog of the server-level connection.
inline constexpr std::string_view kServerCatalog = "Zentix";

class DatabaseAccess {
 public:
  // `exe_dir` is the directory of the executable: SysDBAdo.INI is read there, and a relative `Data Source` of
  // the embedded provider resolves against it.
  DatabaseAccess(ui::Ui& ui, std::filesystem::path exe_dir);
  DatabaseAccess(const DatabaseAccess&) = delete;
  DatabaseAccess& operator=(const DatabaseAccess&) = delete;

  // Reads the settings, sets CurrentCatalog to `catalog` and re-opens ADOConnectionMand on it.
  void pConn(std::string_view catalog);
  // Reads the settings, sets CurrentCatalog to `name` and re-opens ADOConnection on that database.
  void MandantChange(std::string_view name);

  Connection& ADOConnectionMand() { return ado_connection_mand_; }
  Connection& ADOConnection() { return ado_connection_; }
  Query& qryMand() { return qry_mand_; }
  Query& qryMandAll() { return qry_mand_all_; }

  // The catalog that the last pConn or MandantChange aimed at, also when its connection failed.
  [[nodiscard]] const std::string& CurrentCatalog() const { return current_catalog_; }
  [[nodiscard]] const ConnectionSettings& connection_settings() const { return connection_settings_; }
  [[nodiscard]] const std::filesystem::path& exe_dir() const { return exe_dir_; }

 private:
  // Fills connection_settings_ and provider_options_ from SysDBAdo.INI and returns WinAuth. A file that cannot be read
  // is reported in a plain box; the defaults are used then.
  std::string ReadSettingsFile();
  // Closes `connection`, sets the joined items as its connection string and opens it; a failure shows the
  // connection error box for `catalog`.
  void Reopen(Connection& connection, const std::vector<std::string>& items, std::string_view catalog);

  ui::Ui& ui_;
  std::filesystem::path exe_dir_;
  ConnectionSettings connection_settings_;
  ProviderOptions provider_options_;
  std::string current_catalog_;
  Connection ado_connection_mand_;
  Connection ado_connection_;
  Query qry_mand_{ado_connection_mand_};
  Query qry_mand_all_{ado_connection_mand_};
};

}  // namespace db

#endif  // CLUBIQA_DB_DATABASE_ACCESS_H_
