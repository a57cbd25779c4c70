// Writers of the metadata tables (see store.h for their layout).
#include "storage/ddl_util.h"

#include <algorithm>

#include "errors.h"
#include "storage/catalog_codes.h"
#include "storage/sqlite_util.h"
#include "storage/value_codec.h"

namespace engine::storage {

namespace {

std::vector<int> Colids(const TableDef& table, const std::vector<int>& ordinals) {
  std::vector<int> out;
  out.reserve(ordinals.size());
  for (int ordinal : ordinals) out.push_back(table.columns.at(static_cast<size_t>(ordinal)).colid);
  return out;
}

}  // namespace

void PutObject(Catalog& c, const ObjectDef& object) {
  auto it = std::lower_bound(c.objects.begin(), c.objects.end(), object.id,
                             [](const ObjectDef& o, int32_t id) { return o.id < id; });
  if (it != c.objects.end() && it->id == object.id) {
    *it = object;
  } else {
    c.objects.insert(it, object);
  }
}

void WriteObject(sqlite3* db, const std::string& name, const ObjectDef& o) {
  Stmt q(db, name, "INSERT OR REPLACE INTO _objects(id, name, xtype, parent_id, crdate) VALUES (?1, ?2, ?3, ?4, ?5)");
  q.Bind(1, int64_t{o.id});
  q.Bind(2, o.name);
  q.Bind(3, o.xtype);
  q.Bind(4, int64_t{o.parent_id});
  q.Bind(5, storage::EncodeDateTime(o.crdate));
  q.Run();
}

void WriteColumn(sqlite3* db, const std::string& name, int32_t table_id, size_t ordinal, const ColumnDef& c) {
  Stmt q(db, name,
         "INSERT OR REPLACE INTO _columns(table_id, colid, ordinal, name, type_id, length, precision, scale,"
         " nullable, is_identity, seed, increment, default_id, default_text)"
         " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)");
  q.Bind(1, int64_t{table_id});
  q.Bind(2, int64_t{c.colid});
  q.Bind(3, static_cast<int64_t>(ordinal));
  q.Bind(4, c.name);
  q.Bind(5, int64_t{storage::TypeCode(c.type.id)});
  q.Bind(6, int64_t{c.type.length});
  q.Bind(7, int64_t{c.type.precision});
  q.Bind(8, int64_t{c.type.scale});
  q.Bind(9, int64_t{c.nullable});
  q.Bind(10, int64_t{c.identity});
  q.Bind(11, c.seed);
  q.Bind(12, c.increment);
  q.Bind(13, int64_t{c.default_id});
  q.Bind(14, c.default_text);
  q.Run();
}

void WriteIndex(sqlite3* db, const std::string& name, const TableDef& table, const IndexDef& index) {
  Stmt q(db, name,
         "INSERT OR REPLACE INTO _indexes(table_id, index_id, name, is_unique, is_primary_key,"
         " is_unique_constraint, is_clustered, columns, descending, constraint_id)"
         " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
  std::vector<int> desc;
  for (size_t i = 0; i < index.columns.size(); ++i) desc.push_back(i < index.descending.size() && index.descending[i]);
  q.Bind(1, int64_t{table.id});
  q.Bind(2, int64_t{index.index_id});
  q.Bind(3, index.name);
  q.Bind(4, int64_t{index.unique});
  q.Bind(5, int64_t{index.primary_key});
  q.Bind(6, int64_t{index.unique_constraint});
  q.Bind(7, int64_t{index.clustered});
  q.Bind(8, storage::FormatIntList(Colids(table, index.columns)));
  q.Bind(9, storage::FormatIntList(desc));
  q.Bind(10, int64_t{index.constraint_id});
  q.Run();
}

void WriteForeignKey(sqlite3* db, const std::string& name, const Catalog& c, const ForeignKeyDef& fk) {
  const TableDef* table = c.TableById(fk.table_id);
  const TableDef* ref = c.TableById(fk.ref_table_id);
  if (!table || !ref) throw err::StorageFailure(name, "a foreign key names a table that is not in the catalog");
  Stmt q(db, name,
         "INSERT OR REPLACE INTO _foreign_keys(id, table_id, columns, ref_table_id, ref_columns, on_delete,"
         " on_update, trusted, enabled) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
  q.Bind(1, int64_t{fk.id});
  q.Bind(2, int64_t{fk.table_id});
  q.Bind(3, storage::FormatIntList(Colids(*table, fk.columns)));
  q.Bind(4, int64_t{fk.ref_table_id});
  q.Bind(5, storage::FormatIntList(Colids(*ref, fk.ref_columns)));
  q.Bind(6, int64_t{static_cast<int>(fk.on_delete)});
  q.Bind(7, int64_t{static_cast<int>(fk.on_update)});
  q.Bind(8, int64_t{fk.trusted});
  q.Bind(9, int64_t{fk.enabled});
  q.Run();
}

void RunWithId(sqlite3* db, const std::string& name, const char* sql, int64_t id) {
  Stmt q(db, name, sql);
  q.Bind(1, id);
  q.Run();
}

}  // namespace engine::storage
