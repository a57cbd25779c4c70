// Store's row writes and the mapping of unique-index failures to SQL Server's duplicate-key
// errors (2627 for PRIMARY KEY / UNIQUE constraints, 2601 for unique indexes).
#include "errors.h"
#include "storage/index_util.h"
#include "storage/sqlite_util.h"
#include "storage/store_impl.h"
#include "storage/value_codec.h"

namespace engine {

namespace {

std::string IndexKey(char kind, const TableDef& t, const IndexDef& index) {
  std::string key(1, kind);
  key += std::to_string(t.id) + "/" + std::to_string(index.index_id);
  return key;
}

void BindRow(sqlite3_stmt* stmt, const TableDef& t, const Row& row) {
  static const Value kNull;
  for (size_t i = 0; i < t.columns.size(); ++i) {
    storage::BindValue(stmt, static_cast<int>(i) + 1, t.columns[i].type, i < row.size() ? row[i] : kNull);
  }
}

bool HasNullKey(const IndexDef& index, const Row& row) {
  for (int o : index.columns) {
    auto ordinal = static_cast<size_t>(o);
    if (ordinal >= row.size() || row[ordinal].is_null()) return true;
  }
  return false;
}

// Whether another row (not `self`) has the key of `row` in `index`; `null_is_value` makes NULL
// match NULL as SQL Server's unique indexes do.
bool KeyTaken(sqlite3* db, const std::string& name, storage::StatementCache& cache, bool cacheable, const TableDef& t,
              const IndexDef& index, const Row& row, int64_t self, bool null_is_value) {
  std::string key = cacheable ? IndexKey(null_is_value ? 'N' : 'K', t, index) : std::string();
  storage::Lease q(cache, key, name, [&] {
    std::string sql = "SELECT 1 FROM " + t.StorageName() + " WHERE rowid <> ?1";
    for (size_t i = 0; i < index.columns.size(); ++i) {
      sql += " AND " + storage::KeyColumn(t.columns.at(static_cast<size_t>(index.columns[i])));
      sql += (null_is_value ? " IS ?" : " = ?") + std::to_string(i + 2);
    }
    return sql + " LIMIT 1";
  });
  sqlite3_bind_int64(q.get(), 1, self);
  for (size_t i = 0; i < index.columns.size(); ++i) {
    auto ordinal = static_cast<size_t>(index.columns[i]);
    const Value& v = row.at(ordinal);
    if (v.is_null()) {
      sqlite3_bind_null(q.get(), static_cast<int>(i) + 2);
    } else if (!storage::BindKey(q.get(), static_cast<int>(i) + 2, t.columns[ordinal].type, v)) {
      return false;
    }
  }
  int rc = sqlite3_step(q.get());
  if (rc == SQLITE_ROW) return true;
  if (rc != SQLITE_DONE) storage::ThrowSqlite(db, rc, name, "checking a unique key of '" + t.name + "'");
  return false;
}

constexpr int64_t kNoRow = 0;  // rowids of stored rows are >= 1

}  // namespace

void Store::Impl::CheckNullKeys(const TableDef& t, const Row& row, int64_t self) {
  // SQLite's unique indexes let any number of NULL keys in; SQL Server's treat NULL as one
  // value. Only keys holding a NULL need this extra look-up.
  for (const IndexDef& index : t.indexes) {
    if (!index.unique || !HasNullKey(index, row) || row.size() < t.columns.size()) continue;
    if (KeyTaken(db, name, cache, Cacheable(t), t, index, row, self, true)) {
      throw storage::DuplicateError(t, index, row);
    }
  }
}

void Store::Impl::ThrowDuplicate(const TableDef& t, const Row& row, int64_t self, int rc) {
  std::string sqlite_text = sqlite3_errmsg(db);
  if (rc != SQLITE_CONSTRAINT_UNIQUE && rc != SQLITE_CONSTRAINT_PRIMARYKEY) {
    storage::ThrowSqlite(db, rc, name, "writing a row of '" + t.name + "'");
  }
  const IndexDef* first_unique = nullptr;
  for (const IndexDef& index : t.indexes) {
    if (!index.unique || HasNullKey(index, row)) continue;
    if (!first_unique) first_unique = &index;
    if (KeyTaken(db, name, cache, Cacheable(t), t, index, row, self, false)) {
      throw storage::DuplicateError(t, index, row);
    }
  }
  if (first_unique) throw storage::DuplicateError(t, *first_unique, row);
  throw err::StorageFailure(name, "writing a row of '" + t.name + "': " + sqlite_text);
}

int64_t Store::Insert(const TableDef& table, const Row& row) {
  Impl& impl = *impl_;
  impl.CheckNullKeys(table, row, kNoRow);
  std::string key = impl.Cacheable(table) ? IndexKey('I', table, IndexDef{}) : std::string();
  storage::Lease q(impl.cache, key, name_, [&] {
    std::string columns, values;
    for (size_t i = 0; i < table.columns.size(); ++i) {
      columns += (i ? ", " : "") + TableDef::StorageColumn(table.columns[i]);
      values += (i ? ", ?" : "?") + std::to_string(i + 1);
    }
    return "INSERT INTO " + table.StorageName() + "(" + columns + ") VALUES (" + values + ")";
  });
  BindRow(q.get(), table, row);
  int rc = sqlite3_step(q.get());
  if (rc == SQLITE_DONE) return sqlite3_last_insert_rowid(db_);
  if ((rc & 0xff) == SQLITE_CONSTRAINT) impl.ThrowDuplicate(table, row, kNoRow, rc);
  storage::ThrowSqlite(db_, rc, name_, "inserting into '" + table.name + "'");
}

void Store::Update(const TableDef& table, int64_t rowid, const Row& row) {
  Impl& impl = *impl_;
  impl.CheckNullKeys(table, row, rowid);
  std::string key = impl.Cacheable(table) ? IndexKey('U', table, IndexDef{}) : std::string();
  storage::Lease q(impl.cache, key, name_, [&] {
    std::string sql = "UPDATE " + table.StorageName() + " SET ";
    for (size_t i = 0; i < table.columns.size(); ++i) {
      sql += (i ? ", " : "") + TableDef::StorageColumn(table.columns[i]) + " = ?" + std::to_string(i + 1);
    }
    return sql + " WHERE rowid = ?" + std::to_string(table.columns.size() + 1);
  });
  BindRow(q.get(), table, row);
  sqlite3_bind_int64(q.get(), static_cast<int>(table.columns.size()) + 1, rowid);
  int rc = sqlite3_step(q.get());
  if (rc == SQLITE_DONE) return;
  if ((rc & 0xff) == SQLITE_CONSTRAINT) impl.ThrowDuplicate(table, row, rowid, rc);
  storage::ThrowSqlite(db_, rc, name_, "updating '" + table.name + "'");
}

void Store::Delete(const TableDef& table, int64_t rowid) {
  Impl& impl = *impl_;
  std::string key = impl.Cacheable(table) ? IndexKey('D', table, IndexDef{}) : std::string();
  storage::Lease q(impl.cache, key, name_, [&] { return "DELETE FROM " + table.StorageName() + " WHERE rowid = ?1"; });
  sqlite3_bind_int64(q.get(), 1, rowid);
  int rc = sqlite3_step(q.get());
  if (rc != SQLITE_DONE) storage::ThrowSqlite(db_, rc, name_, "deleting from '" + table.name + "'");
}

void Store::DeleteAll(const TableDef& table) {
  // Without a WHERE clause SQLite drops the pages wholesale instead of row by row.
  storage::Exec(db_, name_, "DELETE FROM " + table.StorageName());
}

}  // namespace engine
