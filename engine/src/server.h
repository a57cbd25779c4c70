// Server: a directory holding master.sqlite, one SQLite file per database and an optional
// server.ini:
//   [Logins]      name=password lines; when the section exists, logins are checked (18456)
//   [Server]      Trace=1 appends every batch to trace.jsonl in the directory
// master keeps the list of databases in its table _databases(dbid, name, file, crdate).
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "store.h"

namespace engine {

struct DatabaseInfo {
  int32_t dbid = 0;  // master 1, user databases from 5
  std::string name;
  std::filesystem::path file;
  DateTime crdate;
};

class Server {
 public:
  // Opens the server directory; `create` makes it (and master) when missing. Throws SqlError
  // (ServerUnusable, fatal scope) for a missing or unusable directory.
  static std::unique_ptr<Server> Open(const std::filesystem::path& dir, bool create);
  ~Server();

  [[nodiscard]] const std::filesystem::path& directory() const { return dir_; }

  // Throws LoginFailed (18456) when server.ini has [Logins] and the pair does not match.
  // Integrated security passes when the OS user is listed (any password) or no [Logins].
  void CheckLogin(std::string_view user, std::string_view password, bool integrated) const;

  // Databases in creation order, master first; read afresh from master at each call.
  std::vector<DatabaseInfo> ListDatabases();
  std::optional<DatabaseInfo> FindDatabase(std::string_view name);  // collation-aware
  // Opens the store of a database, nullptr when there is no such database.
  std::unique_ptr<Store> OpenDatabase(std::string_view name);
  Store& master();
  void CreateDatabase(std::string_view name);  // 1801 when it exists
  void DropDatabase(std::string_view name);    // 3701 when missing

  // trace.jsonl: {"db":...,"sql":...,"rows":n} or {"db":...,"sql":...,"error":N,"message":...}
  [[nodiscard]] bool trace_enabled() const { return trace_; }
  void Trace(std::string_view db, std::string_view sql, const BatchResult& result);

 private:
  void CloseTrace();
  Server() = default;
  std::filesystem::path dir_;
  bool trace_ = false;
  int trace_fd_ = -1;  // trace.jsonl kept open between batches (POSIX); -1 when not open
  bool check_logins_ = false;
  std::vector<std::pair<std::string, std::string>> logins_;
  std::unique_ptr<Store> master_;
};

}  // namespace engine
