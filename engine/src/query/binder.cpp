// Name resolution: turns ast::Expr trees into bound Node trees whose column references are
// fixed slots of a combined row, searched in the current block's sources first and then in the
// enclosing blocks (correlated subqueries), so that evaluation never looks a name up. The
// dispatch over expression kinds lives here too; how each kind is typed is in bind_expr.cpp,
// apart from the scope rules (ambiguity, qualifiers, GROUP BY) of this file.
#include <algorithm>

#include "errors.h"
#include "query/plan.h"

namespace engine::query {
namespace {

bool SourceMatches(const Source& s, std::string_view qualifier) {
  if (!s.alias.empty()) return CollateEqual(s.alias, qualifier);
  return CollateEqual(s.name, qualifier);
}

std::string JoinParts(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& p : parts) {
    if (!out.empty()) out += '.';
    out += p;
  }
  return out;
}

}  // namespace

bool ContainsAggregate(const ast::Expr& e) {
  if (e.kind == ast::ExprKind::kFunction && IsAggregateName(e.func)) return true;
  for (const auto& a : e.args)
    if (a && ContainsAggregate(*a)) return true;
  if (e.case_operand && ContainsAggregate(*e.case_operand)) return true;
  if (e.case_else && ContainsAggregate(*e.case_else)) return true;
  return false;
}

bool AstEqual(const ast::Expr& a, const ast::Expr& b) {
  if (a.kind != b.kind || a.negated != b.negated || a.args.size() != b.args.size()) return false;
  switch (a.kind) {
    case ast::ExprKind::kLiteral:
      return a.literal.type().id == b.literal.type().id && a.literal.ToString() == b.literal.ToString();
    case ast::ExprKind::kColumnRef:
      if (!CollateEqual(a.parts.back(), b.parts.back())) return false;
      if (a.parts.size() >= 2 && b.parts.size() >= 2 &&
          !CollateEqual(a.parts[a.parts.size() - 2], b.parts[b.parts.size() - 2]))
        return false;
      return true;
    case ast::ExprKind::kSubquery:
    case ast::ExprKind::kExists:
    case ast::ExprKind::kInSubquery:
    case ast::ExprKind::kPlaceholder:
    case ast::ExprKind::kStar:
      return false;
    default:
      break;
  }
  if (a.bop != b.bop || a.uop != b.uop || a.func != b.func || a.distinct != b.distinct) return false;
  if (a.kind == ast::ExprKind::kCast &&
      (!CollateEqual(a.cast_type.name, b.cast_type.name) || a.cast_type.length != b.cast_type.length))
    return false;
  for (size_t i = 0; i < a.args.size(); ++i) {
    if (!a.args[i] || !b.args[i]) {
      if (a.args[i] != b.args[i]) return false;
      continue;
    }
    if (!AstEqual(*a.args[i], *b.args[i])) return false;
  }
  if (!a.case_operand != !b.case_operand || !a.case_else != !b.case_else) return false;
  if (a.case_operand && !AstEqual(*a.case_operand, *b.case_operand)) return false;
  if (a.case_else && !AstEqual(*a.case_else, *b.case_else)) return false;
  return true;
}

std::optional<ColumnMatch> FindColumnIn(const QueryPlan& plan, const std::vector<std::string>& parts,
                                        bool* qualifier_seen) {
  const std::string& column = parts.back();
  const std::string* qualifier = parts.size() >= 2 ? &parts[parts.size() - 2] : nullptr;
  std::optional<ColumnMatch> found;
  for (const auto& src : plan.sources) {
    if (qualifier) {
      if (!SourceMatches(*src, *qualifier)) continue;
      *qualifier_seen = true;
    }
    for (size_t c = 0; c < src->columns.size(); ++c) {
      if (!CollateEqual(src->columns[c].name, column)) continue;
      if (found) throw err::AmbiguousColumn(column);
      found = ColumnMatch{src->index, static_cast<int>(c)};
      break;
    }
  }
  return found;
}

void VisitNodes(const Node& n, const std::function<void(const Node&)>& f) {
  f(n);
  for (const auto& a : n.args)
    if (a) VisitNodes(*a, f);
  if (n.case_operand) VisitNodes(*n.case_operand, f);
  if (n.case_else) VisitNodes(*n.case_else, f);
}

NodePtr Binder::Bind(const ast::Expr& e, const BindOptions& opts) { return BindInner(e, opts, false); }

void Binder::Finish(Node& n) {
  auto merge = [&](const NodePtr& c) {
    if (!c) return;
    n.sources |= c->sources;
    n.outer_refs = n.outer_refs || c->outer_refs;
  };
  for (const auto& a : n.args) merge(a);
  merge(n.case_operand);
  merge(n.case_else);
  if (n.sub && n.sub->correlated) {
    // A correlated subquery may read any source of this block: never use it as a seek key.
    n.sources.set();
    n.outer_refs = true;
  }
}

NodePtr Binder::BindColumn(const ast::Expr& e, const BindOptions& opts, bool in_agg) {
  bool qualifier_seen = false;
  int depth = 0;
  for (const Scope* s = scope_; s; s = s->parent, ++depth) {
    if (!s->plan) continue;
    auto m = FindColumnIn(*s->plan, e.parts, &qualifier_seen);
    if (!m) continue;
    Source& src = *s->plan->sources[m->source];
    src.used[m->column] = true;
    auto n = std::make_unique<Node>();
    n->kind = NodeKind::kColumn;
    n->depth = depth;
    n->slot = src.offset + m->column;
    n->type = src.columns[m->column].type;
    if (depth == 0) {
      n->sources = SourceBit(src.index);
      if (opts.group_check && !in_agg &&
          std::find(opts.group_slots.begin(), opts.group_slots.end(), n->slot) == opts.group_slots.end()) {
        std::string shown = (src.alias.empty() ? src.name : src.alias) + "." + src.columns[m->column].name;
        throw err::NotInGroupBy(shown);
      }
    } else {
      n->outer_refs = true;
      int d = 0;
      for (const Scope* t = scope_; t && d < depth; t = t->parent, ++d)
        if (t->plan) t->plan->correlated = true;
    }
    return n;
  }
  if (e.parts.size() >= 2 && !qualifier_seen) throw err::MultiPartNotBound(JoinParts(e.parts));
  throw err::InvalidColumn(e.parts.back());
}

// In a grouped query an expression that repeats a GROUP BY expression is a group value as a
// whole, so its columns need not be grouped one by one: `relaxed` drops the check for it.
const BindOptions& Binder::GroupedOptions(const ast::Expr& e, const BindOptions& opts, bool in_agg,
                                          BindOptions& relaxed) {
  if (!opts.group_check || in_agg || e.kind == ast::ExprKind::kColumnRef || !opts.group_exprs) return opts;
  for (const ast::Expr* g : *opts.group_exprs) {
    if (!AstEqual(*g, e)) continue;
    relaxed = opts;
    relaxed.group_check = false;
    return relaxed;
  }
  return opts;
}

NodePtr Binder::BindChild(const ast::ExprPtr& e, const BindOptions& opts, bool in_agg) {
  return e ? BindInner(*e, opts, in_agg) : nullptr;
}

NodePtr Binder::BindInner(const ast::Expr& e, const BindOptions& opts_in, bool in_agg) {
  BindOptions relaxed;
  const BindOptions& opts = GroupedOptions(e, opts_in, in_agg, relaxed);
  switch (e.kind) {
    case ast::ExprKind::kLiteral:
      return BindLiteral(e);
    case ast::ExprKind::kColumnRef:
      return BindColumn(e, opts, in_agg);
    case ast::ExprKind::kStar:
      throw err::NotSupported("* in an expression");
    case ast::ExprKind::kPlaceholder:
      return BindPlaceholder(e);
    case ast::ExprKind::kUnary:
      return BindUnary(e, opts, in_agg);
    case ast::ExprKind::kBinary:
      return BindBinary(e, opts, in_agg);
    case ast::ExprKind::kFunction:
      return BindFunction(e, opts, in_agg);
    case ast::ExprKind::kCast:
      return BindCast(e, opts, in_agg);
    case ast::ExprKind::kCase:
      return BindCase(e, opts, in_agg);
    case ast::ExprKind::kSubquery:
    case ast::ExprKind::kExists:
    case ast::ExprKind::kInSubquery:
      return BindSubquery(e, opts, in_agg);
    case ast::ExprKind::kInList:
    case ast::ExprKind::kBetween:
    case ast::ExprKind::kLike:
    case ast::ExprKind::kIsNull:
      return BindPredicate(e, opts, in_agg);
  }
  return std::make_unique<Node>();  // not reached: every kind is handled above
}

}  // namespace engine::query
