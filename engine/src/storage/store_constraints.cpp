// Store's DDL for indexes, constraint objects and foreign keys. Every method tolerates being
// told twice (a PK index passed with CreateTable and again through CreateIndex, a constraint
// object added by AddObject and implied by CreateIndex), so executors need not agree on who
// records what.
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
using storage::RunWithId;
using storage::Stmt;

int32_t NextIndexId(const TableDef& t, const IndexDef& index) {
  if (index.clustered && !t.ClusteredIndex()) return 1;
  int32_t next = 2;
  for (const IndexDef& i : t.indexes) next = std::max(next, i.index_id + 1);
  return next;
}

// The first key that occurs twice among the rows, NULL counting as a value as SQL Server
// counts it; nullopt when the key is unique.
std::optional<Row> FindDuplicate(sqlite3* db, const std::string& name, const TableDef& t, const IndexDef& index) {
  std::string columns;
  std::string group;
  for (size_t i = 0; i < index.columns.size(); ++i) {
    const ColumnDef& c = t.columns.at(static_cast<size_t>(index.columns[i]));
    columns += (i ? ", " : "") + TableDef::StorageColumn(c);
    group += (i ? ", " : "") + storage::KeyColumn(c);
  }
  Stmt q(db, name,
         "SELECT " + columns + " FROM " + t.StorageName() + " GROUP BY " + group + " HAVING count(*) > 1 LIMIT 1");
  if (!q.Step()) return std::nullopt;
  Row row(t.columns.size());
  for (size_t i = 0; i < index.columns.size(); ++i) {
    auto ordinal = static_cast<size_t>(index.columns[i]);
    storage::DecodeValue(q.get(), static_cast<int>(i), t.columns[ordinal].type, row[ordinal]);
  }
  return row;
}

bool IsConstraintIndex(const IndexDef& index) {
  return index.primary_key || index.unique_constraint || index.constraint_id != 0;
}

}  // namespace

void Store::CreateIndex(int32_t table_id, const IndexDef& index) {
  Impl& impl = *impl_;
  catalog();
  TableDef& t = impl.MutableTable(table_id);
  IndexDef idx = index;
  for (int ordinal : idx.columns) {
    if (ordinal < 0 || static_cast<size_t>(ordinal) >= t.columns.size()) {
      throw err::StorageFailure(name_, "index '" + idx.name + "' names a column that table '" + t.name + "' lacks");
    }
  }
  idx.descending.resize(idx.columns.size(), false);
  if (idx.index_id != 0 &&
      std::any_of(t.indexes.begin(), t.indexes.end(), [&](const IndexDef& i) { return i.index_id == idx.index_id; })) {
    return;  // already recorded (passed with CreateTable)
  }
  if (idx.index_id == 0) idx.index_id = NextIndexId(t, idx);
  if (idx.unique && !t.is_view) {
    if (auto dup = FindDuplicate(db_, name_, t, idx)) {
      throw err::DuplicateOnCreateIndex(storage::ObjectName(t), idx.name, storage::KeyText(idx, *dup),
                                        IsConstraintIndex(idx));
    }
  }
  if (!t.is_view) Exec(db_, name_, storage::CreateIndexSql(t, idx));
  storage::WriteIndex(db_, name_, t, idx);
  if (idx.constraint_id != 0 && !impl.catalog.ObjectById(idx.constraint_id)) {
    ObjectDef object{idx.constraint_id, idx.name, idx.primary_key ? "PK" : "UQ", t.id, Now()};
    storage::WriteObject(db_, name_, object);
    storage::PutObject(impl.catalog, object);
  }
  t.indexes.push_back(std::move(idx));
  std::sort(t.indexes.begin(), t.indexes.end(),
            [](const IndexDef& a, const IndexDef& b) { return a.index_id < b.index_id; });
  impl.SchemaChanged();
}

void Store::DropIndex(int32_t table_id, int32_t index_id) {
  Impl& impl = *impl_;
  catalog();
  TableDef& t = impl.MutableTable(table_id);
  auto it = std::find_if(t.indexes.begin(), t.indexes.end(), [&](const IndexDef& i) { return i.index_id == index_id; });
  if (it == t.indexes.end()) return;
  if (!t.is_view) Exec(db_, name_, "DROP INDEX IF EXISTS " + storage::IndexStorageName(t, *it));
  Stmt q(db_, name_, "DELETE FROM _indexes WHERE table_id = ?1 AND index_id = ?2");
  q.Bind(1, int64_t{table_id});
  q.Bind(2, int64_t{index_id});
  q.Run();
  int32_t constraint_id = it->constraint_id;
  t.indexes.erase(it);
  if (constraint_id != 0) {
    RunWithId(db_, name_, "DELETE FROM _objects WHERE id = ?1", constraint_id);
    std::erase_if(impl.catalog.objects, [&](const ObjectDef& o) { return o.id == constraint_id; });
  }
  impl.SchemaChanged();
}

void Store::AddObject(const ObjectDef& object) {
  Impl& impl = *impl_;
  catalog();
  ObjectDef o = object;
  if (o.id == 0) o.id = AllocateObjectId();
  storage::WriteObject(db_, name_, o);
  storage::PutObject(impl.catalog, o);
  impl.SchemaChanged();
}

void Store::DropObject(int32_t id) {
  Impl& impl = *impl_;
  catalog();
  Catalog& cat = impl.catalog;
  if (const ObjectDef* o = cat.ObjectById(id); o && (o->xtype == "U" || o->xtype == "V")) return DropTable(id);
  if (std::any_of(cat.foreign_keys.begin(), cat.foreign_keys.end(),
                  [&](const ForeignKeyDef& fk) { return fk.id == id; })) {
    return DropForeignKey(id);
  }
  for (auto& [table_id, t] : cat.tables) {
    for (const IndexDef& index : t.indexes) {
      if (index.constraint_id == id) return DropIndex(table_id, index.index_id);
    }
  }
  // A DEFAULT constraint leaves its column without default.
  for (auto& [table_id, t] : cat.tables) {
    for (size_t i = 0; i < t.columns.size(); ++i) {
      ColumnDef& col = t.columns[i];
      if (col.default_id != id) continue;
      col.default_id = 0;
      col.default_text.clear();
      storage::WriteColumn(db_, name_, table_id, i, col);
    }
  }
  RunWithId(db_, name_, "DELETE FROM _objects WHERE id = ?1", id);
  std::erase_if(cat.objects, [&](const ObjectDef& o) { return o.id == id; });
  impl.SchemaChanged();
}

void Store::AddForeignKey(const ForeignKeyDef& fk) {
  Impl& impl = *impl_;
  catalog();
  ForeignKeyDef f = fk;
  if (f.id == 0) f.id = AllocateObjectId();
  storage::WriteForeignKey(db_, name_, impl.catalog, f);
  if (!impl.catalog.ObjectById(f.id)) {
    ObjectDef object{f.id, f.name, "F", f.table_id, Now()};
    storage::WriteObject(db_, name_, object);
    storage::PutObject(impl.catalog, object);
  }
  auto& fks = impl.catalog.foreign_keys;
  auto it = std::find_if(fks.begin(), fks.end(), [&](const ForeignKeyDef& x) { return x.id == f.id; });
  if (it != fks.end()) {
    *it = std::move(f);
  } else {
    fks.push_back(std::move(f));
  }
  impl.SchemaChanged();
}

void Store::DropForeignKey(int32_t id) {
  Impl& impl = *impl_;
  catalog();
  RunWithId(db_, name_, "DELETE FROM _foreign_keys WHERE id = ?1", id);
  RunWithId(db_, name_, "DELETE FROM _objects WHERE id = ?1", id);
  std::erase_if(impl.catalog.foreign_keys, [&](const ForeignKeyDef& fk) { return fk.id == id; });
  std::erase_if(impl.catalog.objects, [&](const ObjectDef& o) { return o.id == id; });
  impl.SchemaChanged();
}

void Store::SetForeignKeyState(int32_t id, bool trusted, bool enabled) {
  Impl& impl = *impl_;
  catalog();
  Stmt q(db_, name_, "UPDATE _foreign_keys SET trusted = ?2, enabled = ?3 WHERE id = ?1");
  q.Bind(1, int64_t{id});
  q.Bind(2, int64_t{trusted});
  q.Bind(3, int64_t{enabled});
  q.Run();
  for (ForeignKeyDef& fk : impl.catalog.foreign_keys) {
    if (fk.id == id) {
      fk.trusted = trusted;
      fk.enabled = enabled;
    }
  }
  impl.SchemaChanged();
}

}  // namespace engine
