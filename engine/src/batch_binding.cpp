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
    switch (stmt.kind) {
      case ast::StmtKind::kUse:
        return false;
      case ast::StmtKind::kCreateTable:
        Forget(stmt.create_table->name);
        return true;
      case ast::StmtKind::kDropTable:
      case ast::StmtKind::kDropView:
        for (const auto& name : stmt.drop->names) Forget(name);
        return true;
      case ast::StmtKind::kCreateView:
        Forget(stmt.create_view->name);
        return true;
      case ast::StmtKind::kUpdate:
        CheckColumns(stmt.update->target, SetColumns(*stmt.update), stmt.update->from.empty());
        return true;
      case ast::StmtKind::kInsert:
        CheckColumns(stmt.insert->table, stmt.insert->columns, true);
        return true;
      case ast::StmtKind::kSelect:
        CheckSelect(*stmt.select);
        return true;
      case ast::StmtKind::kIf:
        return Statement(*stmt.if_stmt->then_branch) &&
               (!stmt.if_stmt->else_branch || Statement(*stmt.if_stmt->else_branch));
      case ast::StmtKind::kBlock:
        for (const auto& inner : stmt.block->statements) {
          if (!Statement(*inner)) return false;
        }
        return true;
      default:
        return true;
    }
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
