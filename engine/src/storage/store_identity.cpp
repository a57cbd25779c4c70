// IDENTITY counters, one row per table in _identity. The counter moves inside the statement's
// transaction; values handed out are remembered and written again after a rollback, so a
// rolled-back insert leaves a gap in the numbering as on SQL Server.
#include "errors.h"
#include "storage/sqlite_util.h"
#include "storage/store_impl.h"

namespace engine {

namespace {

// Moves the counter of table ?1 past the value ?2 (in the direction of the increment ?3).
constexpr const char* kNoteIdentitySql =
    "INSERT INTO _identity(table_id, current_value, has_value) VALUES (?1, ?2, 1)"
    " ON CONFLICT(table_id) DO UPDATE SET current_value = CASE"
    " WHEN has_value = 0 THEN ?2 WHEN ?3 > 0 THEN max(current_value, ?2) ELSE min(current_value, ?2) END,"
    " has_value = 1";

const ColumnDef& IdentityOf(const TableDef& table) {
  auto ordinal = table.IdentityColumn();
  if (!ordinal) throw err::NoIdentityProperty(table.name);
  return table.columns[static_cast<size_t>(*ordinal)];
}

}  // namespace

int64_t Store::NextIdentity(const TableDef& table) {
  const ColumnDef& column = IdentityOf(table);
  storage::Lease q(impl_->cache, "#identity_next", name_, [] {
    return std::string(
        "INSERT INTO _identity(table_id, current_value, has_value) VALUES (?1, ?2, 1)"
        " ON CONFLICT(table_id) DO UPDATE SET"
        " current_value = CASE WHEN has_value THEN current_value + ?3 ELSE ?2 END, has_value = 1"
        " RETURNING current_value");
  });
  sqlite3_bind_int64(q.get(), 1, table.id);
  sqlite3_bind_int64(q.get(), 2, column.seed);
  sqlite3_bind_int64(q.get(), 3, column.increment);
  int rc = sqlite3_step(q.get());
  if (rc != SQLITE_ROW) storage::ThrowSqlite(db_, rc, name_, "advancing the identity of '" + table.name + "'");
  int64_t value = sqlite3_column_int64(q.get(), 0);
  // RETURNING completes its write only when the statement runs to its end.
  rc = sqlite3_step(q.get());
  if (rc != SQLITE_DONE) storage::ThrowSqlite(db_, rc, name_, "advancing the identity of '" + table.name + "'");
  impl_->NoteHanded(table.id, value, column.increment);
  return value;
}

void Store::NoteIdentity(const TableDef& table, int64_t value) {
  const ColumnDef& column = IdentityOf(table);
  storage::Lease q(impl_->cache, "#identity_note", name_, [] { return std::string(kNoteIdentitySql); });
  sqlite3_bind_int64(q.get(), 1, table.id);
  sqlite3_bind_int64(q.get(), 2, value);
  sqlite3_bind_int64(q.get(), 3, column.increment);
  int rc = sqlite3_step(q.get());
  if (rc != SQLITE_DONE) storage::ThrowSqlite(db_, rc, name_, "recording the identity of '" + table.name + "'");
  impl_->NoteHanded(table.id, value, column.increment);
}

void Store::ResetIdentity(const TableDef& table) {
  impl_->identity_handed.erase(table.id);
  storage::Stmt q(db_, name_, "UPDATE _identity SET has_value = 0 WHERE table_id = ?1");
  q.Bind(1, int64_t{table.id});
  q.Run();
}

void Store::Impl::NoteHanded(int32_t table_id, int64_t value, int64_t increment) {
  auto [it, inserted] = identity_handed.try_emplace(table_id, Handed{value, increment});
  if (inserted) return;
  Handed& h = it->second;
  if (increment > 0 ? value > h.value : value < h.value) h.value = value;
}

void Store::Impl::ReapplyIdentity() noexcept {
  // Runs while a rollback's error is on its way out: a failure here only loses the gap.
  for (const auto& [table_id, h] : identity_handed) {
    sqlite3_stmt* q = nullptr;
    if (sqlite3_prepare_v2(db, kNoteIdentitySql, -1, &q, nullptr) != SQLITE_OK) {
      sqlite3_finalize(q);
      return;
    }
    sqlite3_bind_int64(q, 1, table_id);
    sqlite3_bind_int64(q, 2, h.value);
    sqlite3_bind_int64(q, 3, h.increment);
    sqlite3_step(q);
    sqlite3_finalize(q);
  }
}

}  // namespace engine
