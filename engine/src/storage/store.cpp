// Store: opening a database file, the connection's settings, statement transactions and the
// prepared-statement cache. The catalog lives in store_catalog.cpp, DDL in store_ddl.cpp and
// store_constraints.cpp, rows in store_rows.cpp and store_write.cpp.
#include "store.h"

#include <algorithm>

#include "errors.h"
#include "storage/sqlite_util.h"
#include "storage/store_impl.h"
#include "values.h"

namespace engine {

namespace storage {

void StatementCache::Clear() {
  for (auto& [key, slot] : slots_) {
    for (sqlite3_stmt* stmt : slot.free) sqlite3_finalize(stmt);
  }
  slots_.clear();
  ++generation_;
}

Lease::~Lease() {
  if (!stmt_) return;
  sqlite3_reset(stmt_);
  if (!slot_ || generation_ != cache_.generation()) {
    sqlite3_finalize(stmt_);  // the schema changed while the statement was in use
    return;
  }
  slot_->free.push_back(stmt_);
}

void Lease::Prepare(const std::string& sql, std::string_view db_name) {
  int rc = sqlite3_prepare_v3(cache_.db(), sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt_,
                              nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    ThrowSqlite(cache_.db(), rc, db_name, "preparing \"" + sql.substr(0, 200) + "\"");
  }
}

}  // namespace storage

namespace {

constexpr int kBusyTimeoutMs = 60000;  // sessions of one server wait for each other's writes

int CollateCallback(void*, int n1, const void* s1, int n2, const void* s2) {
  int c = CollateCompare(std::string_view(static_cast<const char*>(s1), static_cast<size_t>(n1)),
                         std::string_view(static_cast<const char*>(s2), static_cast<size_t>(n2)));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Connection settings every engine connection uses (see store.h for why).
void Configure(sqlite3* db, const std::string& name) {
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  sqlite3_extended_result_codes(db, 1);
  int rc = sqlite3_create_collation_v2(db, "TSQL_CI", SQLITE_UTF8, nullptr, CollateCallback, nullptr);
  if (rc != SQLITE_OK) storage::ThrowSqlite(db, rc, name, "registering the collation TSQL_CI");
  storage::Exec(db, name, "PRAGMA journal_mode=WAL");
  storage::Exec(db, name, "PRAGMA synchronous=NORMAL");
  // Referential integrity is the engine's job: SQL Server's rules (NOCHECK, cascades, error
  // texts) differ from SQLite's.
  storage::Exec(db, name, "PRAGMA foreign_keys=OFF");
  storage::Exec(db, name, "PRAGMA cache_size=-16000");
  storage::Exec(db, name, "PRAGMA temp_store=MEMORY");
}

}  // namespace

// Transaction control runs around every statement: the prepared forms skip SQLite's parser.
void Store::Impl::Control(const std::string& sql) {
  storage::Lease q(cache, "#" + sql, name, [&] { return sql; });
  int rc = sqlite3_step(q.get());
  if (rc != SQLITE_DONE && rc != SQLITE_ROW) storage::ThrowSqlite(db, rc, name, "executing \"" + sql + "\"");
}

Store::Store(sqlite3* db, std::filesystem::path file, std::string name)
    : name_(std::move(name)), file_(std::move(file)), db_(db), impl_(std::make_unique<Impl>(db, name_)) {}

Store::~Store() {
  impl_.reset();  // finalizes the cached statements before the connection closes
  sqlite3_close_v2(db_);
}

std::unique_ptr<Store> Store::Open(const std::filesystem::path& file, std::string name, bool create) {
  std::error_code ec;
  if (!create && !std::filesystem::is_regular_file(file, ec)) {
    throw err::DatabaseFileUnusable(name, "the file '" + file.string() + "' does not exist");
  }
  sqlite3* db = nullptr;
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  int rc = sqlite3_open_v2(file.string().c_str(), &db, flags, nullptr);
  // The Store owns the handle from here on, also when opening failed.
  std::unique_ptr<Store> store(new Store(db, file, std::move(name)));
  if (rc != SQLITE_OK) {
    throw err::DatabaseFileUnusable(store->name_, "the file '" + file.string() + "' cannot be opened: " +
                                                      (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
  }
  try {
    Configure(db, store->name_);
    if (create) store->impl_->CreateMetadataTables();
    store->impl_->CheckFormat();
    store->impl_->LoadCatalog();
  } catch (const SqlError& e) {
    // Name the file, keep SQLite's reason ("file is not a database", "no _meta table").
    const std::string& detail = e.detail().empty() ? e.text() : e.detail();
    throw err::DatabaseFileUnusable(store->name_,
                                    "'" + file.string() + "' is not a usable database file (" + detail + ")");
  }
  return store;
}

// ---- Transactions ------------------------------------------------------------------------------

void Store::BeginStatement(bool write) {
  Impl& impl = *impl_;
  if (trancount_ == 0 && impl.frames.empty()) {
    // Outside BEGIN TRANSACTION a statement is a SQLite transaction of its own; IMMEDIATE takes
    // the write lock up front so two writers queue on the busy timeout instead of deadlocking.
    impl.Control(write ? "BEGIN IMMEDIATE" : "BEGIN");
    impl.frames.push_back({0, impl.ddl_epoch});
    try {
      impl.CheckSchema();
    } catch (...) {
      RollbackStatement();
      throw;
    }
    return;
  }
  // Savepoints are named by depth: the names repeat, so their prepared forms can be reused.
  int n = static_cast<int>(impl.frames.size()) + 1;
  impl.Control("SAVEPOINT s" + std::to_string(n));
  impl.frames.push_back({n, impl.ddl_epoch});
}

void Store::CommitStatement() {
  Impl& impl = *impl_;
  if (impl.frames.empty()) return;
  Impl::Frame frame = impl.frames.back();
  impl.frames.pop_back();
  if (sqlite3_get_autocommit(db_)) return;  // SQLite already ended the transaction after an error
  if (frame.savepoint == 0) {
    try {
      impl.Control("COMMIT");
      impl.identity_handed.clear();
    } catch (...) {
      // A failed COMMIT (disk full) leaves the transaction open: undo it so the next statement
      // starts clean, and report the failure.
      if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      if (impl.ddl_epoch != frame.epoch) impl.catalog_stale = true;
      throw;
    }
  } else {
    impl.Control("RELEASE s" + std::to_string(frame.savepoint));
  }
}

void Store::RollbackStatement() {
  Impl& impl = *impl_;
  if (impl.frames.empty()) return;
  Impl::Frame frame = impl.frames.back();
  impl.frames.pop_back();
  if (impl.ddl_epoch != frame.epoch) impl.catalog_stale = true;
  if (sqlite3_get_autocommit(db_)) return;
  // Rollback must not throw: it runs while another error is on its way out.
  if (frame.savepoint == 0) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  } else {
    std::string sp = "s" + std::to_string(frame.savepoint);
    sqlite3_exec(db_, ("ROLLBACK TO " + sp + "; RELEASE " + sp).c_str(), nullptr, nullptr, nullptr);
  }
  impl.ReapplyIdentity();
  if (trancount_ == 0 && impl.frames.empty()) impl.identity_handed.clear();
}

void Store::BeginTransaction() {
  Impl& impl = *impl_;
  if (trancount_ == 0 && impl.frames.empty() && sqlite3_get_autocommit(db_)) {
    // The write lock is taken at once: a transaction that reads first and writes later could
    // otherwise fail with SQLITE_BUSY instead of waiting for another session.
    storage::Exec(db_, name_, "BEGIN IMMEDIATE");
    impl.transaction_epoch = impl.ddl_epoch;
    try {
      impl.CheckSchema();
    } catch (...) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }
  ++trancount_;
}

void Store::CommitTransaction() {
  if (trancount_ == 0) throw err::NoTransaction(true);
  if (--trancount_ > 0) return;
  if (!impl_->frames.empty() || sqlite3_get_autocommit(db_)) return;
  try {
    storage::Exec(db_, name_, "COMMIT");
    impl_->identity_handed.clear();
  } catch (...) {
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    impl_->catalog_stale = true;
    throw;
  }
}

void Store::RollbackTransaction() {
  if (trancount_ == 0) throw err::NoTransaction(false);
  trancount_ = 0;
  Impl& impl = *impl_;
  if (impl.ddl_epoch != impl.transaction_epoch) impl.catalog_stale = true;
  for (const Impl::Frame& frame : impl.frames) {
    if (impl.ddl_epoch != frame.epoch) impl.catalog_stale = true;
  }
  // Savepoints of statements still running die with the transaction; their commit or rollback
  // then has nothing left to do.
  impl.frames.clear();
  if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  impl.ReapplyIdentity();
  impl.identity_handed.clear();
}

const Catalog& Store::catalog() {
  if (impl_->catalog_stale) impl_->LoadCatalog();
  return impl_->catalog;
}

}  // namespace engine
