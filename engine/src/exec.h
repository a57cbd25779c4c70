// Execution of parsed statements against a session's databases.
//
// The session (session.cpp) parses a batch, then hands each statement to ExecuteStatement
// inside a statement transaction; executors read and write through Store, emit row sets,
// row counts and messages into the ResultSink, and throw SqlError on failure. The error's
// scope decides whether the batch goes on (session.cpp applies it).
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ast.h"
#include "engine/engine.h"
#include "server.h"
#include "storage/app_locks.h"
#include "store.h"
#include "values.h"

namespace engine {

struct SessionOptions {
  bool nocount = false;
  bool ansi_null_dflt_on = true;  // new columns without NULL/NOT NULL are nullable
  bool concat_null_yields_null = true;
  ConvertOptions convert;  // ANSI_WARNINGS, DATEFORMAT
  // SET IDENTITY_INSERT: the one table of the session that has it ON (0 = none).
  std::string identity_insert_db;
  int32_t identity_insert_table = 0;
  std::string identity_insert_name;  // "db.dbo.Table" for 8107
};

class ResultSink {
 public:
  explicit ResultSink(BatchResult& out) : out_(out) {}
  // Every item from here on belongs to the next statement (StatementResult::statement).
  void BeginStatement(ast::StmtKind kind);
  void Rows(ResultSet rows, bool counted);
  void Count(int64_t n);  // suppressed by the caller when NOCOUNT is on
  void Info(Message m);
  void Error(const SqlError& e, int line);  // the error and its follow-up messages
 private:
  StatementResult& Add(StatementResult::Kind kind);

  BatchResult& out_;
  int statement_ = 0;
  StatementResult::Command command_ = StatementResult::Command::kOther;
};

class ExecContext {
 public:
  ExecContext(Server& server, SessionOptions& options, ResultSink& sink);
  // The sink of the batch being executed; a session keeps one context across batches.
  void set_sink(ResultSink& sink) { sink_ = &sink; }

  Server& server() { return server_; }
  SessionOptions& options() { return options_; }
  const ConvertOptions& convert() const { return options_.convert; }
  ResultSink& sink() { return *sink_; }

  // The current database (USE switches it).
  Store& db() { return *db_; }
  const std::string& db_name() const { return db_->name(); }
  void SetDatabase(std::unique_ptr<Store> store);
  // Store of another database named in a three-part name (master, or any other); the current
  // store when `name` is empty or the current database. nullptr when there is no such database.
  Store* Database(std::string_view name);
  // Closes this session's store of another database (before that database is dropped).
  void ForgetDatabase(std::string_view name);

  // The application locks this session holds (sp_getapplock); they end with the session.
  AppLocks& app_locks() { return app_locks_; }

  std::span<const Value> params;
  std::string_view batch_text;
  int statement_line = 1;

  // Emits a row count unless NOCOUNT is on.
  void Count(int64_t n) {
    if (!options_.nocount) sink_->Count(n);
  }
  // Emits a row set, marked uncounted when NOCOUNT is on.
  void Rows(ResultSet rows) { sink_->Rows(std::move(rows), !options_.nocount); }

 private:
  Server& server_;
  SessionOptions& options_;
  ResultSink* sink_;
  std::unique_ptr<Store> db_;
  std::vector<std::unique_ptr<Store>> others_;
  AppLocks app_locks_;
};

// ---- Dispatch (exec.cpp) ----------------------------------------------------------------------
// Runs one statement inside its own statement transaction (IF and BEGIN...END run each inner
// statement on its own). A statement-scope failure is reported to the sink and swallowed, as
// SQL Server goes on with the next statement; a batch-scope failure is thrown.
void RunStatement(const ast::Stmt& stmt, ExecContext& ctx);
// Executes one statement without transaction handling. Throws SqlError.
void ExecuteStatement(const ast::Stmt& stmt, ExecContext& ctx);
// True when the statement may write (decides BEGIN IMMEDIATE).
bool StatementWrites(const ast::Stmt& stmt);

// ---- Queries and DML (query/ and dml/: select_stmt.cpp, select_into.cpp, insert.cpp, ...) -----
void ExecSelect(const ast::SelectStmt& stmt, ExecContext& ctx);      // emits a row set
void ExecSelectInto(const ast::SelectStmt& stmt, ExecContext& ctx);  // creates and fills a table
void ExecInsert(const ast::InsertStmt& stmt, ExecContext& ctx);
void ExecUpdate(const ast::UpdateStmt& stmt, ExecContext& ctx);
void ExecDelete(const ast::DeleteStmt& stmt, ExecContext& ctx);
void ExecTruncate(const ast::TruncateStmt& stmt, ExecContext& ctx);
// EXEC of a system procedure (procedures.cpp).
void ExecExecute(const ast::ExecuteStmt& stmt, ExecContext& ctx);
// Runs a query and returns its rows (INSERT ... SELECT, views, CREATE VIEW column discovery).
ResultSet RunQuery(const ast::SelectStmt& stmt, ExecContext& ctx);
// Evaluates an expression that references no table columns (DEFAULT, PRINT, TOP, IF conditions
// with EXISTS/subqueries are allowed).
Value EvalConstant(const ast::Expr& expr, ExecContext& ctx);
// IF condition: true only when the predicate is TRUE (not UNKNOWN).
bool EvalCondition(const ast::Expr& expr, ExecContext& ctx);
// Inserts one row given as column values by ordinal (absent = default/identity/NULL), applying
// identity, defaults, NOT NULL (515) and conversions (8152); used by INSERT and by tools.
int64_t InsertRow(const TableDef& table, std::vector<std::optional<Value>> values, ExecContext& ctx,
                  bool explicit_identity);

// ---- DDL (ddl/: create_table.cpp, alter_table.cpp, index.cpp, view.cpp, database.cpp) ---------
void ExecCreateTable(const ast::CreateTableStmt& stmt, ExecContext& ctx);
void ExecDropTable(const ast::DropStmt& stmt, ExecContext& ctx);
void ExecDropView(const ast::DropStmt& stmt, ExecContext& ctx);
void ExecAlterTable(const ast::AlterTableStmt& stmt, ExecContext& ctx);
void ExecCreateIndex(const ast::CreateIndexStmt& stmt, ExecContext& ctx);
void ExecDropIndex(const ast::DropIndexStmt& stmt, ExecContext& ctx);
void ExecCreateView(const ast::CreateViewStmt& stmt, ExecContext& ctx);
void ExecCreateDatabase(const ast::DatabaseStmt& stmt, ExecContext& ctx);
void ExecDropDatabase(const ast::DatabaseStmt& stmt, ExecContext& ctx);

// ---- Session statements (session_statements.cpp): they change the session, not a database ----
void ExecUse(const ast::DatabaseStmt& stmt, ExecContext& ctx);
void ExecSet(const ast::SetStmt& stmt, ExecContext& ctx);

// System views (sysobjects, syscolumns, systypes, sysindexes, sysdatabases,
// INFORMATION_SCHEMA.COLUMNS/TABLES, sys.tables, sys.columns, sys.objects, sys.databases) are
// FROM sources of the query layer: query/sysview.h.

}  // namespace engine
