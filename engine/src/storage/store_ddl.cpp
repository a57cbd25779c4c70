// Store's DDL methods: each writes the metadata tables and the physical SQLite objects, keeps
// the in-memory catalog in step (so that a statement sees its own changes without a reload)
// and bumps the schema version so that other connections reload theirs.
#include <algorithm>

#include "errors.h"
#include "storage/ddl_util.h"
#include "storage/index_util.h"
#include "storage/sqlite_util.h"
#include "storage/store_impl.h"
#include "storage/value_codec.h"
#include "values.h"

namespace engine {

namespace {

using storage::Exec;
using storage::PutObject;
using storage::RunWithId;
using storage::Stmt;
using storage::WriteColumn;
using storage::WriteObject;

std::string CreateTableSql(const TableDef& table) {
  std::string sql = "CREATE TABLE " + table.StorageName() + "(";
  for (size_t i = 0; i < table.columns.size(); ++i) {
    if (i) sql += ", ";
    sql += TableDef::StorageColumn(table.columns[i]) + " " + storage::DeclaredType(table.columns[i].type);
  }
  return sql + ")";
}

bool UsesColumn(const std::vector<int>& ordinals, int ordinal) {
  return std::find(ordinals.begin(), ordinals.end(), ordinal) != ordinals.end();
}

// Ordinals after the column at `removed` went away.
void ShiftOrdinals(std::vector<int>& ordinals, int removed) {
  for (int& o : ordinals) {
    if (o > removed) --o;
  }
}

void AssignIds(TableDef& t) {
  int32_t next_colid = 1;
  for (const ColumnDef& c : t.columns) next_colid = std::max(next_colid, c.colid + 1);
  for (ColumnDef& c : t.columns) {
    if (c.colid == 0) c.colid = next_colid++;
  }
}

}  // namespace

TableDef& Store::Impl::MutableTable(int32_t id) {
  auto it = catalog.tables.find(id);
  if (it == catalog.tables.end()) {
    throw err::StorageFailure(name, "table id " + std::to_string(id) + " is not in the catalog");
  }
  return it->second;
}

int32_t Store::AllocateObjectId() {
  int64_t id = impl_->ReadMetaInt("next_object_id");
  impl_->WriteMetaInt("next_object_id", id + 1);
  return static_cast<int32_t>(id);
}

void Store::CreateTable(const TableDef& table, DateTime crdate) {
  Impl& impl = *impl_;
  catalog();
  TableDef t = table;
  t.is_view = false;
  if (t.id == 0) t.id = AllocateObjectId();
  AssignIds(t);
  std::vector<IndexDef> indexes = std::move(t.indexes);
  t.indexes.clear();
  ObjectDef object{t.id, t.name, "U", 0, crdate};
  WriteObject(db_, name_, object);
  RunWithId(db_, name_, "INSERT OR REPLACE INTO _tables(id, is_view) VALUES (?1, 0)", t.id);
  for (size_t i = 0; i < t.columns.size(); ++i) WriteColumn(db_, name_, t.id, i, t.columns[i]);
  Exec(db_, name_, CreateTableSql(t));
  PutObject(impl.catalog, object);
  int32_t id = t.id;
  impl.catalog.tables[id] = std::move(t);
  impl.SchemaChanged();
  // Indexes passed with the table are created as CreateIndex would (the table is empty).
  for (const IndexDef& index : indexes) CreateIndex(id, index);
}

void Store::CreateView(const TableDef& view, DateTime crdate) {
  Impl& impl = *impl_;
  catalog();
  TableDef t = view;
  t.is_view = true;
  t.indexes.clear();
  if (t.id == 0) t.id = AllocateObjectId();
  AssignIds(t);
  ObjectDef object{t.id, t.name, "V", 0, crdate};
  WriteObject(db_, name_, object);
  Stmt q(db_, name_,
         "INSERT OR REPLACE INTO _tables(id, is_view, view_select, view_definition) VALUES (?1, 1, ?2, ?3)");
  q.Bind(1, int64_t{t.id});
  q.Bind(2, t.view_select);
  q.Bind(3, t.view_definition);
  q.Run();
  for (size_t i = 0; i < t.columns.size(); ++i) WriteColumn(db_, name_, t.id, i, t.columns[i]);
  PutObject(impl.catalog, object);
  impl.catalog.tables[t.id] = std::move(t);
  impl.SchemaChanged();
}

void Store::DropTable(int32_t id) {
  Impl& impl = *impl_;
  Catalog& c = impl.catalog;
  catalog();
  bool is_view = impl.MutableTable(id).is_view;
  // Foreign keys from or to the table go with it (the executor refuses to drop a referenced
  // table; this keeps the catalog free of dangling references whatever happens).
  std::vector<int32_t> fks;
  for (const ForeignKeyDef& fk : c.foreign_keys) {
    if (fk.table_id == id || fk.ref_table_id == id) fks.push_back(fk.id);
  }
  for (int32_t fk : fks) {
    RunWithId(db_, name_, "DELETE FROM _foreign_keys WHERE id = ?1", fk);
    RunWithId(db_, name_, "DELETE FROM _objects WHERE id = ?1", fk);
  }
  RunWithId(db_, name_, "DELETE FROM _objects WHERE id = ?1 OR parent_id = ?1", id);
  RunWithId(db_, name_, "DELETE FROM _tables WHERE id = ?1", id);
  RunWithId(db_, name_, "DELETE FROM _columns WHERE table_id = ?1", id);
  RunWithId(db_, name_, "DELETE FROM _indexes WHERE table_id = ?1", id);
  RunWithId(db_, name_, "DELETE FROM _identity WHERE table_id = ?1", id);
  if (!is_view) Exec(db_, name_, "DROP TABLE IF EXISTS t" + std::to_string(id));
  std::erase_if(c.foreign_keys,
                [&](const ForeignKeyDef& fk) { return std::find(fks.begin(), fks.end(), fk.id) != fks.end(); });
  std::erase_if(c.objects, [&](const ObjectDef& o) {
    return o.id == id || o.parent_id == id || std::find(fks.begin(), fks.end(), o.id) != fks.end();
  });
  c.tables.erase(id);
  impl.SchemaChanged();
}

void Store::AddColumn(int32_t table_id, const ColumnDef& column, const Value& fill) {
  Impl& impl = *impl_;
  catalog();
  TableDef& t = impl.MutableTable(table_id);
  ColumnDef col = column;
  if (col.colid == 0) {
    col.colid = 1;
    for (const ColumnDef& c : t.columns) col.colid = std::max(col.colid, c.colid + 1);
  }
  WriteColumn(db_, name_, table_id, t.columns.size(), col);
  std::string storage_column = TableDef::StorageColumn(col);
  if (!t.is_view) {
    // ADD COLUMN only touches the schema: existing rows read the new column as NULL without
    // being rewritten. Only a non-NULL fill costs a pass over the table.
    Exec(db_, name_,
         "ALTER TABLE " + t.StorageName() + " ADD COLUMN " + storage_column + " " + storage::DeclaredType(col.type));
    if (!fill.is_null()) {
      Stmt q(db_, name_, "UPDATE " + t.StorageName() + " SET " + storage_column + " = ?1");
      storage::BindValue(q.get(), 1, col.type, fill);
      q.Run();
    }
  }
  t.columns.push_back(std::move(col));
  t.InvalidateLookup();
  impl.SchemaChanged();
}

namespace {

size_t OrdinalOf(const std::string& db_name, const TableDef& t, int32_t colid) {
  for (size_t i = 0; i < t.columns.size(); ++i) {
    if (t.columns[i].colid == colid) return i;
  }
  throw err::StorageFailure(db_name, "column id " + std::to_string(colid) + " is not in table '" + t.name + "'");
}

// Gives column `colid` of `t` the declared SQLite type of `type`. SQLite cannot change a
// column's type, and a stale type affinity would turn the text '007' of a former int column
// into the integer 7, so the column is rebuilt: copy, drop, rename.
void RebuildPhysicalColumn(sqlite3* db, const std::string& name, const TableDef& t, const ColumnDef& column) {
  std::string table = t.StorageName();
  std::string col = TableDef::StorageColumn(column);
  std::string tmp = col + "_new";
  Exec(db, name, "ALTER TABLE " + table + " ADD COLUMN " + tmp + " " + storage::DeclaredType(column.type));
  Exec(db, name, "UPDATE " + table + " SET " + tmp + " = " + col);
  Exec(db, name, "ALTER TABLE " + table + " DROP COLUMN " + col);
  Exec(db, name, "ALTER TABLE " + table + " RENAME COLUMN " + tmp + " TO " + col);
}

}  // namespace

void Store::ReplaceColumn(int32_t table_id, const ColumnDef& column) {
  Impl& impl = *impl_;
  catalog();
  TableDef& t = impl.MutableTable(table_id);
  size_t ordinal = OrdinalOf(name_, t, column.colid);
  ColumnDef old = t.columns[ordinal];
  WriteColumn(db_, name_, table_id, ordinal, column);
  bool new_affinity = std::string_view(storage::DeclaredType(old.type)) != storage::DeclaredType(column.type);
  bool new_collation = old.type.IsString() != column.type.IsString();
  t.columns[ordinal] = column;
  t.InvalidateLookup();
  if (!t.is_view && (new_affinity || new_collation)) {
    // Indexes over the column compare with its old type: rebuild them around the change.
    std::vector<const IndexDef*> affected;
    for (const IndexDef& index : t.indexes) {
      if (UsesColumn(index.columns, static_cast<int>(ordinal))) affected.push_back(&index);
    }
    for (const IndexDef* index : affected)
      Exec(db_, name_, "DROP INDEX IF EXISTS " + storage::IndexStorageName(t, *index));
    if (new_affinity) RebuildPhysicalColumn(db_, name_, t, column);
    for (const IndexDef* index : affected) Exec(db_, name_, storage::CreateIndexSql(t, *index));
  }
  impl.SchemaChanged();
}

void Store::DropColumn(int32_t table_id, int32_t colid) {
  Impl& impl = *impl_;
  catalog();
  TableDef& t = impl.MutableTable(table_id);
  int ordinal = static_cast<int>(OrdinalOf(name_, t, colid));
  // The executor refuses to drop a column that an index or constraint uses; whatever is left
  // over goes with the column so that nothing refers to it afterwards.
  std::vector<int32_t> doomed_indexes;
  for (const IndexDef& index : t.indexes) {
    if (UsesColumn(index.columns, ordinal)) doomed_indexes.push_back(index.index_id);
  }
  for (int32_t index_id : doomed_indexes) DropIndex(table_id, index_id);
  std::vector<int32_t> doomed_fks;
  for (const ForeignKeyDef& fk : impl.catalog.foreign_keys) {
    if ((fk.table_id == table_id && UsesColumn(fk.columns, ordinal)) ||
        (fk.ref_table_id == table_id && UsesColumn(fk.ref_columns, ordinal))) {
      doomed_fks.push_back(fk.id);
    }
  }
  for (int32_t fk : doomed_fks) DropForeignKey(fk);

  Stmt del(db_, name_, "DELETE FROM _columns WHERE table_id = ?1 AND colid = ?2");
  del.Bind(1, int64_t{table_id});
  del.Bind(2, int64_t{colid});
  del.Run();
  Stmt shift(db_, name_, "UPDATE _columns SET ordinal = ordinal - 1 WHERE table_id = ?1 AND ordinal > ?2");
  shift.Bind(1, int64_t{table_id});
  shift.Bind(2, int64_t{ordinal});
  shift.Run();
  if (!t.is_view) {
    Exec(db_, name_, "ALTER TABLE " + t.StorageName() + " DROP COLUMN " + TableDef::StorageColumn(t.columns[ordinal]));
  }
  t.columns.erase(t.columns.begin() + ordinal);
  t.InvalidateLookup();
  for (IndexDef& index : t.indexes) ShiftOrdinals(index.columns, ordinal);
  for (ForeignKeyDef& fk : impl.catalog.foreign_keys) {
    if (fk.table_id == table_id) ShiftOrdinals(fk.columns, ordinal);
    if (fk.ref_table_id == table_id) ShiftOrdinals(fk.ref_columns, ordinal);
  }
  impl.SchemaChanged();
}

}  // namespace engine
