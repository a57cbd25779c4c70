// SQLite error mapping and the small statement wrapper used by the storage layer.
#include "storage/sqlite_util.h"

#include "errors.h"

namespace engine::storage {

void ThrowSqlite(sqlite3* db, int rc, std::string_view db_name, std::string_view what) {
  std::string detail = std::string(what) + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
  int primary = rc & 0xff;
  if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB) throw err::DatabaseFileUnusable(db_name, detail);
  throw err::StorageFailure(db_name, detail);
}

void Exec(sqlite3* db, std::string_view db_name, const std::string& sql) {
  int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) ThrowSqlite(db, rc, db_name, "executing \"" + sql.substr(0, 200) + "\"");
}

Stmt::Stmt(sqlite3* db, std::string_view db_name, std::string_view sql) : db_(db), db_name_(db_name) {
  int rc = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), 0, &stmt_, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    ThrowSqlite(db, rc, db_name, "preparing \"" + std::string(sql.substr(0, 200)) + "\"");
  }
}

bool Stmt::Step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  ThrowSqlite(db_, rc, db_name_, "running \"" + std::string(sqlite3_sql(stmt_)).substr(0, 200) + "\"");
}

void Stmt::Run() {
  Step();
  sqlite3_reset(stmt_);
}

std::string Stmt::Text(int col) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
  if (!p) return {};
  return {p, static_cast<size_t>(sqlite3_column_bytes(stmt_, col))};
}

}  // namespace engine::storage
