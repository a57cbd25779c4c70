// The ALTER TABLE actions, one file each (alter_table.cpp dispatches): ADD, ALTER COLUMN,
// DROP CONSTRAINT, DROP COLUMN, [NO]CHECK CONSTRAINT.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ast.h"
#include "catalog.h"
#include "ddl/statements.h"
#include "exec_context.h"
#include "store.h"

namespace engine::ddl {

void AlterAdd(Store& db, const TableDef& table, const ast::AlterTableStmt& stmt, ExecContext& ctx);
void AlterColumn(Store& db, const TableDef& table, const ast::AlterTableStmt& stmt, ExecContext& ctx);

// An object that uses a column and so blocks dropping or altering it.
struct ColumnDependent {
  enum class Kind { kPrimaryKey, kUniqueKey, kIndex, kForeignKey, kDefault } kind;
  std::string name;
  bool unique = false;  // kIndex: a unique index
};
std::vector<ColumnDependent> ColumnDependents(Store& db, const TableDef& table, int ordinal);

// 5074 for each dependent (the first is the error, the rest follow it), then 4922 naming
// `action` ("ALTER COLUMN", "DROP COLUMN").
[[noreturn]] void ThrowDependents(const std::vector<ColumnDependent>& deps, std::string_view action,
                                  std::string_view column);

}  // namespace engine::ddl
