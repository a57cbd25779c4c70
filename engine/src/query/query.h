// What the query layer offers the other executors and the session: running a SELECT for its
// rows and evaluating expressions. The query layer reads; it never writes rows.
#pragma once

#include "ast.h"
#include "exec_context.h"

namespace engine {

// SELECT without INTO: emits its row set (select_stmt.cpp).
void ExecSelect(const ast::SelectStmt& stmt, ExecContext& ctx);
// Runs a query and returns its rows (INSERT ... SELECT, SELECT INTO, views, CREATE VIEW column
// discovery).
ResultSet RunQuery(const ast::SelectStmt& stmt, ExecContext& ctx);
// Evaluates an expression that references no table columns (DEFAULT, PRINT, TOP, IF conditions
// with EXISTS/subqueries are allowed).
Value EvalConstant(const ast::Expr& expr, ExecContext& ctx);
// IF condition: true only when the predicate is TRUE (not UNKNOWN).
bool EvalCondition(const ast::Expr& expr, ExecContext& ctx);

}  // namespace engine
