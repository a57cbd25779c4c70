// FROM clauses at compile time: resolving table sources (tables, views, derived tables, system
// views) and choosing index seeks and hash joins for equality conditions. The choice is made
// once per statement, after WHERE and ON are bound; enumerate.cpp follows it for every row.
#include <algorithm>

#include "errors.h"
#include "parser.h"
#include "query/plan.h"

namespace engine::query {
namespace {

std::unique_ptr<JoinTree> Leaf(int source) {
  auto t = std::make_unique<JoinTree>();
  t->source = source;
  t->mask = SourceBit(source);
  return t;
}

Source& NewSource(QueryPlan& plan) {
  if (plan.sources.size() >= kMaxTableSources) throw err::TooManyTableNames(kMaxTableSources);
  auto s = std::make_unique<Source>();
  s->index = static_cast<int>(plan.sources.size());
  plan.sources.push_back(std::move(s));
  return *plan.sources.back();
}

void Place(QueryPlan& plan, Source& s) {
  s.offset = plan.width;
  s.used.assign(s.columns.size(), false);
  plan.width += s.width();
}

void AddViewSource(Source& s, const TableDef& view, ExecContext& ctx) {
  auto batch = std::make_shared<ast::Batch>(Parse(view.view_select));
  const ast::SelectStmt* select = batch->statements.empty() ? nullptr : batch->statements[0]->get<ast::SelectStmt>();
  if (!select) throw err::NotSupported("view '" + view.name + "' has no SELECT");
  s.plan = CompileQuery(*select, ctx, nullptr);
  s.view_batch = batch;
  s.columns = s.plan->columns;
  if (view.columns.size() == s.columns.size())
    for (size_t i = 0; i < s.columns.size(); ++i) s.columns[i].name = view.columns[i].name;
}

int AddNamedSource(QueryPlan& plan, const ast::ObjectName& name, const std::string& alias, ExecContext& ctx) {
  const std::string& written = name.written.empty() ? name.name : name.written;
  Store* store = name.db.empty() ? &ctx.db() : ctx.Database(name.db);
  if (!store) throw err::InvalidObject(written);
  Source& s = NewSource(plan);
  s.alias = alias;
  s.name = name.name;
  s.store = store;
  if (auto view = SystemView(name, *store, ctx)) {
    s.columns = *view->columns;
    s.sysview = std::make_unique<SysView>(std::move(*view));
  } else {
    const TableDef* table = store->catalog().FindTable(name.name);
    if (!table) throw err::InvalidObject(written);
    if (table->is_view) {
      AddViewSource(s, *table, ctx);
    } else {
      s.table = table;
      for (const auto& c : table->columns) s.columns.push_back(ColumnInfo{c.name, c.type, c.nullable});
    }
  }
  Place(plan, s);
  return s.index;
}

void MarkNullExtendable(QueryPlan& plan, const JoinTree& t) {
  if (t.source >= 0) {
    plan.sources[t.source]->null_extendable = true;
    return;
  }
  MarkNullExtendable(plan, *t.left);
  MarkNullExtendable(plan, *t.right);
}

std::unique_ptr<JoinTree> BuildRef(QueryPlan& plan, const ast::TableRef& ref, ExecContext& ctx, const Scope* parent) {
  switch (ref.kind) {
    case ast::TableRef::Kind::kTable:
      return Leaf(AddNamedSource(plan, ref.table, ref.alias, ctx));
    case ast::TableRef::Kind::kDerived: {
      Source& s = NewSource(plan);
      s.alias = ref.alias;
      s.name = ref.alias;
      s.plan = CompileQuery(*ref.derived, ctx, parent);
      s.columns = s.plan->columns;
      Place(plan, s);
      return Leaf(s.index);
    }
    case ast::TableRef::Kind::kJoin:
      break;
  }
  auto t = std::make_unique<JoinTree>();
  t->type = ref.join;
  t->left = BuildRef(plan, *ref.left, ctx, parent);
  t->right = BuildRef(plan, *ref.right, ctx, parent);
  if (ref.on) {
    Scope scope{&plan, parent};
    Binder binder(ctx, &scope);
    t->on = binder.Bind(*ref.on);
  }
  if (t->type == ast::JoinType::kRight) {
    std::swap(t->left, t->right);
    t->type = ast::JoinType::kLeft;
  }
  if (t->type == ast::JoinType::kLeft) MarkNullExtendable(plan, *t->right);
  if (t->type == ast::JoinType::kFull) {
    MarkNullExtendable(plan, *t->left);
    MarkNullExtendable(plan, *t->right);
  }
  t->mask = t->left->mask | t->right->mask;
  return t;
}

void Conjuncts(const Node* n, std::vector<const Node*>& out) {
  if (!n) return;
  if (n->kind == NodeKind::kAnd) {
    Conjuncts(n->args[0].get(), out);
    Conjuncts(n->args[1].get(), out);
    return;
  }
  out.push_back(n);
}

NodePtr CloneKeyExpr(const Node& n);

// Key expressions are evaluated per outer row; they are shallow copies of bound trees that
// contain no subqueries (those never qualify as keys).
NodePtr CloneKeyExpr(const Node& n) {
  auto c = std::make_unique<Node>();
  c->kind = n.kind;
  c->op = n.op;
  c->uop = n.uop;
  c->negated = n.negated;
  c->value = n.value;
  c->depth = n.depth;
  c->slot = n.slot;
  c->type = n.type;
  c->func = n.func;
  c->style = n.style;
  c->sources = n.sources;
  c->outer_refs = n.outer_refs;
  for (const auto& a : n.args) c->args.push_back(a ? CloneKeyExpr(*a) : nullptr);
  if (n.case_operand) c->case_operand = CloneKeyExpr(*n.case_operand);
  if (n.case_else) c->case_else = CloneKeyExpr(*n.case_else);
  return c;
}

bool HasSubquery(const Node& n) {
  bool found = false;
  VisitNodes(n, [&](const Node& x) { found = found || x.sub != nullptr || x.kind == NodeKind::kAgg; });
  return found;
}

// Adds keys "leaf column = expression over `avail`" found among `conds`.
void CollectKeys(const QueryPlan& plan, JoinTree& leaf, const std::vector<const Node*>& conds, const SourceSet& avail) {
  const Source& s = *plan.sources[leaf.source];
  for (const Node* c : conds) {
    if (c->kind != NodeKind::kCompare || c->op != ast::BinaryOp::kEq) continue;
    for (int side = 0; side < 2; ++side) {
      const Node& col = *c->args[side];
      const Node& other = *c->args[1 - side];
      if (col.kind != NodeKind::kColumn || col.depth != 0) continue;
      if (col.slot < s.offset || col.slot >= s.rowid_slot()) continue;
      if (other.sources.test(static_cast<size_t>(s.index)) || (other.sources & ~avail).any() || HasSubquery(other))
        continue;
      leaf.keys.push_back(EquiKey{col.slot - s.offset, CloneKeyExpr(other)});
      break;
    }
  }
}

void ChooseSeek(const QueryPlan& plan, JoinTree& leaf) {
  const Source& s = *plan.sources[leaf.source];
  if (!s.table || leaf.keys.empty()) return;
  size_t best = 0;
  const IndexDef* best_index = nullptr;
  for (const auto& ix : s.table->indexes) {
    size_t k = 0;
    while (k < ix.columns.size()) {
      bool covered = false;
      for (const auto& key : leaf.keys) covered = covered || key.column == ix.columns[k];
      if (!covered) break;
      ++k;
    }
    if (k > best) {
      best = k;
      best_index = &ix;
    }
  }
  if (!best_index) return;
  std::vector<EquiKey> ordered;
  for (size_t i = 0; i < best; ++i) {
    int col = best_index->columns[i];
    for (auto& key : leaf.keys) {
      if (key.column == col && key.expr) {
        ordered.push_back(std::move(key));
        break;
      }
    }
    leaf.seek_columns.push_back(col);
  }
  for (auto& key : leaf.keys)
    if (key.expr) ordered.push_back(std::move(key));
  leaf.keys = std::move(ordered);
}

// A system view looks its rows up by the equalities that fix its key columns.
void ChooseLookup(const QueryPlan& plan, JoinTree& leaf) {
  const Source& s = *plan.sources[leaf.source];
  if (!s.sysview) return;
  for (int column : s.sysview->key_columns) {
    for (size_t i = 0; i < leaf.keys.size(); ++i) {
      if (leaf.keys[i].column == column) {
        leaf.lookups.push_back(static_cast<int>(i));
        break;
      }
    }
  }
}

SourceSet Plan(QueryPlan& plan, JoinTree& t, const SourceSet& avail, const std::vector<const Node*>& where,
               const std::vector<const Node*>* on) {
  if (t.source >= 0) {
    const Source& s = *plan.sources[t.source];
    if (!s.null_extendable) CollectKeys(plan, t, where, avail);
    if (on) CollectKeys(plan, t, *on, avail);
    ChooseSeek(plan, t);
    ChooseLookup(plan, t);
    return avail | t.mask;
  }
  std::vector<const Node*> on_conds;
  Conjuncts(t.on.get(), on_conds);
  SourceSet left = Plan(plan, *t.left, avail, where, nullptr);
  bool full = t.type == ast::JoinType::kFull;
  bool nested = t.right->source >= 0 && !full;
  Plan(plan, *t.right, nested ? left : avail, where, nested ? &on_conds : nullptr);
  return left | t.right->mask;
}

}  // namespace

const TableDef& ResolveTable(const ast::ObjectName& name, ExecContext& ctx, Store** store) {
  const std::string& written = name.written.empty() ? name.name : name.written;
  Store* s = name.db.empty() ? &ctx.db() : ctx.Database(name.db);
  if (!s) throw err::InvalidObject(written);
  const TableDef* table = s->catalog().FindTable(name.name);
  if (!table) throw err::InvalidObject(written);
  *store = s;
  return *table;
}

int AddTableSource(QueryPlan& plan, const ast::ObjectName& name, const std::string& alias, ExecContext& ctx) {
  return AddNamedSource(plan, name, alias, ctx);
}

void CompileFrom(QueryPlan& plan, const std::vector<ast::TableRefPtr>& from, ExecContext& ctx, const Scope* parent) {
  for (const auto& ref : from) {
    auto t = BuildRef(plan, *ref, ctx, parent);
    if (!plan.from) {
      plan.from = std::move(t);
      continue;
    }
    auto j = std::make_unique<JoinTree>();
    j->type = ast::JoinType::kCross;
    j->mask = plan.from->mask | t->mask;
    j->left = std::move(plan.from);
    j->right = std::move(t);
    plan.from = std::move(j);
  }
}

// A FROM clause of one table whose WHERE fixes columns no index starts with: SQLite filters the
// rows on those columns itself, which is far cheaper than reading every row into the engine.
// (The engine still applies all of WHERE to what comes back.) Only constant keys qualify, so
// the filtered read runs once per statement, never once per row of another source.
void ChooseFilterSeek(const QueryPlan& plan, JoinTree& leaf) {
  const Source& s = *plan.sources[leaf.source];
  if (!s.table || !leaf.seek_columns.empty() || leaf.keys.empty()) return;
  std::vector<EquiKey> filter, rest;
  for (auto& key : leaf.keys) {
    const SqlType& t = s.columns[static_cast<size_t>(key.column)].type;
    bool usable = key.expr->sources.none() && (t.IsString() || t.IsInteger());
    bool repeated = std::any_of(filter.begin(), filter.end(), [&](const EquiKey& k) { return k.column == key.column; });
    (usable && !repeated ? filter : rest).push_back(std::move(key));
  }
  for (const auto& key : filter) leaf.seek_columns.push_back(key.column);
  leaf.keys = std::move(filter);
  for (auto& key : rest) leaf.keys.push_back(std::move(key));
}

void PlanJoins(QueryPlan& plan, ExecContext&) {
  if (!plan.from) return;
  std::vector<const Node*> where;
  Conjuncts(plan.where.get(), where);
  Plan(plan, *plan.from, 0, where, nullptr);
  if (plan.from->source >= 0) ChooseFilterSeek(plan, *plan.from);
}

}  // namespace engine::query
