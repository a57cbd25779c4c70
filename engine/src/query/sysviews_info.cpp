// INFORMATION_SCHEMA views, the sys catalog views, the database lists and the type facts they
// share with the compatibility views. A file of their own so that each family of views stays
// readable beside the compatibility views of sysviews.cpp.
#include "errors.h"
#include "query/systypes.h"
#include "query/sysview.h"

namespace engine::sysviews {
namespace {

const SqlType kSysname{TypeId::kNVarChar, 128, 0, 0};

SqlType T(TypeId id, int32_t len = 0) { return SqlType{id, len, 0, 0}; }

void AddCol(std::vector<ColumnInfo>& columns, std::string name, SqlType t) {
  columns.push_back(ColumnInfo{std::move(name), t, true});
}

Value S(const std::string& s, const SqlType& t) { return Value::String(s, t); }
Value I(int64_t v, TypeId id) { return Value::Int(v, id); }
Value N(TypeId id, int32_t len = 0) { return Value::Null(T(id, len)); }
Value IorN(std::optional<int> v, TypeId id) { return v ? I(*v, id) : N(id); }

std::string TypeDesc(const std::string& xtype) {
  if (xtype == "U") return "USER_TABLE";
  if (xtype == "V") return "VIEW";
  if (xtype == "PK") return "PRIMARY_KEY_CONSTRAINT";
  if (xtype == "UQ") return "UNIQUE_CONSTRAINT";
  if (xtype == "F") return "FOREIGN_KEY_CONSTRAINT";
  if (xtype == "D") return "DEFAULT_CONSTRAINT";
  if (xtype == "C") return "CHECK_CONSTRAINT";
  return "USER_TABLE";
}

std::optional<int> InfoNumericPrecision(const SqlType& t) {
  switch (t.id) {
    case TypeId::kTinyInt:
      return 3;
    case TypeId::kSmallInt:
      return 5;
    case TypeId::kInt:
      return 10;
    case TypeId::kBigInt:
      return 19;
    case TypeId::kReal:
      return 24;
    case TypeId::kFloat:
      return 53;
    case TypeId::kMoney:
      return 19;
    case TypeId::kSmallMoney:
      return 10;
    case TypeId::kDecimal:
    case TypeId::kNumeric:
      return t.precision;
    default:
      return std::nullopt;
  }
}

std::optional<int> InfoRadix(const SqlType& t) {
  if (t.id == TypeId::kReal || t.id == TypeId::kFloat) return 2;
  if (InfoNumericPrecision(t)) return 10;
  return std::nullopt;
}

std::optional<int> InfoScale(const SqlType& t) {
  if (t.IsInteger() && t.id != TypeId::kBit) return 0;
  if (t.id == TypeId::kMoney || t.id == TypeId::kSmallMoney) return 4;
  if (t.id == TypeId::kDecimal || t.id == TypeId::kNumeric) return t.scale;
  return std::nullopt;
}

std::optional<int> CharMax(const SqlType& t) {
  if (t.id == TypeId::kText) return 2147483647;
  if (t.id == TypeId::kNText) return 1073741823;
  if (t.IsString()) return t.length;
  return std::nullopt;
}

std::optional<int> CharOctets(const SqlType& t) {
  if (t.id == TypeId::kText) return 2147483647;
  if (t.id == TypeId::kNText) return 2147483646;
  if (t.IsString()) return t.length < 0 ? -1 : (t.IsUnicode() ? 2 * t.length : t.length);
  return std::nullopt;
}

}  // namespace

TypeFacts Facts(const SqlType& t) {
  TypeFacts f;
  switch (t.id) {
    case TypeId::kBit:
      f = {104, 1, 1, 0};
      break;
    case TypeId::kTinyInt:
      f = {48, 1, 3, 0};
      break;
    case TypeId::kSmallInt:
      f = {52, 2, 5, 0};
      break;
    case TypeId::kInt:
      f = {56, 4, 10, 0};
      break;
    case TypeId::kBigInt:
      f = {127, 8, 19, 0};
      break;
    case TypeId::kDecimal:
    case TypeId::kNumeric: {
      int p = t.precision;
      int bytes = p <= 9 ? 5 : p <= 19 ? 9 : p <= 28 ? 13 : 17;
      f = {t.id == TypeId::kDecimal ? 106 : 108, bytes, p, t.scale};
      break;
    }
    case TypeId::kMoney:
      f = {60, 8, 19, 4};
      break;
    case TypeId::kSmallMoney:
      f = {122, 4, 10, 4};
      break;
    case TypeId::kReal:
      f = {59, 4, 24, std::nullopt};
      break;
    case TypeId::kFloat:
      f = {62, 8, 53, std::nullopt};
      break;
    case TypeId::kChar:
      f = {175, t.length, std::nullopt, std::nullopt};
      break;
    case TypeId::kVarChar:
      f = {167, t.length, std::nullopt, std::nullopt};
      break;
    case TypeId::kText:
      f = {35, 16, std::nullopt, std::nullopt};
      break;
    case TypeId::kNChar:
      f = {239, 2 * t.length, std::nullopt, std::nullopt};
      break;
    case TypeId::kNVarChar:
      f = {231, t.length < 0 ? -1 : 2 * t.length, std::nullopt, std::nullopt};
      break;
    case TypeId::kNText:
      f = {99, 16, std::nullopt, std::nullopt};
      break;
    case TypeId::kDateTime:
      f = {61, 8, 23, 3};
      break;
    case TypeId::kSmallDateTime:
      f = {58, 4, 16, 0};
      break;
    case TypeId::kUniqueIdentifier:
      f = {36, 16, std::nullopt, std::nullopt};
      break;
    default:
      f = {56, 4, 10, 0};
      break;
  }
  return f;
}

const std::vector<BuiltinType>& BuiltinTypes() {
  static const std::vector<BuiltinType> types = {
      {"image", 34, 34, 16, 0, 0, 2147483647, false, false, false},
      {"text", 35, 35, 16, 0, 0, 2147483647, false, true, false},
      {"uniqueidentifier", 36, 36, 16, 0, 0, 16, false, false, false},
      {"date", 40, 40, 3, 10, 0, 10, false, false, true},
      {"time", 41, 41, 5, 16, 7, 16, false, false, true},
      {"datetime2", 42, 42, 8, 27, 7, 27, false, false, true},
      {"datetimeoffset", 43, 43, 10, 34, 7, 34, false, false, true},
      {"tinyint", 48, 48, 1, 3, 0, 3, false, false, true},
      {"smallint", 52, 52, 2, 5, 0, 5, false, false, true},
      {"int", 56, 56, 4, 10, 0, 10, false, false, true},
      {"smalldatetime", 58, 58, 4, 16, 0, 16, false, false, true},
      {"real", 59, 59, 4, 24, 0, 24, false, false, false},
      {"money", 60, 60, 8, 19, 4, 19, false, false, true},
      {"datetime", 61, 61, 8, 23, 3, 23, false, false, true},
      {"float", 62, 62, 8, 53, 0, 53, false, false, false},
      {"sql_variant", 98, 98, 8016, 0, 0, 0, false, false, false},
      {"ntext", 99, 99, 16, 0, 0, 1073741823, false, true, false},
      {"bit", 104, 104, 1, 1, 0, 1, false, false, true},
      {"decimal", 106, 106, 17, 38, 38, 38, false, false, true},
      {"numeric", 108, 108, 17, 38, 38, 38, false, false, true},
      {"smallmoney", 122, 122, 4, 10, 4, 10, false, false, true},
      {"bigint", 127, 127, 8, 19, 0, 19, false, false, true},
      {"hierarchyid", 240, 128, 892, 0, 0, 892, true, false, false},
      {"geometry", 240, 129, -1, 0, 0, -1, true, false, false},
      {"geography", 240, 130, -1, 0, 0, -1, true, false, false},
      {"varbinary", 165, 165, 8000, 0, 0, 8000, true, false, false},
      {"varchar", 167, 167, 8000, 0, 0, 8000, true, true, false},
      {"binary", 173, 173, 8000, 0, 0, 8000, false, false, false},
      {"char", 175, 175, 8000, 0, 0, 8000, false, true, false},
      {"timestamp", 189, 189, 8, 0, 0, 8, false, false, false},
      {"nvarchar", 231, 231, 8000, 0, 0, 4000, true, true, false},
      {"nchar", 239, 239, 8000, 0, 0, 4000, false, true, false},
      {"xml", 241, 241, -1, 0, 0, -1, false, false, false},
      {"sysname", 231, 256, 256, 0, 0, 128, true, true, false},
  };
  return types;
}

// INFORMATION_SCHEMA.COLUMNS: one row per column of every table and view; a TABLE_NAME lookup
// builds the rows of that table only.
namespace {

constexpr int kInfoTableName = 2;
constexpr int kInfoColumnName = 3;

const std::vector<ColumnInfo>& InformationSchemaColumnsColumns() {
  static const std::vector<ColumnInfo> columns = [] {
    std::vector<ColumnInfo> c;
    for (const char* n : {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME"}) AddCol(c, n, kSysname);
    AddCol(c, "ORDINAL_POSITION", T(TypeId::kInt));
    AddCol(c, "COLUMN_DEFAULT", T(TypeId::kNVarChar, 4000));
    AddCol(c, "IS_NULLABLE", T(TypeId::kVarChar, 3));
    AddCol(c, "DATA_TYPE", kSysname);
    AddCol(c, "CHARACTER_MAXIMUM_LENGTH", T(TypeId::kInt));
    AddCol(c, "CHARACTER_OCTET_LENGTH", T(TypeId::kInt));
    AddCol(c, "NUMERIC_PRECISION", T(TypeId::kTinyInt));
    AddCol(c, "NUMERIC_PRECISION_RADIX", T(TypeId::kSmallInt));
    AddCol(c, "NUMERIC_SCALE", T(TypeId::kInt));
    AddCol(c, "DATETIME_PRECISION", T(TypeId::kSmallInt));
    for (const char* n : {"CHARACTER_SET_CATALOG", "CHARACTER_SET_SCHEMA", "CHARACTER_SET_NAME", "COLLATION_CATALOG",
                          "COLLATION_SCHEMA", "COLLATION_NAME", "DOMAIN_CATALOG", "DOMAIN_SCHEMA", "DOMAIN_NAME"})
      AddCol(c, n, kSysname);
    return c;
  }();
  return columns;
}

Row InformationSchemaColumnRow(Store& db, const TableDef& t, size_t i) {
  const ColumnDef& c = t.columns[i];
  const SqlType& ty = c.type;
  Row r;
  r.reserve(InformationSchemaColumnsColumns().size());
  r.push_back(S(db.name(), kSysname));
  r.push_back(S("dbo", kSysname));
  r.push_back(S(t.name, kSysname));
  r.push_back(S(c.name, kSysname));
  r.push_back(I(static_cast<int64_t>(i + 1), TypeId::kInt));
  r.push_back(c.default_text.empty() ? N(TypeId::kNVarChar, 4000) : S(c.default_text, T(TypeId::kNVarChar, 4000)));
  r.push_back(S(c.nullable ? "YES" : "NO", T(TypeId::kVarChar, 3)));
  r.push_back(S(ty.Name(), kSysname));
  r.push_back(IorN(CharMax(ty), TypeId::kInt));
  r.push_back(IorN(CharOctets(ty), TypeId::kInt));
  r.push_back(IorN(InfoNumericPrecision(ty), TypeId::kTinyInt));
  r.push_back(IorN(InfoRadix(ty), TypeId::kSmallInt));
  r.push_back(IorN(InfoScale(ty), TypeId::kInt));
  std::optional<int> dtp;
  if (ty.id == TypeId::kDateTime) dtp = 3;
  if (ty.id == TypeId::kSmallDateTime) dtp = 0;
  r.push_back(IorN(dtp, TypeId::kSmallInt));
  r.push_back(N(TypeId::kNVarChar, 128));
  r.push_back(N(TypeId::kNVarChar, 128));
  if (ty.IsString())
    r.push_back(S(ty.IsUnicode() ? "UNICODE" : "iso_1", kSysname));
  else
    r.push_back(N(TypeId::kNVarChar, 128));
  r.push_back(N(TypeId::kNVarChar, 128));
  r.push_back(N(TypeId::kNVarChar, 128));
  if (ty.IsString())
    r.push_back(S(kCollation, kSysname));
  else
    r.push_back(N(TypeId::kNVarChar, 128));
  for (int k = 0; k < 3; ++k) r.push_back(N(TypeId::kNVarChar, 128));
  return r;
}

}  // namespace

SysView InformationSchemaColumns(Store& db) {
  Store* store = &db;
  return SysView{&InformationSchemaColumnsColumns(),
                 {kInfoTableName, kInfoColumnName},
                 [store](const SysViewKeys& keys, auto& out) {
                   for (const TableDef* t : SelectTables(store->catalog(), keys, kInfoTableName, -1)) {
                     for (size_t i : SelectColumns(*t, keys, kInfoColumnName))
                       out.push_back(InformationSchemaColumnRow(*store, *t, i));
                   }
                 }};
}

SysView InformationSchemaTables(Store& db) {
  static const std::vector<ColumnInfo> columns = [] {
    std::vector<ColumnInfo> c;
    for (const char* n : {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME"}) AddCol(c, n, kSysname);
    AddCol(c, "TABLE_TYPE", T(TypeId::kVarChar, 10));
    return c;
  }();
  Store* store = &db;
  return SysView{&columns, {kInfoTableName}, [store](const SysViewKeys& keys, auto& out) {
                   for (const TableDef* t : SelectTables(store->catalog(), keys, kInfoTableName, -1)) {
                     out.push_back({S(store->name(), kSysname), S("dbo", kSysname), S(t->name, kSysname),
                                    S(t->is_view ? "VIEW" : "BASE TABLE", T(TypeId::kVarChar, 10))});
                   }
                 }};
}

SysView SysDatabases(ExecContext& ctx) {
  static const std::vector<ColumnInfo> columns = [] {
    std::vector<ColumnInfo> c;
    AddCol(c, "name", kSysname);
    AddCol(c, "dbid", T(TypeId::kSmallInt));
    AddCol(c, "sid", T(TypeId::kVarChar, 85));
    AddCol(c, "mode", T(TypeId::kSmallInt));
    AddCol(c, "status", T(TypeId::kInt));
    AddCol(c, "status2", T(TypeId::kInt));
    AddCol(c, "crdate", T(TypeId::kDateTime));
    AddCol(c, "reserved", T(TypeId::kDateTime));
    AddCol(c, "category", T(TypeId::kInt));
    AddCol(c, "cmptlevel", T(TypeId::kTinyInt));
    AddCol(c, "filename", T(TypeId::kNVarChar, 260));
    AddCol(c, "version", T(TypeId::kSmallInt));
    return c;
  }();
  ExecContext* c = &ctx;
  return SysView{
      &columns, {}, [c](const SysViewKeys&, auto& out) {
        for (const auto& d : c->server().ListDatabases()) {
          out.push_back({S(d.name, kSysname), I(d.dbid, TypeId::kSmallInt), N(TypeId::kVarChar, 85),
                         I(0, TypeId::kSmallInt), I(65544, TypeId::kInt), I(1090520064, TypeId::kInt),
                         Value::Date(d.crdate), Value::Date(DateTime{}), I(0, TypeId::kInt), I(100, TypeId::kTinyInt),
                         S(d.file.string(), T(TypeId::kNVarChar, 260)), I(661, TypeId::kSmallInt)});
        }
      }};
}

SysView SysCatalogDatabases(ExecContext& ctx) {
  static const std::vector<ColumnInfo> columns = [] {
    std::vector<ColumnInfo> c;
    AddCol(c, "name", kSysname);
    AddCol(c, "database_id", T(TypeId::kInt));
    AddCol(c, "create_date", T(TypeId::kDateTime));
    AddCol(c, "compatibility_level", T(TypeId::kTinyInt));
    AddCol(c, "collation_name", kSysname);
    AddCol(c, "state", T(TypeId::kTinyInt));
    AddCol(c, "state_desc", T(TypeId::kNVarChar, 60));
    return c;
  }();
  ExecContext* c = &ctx;
  return SysView{
      &columns, {}, [c](const SysViewKeys&, auto& out) {
        for (const auto& d : c->server().ListDatabases()) {
          out.push_back({S(d.name, kSysname), I(d.dbid, TypeId::kInt), Value::Date(d.crdate), I(100, TypeId::kTinyInt),
                         S(kCollation, kSysname), I(0, TypeId::kTinyInt), S("ONLINE", T(TypeId::kNVarChar, 60))});
        }
      }};
}

// sys.objects (every object) and sys.tables (user tables only).
SysView SysCatalogObjects(Store& db, bool tables_only) {
  static const std::vector<ColumnInfo> columns = [] {
    std::vector<ColumnInfo> c;
    AddCol(c, "name", kSysname);
    AddCol(c, "object_id", T(TypeId::kInt));
    AddCol(c, "principal_id", T(TypeId::kInt));
    AddCol(c, "schema_id", T(TypeId::kInt));
    AddCol(c, "parent_object_id", T(TypeId::kInt));
    AddCol(c, "type", T(TypeId::kChar, 2));
    AddCol(c, "type_desc", T(TypeId::kNVarChar, 60));
    AddCol(c, "create_date", T(TypeId::kDateTime));
    AddCol(c, "modify_date", T(TypeId::kDateTime));
    AddCol(c, "is_ms_shipped", T(TypeId::kBit));
    return c;
  }();
  Store* store = &db;
  return SysView{&columns, {0, 1}, [store, tables_only](const SysViewKeys& keys, auto& out) {
                   for (const ObjectDef* o : SelectObjects(store->catalog(), keys, 0, 1)) {
                     if (tables_only && o->xtype != "U") continue;
                     std::string type = o->xtype.size() >= 2 ? o->xtype : o->xtype + " ";
                     out.push_back({S(o->name, kSysname), I(o->id, TypeId::kInt), N(TypeId::kInt), I(1, TypeId::kInt),
                                    I(o->parent_id, TypeId::kInt), S(type, T(TypeId::kChar, 2)),
                                    S(TypeDesc(o->xtype), T(TypeId::kNVarChar, 60)), Value::Date(o->crdate),
                                    Value::Date(o->crdate), Value::Bit(false)});
                   }
                 }};
}

SysView SysCatalogColumns(Store& db) {
  static const std::vector<ColumnInfo> columns = [] {
    std::vector<ColumnInfo> c;
    AddCol(c, "object_id", T(TypeId::kInt));
    AddCol(c, "name", kSysname);
    AddCol(c, "column_id", T(TypeId::kInt));
    AddCol(c, "system_type_id", T(TypeId::kTinyInt));
    AddCol(c, "user_type_id", T(TypeId::kInt));
    AddCol(c, "max_length", T(TypeId::kSmallInt));
    AddCol(c, "precision", T(TypeId::kTinyInt));
    AddCol(c, "scale", T(TypeId::kTinyInt));
    AddCol(c, "collation_name", kSysname);
    AddCol(c, "is_nullable", T(TypeId::kBit));
    AddCol(c, "is_identity", T(TypeId::kBit));
    AddCol(c, "default_object_id", T(TypeId::kInt));
    return c;
  }();
  Store* store = &db;
  return SysView{
      &columns, {0, 1}, [store](const SysViewKeys& keys, auto& out) {
        for (const TableDef* t : SelectTables(store->catalog(), keys, -1, 0)) {
          for (size_t i : SelectColumns(*t, keys, 1)) {
            const ColumnDef& c = t->columns[i];
            TypeFacts f = Facts(c.type);
            out.push_back({I(t->id, TypeId::kInt), S(c.name, kSysname), I(c.colid, TypeId::kInt),
                           I(f.xtype, TypeId::kTinyInt), I(f.xtype, TypeId::kInt), I(f.bytes, TypeId::kSmallInt),
                           I(f.precision.value_or(0), TypeId::kTinyInt), I(f.scale.value_or(0), TypeId::kTinyInt),
                           c.type.IsString() ? S(kCollation, kSysname) : N(TypeId::kNVarChar, 128),
                           Value::Bit(c.nullable), Value::Bit(c.identity), I(c.default_id, TypeId::kInt)});
          }
        }
      }};
}

}  // namespace engine::sysviews
