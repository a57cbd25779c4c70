// Private state of Store shared by store.cpp (connection, transactions), store_catalog.cpp
// (metadata tables, catalog), store_ddl.cpp and store_constraints.cpp (DDL), store_identity.cpp,
// store_rows.cpp and store_write.cpp (row access).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalog.h"
#include "store.h"

namespace engine {

namespace storage {

// Prepared statements by key. A key may have several statements because a scan can be open
// while the same kind of scan runs again inside its callback (self joins, correlated
// subqueries); a statement is leased for the duration of one use.
class StatementCache {
 public:
  explicit StatementCache(sqlite3* db) : db_(db) {}
  ~StatementCache() { Clear(); }
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  struct Slot {
    std::vector<sqlite3_stmt*> free;
  };
  // The idle statements of `key` (created empty on first use).
  Slot& SlotFor(const std::string& key) { return slots_[key]; }
  // Finalizes every idle statement; leased ones are finalized when they come back.
  void Clear();
  uint64_t generation() const { return generation_; }
  sqlite3* db() const { return db_; }

 private:
  sqlite3* db_;
  uint64_t generation_ = 0;
  std::unordered_map<std::string, Slot> slots_;
};

// One use of a cached statement: prepared on demand, reset and returned on destruction. An
// empty key means "do not cache": the statement is prepared for this use only.
class Lease {
 public:
  // `sql` is only called when no idle statement exists for `key`.
  template <typename SqlFn>
  Lease(StatementCache& cache, const std::string& key, std::string_view db_name, SqlFn&& sql)
      : cache_(cache), slot_(key.empty() ? nullptr : &cache.SlotFor(key)), generation_(cache.generation()) {
    if (slot_ && !slot_->free.empty()) {
      stmt_ = slot_->free.back();
      slot_->free.pop_back();
    } else {
      Prepare(sql(), db_name);
    }
  }
  ~Lease();
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;
  [[nodiscard]] sqlite3_stmt* get() const { return stmt_; }

 private:
  void Prepare(const std::string& sql, std::string_view db_name);
  StatementCache& cache_;
  StatementCache::Slot* slot_;
  uint64_t generation_;
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace storage

struct Store::Impl {
  Impl(sqlite3* handle, std::string db_name) : db(handle), name(std::move(db_name)), cache(handle) {}

  // ---- store_catalog.cpp ----
  void CreateMetadataTables();  // idempotent: a new file gets the engine's tables
  void CheckFormat();           // DatabaseFileUnusable unless this is an engine database
  void LoadCatalog();
  // At the start of a SQLite transaction: reloads the catalog when another connection changed
  // the schema (or a rollback undid DDL of this one).
  void CheckSchema();
  // After every DDL call: persists a new schema version and drops what depended on the old one.
  void SchemaChanged();
  int64_t ReadMetaInt(const char* key);
  void WriteMetaInt(const char* key, int64_t value);
  // ---- store.cpp ----
  // Runs a transaction control statement (BEGIN, COMMIT, SAVEPOINT s1, ...) from the cache.
  void Control(const std::string& sql);
  // ---- store_rows.cpp ----
  // True when statements for `t` may be cached: it is the catalog's own, current definition.
  bool Cacheable(const TableDef& t) const;
  // Rows whose columns `ordinals` equal `keys` (all rows when empty), with every column
  // (`all`) or the `wanted` ones.
  void ReadRows(const TableDef& t, std::span<const int> ordinals, std::span<const Value> keys,
                std::span<const int> wanted, bool all, const RowCallback& cb);
  // Writes of a row that must honour unique indexes (store_write.cpp).
  void CheckNullKeys(const TableDef& t, const Row& row, int64_t self);
  [[noreturn]] void ThrowDuplicate(const TableDef& t, const Row& row, int64_t self, int rc);
  // ---- store_ddl.cpp ----
  TableDef& MutableTable(int32_t id);  // StorageFailure when the id is unknown (a caller bug)

  sqlite3* db;
  std::string name;

  Catalog catalog;
  bool catalog_stale = false;      // a rollback undid DDL: reload before the next use
  int64_t data_version = -1;       // PRAGMA data_version when the catalog was last checked
  int64_t schema_version = -1;     // _meta.schema_version the catalog reflects
  uint64_t ddl_epoch = 0;          // counts DDL calls of this connection (rollback detection)
  uint64_t transaction_epoch = 0;  // ddl_epoch at BEGIN TRANSACTION

  // Open statement transactions, innermost last: 0 = a whole SQLite transaction, n > 0 = the
  // savepoint "s<n>". `epoch` is ddl_epoch at its start.
  struct Frame {
    int savepoint = 0;
    uint64_t epoch = 0;
  };
  std::vector<Frame> frames;

  // Identity values handed out since the outermost transaction began (table id -> highest value
  // and increment). SQL Server never gives an identity value back, so after a rollback they are
  // written again (store_identity.cpp); the outermost commit forgets them.
  struct Handed {
    int64_t value = 0;
    int64_t increment = 1;
  };
  std::map<int32_t, Handed> identity_handed;
  void NoteHanded(int32_t table_id, int64_t value, int64_t increment);
  void ReapplyIdentity() noexcept;

  storage::StatementCache cache;
};

}  // namespace engine
