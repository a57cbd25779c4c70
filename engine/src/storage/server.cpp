// Server: the server directory, master's list of databases, and logins. master is an ordinary
// engine database (master.sqlite) with one extra table, _databases; user databases live in
// files named after their dbid (db5.sqlite), never after their name, which may hold any
// character.
#include "server.h"

#include <sqlite3.h>

#include <cstdlib>
#include <system_error>

#include "errors.h"
#include "storage/server_ini.h"
#include "storage/sqlite_util.h"
#include "storage/value_codec.h"
#include "values.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace engine {

namespace {

constexpr int32_t kFirstUserDbid = 5;  // 2-4 belong to SQL Server's tempdb, model and msdb
constexpr const char* kMasterFile = "master.sqlite";

bool IsEmptyDirectory(const std::filesystem::path& dir) {
  std::error_code ec;
  return std::filesystem::directory_iterator(dir, ec) == std::filesystem::directory_iterator() && !ec;
}

void RemoveDatabaseFiles(const std::filesystem::path& file) {
  std::error_code ec;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    std::filesystem::remove(file.string() + suffix, ec);
  }
}

std::string OsUserName() {
  for (const char* var : {"USER", "USERNAME", "LOGNAME"}) {
    if (const char* v = std::getenv(var); v && *v) return v;
  }
#ifndef _WIN32
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name) return pw->pw_name;
#endif
  return {};
}

bool TruthyIni(std::string_view v) {
  return v == "1" || storage::EqualsIgnoreCase(v, "true") || storage::EqualsIgnoreCase(v, "yes") ||
         storage::EqualsIgnoreCase(v, "on");
}

std::filesystem::path PrepareDirectory(const std::filesystem::path& dir, bool create) {
  std::error_code ec;
  if (!std::filesystem::exists(dir, ec)) {
    if (!create) throw err::ServerUnusable("The server directory '" + dir.string() + "' does not exist.");
    std::filesystem::create_directories(dir, ec);
    if (ec) {
      throw err::ServerUnusable("The server directory '" + dir.string() + "' cannot be created: " + ec.message() + ".");
    }
  } else if (!std::filesystem::is_directory(dir, ec)) {
    throw err::ServerUnusable("The server directory '" + dir.string() + "' is not a directory.");
  }
  std::filesystem::path master = dir / kMasterFile;
  if (!create && !std::filesystem::exists(master, ec) && !IsEmptyDirectory(dir)) {
    throw err::ServerUnusable("The directory '" + dir.string() + "' is not a server directory (it has no " +
                              kMasterFile + ").");
  }
  return master;
}

}  // namespace

std::unique_ptr<Server> Server::Open(const std::filesystem::path& dir, bool create) {
  std::filesystem::path master_file = PrepareDirectory(dir, create);
  std::unique_ptr<Server> server(new Server());
  server->dir_ = dir;
  std::error_code ec;
  bool new_master = !std::filesystem::exists(master_file, ec);
  try {
    server->master_ = Store::Open(master_file, "master", new_master);
    sqlite3* db = server->master_->handle();
    storage::Exec(db, "master",
                  "CREATE TABLE IF NOT EXISTS _databases(dbid INTEGER PRIMARY KEY, name TEXT NOT NULL,"
                  " file TEXT NOT NULL, crdate TEXT NOT NULL)");
    storage::Stmt add(db, "master",
                      "INSERT OR IGNORE INTO _databases(dbid, name, file, crdate) VALUES (1, 'master', ?1, ?2)");
    add.Bind(1, std::string_view(kMasterFile));
    add.Bind(2, storage::EncodeDateTime(Now()));
    add.Run();
  } catch (const SqlError& e) {
    throw err::ServerUnusable("The server directory '" + dir.string() + "' cannot be used: " + e.text());
  }
  storage::IniFile ini = storage::ReadIni(dir / "server.ini");
  server->trace_ = TruthyIni(ini.Get("Server", "Trace").value_or(""));
  if (const storage::IniSection* logins = ini.Find("Logins")) {
    server->check_logins_ = true;
    server->logins_ = logins->entries;
  }
  return server;
}

Server::~Server() { CloseTrace(); }

Store& Server::master() { return *master_; }

void Server::CheckLogin(std::string_view user, std::string_view password, bool integrated) const {
  if (!check_logins_) return;
  std::string os_user = integrated ? OsUserName() : std::string();
  std::string_view login = integrated ? std::string_view(os_user) : user;
  for (const auto& [name, secret] : logins_) {
    // Login names follow the server collation (case-insensitive); passwords are exact.
    if (!CollateEqual(name, login)) continue;
    if (integrated || secret == password) return;
  }
  throw err::LoginFailed(login);
}

std::vector<DatabaseInfo> Server::ListDatabases() {
  std::vector<DatabaseInfo> out;
  storage::Stmt q(master_->handle(), "master", "SELECT dbid, name, file, crdate FROM _databases ORDER BY dbid");
  while (q.Step()) {
    DatabaseInfo info;
    info.dbid = static_cast<int32_t>(q.Int(0));
    info.name = q.Text(1);
    info.file = dir_ / q.Text(2);
    info.crdate = storage::DecodeDateTime(q.Text(3)).value_or(DateTime{});
    out.push_back(std::move(info));
  }
  return out;
}

std::optional<DatabaseInfo> Server::FindDatabase(std::string_view name) {
  for (DatabaseInfo& info : ListDatabases()) {
    if (CollateEqual(info.name, name)) return std::move(info);
  }
  return std::nullopt;
}

std::unique_ptr<Store> Server::OpenDatabase(std::string_view name) {
  std::optional<DatabaseInfo> info = FindDatabase(name);
  if (!info) return nullptr;
  return Store::Open(info->file, info->name, false);
}

void Server::CreateDatabase(std::string_view name) {
  Store& m = *master_;
  std::filesystem::path file;
  bool file_made = false;
  m.BeginStatement(true);
  try {
    // Inside the write lock of master: no other session can take the name or the id meanwhile.
    if (FindDatabase(name)) throw err::DatabaseExists(name);
    int32_t dbid = kFirstUserDbid;
    for (const DatabaseInfo& info : ListDatabases()) dbid = std::max(dbid, info.dbid + 1);
    std::string file_name = "db" + std::to_string(dbid) + ".sqlite";
    file = dir_ / file_name;
    RemoveDatabaseFiles(file);  // left over by a crash between file removal and commit
    file_made = true;
    Store::Open(file, std::string(name), true);
    storage::Stmt add(m.handle(), "master", "INSERT INTO _databases(dbid, name, file, crdate) VALUES (?1, ?2, ?3, ?4)");
    add.Bind(1, int64_t{dbid});
    add.Bind(2, name);
    add.Bind(3, file_name);
    add.Bind(4, storage::EncodeDateTime(Now()));
    add.Run();
    m.CommitStatement();
  } catch (...) {
    m.RollbackStatement();
    if (file_made) RemoveDatabaseFiles(file);
    throw;
  }
}

void Server::DropDatabase(std::string_view name) {
  Store& m = *master_;
  std::filesystem::path file;
  m.BeginStatement(true);
  try {
    std::optional<DatabaseInfo> info = FindDatabase(name);
    if (!info) throw err::CannotDrop("database", name);
    if (info->dbid < kFirstUserDbid) throw err::SystemDatabase(info->name);
    storage::Stmt del(m.handle(), "master", "DELETE FROM _databases WHERE dbid = ?1");
    del.Bind(1, int64_t{info->dbid});
    del.Run();
    file = info->file;
    m.CommitStatement();
  } catch (...) {
    m.RollbackStatement();
    throw;
  }
  // The row is gone for good; a file that cannot be removed now (still open elsewhere on
  // Windows) is harmless and is replaced when its id is used again.
  RemoveDatabaseFiles(file);
}

}  // namespace engine
