// System views computed from the catalog: the compatibility views (sysobjects, syscolumns,
// systypes, sysindexes, sysdatabases), INFORMATION_SCHEMA.COLUMNS/TABLES and the sys catalog
// views. Name columns are nvarchar(128) (sysname) so that comparisons follow the collation.
#include "errors.h"
#include "query/plan.h"
#include "query/systypes.h"

namespace engine {
namespace {

using sysviews::TypeFacts;

const SqlType kSysname{TypeId::kNVarChar, 128, 0, 0};
const SqlType kChar2{TypeId::kChar, 2, 0, 0};

SqlType IntT(TypeId id) { return SqlType{id, 0, 0, 0}; }

class Builder {
 public:
  void Col(std::string name, SqlType type) { rs_.columns.push_back(ColumnInfo{std::move(name), type, true}); }
  void Begin() { rs_.rows.emplace_back(); }
  void Str(const std::string& s) { Put(Value::String(s, Next())); }
  void Int(int64_t v) { Put(Value::Int(v, Next().id)); }
  void Null() { Put(Value::Null(Next())); }
  void Date(DateTime d) { Put(Value::Date(d, Next().id)); }
  void IntOrNull(std::optional<int64_t> v) { v ? Int(*v) : Null(); }
  ResultSet Take() { return std::move(rs_); }

 private:
  const SqlType& Next() { return rs_.columns[rs_.rows.back().size()].type; }
  void Put(Value v) { rs_.rows.back().push_back(std::move(v)); }
  ResultSet rs_;
};

std::string Pad2(const std::string& s) { return s.size() >= 2 ? s : s + std::string(2 - s.size(), ' '); }

ResultSet SysObjects(Store& db) {
  const Catalog& cat = db.catalog();
  Builder b;
  b.Col("name", kSysname);
  for (const char* c : {"id"}) b.Col(c, IntT(TypeId::kInt));
  b.Col("xtype", kChar2);
  b.Col("uid", IntT(TypeId::kSmallInt));
  b.Col("info", IntT(TypeId::kSmallInt));
  for (const char* c : {"status", "base_schema_ver", "replinfo", "parent_obj"}) b.Col(c, IntT(TypeId::kInt));
  b.Col("crdate", IntT(TypeId::kDateTime));
  b.Col("ftcatid", IntT(TypeId::kSmallInt));
  for (const char* c : {"schema_ver", "stats_schema_ver"}) b.Col(c, IntT(TypeId::kInt));
  b.Col("type", kChar2);
  for (const char* c : {"userstat", "sysstat", "indexdel"}) b.Col(c, IntT(TypeId::kSmallInt));
  b.Col("refdate", IntT(TypeId::kDateTime));
  for (const char* c : {"version", "deltrig", "instrig", "updtrig", "seltrig", "category"})
    b.Col(c, IntT(TypeId::kInt));
  b.Col("cache", IntT(TypeId::kSmallInt));
  for (const auto& o : cat.objects) {
    bool key = o.xtype == "PK" || o.xtype == "UQ";
    b.Begin();
    b.Str(o.name);
    b.Int(o.id);
    b.Str(Pad2(o.xtype));
    b.Int(1);
    b.Int(0);
    b.Int(0);
    b.Int(0);
    b.Int(0);
    b.Int(o.parent_id);
    b.Date(o.crdate);
    b.Int(0);
    b.Int(0);
    b.Int(0);
    b.Str(key ? "K " : Pad2(o.xtype));
    b.Int(o.xtype == "U" ? 1 : 0);
    b.Int(o.xtype == "U" ? 1 : o.xtype == "V" ? 2 : 0);
    b.Int(0);
    b.Date(o.crdate);
    for (int i = 0; i < 6; ++i) b.Int(0);
    b.Int(0);
  }
  return b.Take();
}

ResultSet SysColumns(Store& db) {
  const Catalog& cat = db.catalog();
  Builder b;
  b.Col("name", kSysname);
  b.Col("id", IntT(TypeId::kInt));
  b.Col("xtype", IntT(TypeId::kTinyInt));
  b.Col("typestat", IntT(TypeId::kTinyInt));
  b.Col("xusertype", IntT(TypeId::kSmallInt));
  b.Col("length", IntT(TypeId::kSmallInt));
  b.Col("xprec", IntT(TypeId::kTinyInt));
  b.Col("xscale", IntT(TypeId::kTinyInt));
  b.Col("colid", IntT(TypeId::kSmallInt));
  b.Col("xoffset", IntT(TypeId::kSmallInt));
  b.Col("bitpos", IntT(TypeId::kTinyInt));
  b.Col("reserved", IntT(TypeId::kTinyInt));
  b.Col("colstat", IntT(TypeId::kSmallInt));
  b.Col("cdefault", IntT(TypeId::kInt));
  b.Col("domain", IntT(TypeId::kInt));
  b.Col("number", IntT(TypeId::kSmallInt));
  b.Col("colorder", IntT(TypeId::kSmallInt));
  b.Col("offset", IntT(TypeId::kSmallInt));
  b.Col("collationid", IntT(TypeId::kInt));
  b.Col("status", IntT(TypeId::kTinyInt));
  b.Col("type", IntT(TypeId::kTinyInt));
  b.Col("usertype", IntT(TypeId::kSmallInt));
  b.Col("printfmt", SqlType{TypeId::kVarChar, 255, 0, 0});
  b.Col("prec", IntT(TypeId::kSmallInt));
  b.Col("scale", IntT(TypeId::kInt));
  b.Col("iscomputed", IntT(TypeId::kInt));
  b.Col("isoutparam", IntT(TypeId::kInt));
  b.Col("isnullable", IntT(TypeId::kInt));
  b.Col("collation", kSysname);
  for (const auto& [id, t] : cat.tables) {
    for (size_t i = 0; i < t.columns.size(); ++i) {
      const ColumnDef& c = t.columns[i];
      TypeFacts f = sysviews::Facts(c.type);
      b.Begin();
      b.Str(c.name);
      b.Int(id);
      b.Int(f.xtype);
      b.Int(0);
      b.Int(f.xtype);
      b.Int(f.bytes);
      b.Int(f.precision.value_or(0));
      b.Int(f.scale.value_or(0));
      b.Int(c.colid);
      b.Int(0);
      b.Int(0);
      b.Int(0);
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
  return b.Take();
}

ResultSet SysTypes() {
  Builder b;
  b.Col("name", kSysname);
  b.Col("xtype", IntT(TypeId::kTinyInt));
  b.Col("status", IntT(TypeId::kTinyInt));
  b.Col("xusertype", IntT(TypeId::kSmallInt));
  b.Col("length", IntT(TypeId::kSmallInt));
  b.Col("xprec", IntT(TypeId::kTinyInt));
  b.Col("xscale", IntT(TypeId::kTinyInt));
  b.Col("tdefault", IntT(TypeId::kInt));
  b.Col("domain", IntT(TypeId::kInt));
  b.Col("uid", IntT(TypeId::kSmallInt));
  b.Col("reserved", IntT(TypeId::kSmallInt));
  b.Col("collationid", IntT(TypeId::kInt));
  b.Col("usertype", IntT(TypeId::kSmallInt));
  b.Col("variable", IntT(TypeId::kBit));
  b.Col("allownulls", IntT(TypeId::kBit));
  b.Col("type", IntT(TypeId::kTinyInt));
  b.Col("printfmt", SqlType{TypeId::kVarChar, 255, 0, 0});
  b.Col("prec", IntT(TypeId::kSmallInt));
  b.Col("scale", IntT(TypeId::kTinyInt));
  b.Col("collation", kSysname);
  for (const auto& t : sysviews::BuiltinTypes()) {
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
  return b.Take();
}

ResultSet SysIndexes(Store& db) {
  const Catalog& cat = db.catalog();
  Builder b;
  b.Col("id", IntT(TypeId::kInt));
  b.Col("status", IntT(TypeId::kInt));
  b.Col("indid", IntT(TypeId::kSmallInt));
  b.Col("name", kSysname);
  for (const char* c : {"minlen", "keycnt", "groupid"}) b.Col(c, IntT(TypeId::kSmallInt));
  for (const char* c : {"dpages", "reserved", "used"}) b.Col(c, IntT(TypeId::kInt));
  b.Col("rowcnt", IntT(TypeId::kBigInt));
  for (const char* c : {"rowmodctr", "reserved3", "reserved4"}) b.Col(c, IntT(TypeId::kInt));
  for (const char* c : {"xmaxlen", "maxirow"}) b.Col(c, IntT(TypeId::kSmallInt));
  for (const char* c : {"OrigFillFactor", "StatVersion"}) b.Col(c, IntT(TypeId::kTinyInt));
  b.Col("reserved2", IntT(TypeId::kInt));
  for (const char* c : {"impid", "lockflags"}) b.Col(c, IntT(TypeId::kSmallInt));
  for (const char* c : {"pgmodctr", "maxlen", "rows"}) b.Col(c, IntT(TypeId::kInt));
  auto row = [&](int32_t id, int status, int indid, const std::string* name, size_t keys, int64_t rows) {
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
    for (int i = 0; i < 3; ++i) b.Int(0);
    b.Int(0);
    b.Int(0);
    b.Int(0);
    b.Int(0);
    b.Int(0);
    b.Int(0);
    b.Int(0);
    b.Int(0);
    b.Int(8000);
    b.Int(rows > 2147483647 ? 2147483647 : rows);
  };
  for (const auto& [id, t] : cat.tables) {
    if (t.is_view) continue;
    int64_t rows = db.CountRows(t);
    if (!t.ClusteredIndex()) row(id, 0, 0, nullptr, 0, rows);
    for (const auto& ix : t.indexes) {
      int status = (ix.unique ? 2 : 0) | (ix.clustered ? 16 : 0) | (ix.primary_key ? 2048 : 0) |
                   (ix.unique_constraint ? 4096 : 0);
      row(id, status, ix.index_id, &ix.name, ix.columns.size(), rows);
    }
  }
  return b.Take();
}

}  // namespace

namespace sysviews {
ResultSet InformationSchemaColumns(Store& db, ExecContext& ctx);
ResultSet InformationSchemaTables(Store& db, ExecContext& ctx);
ResultSet SysDatabases(ExecContext& ctx);
ResultSet SysCatalogDatabases(ExecContext& ctx);
ResultSet SysCatalogObjects(Store& db, bool tables_only);
ResultSet SysCatalogColumns(Store& db);
}  // namespace sysviews

std::optional<ResultSet> SystemView(const ast::ObjectName& name, Store& db, ExecContext& ctx) {
  const std::string& n = name.name;
  const std::string& schema = name.schema;
  auto is = [&](std::string_view x) { return CollateEqual(n, x); };
  if (CollateEqual(schema, "INFORMATION_SCHEMA")) {
    if (is("COLUMNS")) return sysviews::InformationSchemaColumns(db, ctx);
    if (is("TABLES")) return sysviews::InformationSchemaTables(db, ctx);
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
  if (is("sysobjects")) return SysObjects(db);
  if (is("syscolumns")) return SysColumns(db);
  if (is("systypes")) return SysTypes();
  if (is("sysindexes")) return SysIndexes(db);
  if (is("sysdatabases")) return sysviews::SysDatabases(ctx);
  return std::nullopt;
}

}  // namespace engine
