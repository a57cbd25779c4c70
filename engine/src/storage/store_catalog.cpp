// The engine's metadata tables inside a database file and the in-memory Catalog loaded from
// them. The table layout is described in store.h and, for support staff, in engine/README.md.
#include <algorithm>
#include <utility>

#include "errors.h"
#include "storage/catalog_codes.h"
#include "storage/sqlite_util.h"
#include "storage/store_impl.h"
#include "storage/value_codec.h"

namespace engine {

namespace {

constexpr const char* kFormat = "1";
constexpr int64_t kFirstObjectId = 1000;

constexpr const char* kMetadataTables =
    "CREATE TABLE IF NOT EXISTS _meta(key TEXT PRIMARY KEY, value TEXT);"
    "CREATE TABLE IF NOT EXISTS _objects(id INTEGER PRIMARY KEY, name TEXT NOT NULL, xtype TEXT NOT NULL,"
    " parent_id INTEGER NOT NULL DEFAULT 0, crdate TEXT);"
    "CREATE TABLE IF NOT EXISTS _tables(id INTEGER PRIMARY KEY, is_view INTEGER NOT NULL DEFAULT 0,"
    " view_select TEXT, view_definition TEXT);"
    "CREATE TABLE IF NOT EXISTS _columns(table_id INTEGER NOT NULL, colid INTEGER NOT NULL,"
    " ordinal INTEGER NOT NULL, name TEXT NOT NULL, type_id INTEGER NOT NULL, length INTEGER NOT NULL,"
    " precision INTEGER NOT NULL, scale INTEGER NOT NULL, nullable INTEGER NOT NULL,"
    " is_identity INTEGER NOT NULL, seed INTEGER NOT NULL, increment INTEGER NOT NULL,"
    " default_id INTEGER NOT NULL, default_text TEXT NOT NULL, PRIMARY KEY(table_id, colid));"
    "CREATE TABLE IF NOT EXISTS _indexes(table_id INTEGER NOT NULL, index_id INTEGER NOT NULL,"
    " name TEXT NOT NULL, is_unique INTEGER NOT NULL, is_primary_key INTEGER NOT NULL,"
    " is_unique_constraint INTEGER NOT NULL, is_clustered INTEGER NOT NULL, columns TEXT NOT NULL,"
    " descending TEXT NOT NULL, constraint_id INTEGER NOT NULL, PRIMARY KEY(table_id, index_id));"
    "CREATE TABLE IF NOT EXISTS _foreign_keys(id INTEGER PRIMARY KEY, table_id INTEGER NOT NULL,"
    " columns TEXT NOT NULL, ref_table_id INTEGER NOT NULL, ref_columns TEXT NOT NULL,"
    " on_delete INTEGER NOT NULL, on_update INTEGER NOT NULL, trusted INTEGER NOT NULL,"
    " enabled INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS _identity(table_id INTEGER PRIMARY KEY, current_value INTEGER NOT NULL,"
    " has_value INTEGER NOT NULL);";

// Runs `fn` inside a savepoint so that it reads one consistent snapshot (or writes all or
// nothing), whether or not a transaction is open.
template <typename Fn>
void InSavepoint(sqlite3* db, const std::string& name, Fn&& fn) {
  storage::Exec(db, name, "SAVEPOINT _catalog");
  try {
    fn();
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK TO _catalog; RELEASE _catalog", nullptr, nullptr, nullptr);
    throw;
  }
  storage::Exec(db, name, "RELEASE _catalog");
}

std::vector<int> ColidsToOrdinals(const TableDef& table, const std::vector<int>& colids) {
  std::vector<int> out;
  out.reserve(colids.size());
  for (int colid : colids) {
    auto it =
        std::find_if(table.columns.begin(), table.columns.end(), [&](const ColumnDef& c) { return c.colid == colid; });
    out.push_back(it == table.columns.end() ? 0 : static_cast<int>(it - table.columns.begin()));
  }
  return out;
}

void LoadObjects(sqlite3* db, const std::string& name, Catalog& c) {
  storage::Stmt q(db, name, "SELECT id, name, xtype, parent_id, crdate FROM _objects ORDER BY id");
  while (q.Step()) {
    ObjectDef o;
    o.id = static_cast<int32_t>(q.Int(0));
    o.name = q.Text(1);
    o.xtype = q.Text(2);
    o.parent_id = static_cast<int32_t>(q.Int(3));
    o.crdate = storage::DecodeDateTime(q.Text(4)).value_or(DateTime{});
    c.objects.push_back(std::move(o));
  }
}

void LoadTables(sqlite3* db, const std::string& name, Catalog& c) {
  storage::Stmt q(db, name, "SELECT id, is_view, view_select, view_definition FROM _tables");
  while (q.Step()) {
    TableDef t;
    t.id = static_cast<int32_t>(q.Int(0));
    const ObjectDef* object = c.ObjectById(t.id);
    t.name = object ? object->name : t.StorageName();
    t.is_view = q.Int(1) != 0;
    t.view_select = q.Text(2);
    t.view_definition = q.Text(3);
    c.tables.emplace(t.id, std::move(t));
  }
}

// Each table's column vector is sized once from the column count, so that loading a catalog of
// wide tables does not grow (and move) every vector step by step.
void ReserveColumns(sqlite3* db, const std::string& name, Catalog& c) {
  storage::Stmt q(db, name, "SELECT table_id, count(*) FROM _columns GROUP BY table_id");
  while (q.Step()) {
    auto it = c.tables.find(static_cast<int32_t>(q.Int(0)));
    if (it != c.tables.end()) it->second.columns.reserve(static_cast<size_t>(q.Int(1)));
  }
}

void LoadColumns(sqlite3* db, const std::string& name, Catalog& c) {
  ReserveColumns(db, name, c);
  storage::Stmt q(db, name,
                  "SELECT table_id, colid, name, type_id, length, precision, scale, nullable, is_identity, seed,"
                  " increment, default_id, default_text FROM _columns ORDER BY table_id, ordinal");
  auto it = c.tables.end();
  while (q.Step()) {
    auto table_id = static_cast<int32_t>(q.Int(0));
    if (it == c.tables.end() || it->first != table_id) it = c.tables.find(table_id);  // rows come table by table
    if (it == c.tables.end()) continue;
    ColumnDef col;
    col.colid = static_cast<int32_t>(q.Int(1));
    col.name = q.Text(2);
    col.type.id = storage::TypeFromCode(static_cast<int>(q.Int(3)));
    col.type.length = static_cast<int32_t>(q.Int(4));
    col.type.precision = static_cast<uint8_t>(q.Int(5));
    col.type.scale = static_cast<uint8_t>(q.Int(6));
    col.nullable = q.Int(7) != 0;
    col.identity = q.Int(8) != 0;
    col.seed = q.Int(9);
    col.increment = q.Int(10);
    col.default_id = static_cast<int32_t>(q.Int(11));
    col.default_text = q.Text(12);
    it->second.columns.push_back(std::move(col));
  }
}

void LoadIndexes(sqlite3* db, const std::string& name, Catalog& c) {
  storage::Stmt q(db, name,
                  "SELECT table_id, index_id, name, is_unique, is_primary_key, is_unique_constraint, is_clustered,"
                  " columns, descending, constraint_id FROM _indexes ORDER BY table_id, index_id");
  while (q.Step()) {
    auto it = c.tables.find(static_cast<int32_t>(q.Int(0)));
    if (it == c.tables.end()) continue;
    IndexDef index;
    index.index_id = static_cast<int32_t>(q.Int(1));
    index.name = q.Text(2);
    index.unique = q.Int(3) != 0;
    index.primary_key = q.Int(4) != 0;
    index.unique_constraint = q.Int(5) != 0;
    index.clustered = q.Int(6) != 0;
    index.columns = ColidsToOrdinals(it->second, storage::ParseIntList(q.Text(7)));
    for (int d : storage::ParseIntList(q.Text(8))) index.descending.push_back(d != 0);
    index.descending.resize(index.columns.size(), false);
    index.constraint_id = static_cast<int32_t>(q.Int(9));
    it->second.indexes.push_back(std::move(index));
  }
}

void LoadForeignKeys(sqlite3* db, const std::string& name, Catalog& c) {
  storage::Stmt q(db, name,
                  "SELECT id, table_id, columns, ref_table_id, ref_columns, on_delete, on_update, trusted, enabled"
                  " FROM _foreign_keys ORDER BY id");
  while (q.Step()) {
    ForeignKeyDef fk;
    fk.id = static_cast<int32_t>(q.Int(0));
    const ObjectDef* object = c.ObjectById(fk.id);
    fk.name = object ? object->name : std::string();
    fk.table_id = static_cast<int32_t>(q.Int(1));
    fk.ref_table_id = static_cast<int32_t>(q.Int(3));
    const TableDef* table = c.TableById(fk.table_id);
    const TableDef* ref = c.TableById(fk.ref_table_id);
    if (!table || !ref) continue;  // a dangling reference is ignored rather than trusted
    fk.columns = ColidsToOrdinals(*table, storage::ParseIntList(q.Text(2)));
    fk.ref_columns = ColidsToOrdinals(*ref, storage::ParseIntList(q.Text(4)));
    fk.on_delete = static_cast<RefActionKind>(std::clamp<int64_t>(q.Int(5), 0, 3));
    fk.on_update = static_cast<RefActionKind>(std::clamp<int64_t>(q.Int(6), 0, 3));
    fk.trusted = q.Int(7) != 0;
    fk.enabled = q.Int(8) != 0;
    c.foreign_keys.push_back(std::move(fk));
  }
}

}  // namespace

void Store::Impl::CreateMetadataTables() {
  InSavepoint(db, name, [&] {
    storage::Exec(db, name, kMetadataTables);
    storage::Exec(db, name,
                  std::string("INSERT OR IGNORE INTO _meta(key, value) VALUES ('format', '") + kFormat +
                      "'), ('schema_version', '1'), ('next_object_id', '" + std::to_string(kFirstObjectId) + "')");
  });
}

void Store::Impl::CheckFormat() {
  bool has_meta = false;
  {
    storage::Stmt q(db, name, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = '_meta'");
    has_meta = q.Step();
  }
  if (!has_meta) throw err::DatabaseFileUnusable(name, "the file holds no database of this server (no _meta table)");
  storage::Stmt q(db, name, "SELECT value FROM _meta WHERE key = 'format'");
  std::string format = q.Step() ? q.Text(0) : std::string();
  if (format != kFormat) {
    throw err::DatabaseFileUnusable(name, "the file has the unknown storage format '" + format + "'");
  }
}

int64_t Store::Impl::ReadMetaInt(const char* key) {
  storage::Lease q(cache, std::string("#meta:") + key, name,
                   [] { return std::string("SELECT value FROM _meta WHERE key = ?1"); });
  sqlite3_bind_text(q.get(), 1, key, -1, SQLITE_STATIC);
  int rc = sqlite3_step(q.get());
  if (rc == SQLITE_ROW) return sqlite3_column_int64(q.get(), 0);
  if (rc == SQLITE_DONE) throw err::DatabaseFileUnusable(name, std::string("the _meta entry '") + key + "' is missing");
  storage::ThrowSqlite(db, rc, name, "reading _meta");
}

void Store::Impl::WriteMetaInt(const char* key, int64_t value) {
  storage::Stmt q(db, name, "UPDATE _meta SET value = ?2 WHERE key = ?1");
  q.Bind(1, std::string_view(key));
  q.Bind(2, std::to_string(value));
  q.Run();
}

void Store::Impl::LoadCatalog() {
  Catalog c;
  int64_t version = 0;
  InSavepoint(db, name, [&] {
    LoadObjects(db, name, c);
    LoadTables(db, name, c);
    LoadColumns(db, name, c);
    LoadIndexes(db, name, c);
    LoadForeignKeys(db, name, c);
    version = ReadMetaInt("schema_version");
  });
  catalog = std::move(c);
  catalog.InvalidateLookup();
  schema_version = version;
  catalog_stale = false;
  cache.Clear();
}

void Store::Impl::CheckSchema() {
  int64_t version_now = 0;
  {
    storage::Lease q(cache, "#data_version", name, [] { return std::string("PRAGMA data_version"); });
    int rc = sqlite3_step(q.get());
    if (rc != SQLITE_ROW) storage::ThrowSqlite(db, rc, name, "reading PRAGMA data_version");
    version_now = sqlite3_column_int64(q.get(), 0);
  }
  // data_version changes only when another connection committed: rows or schema. Only the
  // schema version decides whether the catalog must be read again.
  if (version_now == data_version && !catalog_stale) return;
  data_version = version_now;
  if (catalog_stale || ReadMetaInt("schema_version") != schema_version) LoadCatalog();
}

void Store::Impl::SchemaChanged() {
  storage::Exec(db, name, "UPDATE _meta SET value = CAST(value AS INTEGER) + 1 WHERE key = 'schema_version'");
  schema_version = ReadMetaInt("schema_version");
  ++ddl_epoch;
  cache.Clear();
  catalog.InvalidateLookup();
}

}  // namespace engine
