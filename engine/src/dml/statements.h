// The statements of dml/, as the session dispatches them: every statement that writes rows.
#pragma once

#include <optional>
#include <vector>

#include "ast.h"
#include "exec_context.h"

namespace engine {

void ExecSelectInto(const ast::SelectStmt& stmt, ExecContext& ctx);  // creates and fills a table
void ExecInsert(const ast::InsertStmt& stmt, ExecContext& ctx);
void ExecUpdate(const ast::UpdateStmt& stmt, ExecContext& ctx);
void ExecDelete(const ast::DeleteStmt& stmt, ExecContext& ctx);
void ExecTruncate(const ast::TruncateStmt& stmt, ExecContext& ctx);
// Inserts one row given as column values by ordinal (absent = default/identity/NULL), applying
// identity, defaults, NOT NULL (515) and conversions (8152); used by INSERT and by tools.
int64_t InsertRow(const TableDef& table, std::vector<std::optional<Value>> values, ExecContext& ctx,
                  bool explicit_identity);

}  // namespace engine
