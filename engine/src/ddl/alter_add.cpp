// ALTER TABLE ... ADD: new columns and constraints, applied as one statement.
#include <algorithm>

#include "ddl/alter_table.h"
#include "ddl/constraints.h"
#include "ddl/ddl_common.h"
#include "ddl/table_builder.h"
#include "errors.h"
#include "query/query.h"
#include "values.h"

namespace engine::ddl {
namespace {

bool NamedByPrimaryKey(const ast::AlterTableStmt& stmt, const ast::ColumnDef& column) {
  if (HasInlinePrimaryKey(column)) return true;
  for (const auto& c : stmt.add_constraints) {
    if (c.kind != ast::ConstraintDef::Kind::kPrimaryKey) continue;
    for (const auto& k : c.columns) {
      if (CollateEqual(k.name, column.name)) return true;
    }
  }
  return false;
}

// Names must be new to the table and to the statement (collation, trailing blanks ignored);
// a table has at most one identity column.
void CheckNewColumns(const TableDef& table, const ast::AlterTableStmt& stmt) {
  bool identity = table.IdentityColumn().has_value();
  for (size_t i = 0; i < stmt.add_columns.size(); ++i) {
    const auto& def = stmt.add_columns[i];
    bool taken = table.FindColumn(def.name).has_value();
    for (size_t j = 0; j < i && !taken; ++j) taken = CollateEqual(stmt.add_columns[j].name, def.name);
    if (taken) throw err::ColumnSpecifiedTwice(def.name, table.name);
    if (def.identity) {
      if (identity) throw err::MultipleIdentity(table.name);
      identity = true;
    }
  }
}

int32_t MaxColid(const TableDef& table) {
  int32_t max = 0;
  for (const auto& c : table.columns) max = std::max(max, c.colid);
  return max;
}

// Orders rows as the clustered index does (NULL first, DESC reversed); a heap keeps row ids.
void SortByClusteredKey(const TableDef& table, std::vector<std::pair<int64_t, Row>>& rows, ExecContext& ctx) {
  const IndexDef* clustered = table.ClusteredIndex();
  if (clustered == nullptr) return;
  auto less = [&](const std::pair<int64_t, Row>& a, const std::pair<int64_t, Row>& b) {
    for (size_t k = 0; k < clustered->columns.size(); ++k) {
      const Value& x = a.second[clustered->columns[k]];
      const Value& y = b.second[clustered->columns[k]];
      int c = 0;
      if (x.is_null() || y.is_null()) {
        c = (x.is_null() ? 0 : 1) - (y.is_null() ? 0 : 1);
      } else {
        c = Compare(x, y, ctx.convert()).value_or(0);
      }
      if (k < clustered->descending.size() && clustered->descending[k]) c = -c;
      if (c != 0) return c < 0;
    }
    return false;
  };
  std::stable_sort(rows.begin(), rows.end(), less);
}

// Existing rows of a table that gets an identity column are numbered seed, seed + increment,
// ... in clustered-key order, as SQL Server rebuilds the table in that order.
void NumberExistingRows(Store& db, int32_t table_id, int32_t colid, ExecContext& ctx) {
  const TableDef& table = *db.catalog().TableById(table_id);
  auto it =
      std::find_if(table.columns.begin(), table.columns.end(), [&](const ColumnDef& c) { return c.colid == colid; });
  if (it == table.columns.end()) return;
  const ColumnDef& col = *it;
  size_t ordinal = static_cast<size_t>(it - table.columns.begin());
  std::vector<std::pair<int64_t, Row>> rows;
  db.Scan(table, [&](int64_t rowid, Row& row) {
    rows.emplace_back(rowid, row);
    return true;
  });
  std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  SortByClusteredKey(table, rows, ctx);
  int64_t value = col.seed;
  for (auto& [rowid, row] : rows) {
    row[ordinal] = Convert(Value::Int(value, TypeId::kBigInt), col.type, ctx.convert(), ConvertMode::kAssign);
    db.Update(table, rowid, row);
    db.NoteIdentity(table, value);
    value += col.increment;
  }
}

std::vector<ColumnDef> BuildNewColumns(const TableDef& table, const ast::AlterTableStmt& stmt, int64_t rows,
                                       ExecContext& ctx) {
  std::vector<ColumnDef> columns;
  int32_t colid = MaxColid(table);
  for (const auto& def : stmt.add_columns) {
    ColumnDef col = BuildColumn(def, ++colid, NamedByPrimaryKey(stmt, def), table.name, ctx);
    if (rows > 0 && !col.nullable && !col.identity && InlineDefault(def) == nullptr) {
      throw err::ColumnCannotBeAdded(def.name, table.name);
    }
    columns.push_back(std::move(col));
  }
  return columns;
}

// What existing rows hold in a new column: its default (evaluated once for all rows) when the
// column is NOT NULL, else NULL (SQL Server fills nullable columns only WITH VALUES).
Value FillValue(const ast::ColumnDef& def, const ColumnDef& col, ExecContext& ctx) {
  const ast::ConstraintDef* dflt = InlineDefault(def);
  if (col.nullable || col.identity || dflt == nullptr || dflt->expr == nullptr) return Value::Null(col.type);
  return Convert(EvalConstant(*dflt->expr, ctx), col.type, ctx.convert(), ConvertMode::kAssign);
}

}  // namespace

// ALTER TABLE t [WITH CHECK | WITH NOCHECK] ADD c type [...][, ...] [, [CONSTRAINT n] PRIMARY KEY (...)]
void AlterAdd(Store& db, const TableDef& table_in, const ast::AlterTableStmt& stmt, ExecContext& ctx) {
  int32_t table_id = table_in.id;
  CheckNewColumns(table_in, stmt);
  int64_t rows = stmt.add_columns.empty() ? 0 : db.CountRows(table_in);
  std::vector<ColumnDef> columns = BuildNewColumns(table_in, stmt, rows, ctx);

  std::vector<PendingConstraint> constraints;
  for (size_t i = 0; i < columns.size(); ++i) {
    const ast::ColumnDef& def = stmt.add_columns[i];
    db.AddColumn(table_id, columns[i], rows > 0 ? FillValue(def, columns[i], ctx) : Value::Null(columns[i].type));
    if (columns[i].identity && rows > 0) NumberExistingRows(db, table_id, columns[i].colid, ctx);
    for (const auto& c : def.constraints) constraints.push_back({&c, def.name});
  }
  for (const auto& c : stmt.add_constraints) constraints.push_back({&c, ""});
  ApplyConstraints(db, table_id, constraints, stmt.with_check.value_or(true), stmt.table.name, ctx);
}

}  // namespace engine::ddl
