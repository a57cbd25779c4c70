// Batch compilation check (see batch_binding.h).
#include "batch_binding.h"

#include <set>

#include "errors.h"
#include "query/plan.h"

namespace engine {

namespace {

class BatchBinder {
 public:
  explicit BatchBinder(ExecContext& ctx) : ctx_(ctx) {}

  // Returns false once the rest of the batch cannot be judged (a USE moves to another database).
  bool Statement(const ast::Stmt& stmt) {
    return std::visit(
        ast::Overloaded{
            [](const ast::UseStmt&) { return false; },
            [&](const ast::CreateTableStmt& s) {
              Forget(s.name);
              return true;
            },
            [&](const ast::OneOf<ast::DropTableStmt, ast::DropViewStmt> auto& s) {
              for (const auto& name : s.names) Forget(name);
              return true;
            },
            [&](const ast::CreateViewStmt& s) {
              Forget(s.name);
              return true;
            },
            [&](const ast::UpdateStmt& s) {
              CheckColumns(s.target, SetColumns(s), s.from.empty());
              return true;
            },
            [&](const ast::InsertStmt& s) {
              CheckColumns(s.table, s.columns, true);
              return true;
            },
            [&](const ast::SelectStmt& s) {
              CheckSelect(s);
              return true;
            },
            [&](const ast::IfStmt& s) {
              return Statement(*s.then_branch) && (!s.else_branch || Statement(*s.else_branch));
            },
            [&](const ast::BlockStmt& s) {
              for (const auto& inner : s.statements) {
                if (!Statement(*inner)) return false;
              }
              return true;
            },
            [](const ast::OneOf<ast::DeleteStmt, ast::TruncateStmt, ast::AlterTableStmt, ast::CreateIndexStmt,
                                ast::DropIndexStmt, ast::CreateDatabaseStmt, ast::DropDatabaseStmt, ast::SetStmt,
                                ast::BeginTransactionStmt, ast::CommitStmt, ast::RollbackStmt, ast::PrintStmt,
                                ast::ExecuteStmt, ast::EmptyStmt> auto&) { return true; },
        },
        stmt.body);
  }

 private:
  static std::vector<std::string> SetColumns(const ast::UpdateStmt& update) {
    std::vector<std::string> names;
    for (const auto& set : update.sets) names.push_back(set.column.back());
    return names;
  }

  // Tables created or dropped earlier in the batch are bound when their statement runs.
  void Forget(const ast::ObjectName& name) { volatile_.insert(CollateKey(name.name)); }

  const TableDef* ExistingTable(const ast::ObjectName& name) {
    if (!name.db.empty() && !CollateEqual(name.db, ctx_.db_name())) return nullptr;
    if (volatile_.count(CollateKey(name.name)) != 0) return nullptr;
    const TableDef* table = ctx_.db().catalog().FindTable(name.name);
    return table != nullptr && !table->is_view ? table : nullptr;
  }

  // `by_name`: the target is the table itself (an UPDATE with FROM may name an alias instead).
  void CheckColumns(const ast::ObjectName& target, const std::vector<std::string>& columns, bool by_name) {
    if (!by_name) return;
    const TableDef* table = ExistingTable(target);
    if (table == nullptr) return;
    for (const std::string& column : columns) {
      if (!table->FindColumn(column)) throw err::InvalidColumn(column).set_scope(ErrorScope::kCompile);
    }
  }

  void CheckSelect(const ast::SelectStmt& select) {
    if (!volatile_.empty() || !select.into.name.empty()) return;
    try {
      query::CompileQuery(select, ctx_, nullptr);
    } catch (SqlError& e) {
      if (e.number() == 207) throw e.set_scope(ErrorScope::kCompile);
    }
  }

  ExecContext& ctx_;
  std::set<std::string> volatile_;
};

}  // namespace

void BindBatch(const ast::Batch& batch, ExecContext& ctx) {
  if (batch.statements.size() < 2) return;  // a lone statement binds when it runs, with the same result
  Store& db = ctx.db();
  db.BeginStatement(false);
  try {
    BatchBinder binder(ctx);
    for (const auto& stmt : batch.statements) {
      if (!binder.Statement(*stmt)) break;
    }
  } catch (...) {
    db.RollbackStatement();
    throw;
  }
  db.RollbackStatement();
}

}  // namespace engine
