// System views computed from the catalog: the compatibility views (sysobjects, syscolumns,
// systypes, sysindexes, sysdatabases), INFORMATION_SCHEMA.COLUMNS/TABLES and the sys catalog
// views. Name columns are nvarchar(128) (sysname) so that comparisons follow the collation.
// The rows are built from the catalog when a query reads them, never stored, so they cannot
// disagree with the tables they describe.
#include "errors.h"
#include "query/systypes.h"
#include "query/sysview.h"

namespace engine {
namespace {

using sysviews::TypeFacts;

const SqlType kSysname{TypeId::kNVarChar, 128, 0, 0};
const SqlType kChar2{TypeId::kChar, 2, 0, 0};

SqlType IntT(TypeId id) { return SqlType{id, 0, 0, 0}; }

// Collects the columns of a view.
class Columns {
 public:
  Columns& Col(std::string name, SqlType type) {
    columns_.push_back(ColumnInfo{std::move(name), type, true});
    return *this;
  }
  Columns& Cols(std::initializer_list<const char*> names, SqlType type) {
    for (const char* n : names) Col(n, type);
    return *this;
  }
  std::vector<ColumnInfo> Take() { return std::move(columns_); }

 private:
  std::vector<ColumnInfo> columns_;
};

// Appends rows, typing each value after its column.
class Builder {
 public:
  Builder(const std::vector<ColumnInfo>& columns, std::vector<Row>& out) : columns_(columns), out_(out) {}
  void Begin() {
    out_.emplace_back();
    out_.back().reserve(columns_.size());
  }
  void Str(const std::string& s) { Put(Value::String(s, Next())); }
  void Int(int64_t v) { Put(Value::Int(v, Next().id)); }
  void Null() { Put(Value::Null(Next())); }
  void Date(DateTime d) { Put(Value::Date(d, Next().id)); }

 private:
  const SqlType& Next() { return columns_[out_.back().size()].type; }
  void Put(Value v) { out_.back().push_back(std::move(v)); }
  const std::vector<ColumnInfo>& columns_;
  std::vector<Row>& out_;
};

std::string Pad2(const std::string& s) { return s.size() >= 2 ? s : s + std::string(2 - s.size(), ' '); }

// ---- sysobjects ------------------------------------------------------------------------------

const std::vector<ColumnInfo>& SysObjectsColumns() {
  static const std::vector<ColumnInfo> columns =
      Columns()
          .Col("name", kSysname)
          .Col("id", IntT(TypeId::kInt))
          .Col("xtype", kChar2)
          .Cols({"uid", "info"}, IntT(TypeId::kSmallInt))
          .Cols({"status", "base_schema_ver", "replinfo", "parent_obj"}, IntT(TypeId::kInt))
          .Col("crdate", IntT(TypeId::kDateTime))
          .Col("ftcatid", IntT(TypeId::kSmallInt))
          .Cols({"schema_ver", "stats_schema_ver"}, IntT(TypeId::kInt))
          .Col("type", kChar2)
          .Cols({"userstat", "sysstat", "indexdel"}, IntT(TypeId::kSmallInt))
          .Col("refdate", IntT(TypeId::kDateTime))
          .Cols({"version", "deltrig", "instrig", "updtrig", "seltrig", "category"}, IntT(TypeId::kInt))
          .Col("cache", IntT(TypeId::kSmallInt))
          .Take();
  return columns;
}

void SysObjectsRows(Store& db, const SysViewKeys& keys, std::vector<Row>& out) {
  Builder b(SysObjectsColumns(), out);
  for (const ObjectDef* o : sysviews::SelectObjects(db.catalog(), keys, 0, 1)) {
    bool is_key = o->xtype == "PK" || o->xtype == "UQ";
    b.Begin();
    b.Str(o->name);
    b.Int(o->id);
    b.Str(Pad2(o->xtype));
    b.Int(1);
    for (int i = 0; i < 4; ++i) b.Int(0);
    b.Int(o->parent_id);
    b.Date(o->crdate);
    for (int i = 0; i < 3; ++i) b.Int(0);
    b.Str(is_key ? "K " : Pad2(o->xtype));
    b.Int(o->xtype == "U" ? 1 : 0);
    b.Int(o->xtype == "U" ? 1 : o->xtype == "V" ? 2 : 0);
    b.Int(0);
    b.Date(o->crdate);
    for (int i = 0; i < 7; ++i) b.Int(0);
  }
}

// ---- syscolumns ------------------------------------------------------------------------------

const std::vector<ColumnInfo>& SysColumnsColumns() {
  static const std::vector<ColumnInfo> columns =
      Columns()
          .Col("name", kSysname)
          .Col("id", IntT(TypeId::kInt))
          .Cols({"xtype", "typestat"}, IntT(TypeId::kTinyInt))
          .Cols({"xusertype", "length"}, IntT(TypeId::kSmallInt))
          .Cols({"xprec", "xscale"}, IntT(TypeId::kTinyInt))
          .Cols({"colid", "xoffset"}, IntT(TypeId::kSmallInt))
          .Cols({"bitpos", "reserved"}, IntT(TypeId::kTinyInt))
          .Col("colstat", IntT(TypeId::kSmallInt))
          .Cols({"cdefault", "domain"}, IntT(TypeId::kInt))
          .Cols({"number", "colorder", "offset"}, IntT(TypeId::kSmallInt))
          .Col("collationid", IntT(TypeId::kInt))
          .Cols({"status", "type"}, IntT(TypeId::kTinyInt))
          .Col("usertype", IntT(TypeId::kSmallInt))
          .Col("printfmt", SqlType{TypeId::kVarChar, 255, 0, 0})
          .Col("prec", IntT(TypeId::kSmallInt))
          .Cols({"scale", "iscomputed", "isoutparam", "isnullable"}, IntT(TypeId::kInt))
          .Col("collation", kSysname)
          .Take();
  return columns;
}

void SysColumnsRows(Store& db, const SysViewKeys& keys, std::vector<Row>& out) {
  Builder b(SysColumnsColumns(), out);
  for (const TableDef* t : sysviews::SelectTables(db.catalog(), keys, -1, 1)) {
    for (size_t i : sysviews::SelectColumns(*t, keys, 0)) {
      const ColumnDef& c = t->columns[i];
      TypeFacts f = sysviews::Facts(c.type);
      b.Begin();
      b.Str(c.name);
      b.Int(t->id);
      b.Int(f.xtype);
      b.Int(0);
      b.Int(f.xtype);
      b.Int(f.bytes);
      b.Int(f.precision.value_or(0));
      b.Int(f.scale.value_or(0));
      b.Int(c.colid);
      for (int k = 0; k < 3; ++k) b.Int(0);
      b.Int(c.identity ? 1 : 0);
      b.Int(c.default_id);
      b.Int(0);
      b.Int(0);
      b.Int(static_cast<int64_t>(i + 1));
      b.Int(0);
      c.type.IsString() ? b.Int(sysviews::kCollationId) : b.Null();
      b.Int((c.nullable ? 0x08 : 0) | (c.identity ? 0x80 : 0));
      b.Int(f.xtype);
      b.Int(f.xtype);
      b.Null();
      b.Int(c.type.IsString() ? c.type.length : f.precision.value_or(0));
      f.scale ? b.Int(*f.scale) : b.Null();
      b.Int(0);
      b.Int(0);
      b.Int(c.nullable ? 1 : 0);
      c.type.IsString() ? b.Str(sysviews::kCollation) : b.Null();
    }
  }
}

// ---- systypes --------------------------------------------------------------------------------

const std::vector<ColumnInfo>& SysTypesColumns() {
  static const std::vector<ColumnInfo> columns = Columns()
                                                     .Col("name", kSysname)
                                                     .Cols({"xtype", "status"}, IntT(TypeId::kTinyInt))
                                                     .Cols({"xusertype", "length"}, IntT(TypeId::kSmallInt))
                                                     .Cols({"xprec", "xscale"}, IntT(TypeId::kTinyInt))
                                                     .Cols({"tdefault", "domain"}, IntT(TypeId::kInt))
                                                     .Cols({"uid", "reserved"}, IntT(TypeId::kSmallInt))
                                                     .Col("collationid", IntT(TypeId::kInt))
                                                     .Col("usertype", IntT(TypeId::kSmallInt))
                                                     .Cols({"variable", "allownulls"}, IntT(TypeId::kBit))
                                                     .Col("type", IntT(TypeId::kTinyInt))
                                                     .Col("printfmt", SqlType{TypeId::kVarChar, 255, 0, 0})
                                                     .Col("prec", IntT(TypeId::kSmallInt))
                                                     .Col("scale", IntT(TypeId::kTinyInt))
                                                     .Col("collation", kSysname)
                                                     .Take();
  return columns;
}

void SysTypesRows(const SysViewKeys& keys, std::vector<Row>& out) {
  Builder b(SysTypesColumns(), out);
  const SysViewKey* key = sysviews::KeyOn(keys, 0);
  for (const auto& t : sysviews::BuiltinTypes()) {
    if (key && !CollateEqual(t.name, key->value.as_string())) continue;
    b.Begin();
    b.Str(t.name);
    b.Int(t.xtype);
    b.Int(0);
    b.Int(t.xusertype);
    b.Int(t.length);
    b.Int(t.xprec);
    b.Int(t.xscale);
    b.Int(0);
    b.Int(0);
    b.Int(4);
    b.Int(0);
    t.is_string ? b.Int(sysviews::kCollationId) : b.Null();
    b.Int(t.xusertype < 256 ? t.xusertype : 256);
    b.Int(t.variable ? 1 : 0);
    b.Int(1);
    b.Int(t.xtype);
    b.Null();
    b.Int(t.prec);
    t.has_scale ? b.Int(t.xscale) : b.Null();
    t.is_string ? b.Str(sysviews::kCollation) : b.Null();
  }
}

// ---- sysindexes ------------------------------------------------------------------------------

constexpr int kSysIndexesId = 0;
constexpr int kSysIndexesName = 3;

const std::vector<ColumnInfo>& SysIndexesColumns() {
  static const std::vector<ColumnInfo> columns = Columns()
                                                     .Cols({"id", "status"}, IntT(TypeId::kInt))
                                                     .Col("indid", IntT(TypeId::kSmallInt))
                                                     .Col("name", kSysname)
                                                     .Cols({"minlen", "keycnt", "groupid"}, IntT(TypeId::kSmallInt))
                                                     .Cols({"dpages", "reserved", "used"}, IntT(TypeId::kInt))
                                                     .Col("rowcnt", IntT(TypeId::kBigInt))
                                                     .Cols({"rowmodctr", "reserved3", "reserved4"}, IntT(TypeId::kInt))
                                                     .Cols({"xmaxlen", "maxirow"}, IntT(TypeId::kSmallInt))
                                                     .Cols({"OrigFillFactor", "StatVersion"}, IntT(TypeId::kTinyInt))
                                                     .Col("reserved2", IntT(TypeId::kInt))
                                                     .Cols({"impid", "lockflags"}, IntT(TypeId::kSmallInt))
                                                     .Cols({"pgmodctr", "maxlen", "rows"}, IntT(TypeId::kInt))
                                                     .Take();
  return columns;
}

void SysIndexRow(Builder& b, int32_t id, int status, int indid, const std::string* name, size_t keys, int64_t rows) {
  b.Begin();
  b.Int(id);
  b.Int(status);
  b.Int(indid);
  name ? b.Str(*name) : b.Null();
  b.Int(0);
  b.Int(static_cast<int64_t>(keys));
  b.Int(1);
  for (int i = 0; i < 3; ++i) b.Int(0);
  b.Int(rows);
  for (int i = 0; i < 11; ++i) b.Int(0);
  b.Int(8000);
  b.Int(rows > 2147483647 ? 2147483647 : rows);
}

void SysIndexRow(Builder& b, const TableDef& t, const IndexDef& ix, int64_t rows) {
  int status =
      (ix.unique ? 2 : 0) | (ix.clustered ? 16 : 0) | (ix.primary_key ? 2048 : 0) | (ix.unique_constraint ? 4096 : 0);
  SysIndexRow(b, t.id, status, ix.index_id, &ix.name, ix.columns.size(), rows);
}

// A name lookup counts the rows of the tables that have an index of that name only.
void SysIndexesRows(Store& db, const SysViewKeys& keys, std::vector<Row>& out) {
  Builder b(SysIndexesColumns(), out);
  const Catalog& cat = db.catalog();
  if (const SysViewKey* key = sysviews::KeyOn(keys, kSysIndexesName)) {
    for (const Catalog::NamedIndex& named : cat.IndexesNamed(key->value.as_string())) {
      if (!named.table->is_view) SysIndexRow(b, *named.table, *named.index, db.CountRows(*named.table));
    }
    return;
  }
  for (const TableDef* t : sysviews::SelectTables(cat, keys, -1, kSysIndexesId)) {
    if (t->is_view) continue;
    int64_t rows = db.CountRows(*t);
    if (!t->ClusteredIndex()) SysIndexRow(b, t->id, 0, 0, nullptr, 0, rows);
    for (const auto& ix : t->indexes) SysIndexRow(b, *t, ix, rows);
  }
}

// A view whose rows come from `rows` with the store it reads.
SysView MakeView(const std::vector<ColumnInfo>& columns, std::vector<int> keys,
                 std::function<void(const SysViewKeys&, std::vector<Row>&)> rows) {
  return SysView{&columns, std::move(keys), std::move(rows)};
}

}  // namespace

namespace sysviews {
SysView InformationSchemaColumns(Store& db);
SysView InformationSchemaTables(Store& db);
SysView SysDatabases(ExecContext& ctx);
SysView SysCatalogDatabases(ExecContext& ctx);
SysView SysCatalogObjects(Store& db, bool tables_only);
SysView SysCatalogColumns(Store& db);

const SysViewKey* KeyOn(const SysViewKeys& keys, int column) {
  for (const SysViewKey& k : keys)
    if (k.column == column) return &k;
  return nullptr;
}

std::vector<const ObjectDef*> SelectObjects(const Catalog& cat, const SysViewKeys& keys, int name_column,
                                            int id_column) {
  std::vector<const ObjectDef*> out;
  if (const SysViewKey* key = KeyOn(keys, name_column)) return cat.ObjectsNamed(key->value.as_string());
  if (const SysViewKey* key = KeyOn(keys, id_column)) {
    int64_t id = key->value.as_int();
    const ObjectDef* o = id >= INT32_MIN && id <= INT32_MAX ? cat.ObjectById(static_cast<int32_t>(id)) : nullptr;
    if (o) out.push_back(o);
    return out;
  }
  out.reserve(cat.objects.size());
  for (const ObjectDef& o : cat.objects) out.push_back(&o);
  return out;
}

std::vector<const TableDef*> SelectTables(const Catalog& cat, const SysViewKeys& keys, int name_column, int id_column) {
  std::vector<const TableDef*> out;
  const TableDef* one = nullptr;
  const SysViewKey* name_key = KeyOn(keys, name_column);
  const SysViewKey* id_key = KeyOn(keys, id_column);
  if (name_key) {
    one = cat.FindTable(name_key->value.as_string());
  } else if (id_key) {
    int64_t id = id_key->value.as_int();
    one = id >= INT32_MIN && id <= INT32_MAX ? cat.TableById(static_cast<int32_t>(id)) : nullptr;
  } else {
    out.reserve(cat.tables.size());
    for (const auto& [id, t] : cat.tables) out.push_back(&t);
    return out;
  }
  if (one) out.push_back(one);
  return out;
}

std::vector<size_t> SelectColumns(const TableDef& t, const SysViewKeys& keys, int name_column) {
  std::vector<size_t> out;
  if (const SysViewKey* key = KeyOn(keys, name_column)) {
    if (auto ordinal = t.FindColumn(key->value.as_string())) out.push_back(static_cast<size_t>(*ordinal));
    return out;
  }
  out.reserve(t.columns.size());
  for (size_t i = 0; i < t.columns.size(); ++i) out.push_back(i);
  return out;
}

}  // namespace sysviews

std::optional<SysView> SystemView(const ast::ObjectName& name, Store& db, ExecContext& ctx) {
  const std::string& n = name.name;
  const std::string& schema = name.schema;
  auto is = [&](std::string_view x) { return CollateEqual(n, x); };
  if (CollateEqual(schema, "INFORMATION_SCHEMA")) {
    if (is("COLUMNS")) return sysviews::InformationSchemaColumns(db);
    if (is("TABLES")) return sysviews::InformationSchemaTables(db);
    return std::nullopt;
  }
  bool sys = CollateEqual(schema, "sys");
  if (!sys && !schema.empty() && !CollateEqual(schema, "dbo")) return std::nullopt;
  if (sys) {
    if (is("tables")) return sysviews::SysCatalogObjects(db, true);
    if (is("objects")) return sysviews::SysCatalogObjects(db, false);
    if (is("columns")) return sysviews::SysCatalogColumns(db);
    if (is("databases")) return sysviews::SysCatalogDatabases(ctx);
  }
  // User tables shadow the compatibility view names in dbo.
  if (!sys && db.catalog().FindTable(n)) return std::nullopt;
  Store* store = &db;
  if (is("sysobjects"))
    return MakeView(SysObjectsColumns(), {0, 1},
                    [store](const auto& keys, auto& out) { SysObjectsRows(*store, keys, out); });
  if (is("syscolumns"))
    return MakeView(SysColumnsColumns(), {1, 0},
                    [store](const auto& keys, auto& out) { SysColumnsRows(*store, keys, out); });
  if (is("systypes"))
    return MakeView(SysTypesColumns(), {0}, [](const auto& keys, auto& out) { SysTypesRows(keys, out); });
  if (is("sysindexes"))
    return MakeView(SysIndexesColumns(), {kSysIndexesName, kSysIndexesId},
                    [store](const auto& keys, auto& out) { SysIndexesRows(*store, keys, out); });
  if (is("sysdatabases")) return sysviews::SysDatabases(ctx);
  return std::nullopt;
}

}  // namespace engine
