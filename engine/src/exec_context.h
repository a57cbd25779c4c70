// The context a statement executes in: the session's databases, options, application locks and
// the sink its results go to.
//
// Executors (ddl/, dml/, query/) see only this header, not the session's dispatch (exec.h).
// They read the session options through `options()`; changes go through the named methods
// below, which SET and the statements that end a table's IDENTITY_INSERT call. What belongs to
// the running batch (its parameters, text and current line) is set by the session alone.
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
  void BeginStatement(StatementResult::Command command);
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

class SessionImpl;

class ExecContext {
 public:
  ExecContext(Server& server, SessionOptions& options, ResultSink& sink);

  Server& server() { return server_; }
  [[nodiscard]] const SessionOptions& options() const { return options_; }
  [[nodiscard]] const ConvertOptions& convert() const { return options_.convert; }
  ResultSink& sink() { return *sink_; }

  // ---- Session options (SET) ----
  void set_nocount(bool on) { options_.nocount = on; }
  void set_ansi_warnings(bool on) { options_.convert.ansi_warnings = on; }
  void set_ansi_null_dflt_on(bool on) { options_.ansi_null_dflt_on = on; }
  void set_concat_null_yields_null(bool on) { options_.concat_null_yields_null = on; }
  void set_dateformat(DateFormat format) { options_.convert.dateformat = format; }
  // SET IDENTITY_INSERT: `name` is the table's three-part name that error 8107 shows.
  void SetIdentityInsert(std::string db, int32_t table_id, std::string name);
  void ClearIdentityInsert();
  // True when table `table_id` of database `db` is the one with IDENTITY_INSERT ON.
  [[nodiscard]] bool IdentityInsertOn(std::string_view db, int32_t table_id) const;

  // The current database (USE switches it).
  Store& db() { return *db_; }
  [[nodiscard]] const std::string& db_name() const { return db_->name(); }
  void SetDatabase(std::unique_ptr<Store> store);
  // Store of another database named in a three-part name (master, or any other); the current
  // store when `name` is empty or the current database. nullptr when there is no such database.
  Store* Database(std::string_view name);
  // Closes this session's store of another database (before that database is dropped).
  void ForgetDatabase(std::string_view name);

  // The application locks this session holds (sp_getapplock); they end with the session.
  AppLocks& app_locks() { return app_locks_; }

  // ---- The running batch ----
  // Values of the batch's ? placeholders, in order.
  [[nodiscard]] std::span<const Value> params() const { return params_; }
  [[nodiscard]] std::string_view batch_text() const { return batch_text_; }
  // Line of the statement being executed (messages and errors name it).
  [[nodiscard]] int statement_line() const { return statement_line_; }

  // Emits a row count unless NOCOUNT is on.
  void Count(int64_t n) {
    if (!options_.nocount) sink_->Count(n);
  }
  // Emits a row set, marked uncounted when NOCOUNT is on.
  void Rows(ResultSet rows) { sink_->Rows(std::move(rows), !options_.nocount); }

 private:
  // The session starts and ends batches; the dispatch moves the current line.
  friend class SessionImpl;
  friend void RunStatement(const ast::Stmt& stmt, ExecContext& ctx);

  // The batch about to run: its sink, placeholder values and text. A session keeps one
  // context across batches and returns to an idle sink between them.
  void BeginBatch(ResultSink& sink, std::span<const Value> params, std::string_view text);
  void EndBatch(ResultSink& idle);
  void set_statement_line(int line) { statement_line_ = line; }

  Server& server_;
  SessionOptions& options_;
  ResultSink* sink_;
  std::unique_ptr<Store> db_;
  std::vector<std::unique_ptr<Store>> others_;
  AppLocks app_locks_;
  std::span<const Value> params_;
  std::string_view batch_text_;
  int statement_line_ = 1;
};

// Runs one statement inside its own statement transaction (exec.cpp; declared here so the
// context can let it move the current line).
void RunStatement(const ast::Stmt& stmt, ExecContext& ctx);

}  // namespace engine
