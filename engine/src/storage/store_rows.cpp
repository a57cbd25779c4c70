// Store's row reads: scans, equality seeks and counts (the writes are in store_write.cpp). These are
// the hot paths of every statement, so the SQL of each shape is prepared once and kept in the statement cache
// (keyed by table, shape and columns; cleared on any schema change), and rows are decoded into
// one reused buffer per call.
#include <array>
#include <cstring>

#include "errors.h"
#include "storage/index_util.h"
#include "storage/sqlite_util.h"
#include "storage/store_impl.h"
#include "storage/value_codec.h"

namespace engine {

namespace {

// Cache key of a statement shape. Only tables of the store's own catalog are cached: a caller's
// copy of an older definition (ALTER COLUMN reading the old layout) may map ordinals to other
// colids, so its statements are prepared for one use (empty key).
std::string ShapeKey(char kind, const TableDef& t, std::span<const int> a, std::span<const int> b, bool cacheable) {
  if (!cacheable) return {};
  std::string key;
  key.reserve(8 + 2 * (a.size() + b.size()));
  key += kind;
  std::array<char, sizeof(int32_t)> id{};
  std::memcpy(id.data(), &t.id, id.size());
  key.append(id.data(), id.size());
  for (int o : a) {
    key += static_cast<char>(o & 0xff);
    key += static_cast<char>((o >> 8) & 0xff);
  }
  key += '|';
  for (int o : b) {
    key += static_cast<char>(o & 0xff);
    key += static_cast<char>((o >> 8) & 0xff);
  }
  return key;
}

// "rowid, c1, c2, ..." for all columns or the `wanted` ones.
std::string SelectList(const TableDef& t, std::span<const int> wanted, bool all) {
  std::string out = "rowid";
  if (all) {
    for (const ColumnDef& c : t.columns) out += ", " + TableDef::StorageColumn(c);
  } else {
    for (int o : wanted) out += ", " + TableDef::StorageColumn(t.columns.at(static_cast<size_t>(o)));
  }
  return out;
}

// " WHERE c3 COLLATE TSQL_CI = ?1 AND c4 = ?2"
std::string KeyCondition(const TableDef& t, std::span<const int> ordinals) {
  std::string out;
  for (size_t i = 0; i < ordinals.size(); ++i) {
    out += i ? " AND " : " WHERE ";
    out += storage::KeyColumn(t.columns.at(static_cast<size_t>(ordinals[i]))) + " = ?" + std::to_string(i + 1);
  }
  return out;
}

bool BindKeys(sqlite3_stmt* stmt, const TableDef& t, std::span<const int> ordinals, std::span<const Value> keys) {
  if (keys.size() != ordinals.size()) return false;
  for (size_t i = 0; i < ordinals.size(); ++i) {
    const ColumnDef& c = t.columns.at(static_cast<size_t>(ordinals[i]));
    if (!storage::BindKey(stmt, static_cast<int>(i) + 1, c.type, keys[i])) return false;
  }
  return true;
}

// Steps `stmt` and hands every row to `cb`, decoded into one buffer. Column 0 is the rowid;
// the rest are all columns of `t` in order, or the `wanted` ones.
void RunRows(sqlite3* db, const std::string& name, sqlite3_stmt* stmt, const TableDef& t, std::span<const int> wanted,
             bool all, const RowCallback& cb) {
  Row row(t.columns.size());
  for (size_t i = 0; i < row.size(); ++i) row[i] = Value::Null(t.columns[i].type);
  for (;;) {
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) return;
    if (rc != SQLITE_ROW) storage::ThrowSqlite(db, rc, name, "reading table '" + t.name + "'");
    if (all) {
      for (size_t i = 0; i < row.size(); ++i)
        storage::DecodeValue(stmt, static_cast<int>(i) + 1, t.columns[i].type, row[i]);
    } else {
      // The callback may have scribbled on the buffer: columns not read are NULL again.
      for (size_t i = 0; i < row.size(); ++i) {
        if (!row[i].is_null()) row[i] = Value::Null(t.columns[i].type);
      }
      for (size_t k = 0; k < wanted.size(); ++k) {
        auto o = static_cast<size_t>(wanted[k]);
        storage::DecodeValue(stmt, static_cast<int>(k) + 1, t.columns.at(o).type, row[o]);
      }
    }
    if (!cb(sqlite3_column_int64(stmt, 0), row)) return;
  }
}

}  // namespace

// ---- Reading ----------------------------------------------------------------------------------

bool Store::Impl::Cacheable(const TableDef& t) const { return !catalog_stale && catalog.TableById(t.id) == &t; }

void Store::Impl::ReadRows(const TableDef& t, std::span<const int> ordinals, std::span<const Value> keys,
                           std::span<const int> wanted, bool all, const RowCallback& cb) {
  std::string key = ShapeKey(all ? 'S' : 's', t, ordinals, wanted, Cacheable(t));
  storage::Lease q(cache, key, name, [&] {
    return "SELECT " + SelectList(t, wanted, all) + " FROM " + t.StorageName() + KeyCondition(t, ordinals);
  });
  if (!BindKeys(q.get(), t, ordinals, keys)) return;  // no stored value can equal the key
  RunRows(db, name, q.get(), t, wanted, all, cb);
}

void Store::Scan(const TableDef& table, const RowCallback& cb) { impl_->ReadRows(table, {}, {}, {}, true, cb); }

void Store::ScanColumns(const TableDef& table, std::span<const int> wanted, const RowCallback& cb) {
  impl_->ReadRows(table, {}, {}, wanted, false, cb);
}

void Store::SeekEq(const TableDef& table, std::span<const int> ordinals, std::span<const Value> keys,
                   const RowCallback& cb) {
  impl_->ReadRows(table, ordinals, keys, {}, true, cb);
}

void Store::SeekEqColumns(const TableDef& table, std::span<const int> ordinals, std::span<const Value> keys,
                          std::span<const int> wanted, const RowCallback& cb) {
  impl_->ReadRows(table, ordinals, keys, wanted, false, cb);
}

int64_t Store::CountEq(const TableDef& table, std::span<const int> ordinals, std::span<const Value> keys) {
  Impl& impl = *impl_;
  std::string key = ShapeKey('C', table, ordinals, {}, impl.Cacheable(table));
  storage::Lease q(impl.cache, key, name_,
                   [&] { return "SELECT count(*) FROM " + table.StorageName() + KeyCondition(table, ordinals); });
  if (!BindKeys(q.get(), table, ordinals, keys)) return 0;
  int rc = sqlite3_step(q.get());
  if (rc != SQLITE_ROW) storage::ThrowSqlite(db_, rc, name_, "counting rows of '" + table.name + "'");
  return sqlite3_column_int64(q.get(), 0);
}

int64_t Store::CountRows(const TableDef& table) { return CountEq(table, {}, {}); }

bool Store::Get(const TableDef& table, int64_t rowid, Row& out) {
  Impl& impl = *impl_;
  std::string key = ShapeKey('G', table, {}, {}, impl.Cacheable(table));
  storage::Lease q(impl.cache, key, name_, [&] {
    return "SELECT " + SelectList(table, {}, true) + " FROM " + table.StorageName() + " WHERE rowid = ?1";
  });
  sqlite3_bind_int64(q.get(), 1, rowid);
  int rc = sqlite3_step(q.get());
  if (rc == SQLITE_DONE) return false;
  if (rc != SQLITE_ROW) storage::ThrowSqlite(db_, rc, name_, "reading table '" + table.name + "'");
  out.resize(table.columns.size());
  for (size_t i = 0; i < out.size(); ++i) {
    storage::DecodeValue(q.get(), static_cast<int>(i) + 1, table.columns[i].type, out[i]);
  }
  return true;
}

}  // namespace engine
