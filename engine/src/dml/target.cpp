// The target of UPDATE/DELETE: the table alone, or one source of the T-SQL FROM clause named by
// its alias or table name. A target missing from FROM is joined after it, so that the WHERE
// clause's equalities drive seeks or hash lookups into the target.
#include "dml/dml.h"
#include "errors.h"

namespace engine::dml {
namespace {

std::unique_ptr<query::JoinTree> LeafOf(int source) {
  auto t = std::make_unique<query::JoinTree>();
  t->source = source;
  t->mask = query::SourceBit(source);
  return t;
}

std::optional<int> FindInFrom(const query::QueryPlan& plan, const ast::ObjectName& target) {
  if (target.db.empty() && target.schema.empty()) {
    for (const auto& s : plan.sources)
      if (!s->alias.empty() && CollateEqual(s->alias, target.name)) return s->index;
  }
  std::optional<int> found;
  for (const auto& s : plan.sources) {
    if (!s->table || !CollateEqual(s->name, target.name)) continue;
    if (!found || s->alias.empty()) found = s->index;
  }
  return found;
}

}  // namespace

int PrepareTarget(query::QueryPlan& plan, const ast::ObjectName& target, const std::vector<ast::TableRefPtr>& from,
                  ExecContext& ctx) {
  int index;
  if (from.empty()) {
    index = query::AddTableSource(plan, target, "", ctx);
    plan.from = LeafOf(index);
  } else {
    query::CompileFrom(plan, from, ctx, nullptr);
    auto found = FindInFrom(plan, target);
    if (found) {
      index = *found;
    } else {
      index = query::AddTableSource(plan, target, "", ctx);
      auto j = std::make_unique<query::JoinTree>();
      j->type = ast::JoinType::kCross;
      j->left = std::move(plan.from);
      j->right = LeafOf(index);
      j->mask = j->left->mask | j->right->mask;
      plan.from = std::move(j);
    }
  }
  const query::Source& s = *plan.sources[index];
  if (!s.table) throw err::NotSupported("changing rows of '" + s.name + "', which is not a table");
  return index;
}

void BindWhere(query::QueryPlan& plan, query::Binder& binder, const ast::Expr* where) {
  if (where == nullptr) return;
  query::BindOptions w;
  w.in_where = true;
  plan.where = binder.Bind(*where, w);
}

int64_t TopLimit(const ast::Expr* top, ExecContext& ctx) {
  if (top == nullptr) return -1;
  Value v = EvalConstant(*top, ctx);
  if (v.is_null()) return 0;
  return Convert(v, SqlType{TypeId::kBigInt, 0, 0, 0}, ctx.convert(), ConvertMode::kImplicit).as_int();
}

}  // namespace engine::dml
