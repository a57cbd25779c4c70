#include "ddl/ddl_common.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "errors.h"
#include "values.h"

namespace engine::ddl {
namespace {

std::string Hex(uint32_t v) {
  std::array<char, 9> buf{};
  std::snprintf(buf.data(), buf.size(), "%08X", v);
  return buf.data();
}

// Mixes the object id into a second word so that names look like SQL Server's without
// depending on anything but the id (which already makes them unique in the database).
uint32_t Scramble(uint32_t v) {
  v ^= v >> 16;
  v *= 0x7feb352dU;
  v ^= v >> 15;
  v *= 0x846ca68bU;
  v ^= v >> 16;
  return v;
}

}  // namespace

bool IsDboSchema(const ast::ObjectName& name) { return name.schema.empty() || CollateEqual(name.schema, "dbo"); }

Store& StoreFor(const ast::ObjectName& name, ExecContext& ctx) {
  Store* db = ctx.Database(name.db);
  if (db == nullptr) throw err::DatabaseMissing(name.db);
  return *db;
}

const TableDef* LookupTable(Store& db, const ast::ObjectName& name) {
  if (!IsDboSchema(name)) return nullptr;
  return db.catalog().FindTable(name.name);
}

const TableDef& AlterTarget(Store& db, const ast::ObjectName& name) {
  const TableDef* table = LookupTable(db, name);
  if (table == nullptr) throw err::CannotFindObject(name.written.empty() ? name.name : name.written);
  if (table->is_view) throw err::NotATable(name.name);
  return *table;
}

void CheckObjectNameFree(Store& db, std::string_view name) {
  if (db.catalog().FindObject(name) != nullptr) throw err::ObjectExists(name);
}

std::string KeyConstraintName(std::string_view prefix, std::string_view table, int32_t object_id) {
  std::string name(prefix);
  name += "__" + Utf8Substr(table, 0, 8) + "__";
  name += Hex(static_cast<uint32_t>(object_id)) + Hex(Scramble(static_cast<uint32_t>(object_id)));
  return name;
}

std::string ColumnConstraintName(std::string_view prefix, std::string_view table, std::string_view column,
                                 int32_t object_id) {
  std::string name(prefix);
  name += "__" + Utf8Substr(table, 0, 9) + "__" + Utf8Substr(column, 0, 5) + "__";
  name += Hex(static_cast<uint32_t>(object_id));
  return name;
}

int32_t NextIndexId(const TableDef& table, bool clustered) {
  if (clustered) return 1;
  int32_t next = 2;
  for (const auto& ix : table.indexes) next = std::max(next, ix.index_id + 1);
  return next;
}

std::string ThreePartName(Store& db, const TableDef& table) { return db.name() + ".dbo." + table.name; }

bool SameColumnSet(std::vector<int> a, std::vector<int> b) {
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  return a == b;
}

}  // namespace engine::ddl
