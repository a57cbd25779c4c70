// CREATE TABLE.
#include "ddl/constraints.h"
#include "ddl/ddl_common.h"
#include "ddl/statements.h"
#include "ddl/table_builder.h"
#include "errors.h"
#include "values.h"

namespace engine {
namespace {

using ddl::PendingConstraint;

// Columns named by a PRIMARY KEY of the statement (inline or table-level): written without
// NULL/NOT NULL they become NOT NULL.
bool InPrimaryKey(const ast::CreateTableStmt& stmt, const ast::ColumnDef& column) {
  if (ddl::HasInlinePrimaryKey(column)) return true;
  for (const auto& c : stmt.constraints) {
    if (c.kind != ast::ConstraintDef::Kind::kPrimaryKey) continue;
    for (const auto& k : c.columns) {
      if (CollateEqual(k.name, column.name)) return true;
    }
  }
  return false;
}

std::vector<ColumnDef> BuildColumns(const ast::CreateTableStmt& stmt, ExecContext& ctx) {
  std::vector<ColumnDef> columns;
  bool has_identity = false;
  for (const auto& def : stmt.columns) {
    for (const auto& prev : columns) {
      if (CollateEqual(prev.name, def.name)) throw err::ColumnSpecifiedTwice(def.name, stmt.name.name);
    }
    ColumnDef col =
        ddl::BuildColumn(def, static_cast<int32_t>(columns.size()) + 1, InPrimaryKey(stmt, def), stmt.name.name, ctx);
    if (col.identity) {
      if (has_identity) throw err::MultipleIdentity(stmt.name.name);
      has_identity = true;
    }
    columns.push_back(std::move(col));
  }
  return columns;
}

std::vector<PendingConstraint> CollectConstraints(const ast::CreateTableStmt& stmt) {
  std::vector<PendingConstraint> list;
  for (const auto& def : stmt.columns) {
    for (const auto& c : def.constraints) list.push_back({&c, def.name});
  }
  for (const auto& c : stmt.constraints) list.push_back({&c, ""});
  return list;
}

}  // namespace

// CREATE TABLE [db.][dbo.]t (c type [IDENTITY[(seed, incr)]] [NULL | NOT NULL] [DEFAULT x]
//   [PRIMARY KEY | UNIQUE | REFERENCES p (c)] ..., [CONSTRAINT n] PRIMARY KEY [CLUSTERED] (c, ...), ...)
void ExecCreateTable(const ast::CreateTableStmt& stmt, ExecContext& ctx) {
  Store& db = ddl::StoreFor(stmt.name, ctx);
  if (!ddl::IsDboSchema(stmt.name)) throw err::SchemaMissing(stmt.name.schema);
  ddl::CheckObjectNameFree(db, stmt.name.name);

  TableDef table;
  table.name = stmt.name.name;
  table.columns = BuildColumns(stmt, ctx);
  table.id = db.AllocateObjectId();
  db.CreateTable(table, Now());
  // The table is created empty first: its keys, defaults and foreign keys are then added
  // exactly as ALTER TABLE ADD adds them.
  ddl::ApplyConstraints(db, table.id, CollectConstraints(stmt), true, stmt.name.name, ctx);
}

}  // namespace engine
