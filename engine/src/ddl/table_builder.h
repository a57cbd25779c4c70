// Turns written column definitions into catalog columns, shared by CREATE TABLE and
// ALTER TABLE ADD / ALTER COLUMN.
#pragma once

#include <string>
#include <string_view>

#include "ast.h"
#include "catalog.h"
#include "exec_context.h"

namespace engine::ddl {

// Resolves type, nullability and identity of a column definition. `in_primary_key`: the column
// is part of a PRIMARY KEY of the same statement, so a column without NULL/NOT NULL becomes
// NOT NULL. Throws 2715 (type), 2749 (identity type), 8147 (nullable identity). The default is
// not set here (constraints.h adds it as an object of its own).
ColumnDef BuildColumn(const ast::ColumnDef& def, int32_t colid, bool in_primary_key, std::string_view table,
                      ExecContext& ctx);

// The canonical text SQL Server stores for a DEFAULT expression: `0` -> "((0))",
// `('N')` -> "('N')", `getdate()` -> "(getdate())".
std::string DefaultText(const ast::ConstraintDef& def);

// True when the column definition carries an inline PRIMARY KEY constraint.
bool HasInlinePrimaryKey(const ast::ColumnDef& def);
// The inline DEFAULT constraint of a column definition, or nullptr.
const ast::ConstraintDef* InlineDefault(const ast::ColumnDef& def);

}  // namespace engine::ddl
