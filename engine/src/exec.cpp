// Statement dispatch, statement transactions and the execution context.
#include "exec.h"

#include "errors.h"

namespace engine {

// ---- ResultSink -------------------------------------------------------------------------------

namespace {

StatementResult::Command CommandOf(ast::StmtKind kind) {
  switch (kind) {
    case ast::StmtKind::kSelect:
      return StatementResult::Command::kSelect;
    case ast::StmtKind::kInsert:
      return StatementResult::Command::kInsert;
    case ast::StmtKind::kUpdate:
      return StatementResult::Command::kUpdate;
    case ast::StmtKind::kDelete:
      return StatementResult::Command::kDelete;
    default:
      return StatementResult::Command::kOther;
  }
}

}  // namespace

void ResultSink::BeginStatement(ast::StmtKind kind) {
  ++statement_;
  command_ = CommandOf(kind);
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

bool StatementWrites(const ast::Stmt& stmt) {
  switch (stmt.kind) {
    case ast::StmtKind::kSelect:
      return !stmt.select->into.name.empty();
    case ast::StmtKind::kPrint:
    case ast::StmtKind::kSet:
    case ast::StmtKind::kEmpty:
      return false;
    default:
      return true;
  }
}

namespace {

void ExecTransactionControl(const ast::Stmt& stmt, ExecContext& ctx) {
  Store& db = ctx.db();
  switch (stmt.kind) {
    case ast::StmtKind::kBeginTransaction:
      db.BeginTransaction();
      break;
    case ast::StmtKind::kCommit:
      if (db.trancount() == 0) throw err::NoTransaction(true);
      db.CommitTransaction();
      break;
    default:  // kRollback
      if (db.trancount() == 0) throw err::NoTransaction(false);
      db.RollbackTransaction();
      break;
  }
}

void ExecPrint(const ast::PrintStmt& print, ExecContext& ctx) {
  Value v = EvalConstant(*print.expr, ctx);
  Message m = err::Printed(v.is_null() ? std::string() : v.ToString());
  m.line = ctx.statement_line;
  ctx.sink().Info(std::move(m));
}

// Statements that manage transactions or databases themselves run outside a statement
// transaction of the current database.
bool RunsOutsideTransaction(ast::StmtKind kind) {
  switch (kind) {
    case ast::StmtKind::kBeginTransaction:
    case ast::StmtKind::kCommit:
    case ast::StmtKind::kRollback:
    case ast::StmtKind::kCreateDatabase:
    case ast::StmtKind::kDropDatabase:
    case ast::StmtKind::kUse:
    case ast::StmtKind::kExecute:  // application locks live beside the database files, not in them
    case ast::StmtKind::kEmpty:
      return true;
    default:
      return false;
  }
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
  using K = ast::StmtKind;
  switch (stmt.kind) {
    case K::kSelect:
      ExecSelect(*stmt.select, ctx);
      break;
    case K::kInsert:
      ExecInsert(*stmt.insert, ctx);
      break;
    case K::kUpdate:
      ExecUpdate(*stmt.update, ctx);
      break;
    case K::kDelete:
      ExecDelete(*stmt.del, ctx);
      break;
    case K::kTruncate:
      ExecTruncate(*stmt.truncate, ctx);
      break;
    case K::kCreateTable:
      ExecCreateTable(*stmt.create_table, ctx);
      break;
    case K::kDropTable:
      ExecDropTable(*stmt.drop, ctx);
      break;
    case K::kAlterTable:
      ExecAlterTable(*stmt.alter_table, ctx);
      break;
    case K::kCreateIndex:
      ExecCreateIndex(*stmt.create_index, ctx);
      break;
    case K::kDropIndex:
      ExecDropIndex(*stmt.drop_index, ctx);
      break;
    case K::kCreateView:
      ExecCreateView(*stmt.create_view, ctx);
      break;
    case K::kDropView:
      ExecDropView(*stmt.drop, ctx);
      break;
    case K::kCreateDatabase:
      ExecCreateDatabase(*stmt.database, ctx);
      break;
    case K::kDropDatabase:
      ExecDropDatabase(*stmt.database, ctx);
      break;
    case K::kUse:
      ExecUse(*stmt.database, ctx);
      break;
    case K::kSet:
      ExecSet(*stmt.set, ctx);
      break;
    case K::kIf:
      RunIf(*stmt.if_stmt, ctx);
      break;
    case K::kBlock:
      for (const auto& inner : stmt.block->statements) RunStatement(*inner, ctx);
      break;
    case K::kBeginTransaction:
    case K::kCommit:
    case K::kRollback:
      ExecTransactionControl(stmt, ctx);
      break;
    case K::kPrint:
      ExecPrint(*stmt.print, ctx);
      break;
    case K::kExecute:
      ExecExecute(*stmt.execute, ctx);
      break;

    case K::kEmpty:
      break;
  }
}

void RunStatement(const ast::Stmt& stmt, ExecContext& ctx) {
  ctx.statement_line = stmt.line;
  ctx.sink().BeginStatement(stmt.kind);
  try {
    if (stmt.kind == ast::StmtKind::kIf || stmt.kind == ast::StmtKind::kBlock || RunsOutsideTransaction(stmt.kind)) {
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
