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

}  // namespace engine
