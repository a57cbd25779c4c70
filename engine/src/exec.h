// Execution of parsed statements against a session's databases.
//
// The session (session.cpp) parses a batch, then hands each statement to ExecuteStatement
// inside a statement transaction; executors read and write through Store, emit row sets,
// row counts and messages into the ResultSink, and throw SqlError on failure. The error's
// scope decides whether the batch goes on (session.cpp applies it).
//
// This is the session's header: executors include exec_context.h and the entry headers of
// the folders they call (query/query.h), never this one.
#pragma once

#include "ast.h"
#include "ddl/statements.h"
#include "dml/statements.h"
#include "exec_context.h"
#include "query/query.h"

namespace engine {

// ---- Dispatch (exec.cpp) ----------------------------------------------------------------------
// RunStatement (exec_context.h) runs one statement inside its own statement transaction (IF
// and BEGIN...END run each inner statement on its own). A statement-scope failure is reported
// to the sink and swallowed, as SQL Server goes on with the next statement; a batch-scope
// failure is thrown.

// Executes one statement without transaction handling. Throws SqlError.
void ExecuteStatement(const ast::Stmt& stmt, ExecContext& ctx);
// True when the statement may write (decides BEGIN IMMEDIATE).
bool StatementWrites(const ast::Stmt& stmt);

// EXEC of a system procedure (procedures.cpp).
void ExecExecute(const ast::ExecuteStmt& stmt, ExecContext& ctx);

// ---- Session statements (session_statements.cpp): they change the session, not a database ----
void ExecUse(const ast::DatabaseStmt& stmt, ExecContext& ctx);
void ExecSet(const ast::SetStmt& stmt, ExecContext& ctx);

// System views (sysobjects, syscolumns, systypes, sysindexes, sysdatabases,
// INFORMATION_SCHEMA.COLUMNS/TABLES, sys.tables, sys.columns, sys.objects, sys.databases) are
// FROM sources of the query layer: query/sysview.h.

}  // namespace engine
