// Statement dispatch, statement transactions and the execution context.
#include "exec.h"

#include "errors.h"

namespace engine {

// ---- ResultSink -------------------------------------------------------------------------------

void ResultSink::BeginStatement(StatementResult::Command command) {
  ++statement_;
  command_ = command;
}

StatementResult& ResultSink::Add(StatementResult::Kind kind) {
  StatementResult& r = out_.items.emplace_back();
  r.kind = kind;
  r.statement = statement_;
  r.command = command_;
  return r;
}

void ResultSink::Rows(ResultSet rows, bool counted) {
  StatementResult& r = Add(StatementResult::Kind::kRows);
  r.rows = std::move(rows);
  r.counted = counted;
}

void ResultSink::Count(int64_t n) { Add(StatementResult::Kind::kCount).count = n; }

void ResultSink::Info(Message m) {
  StatementResult& r = Add(StatementResult::Kind::kMessage);
  r.message = std::move(m);
  r.is_error = false;
}

void ResultSink::Error(const SqlError& e, int line) {
  auto add = [&](const Message& m) {
    StatementResult& r = Add(StatementResult::Kind::kMessage);
    r.message = m;
    r.message.line = line;
    r.is_error = m.severity > 10;
  };
  add(e.message());
  for (const Message& m : e.follow()) add(m);
}

// ---- ExecContext ------------------------------------------------------------------------------

ExecContext::ExecContext(Server& server, SessionOptions& options, ResultSink& sink)
    : server_(server), options_(options), sink_(&sink), app_locks_(server.directory()) {}

void ExecContext::BeginBatch(ResultSink& sink, std::span<const Value> params, std::string_view text) {
  sink_ = &sink;
  params_ = params;
  batch_text_ = text;
}

void ExecContext::EndBatch(ResultSink& idle) {
  sink_ = &idle;
  params_ = {};
  batch_text_ = {};
}

void ExecContext::SetIdentityInsert(std::string db, int32_t table_id, std::string name) {
  options_.identity_insert_db = std::move(db);
  options_.identity_insert_table = table_id;
  options_.identity_insert_name = std::move(name);
}

void ExecContext::ClearIdentityInsert() { SetIdentityInsert({}, 0, {}); }

bool ExecContext::IdentityInsertOn(std::string_view db, int32_t table_id) const {
  return options_.identity_insert_table == table_id && CollateEqual(options_.identity_insert_db, db);
}

void ExecContext::SetDatabase(std::unique_ptr<Store> store) {
  // Keep the previous store open for three-part names; it is cheap and avoids reopening.
  if (db_) others_.push_back(std::move(db_));
  db_ = std::move(store);
  for (auto it = others_.begin(); it != others_.end(); ++it) {
    if (CollateEqual((*it)->name(), db_->name())) {
      others_.erase(it);
      break;
    }
  }
}

Store* ExecContext::Database(std::string_view name) {
  if (name.empty() || CollateEqual(name, db_->name())) return db_.get();
  for (auto& s : others_) {
    if (CollateEqual(s->name(), name)) return s.get();
  }
  std::unique_ptr<Store> store = server_.OpenDatabase(name);
  if (!store) return nullptr;
  others_.push_back(std::move(store));
  return others_.back().get();
}

void ExecContext::ForgetDatabase(std::string_view name) {
  std::erase_if(others_, [&](const std::unique_ptr<Store>& s) { return CollateEqual(s->name(), name); });
}

// ---- Dispatch ---------------------------------------------------------------------------------
//
// Every dispatch over a statement is a std::visit with one overload per alternative of
// ast::StmtBody: a statement added to the syntax tree does not compile until each says what to
// do with it.

namespace {

// How the client sees the statement's results (row counts of DML, row sets of SELECT).
StatementResult::Command CommandOf(const ast::Stmt& stmt) {
  using Command = StatementResult::Command;
  return std::visit(
      ast::Overloaded{
          [](const ast::SelectStmt&) { return Command::kSelect; },
          [](const ast::InsertStmt&) { return Command::kInsert; },
          [](const ast::UpdateStmt&) { return Command::kUpdate; },
          [](const ast::DeleteStmt&) { return Command::kDelete; },
          [](const ast::OneOf<ast::TruncateStmt, ast::CreateTableStmt, ast::DropTableStmt, ast::AlterTableStmt,
                              ast::CreateIndexStmt, ast::DropIndexStmt, ast::CreateViewStmt, ast::DropViewStmt,
                              ast::CreateDatabaseStmt, ast::DropDatabaseStmt, ast::UseStmt, ast::SetStmt, ast::IfStmt,
                              ast::BlockStmt, ast::BeginTransactionStmt, ast::CommitStmt, ast::RollbackStmt,
                              ast::PrintStmt, ast::ExecuteStmt, ast::EmptyStmt> auto&) { return Command::kOther; },
      },
      stmt.body);
}

}  // namespace

bool StatementWrites(const ast::Stmt& stmt) {
  return std::visit(
      ast::Overloaded{
          [](const ast::SelectStmt& s) { return !s.into.name.empty(); },
          [](const ast::OneOf<ast::PrintStmt, ast::SetStmt, ast::EmptyStmt> auto&) { return false; },
          [](const ast::OneOf<ast::InsertStmt, ast::UpdateStmt, ast::DeleteStmt, ast::TruncateStmt,
                              ast::CreateTableStmt, ast::DropTableStmt, ast::AlterTableStmt, ast::CreateIndexStmt,
                              ast::DropIndexStmt, ast::CreateViewStmt, ast::DropViewStmt, ast::CreateDatabaseStmt,
                              ast::DropDatabaseStmt, ast::UseStmt, ast::IfStmt, ast::BlockStmt,
                              ast::BeginTransactionStmt, ast::CommitStmt, ast::RollbackStmt, ast::ExecuteStmt> auto&) {
            return true;
          },
      },
      stmt.body);
}

namespace {

void ExecCommit(ExecContext& ctx) {
  Store& db = ctx.db();
  if (db.trancount() == 0) throw err::NoTransaction(true);
  db.CommitTransaction();
}

void ExecRollback(ExecContext& ctx) {
  Store& db = ctx.db();
  if (db.trancount() == 0) throw err::NoTransaction(false);
  db.RollbackTransaction();
}

void ExecPrint(const ast::PrintStmt& print, ExecContext& ctx) {
  Value v = EvalConstant(*print.expr, ctx);
  Message m = err::Printed(v.is_null() ? std::string() : v.ToString());
  m.line = ctx.statement_line();
  ctx.sink().Info(std::move(m));
}

// Statements that manage transactions or databases themselves run outside a statement
// transaction of the current database; IF and BEGIN...END give each inner statement its own.
bool RunsWithoutStatementTransaction(const ast::Stmt& stmt) {
  return std::visit(
      ast::Overloaded{
          [](const ast::OneOf<ast::BeginTransactionStmt, ast::CommitStmt, ast::RollbackStmt, ast::CreateDatabaseStmt,
                              ast::DropDatabaseStmt, ast::UseStmt, ast::EmptyStmt> auto&) { return true; },
          // Application locks live beside the database files, not in them.
          [](const ast::ExecuteStmt&) { return true; },
          [](const ast::OneOf<ast::IfStmt, ast::BlockStmt> auto&) { return true; },
          [](const ast::OneOf<ast::SelectStmt, ast::InsertStmt, ast::UpdateStmt, ast::DeleteStmt, ast::TruncateStmt,
                              ast::CreateTableStmt, ast::DropTableStmt, ast::AlterTableStmt, ast::CreateIndexStmt,
                              ast::DropIndexStmt, ast::CreateViewStmt, ast::DropViewStmt, ast::SetStmt,
                              ast::PrintStmt> auto&) { return false; },
      },
      stmt.body);
}

// Runs `fn` as one atomic statement of the current database: a failure undoes everything it did.
template <typename Fn>
void Atomic(ExecContext& ctx, bool write, Fn&& fn) {
  Store& db = ctx.db();
  db.BeginStatement(write);
  try {
    fn();
  } catch (...) {
    db.RollbackStatement();
    throw;
  }
  db.CommitStatement();
}

void RunIf(const ast::IfStmt& stmt, ExecContext& ctx) {
  bool condition = false;
  Atomic(ctx, false, [&] { condition = EvalCondition(*stmt.condition, ctx); });
  if (condition) {
    RunStatement(*stmt.then_branch, ctx);
  } else if (stmt.else_branch) {
    RunStatement(*stmt.else_branch, ctx);
  }
}

}  // namespace

void ExecuteStatement(const ast::Stmt& stmt, ExecContext& ctx) {
  std::visit(ast::Overloaded{
                 [&](const ast::SelectStmt& s) {
                   // A SELECT with INTO writes: the query layer only reads, dml/ creates and fills the table.
                   if (s.into.name.empty()) {
                     ExecSelect(s, ctx);
                   } else {
                     ExecSelectInto(s, ctx);
                   }
                 },
                 [&](const ast::InsertStmt& s) { ExecInsert(s, ctx); },
                 [&](const ast::UpdateStmt& s) { ExecUpdate(s, ctx); },
                 [&](const ast::DeleteStmt& s) { ExecDelete(s, ctx); },
                 [&](const ast::TruncateStmt& s) { ExecTruncate(s, ctx); },
                 [&](const ast::CreateTableStmt& s) { ExecCreateTable(s, ctx); },
                 [&](const ast::DropTableStmt& s) { ExecDropTable(s, ctx); },
                 [&](const ast::AlterTableStmt& s) { ExecAlterTable(s, ctx); },
                 [&](const ast::CreateIndexStmt& s) { ExecCreateIndex(s, ctx); },
                 [&](const ast::DropIndexStmt& s) { ExecDropIndex(s, ctx); },
                 [&](const ast::CreateViewStmt& s) { ExecCreateView(s, ctx); },
                 [&](const ast::DropViewStmt& s) { ExecDropView(s, ctx); },
                 [&](const ast::CreateDatabaseStmt& s) { ExecCreateDatabase(s, ctx); },
                 [&](const ast::DropDatabaseStmt& s) { ExecDropDatabase(s, ctx); },
                 [&](const ast::UseStmt& s) { ExecUse(s, ctx); },
                 [&](const ast::SetStmt& s) { ExecSet(s, ctx); },
                 [&](const ast::IfStmt& s) { RunIf(s, ctx); },
                 [&](const ast::BlockStmt& s) {
                   for (const auto& inner : s.statements) RunStatement(*inner, ctx);
                 },
                 [&](const ast::BeginTransactionStmt&) { ctx.db().BeginTransaction(); },
                 [&](const ast::CommitStmt&) { ExecCommit(ctx); },
                 [&](const ast::RollbackStmt&) { ExecRollback(ctx); },
                 [&](const ast::PrintStmt& s) { ExecPrint(s, ctx); },
                 [&](const ast::ExecuteStmt& s) { ExecExecute(s, ctx); },
                 [](const ast::EmptyStmt&) {},
             },
             stmt.body);
}

void RunStatement(const ast::Stmt& stmt, ExecContext& ctx) {
  ctx.set_statement_line(stmt.line);
  ctx.sink().BeginStatement(CommandOf(stmt));
  try {
    if (RunsWithoutStatementTransaction(stmt)) {
      ExecuteStatement(stmt, ctx);
    } else {
      Atomic(ctx, StatementWrites(stmt), [&] { ExecuteStatement(stmt, ctx); });
    }
  } catch (SqlError& e) {
    if (e.scope() != ErrorScope::kStatement) throw;
    ctx.sink().Error(e, stmt.line);
  }
}

}  // namespace engine
