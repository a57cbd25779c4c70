#include <sqlite3.h>

#include <stdexcept>

#include "backend.h"

namespace bench {
namespace {

class SqliteBackend : public Backend {
 public:
  explicit SqliteBackend(const std::filesystem::path& file) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open(file.string().c_str(), &db);
    db_.reset(db);  // sqlite3_open hands out a handle even when it fails
    if (rc != SQLITE_OK) Fail("open " + file.string());
    Execute("PRAGMA journal_mode=WAL");
    Execute("PRAGMA synchronous=NORMAL");
  }

  std::string_view name() const override { return "sqlite"; }

  // sqlite3_exec prepares the text every time, the same work the engine does for a batch.
  void Execute(const std::string& sql) override {
    char* message = nullptr;
    if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      std::string text = message != nullptr ? message : "unknown error";
      sqlite3_free(message);
      throw std::runtime_error("sqlite: " + text + "\n  in: " + sql.substr(0, 200));
    }
  }

  int64_t QueryInt(const std::string& sql) override {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
      Fail(sql);
    }
    int rc = sqlite3_step(statement);
    int64_t value = rc == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : 0;
    sqlite3_finalize(statement);
    if (rc != SQLITE_ROW) Fail(sql);
    return value;
  }

  int64_t QueryRowCount(const std::string& sql) override {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
      Fail(sql);
    }
    int64_t rows = 0;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) ++rows;
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE) Fail(sql);
    return rows;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(std::string("sqlite: ") + sqlite3_errmsg(db_.get()) + "\n  in: " + what.substr(0, 200));
  }

  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db_{nullptr, &sqlite3_close};
};

}  // namespace

std::unique_ptr<Backend> OpenSqlite(const std::filesystem::path& dir, bool create) {
  if (create) std::filesystem::create_directories(dir);
  return std::make_unique<SqliteBackend>(dir / "bench.db");
}

}  // namespace bench
