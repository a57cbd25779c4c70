// A connection to one database of a server, opened from a connection string of "key=value;" items
// (connection_items.h builds them from SysDBAdo.INI).
//
// The `Provider` item chooses how the server is reached: kEmbeddedProvider opens the in-process engine on a
// server directory named by `Data Source`; the SQL Server OLE DB names (SQLOLEDB, SQLOLEDB.1, SQLNCLI*,
// MSOLEDBSQL*) reach a real SQL Server through ODBC when the build has it, and fail to open otherwise; any
// other name fails to open. A Query, Command or Dataset on a closed connection first opens it again with the
// connection string last set, as the upgrader relies on after a failed database switch.
//
// Not thread-safe; use one connection from one thread.
#ifndef CLUBIQA_DB_CONNECTION_H_
#define CLUBIQA_DB_CONNECTION_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "db/connection_items.h"
#include "db/error.h"
#include "db/rows.h"

namespace db {

// Provider name of the embedded server in SysDBAdo.INI.
inline constexpr std::string_view kEmbeddedProvider = "Clubiqa.Embedded";

class Provider;

// Whether this build can reach a real SQL Server (the ODBC provider was built).
bool SqlServerProviderAvailable();

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Take effect at the next Open; an open connection stays open on its old settings until then.
  void set_connection_string(std::string text) { connection_string_ = std::move(text); }
  [[nodiscard]] const std::string& connection_string() const { return connection_string_; }
  void set_provider_options(ProviderOptions options) { provider_options_ = std::move(options); }
  [[nodiscard]] const ProviderOptions& provider_options() const { return provider_options_; }

  // Closes the connection, then opens it with the connection string. `base_dir` (the executable's directory)
  // is what a relative `Data Source` resolves against; it is kept for re-opening. Throws db::Error; the
  // connection is closed afterwards then.
  void Open(const std::filesystem::path& base_dir);
  // A no-op when closed.
  void Close();
  // Open, and the provider has not seen the server go away.
  [[nodiscard]] bool connected() const;

  // Used by Query, Command and Dataset: each opens a closed connection again (base_dir of the last Open),
  // then hands the work to the provider (db/core/provider.h says what each does). Throw db::Error.
  RowSet RunQuery(std::string_view text, std::optional<int64_t> param = std::nullopt);
  int64_t RunCommand(std::string_view text);
  void InsertRow(const RowInsert& row);

 private:
  Provider& Opened();

  std::string connection_string_;
  ProviderOptions provider_options_;
  std::filesystem::path base_dir_;
  std::unique_ptr<Provider> provider_;  // null while closed
};

}  // namespace db

#endif  // CLUBIQA_DB_CONNECTION_H_
