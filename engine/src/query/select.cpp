// Compilation of SELECT statements into QueryPlans, and the entry points RunQuery, EvalConstant and
// EvalCondition (the SELECT statement itself, ExecSelect, is run by select_stmt.cpp). Everything that
// depends on names and the catalog happens here, once per statement, so that running a plan only moves
// values.
#include "errors.h"
#include "query/plan.h"

namespace engine::query {
namespace {

std::string SlotName(const QueryPlan& plan, int slot) {
  for (const auto& s : plan.sources)
    if (slot >= s->offset && slot < s->rowid_slot()) return s->columns[slot - s->offset].name;
  return "";
}

bool SlotNullable(const QueryPlan& plan, int slot) {
  for (const auto& s : plan.sources)
    if (slot >= s->offset && slot < s->rowid_slot()) return s->columns[slot - s->offset].nullable || s->null_extendable;
  return true;
}

NodePtr ColumnNode(Source& s, int c) {
  s.used[c] = true;
  auto n = std::make_unique<Node>();
  n->kind = NodeKind::kColumn;
  n->slot = s.offset + c;
  n->type = s.columns[c].type;
  n->sources = SourceBit(s.index);
  return n;
}

void ExpandStar(QueryPlan& plan, const ast::Expr& star, const BindOptions& opts) {
  bool matched = false;
  for (auto& s : plan.sources) {
    if (!star.parts.empty()) {
      const std::string& q = star.parts.back();
      if (!(s->alias.empty() ? CollateEqual(s->name, q) : CollateEqual(s->alias, q))) continue;
    }
    matched = true;
    for (size_t c = 0; c < s->columns.size(); ++c) {
      auto n = ColumnNode(*s, static_cast<int>(c));
      if (opts.group_check &&
          std::find(opts.group_slots.begin(), opts.group_slots.end(), n->slot) == opts.group_slots.end())
        throw err::NotInGroupBy((s->alias.empty() ? s->name : s->alias) + "." + s->columns[c].name);
      plan.columns.push_back(
          ColumnInfo{s->columns[c].name, s->columns[c].type, s->columns[c].nullable || s->null_extendable});
      plan.items.push_back(std::move(n));
    }
  }
  if (!matched) {
    std::string written;
    for (const auto& p : star.parts) written += p + ".";
    throw err::MultiPartNotBound(written + "*");
  }
}

// Type of an expression whose static type is unknown, found by evaluating it over NULLs.
std::optional<SqlType> ProbeType(const QueryPlan& plan, const Node& n, ExecContext& ctx) {
  bool has_sub = false;
  VisitNodes(n, [&](const Node& x) { has_sub = has_sub || x.sub || x.kind == NodeKind::kParam; });
  if (has_sub) return std::nullopt;
  Row row(plan.width);
  for (const auto& s : plan.sources)
    for (size_t c = 0; c < s->columns.size(); ++c) row[s->offset + c] = Value::Null(s->columns[c].type);
  Row aggs;
  for (const auto& a : plan.aggs) aggs.push_back(Value::Null(a.type));
  try {
    Frame f{row.data(), aggs.data(), nullptr};
    Value v = Eval(n, f, ctx);
    if (v.type().id != TypeId::kNull) return v.type();
  } catch (const SqlError&) {
  }
  return std::nullopt;
}

bool IsIntegerLiteral(const ast::Expr& e) {
  return e.kind == ast::ExprKind::kLiteral && !e.literal.is_null() && e.literal.type().IsInteger();
}

// ORDER BY item -> output column: a position, a select alias or column name, else nullopt.
std::optional<int> OrderTarget(const ast::SelectStmt& stmt, const std::vector<ColumnInfo>& columns, const ast::Expr& e,
                               bool names_only_from_aliases) {
  if (IsIntegerLiteral(e)) {
    int64_t pos = e.literal.as_int();
    if (pos < 1 || pos > static_cast<int64_t>(columns.size()))
      throw err::OrderByPositionOutOfRange(static_cast<int>(pos));
    return static_cast<int>(pos - 1);
  }
  if (e.kind != ast::ExprKind::kColumnRef || e.parts.size() != 1) return std::nullopt;
  // Select aliases first, then output columns named after table columns.
  size_t out = 0;
  std::optional<int> by_name;
  for (const auto& item : stmt.items) {
    if (item.expr->kind == ast::ExprKind::kStar) {
      break;  // positions after a star are not tracked by alias
    }
    if (item.has_alias && CollateEqual(item.alias, e.parts[0])) return static_cast<int>(out);
    ++out;
  }
  if (names_only_from_aliases) return std::nullopt;
  for (size_t i = 0; i < columns.size(); ++i)
    if (!columns[i].name.empty() && CollateEqual(columns[i].name, e.parts[0])) by_name = static_cast<int>(i);
  return by_name;
}

bool NeedsAggregation(const ast::SelectStmt& stmt) {
  if (!stmt.group_by.empty() || stmt.having) return true;
  for (const auto& item : stmt.items)
    if (item.expr->kind != ast::ExprKind::kStar && ContainsAggregate(*item.expr)) return true;
  for (const auto& o : stmt.order_by)
    if (ContainsAggregate(*o.expr)) return true;
  return false;
}

void BindItems(QueryPlan& plan, const ast::SelectStmt& stmt, Binder& binder, const BindOptions& opts) {
  for (const auto& item : stmt.items) {
    if (item.expr->kind == ast::ExprKind::kStar) {
      ExpandStar(plan, *item.expr, opts);
      continue;
    }
    NodePtr n = binder.Bind(*item.expr, opts);
    ColumnInfo info;
    if (item.has_alias)
      info.name = item.alias;
    else if (n->kind == NodeKind::kColumn && n->depth == 0)
      info.name = SlotName(plan, n->slot);
    info.nullable = n->kind == NodeKind::kColumn && n->depth == 0 ? SlotNullable(plan, n->slot) : true;
    if (n->type)
      info.type = *n->type;
    else if (auto t = ProbeType(plan, *n, binder.ctx()))
      info.type = *t;
    plan.columns.push_back(std::move(info));
    plan.items.push_back(std::move(n));
  }
}

void BindOrder(QueryPlan& plan, const ast::SelectStmt& stmt, Binder& binder, const BindOptions& opts) {
  for (const auto& o : stmt.order_by) {
    auto target = OrderTarget(stmt, plan.columns, *o.expr, false);
    if (!target) {
      plan.items.push_back(binder.Bind(*o.expr, opts));
      target = static_cast<int>(plan.items.size() - 1);
    }
    plan.order.push_back(SortKey{*target, o.desc});
  }
}

const ast::SelectStmt* UnionOrderOwner(const ast::SelectStmt& head) {
  const ast::SelectStmt* owner = nullptr;
  for (const ast::SelectStmt* s = &head; s; s = s->union_next.get())
    if (!s->order_by.empty()) owner = s;
  return owner;
}

std::shared_ptr<QueryPlan> CompileBlock(const ast::SelectStmt& stmt, ExecContext& ctx, const Scope* parent,
                                        bool in_union) {
  auto plan = std::make_shared<QueryPlan>();
  plan->stmt = &stmt;
  Scope scope{plan.get(), parent};
  CompileFrom(*plan, stmt.from, ctx, parent);
  Binder binder(ctx, &scope);
  if (stmt.where) {
    BindOptions w;
    w.in_where = true;
    plan->where = binder.Bind(*stmt.where, w);
  }
  plan->aggregate = NeedsAggregation(stmt);
  BindOptions sel;
  std::vector<const ast::Expr*> group_exprs;
  if (plan->aggregate) {
    BindOptions g;
    for (const auto& e : stmt.group_by) {
      NodePtr n = binder.Bind(*e, g);
      if (n->kind == NodeKind::kColumn && n->depth == 0) sel.group_slots.push_back(n->slot);
      group_exprs.push_back(e.get());
      plan->group_by.push_back(std::move(n));
    }
    sel.allow_aggregates = true;
    sel.group_check = true;
    sel.group_exprs = &group_exprs;
  }
  BindItems(*plan, stmt, binder, sel);
  if (stmt.having) plan->having = binder.Bind(*stmt.having, sel);
  if (!in_union) BindOrder(*plan, stmt, binder, sel);
  if (stmt.top) plan->top = binder.Bind(*stmt.top);
  plan->top_percent = stmt.top_percent;
  plan->distinct = stmt.distinct;
  PlanJoins(*plan, ctx);
  return plan;
}

}  // namespace

std::shared_ptr<QueryPlan> CompileQuery(const ast::SelectStmt& stmt, ExecContext& ctx, const Scope* parent) {
  bool is_union = stmt.union_next != nullptr;
  auto head = CompileBlock(stmt, ctx, parent, is_union);
  if (!is_union) return head;
  QueryPlan* last = head.get();
  for (const ast::SelectStmt* s = stmt.union_next.get(); s; s = s->union_next.get()) {
    last->union_all = last->stmt->union_all;
    last->union_next = CompileBlock(*s, ctx, parent, true);
    last = last->union_next.get();
    head->correlated = head->correlated || last->correlated;
  }
  if (const ast::SelectStmt* owner = UnionOrderOwner(stmt)) {
    for (const auto& o : owner->order_by) {
      auto target = OrderTarget(stmt, head->columns, *o.expr, false);
      if (!target) throw err::NotSupported("ORDER BY items of a UNION must appear in the select list");
      head->union_order.push_back(SortKey{*target, o.desc});
    }
  }
  return head;
}

}  // namespace engine::query

namespace engine {

ResultSet RunQuery(const ast::SelectStmt& stmt, ExecContext& ctx) {
  auto plan = query::CompileQuery(stmt, ctx, nullptr);
  plan->single_use = true;
  return query::RunPlan(*plan, nullptr, ctx);
}

Value EvalConstant(const ast::Expr& expr, ExecContext& ctx) {
  query::Scope scope;
  query::Binder binder(ctx, &scope);
  query::NodePtr n = binder.Bind(expr);
  query::Frame f;
  return query::Eval(*n, f, ctx);
}

bool EvalCondition(const ast::Expr& expr, ExecContext& ctx) {
  query::Scope scope;
  query::Binder binder(ctx, &scope);
  query::NodePtr n = binder.Bind(expr);
  query::Frame f;
  return query::Truth(*n, f, ctx) == query::Tri::kTrue;
}

}  // namespace engine
