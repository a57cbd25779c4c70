// ALTER TABLE ... ALTER COLUMN: new type and nullability of a column, its rows converted.
#include <optional>

#include "ddl/alter_table.h"
#include "ddl/ddl_common.h"
#include "errors.h"
#include "values.h"

namespace engine::ddl {
namespace {

using DepKind = ColumnDependent::Kind;

struct Change {
  bool type = false;         // another base type
  bool size = false;         // same base type, other length/precision/scale
  bool var_growth = false;   // varchar/nvarchar made longer
  bool to_nullable = false;  // NOT NULL -> NULL
};

Change Classify(const ColumnDef& from, const ColumnDef& to) {
  Change c;
  c.type = from.type.id != to.type.id;
  c.size = !c.type && !(from.type == to.type);
  bool variable = to.type.id == TypeId::kVarChar || to.type.id == TypeId::kNVarChar;
  if (c.size && variable) {
    c.var_growth = to.type.length == -1 || (from.type.length != -1 && to.type.length > from.type.length);
  }
  c.to_nullable = !from.nullable && to.nullable;
  return c;
}

// Which users of the column forbid this change (SQL Server's rules for ALTER COLUMN).
bool Blocks(const ColumnDependent& dep, const Change& c) {
  bool resized = c.size && !c.var_growth;
  switch (dep.kind) {
    case DepKind::kPrimaryKey:
      return c.type || resized || c.to_nullable;
    case DepKind::kUniqueKey:
    case DepKind::kIndex:
      return c.type || resized;
    case DepKind::kForeignKey:
      return c.type || c.size;
    case DepKind::kDefault:
      return c.type;
  }
  return false;
}

ColumnDef NewDefinition(const ColumnDef& old, const ast::ColumnDef& def, const TableDef& table) {
  ColumnDef col = old;  // keeps colid, stored name, identity and default
  col.type = ResolveType(def.type, 1);
  // ALTER COLUMN always applies the ANSI default: without NOT NULL the column allows NULL.
  col.nullable = def.nullable.value_or(true);
  if (col.identity) {
    bool integral = col.type.IsInteger() && col.type.id != TypeId::kBit;
    bool exact = (col.type.id == TypeId::kDecimal || col.type.id == TypeId::kNumeric) && col.type.scale == 0;
    if (!integral && !exact) throw err::IdentityTypeInvalid(def.name);
    if (def.nullable.value_or(false)) throw err::IdentityNullable(def.name, table.name);
    col.nullable = false;
  }
  return col;
}

// Converts the column's value in every row; the rows whose stored value changes are returned.
// Errors end the batch; NULL in a column made NOT NULL is 515 as an UPDATE reports it.
std::vector<std::pair<int64_t, Row>> ConvertRows(Store& db, const TableDef& table, int ordinal, const ColumnDef& col,
                                                 bool retype, ExecContext& ctx) {
  std::vector<std::pair<int64_t, Row>> changed;
  std::optional<SqlError> failure;
  db.Scan(table, [&](int64_t rowid, Row& row) {
    Value& v = row[ordinal];
    try {
      if (!v.is_null() && retype) v = Convert(v, col.type, ctx.convert(), ConvertMode::kAssign);
      if (v.is_null() && !col.nullable) {
        failure = err::NullNotAllowed(col.name, ThreePartName(db, table), "UPDATE");
        return false;
      }
    } catch (const SqlError& e) {
      failure = e;
      return false;
    }
    if (retype) changed.emplace_back(rowid, row);
    return true;
  });
  if (failure) {
    failure->set_scope(ErrorScope::kBatch);
    throw *failure;
  }
  return changed;
}

}  // namespace

// ALTER TABLE t ALTER COLUMN c type[(size)] [NULL | NOT NULL]
void AlterColumn(Store& db, const TableDef& table_in, const ast::AlterTableStmt& stmt, ExecContext& ctx) {
  const ast::ColumnDef& def = stmt.alter_column;
  int32_t table_id = table_in.id;
  auto ord = table_in.FindColumn(def.name);
  if (!ord) throw err::ColumnDoesNotExist("ALTER TABLE ALTER COLUMN " + def.name, def.name, table_in.name);
  const ColumnDef old = table_in.columns[*ord];
  ColumnDef col = NewDefinition(old, def, table_in);

  Change change = Classify(old, col);
  std::vector<ColumnDependent> blocked;
  for (const auto& dep : ColumnDependents(db, table_in, *ord)) {
    if (Blocks(dep, change)) blocked.push_back(dep);
  }
  if (!blocked.empty()) ThrowDependents(blocked, "ALTER COLUMN", def.name);

  bool retype = !(old.type == col.type);
  std::vector<std::pair<int64_t, Row>> changed;
  if (retype || (old.nullable && !col.nullable)) changed = ConvertRows(db, table_in, *ord, col, retype, ctx);
  db.ReplaceColumn(table_id, col);
  const TableDef& table = *db.catalog().TableById(table_id);
  for (const auto& [rowid, row] : changed) db.Update(table, rowid, row);
}

}  // namespace engine::ddl
