// A connection to one database of a server, opened from a connection string of "key=value;" items
// (connection_items.h builds them from SysDBAdo.INI).
//
// The `Provider` item chooses how the server is reached: kEmbeddedProvider opens the in-process engine on a
// server directory named by `Data Source`; the SQL Server OLE DB names are kept for the ODBC provider; any
// other name fails to open. A Query or Command on a closed connection first opens it again with the
// connection string last set, as the upgrader relies on after a failed database switch.
//
// Not thread-safe; use one connection from one thread.
#ifndef CLUBIQA_DB_CONNECTION_H_
#define CLUBIQA_DB_CONNECTION_H_

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "db/error.h"
#include "engine/engine.h"

namespace db {

// Provider name of the embedded server in SysDBAdo.INI.
inline constexpr std::string_view kEmbeddedProvider = "Clubiqa.Embedded";

// What a provider offers the layer: one open connection that runs texts.
class Provider {
 public:
  virtual ~Provider() = default;
  // Runs one text (a statement or a whole batch). Throws db::Error with the first error of the text, after
  // the text has ended as the server ends it. Returns the first row set, empty when the text returned none.
  virtual engine::ResultSet Run(std::string_view text, std::span<const engine::Value> params) = 0;
};

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Takes effect at the next Open; an open connection stays open on its old settings until then.
  void set_connection_string(std::string text) { connection_string_ = std::move(text); }
  const std::string& connection_string() const { return connection_string_; }

  // Closes the connection, then opens it with the connection string. `base_dir` (the executable's directory)
  // is what a relative `Data Source` resolves against; it is kept for re-opening. Throws db::Error; the
  // connection is closed afterwards then.
  void Open(const std::filesystem::path& base_dir);
  // A no-op when closed.
  void Close();
  bool connected() const { return provider_ != nullptr; }

  // Used by Query and Command: opens a closed connection again (base_dir of the last Open), then runs the
  // text. Throws db::Error.
  engine::ResultSet Run(std::string_view text, std::span<const engine::Value> params = {});

 private:
  std::string connection_string_;
  std::filesystem::path base_dir_;
  std::unique_ptr<Provider> provider_;  // null while closed
};

}  // namespace db

#endif  // CLUBIQA_DB_CONNECTION_H_
