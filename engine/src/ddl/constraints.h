// PRIMARY KEY, UNIQUE, FOREIGN KEY, DEFAULT and CHECK constraints, created the same way by
// CREATE TABLE (after the empty table exists) and by ALTER TABLE ADD.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ast.h"
#include "catalog.h"
#include "exec_context.h"
#include "store.h"

namespace engine::ddl {

// A constraint of a statement: a table-level one (`column` empty) or one written inline in the
// definition of `column`, which then is its key column, referencing column or default target.
struct PendingConstraint {
  const ast::ConstraintDef* def = nullptr;
  std::string column;
};

// Creates the constraints on table `table_id`, all or none (a failure throws and the
// statement's transaction undoes what was done). `check_foreign_keys`: validate existing rows
// against new foreign keys (WITH CHECK, the default). `written_table` names the table in
// messages as the statement wrote it. Errors: 2714, 1779, 8110, 8111, 1902, 1505, 1767, 1769,
// 1770, 1773, 1776, 1778, 8139, 547, 1752, 1754, 1781, each followed by 1750 where SQL Server
// sends it.
void ApplyConstraints(Store& db, int32_t table_id, const std::vector<PendingConstraint>& list, bool check_foreign_keys,
                      std::string_view written_table, ExecContext& ctx);

// Raises 547 for the first row of the referencing table whose non-NULL key has no parent row.
void ValidateForeignKey(Store& db, const ForeignKeyDef& fk, ExecContext& ctx);

}  // namespace engine::ddl
