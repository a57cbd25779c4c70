// Thin RAII helpers over the SQLite C API shared by the storage files. Every SQLite failure is
// turned into a SqlError here, so that no caller ever sees a raw result code.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/engine.h"

namespace engine::storage {

// Throws the SqlError that matches a failed SQLite call on `db` (DatabaseFileUnusable for a
// corrupt or foreign file, StorageFailure otherwise). `what` says what the engine was doing.
[[noreturn]] void ThrowSqlite(sqlite3* db, int rc, std::string_view db_name, std::string_view what);

// Runs SQL text without results (DDL, pragmas, BEGIN/COMMIT); throws on failure.
void Exec(sqlite3* db, std::string_view db_name, const std::string& sql);

// A prepared statement owned by its user (the hot paths use Store's cache instead).
class Stmt {
 public:
  Stmt(sqlite3* db, std::string_view db_name, std::string_view sql);
  ~Stmt() { sqlite3_finalize(stmt_); }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  sqlite3_stmt* get() { return stmt_; }
  // Advances; true while a row is available. Throws on failure.
  bool Step();
  // Steps a statement that returns nothing and resets it.
  void Run();

  void Bind(int i, int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
  void Bind(int i, std::string_view v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  int64_t Int(int col) { return sqlite3_column_int64(stmt_, col); }
  std::string Text(int col);
  bool IsNull(int col) { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }

 private:
  sqlite3* db_;
  std::string_view db_name_;
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace engine::storage
