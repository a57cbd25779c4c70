// Name resolution: turns ast::Expr trees into bound Node trees whose column references are
// fixed slots of a combined row, searched in the current block's sources first and then in the
// enclosing blocks (correlated subqueries).
#include <algorithm>

#include "errors.h"
#include "query/plan.h"

namespace engine::query {
namespace {

bool Is(std::string_view upper, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), upper) != names.end();
}

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

bool IsDatePartFunction(std::string_view f) { return Is(f, {"DATEADD", "DATEDIFF", "DATEPART", "DATENAME"}); }

std::optional<SqlType> AggregateType(AggKind kind, const std::optional<SqlType>& arg) {
  if (kind == AggKind::kCountStar || kind == AggKind::kCount) return SqlType{TypeId::kInt, 0, 0, 0};
  if (!arg || arg->id == TypeId::kNull) return std::nullopt;
  SqlType t = *arg;
  if (kind == AggKind::kMin || kind == AggKind::kMax) return t;
  switch (t.id) {
    case TypeId::kBit:
    case TypeId::kTinyInt:
    case TypeId::kSmallInt:
    case TypeId::kInt:
      return SqlType{TypeId::kInt, 0, 0, 0};
    case TypeId::kBigInt:
      return t;
    case TypeId::kDecimal:
    case TypeId::kNumeric:
      t.precision = 38;
      if (kind == AggKind::kAvg) t.scale = std::max<uint8_t>(t.scale, 6);
      return t;
    case TypeId::kMoney:
    case TypeId::kSmallMoney:
      return SqlType{TypeId::kMoney, 0, 19, 4};
    case TypeId::kReal:
    case TypeId::kFloat:
      return SqlType{TypeId::kFloat, 0, 53, 0};
    default:
      return std::nullopt;
  }
}

std::optional<SqlType> FunctionType(std::string_view f, const std::vector<NodePtr>& args) {
  if (Is(f, {"LEN", "CHARINDEX", "DATEDIFF", "DATEPART", "YEAR", "MONTH", "DAY", "ASCII", "UNICODE", "SIGN"}) &&
      f != "SIGN")
    return SqlType{TypeId::kInt, 0, 0, 0};
  if (Is(f, {"GETDATE"})) return SqlType{TypeId::kDateTime, 0, 0, 0};
  if (Is(f, {"NEWID"})) return SqlType{TypeId::kUniqueIdentifier, 0, 0, 0};
  if (f == "ISNULL" && args.size() == 2) {
    if (args[0]->type && args[0]->type->id != TypeId::kNull) return args[0]->type;
    return args[1]->type;
  }
  return std::nullopt;
}

std::optional<SqlType> ArithType(ast::BinaryOp op, const std::optional<SqlType>& a, const std::optional<SqlType>& b) {
  if (!a || !b) return std::nullopt;
  if (a->IsString() && b->IsString() && op == ast::BinaryOp::kAdd) {
    bool unicode = a->IsUnicode() || b->IsUnicode();
    int32_t len = (a->length < 0 || b->length < 0) ? -1 : a->length + b->length;
    int32_t cap = unicode ? 4000 : 8000;
    if (len > cap) len = cap;
    return SqlType{unicode ? TypeId::kNVarChar : TypeId::kVarChar, len, 0, 0};
  }
  if (a->IsInteger() && b->IsInteger() && a->id != TypeId::kBit && b->id != TypeId::kBit)
    return a->Precedence() >= b->Precedence() ? a : b;
  return std::nullopt;
}

}  // namespace

bool IsAggregateName(std::string_view upper) { return Is(upper, {"COUNT", "SUM", "AVG", "MIN", "MAX"}); }

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

NodePtr Binder::BindSubquery(const ast::Expr& e, const BindOptions& opts, bool in_agg) {
  auto n = std::make_unique<Node>();
  n->sub = CompileQuery(*e.subquery, ctx_, scope_);
  switch (e.kind) {
    case ast::ExprKind::kExists:
      n->kind = NodeKind::kExists;
      n->negated = e.negated;
      break;
    case ast::ExprKind::kInSubquery:
      n->kind = NodeKind::kInSubquery;
      n->negated = e.negated;
      n->args.push_back(BindInner(*e.args[0], opts, in_agg));
      break;
    default:
      n->kind = NodeKind::kSubquery;
      if (!n->sub->columns.empty()) n->type = n->sub->columns[0].type;
      break;
  }
  Finish(*n);
  return n;
}

NodePtr Binder::BindAggregate(const ast::Expr& e, const BindOptions& opts) {
  if (!opts.allow_aggregates) {
    if (opts.in_where) throw err::AggregateInWhere();
    throw err::NotSupported("an aggregate in this position");
  }
  QueryPlan* plan = scope_->plan;
  AggSpec spec;
  spec.distinct = e.distinct;
  const std::string& f = e.func;
  bool star = e.args.empty() || (e.args[0] && e.args[0]->kind == ast::ExprKind::kStar);
  if (f == "COUNT") {
    spec.kind = star ? AggKind::kCountStar : AggKind::kCount;
  } else {
    if (star || e.args.size() != 1) throw err::WrongArgumentCount(f, static_cast<int>(e.args.size()));
    spec.kind = f == "SUM" ? AggKind::kSum : f == "AVG" ? AggKind::kAvg : f == "MIN" ? AggKind::kMin : AggKind::kMax;
  }
  if (!star) {
    BindOptions inner;
    inner.allow_aggregates = false;
    spec.arg = BindInner(*e.args[0], inner, true);
  }
  auto t = AggregateType(spec.kind, spec.arg ? spec.arg->type : std::nullopt);
  spec.type = t ? *t : SqlType{};
  auto n = std::make_unique<Node>();
  n->kind = NodeKind::kAgg;
  n->slot = static_cast<int>(plan->aggs.size());
  n->type = t;
  if (spec.arg) {
    n->sources = spec.arg->sources;
    n->outer_refs = spec.arg->outer_refs;
  }
  plan->aggs.push_back(std::move(spec));
  return n;
}

NodePtr Binder::BindFunction(const ast::Expr& e, const BindOptions& opts, bool in_agg) {
  const std::string& f = e.func;
  if (IsAggregateName(f)) {
    if (in_agg) throw err::NotSupported("an aggregate inside an aggregate");
    return BindAggregate(e, opts);
  }
  auto n = std::make_unique<Node>();
  if (f == "@@TRANCOUNT") {
    n->kind = NodeKind::kTranCount;
    n->type = SqlType{TypeId::kInt, 0, 0, 0};
  } else if (f == "APPLOCK_MODE") {
    if (e.args.size() != 3) throw err::WrongArgumentCount("APPLOCK_MODE", 3);
    n->kind = NodeKind::kAppLockMode;
    n->type = SqlType{TypeId::kNVarChar, 32, 0, 0};
  } else if (f == "DB_NAME" || f == "OBJECT_ID") {
    n->kind = f == "DB_NAME" ? NodeKind::kDbName : NodeKind::kObjectId;
    n->type = f == "DB_NAME" ? SqlType{TypeId::kNVarChar, 128, 0, 0} : SqlType{TypeId::kInt, 0, 0, 0};
  } else if (IsScalarFunction(f)) {
    n->kind = NodeKind::kFunc;
    n->func = f;
  } else {
    throw err::UnknownFunction(f);
  }
  for (size_t i = 0; i < e.args.size(); ++i) {
    const ast::Expr& a = *e.args[i];
    if (i == 0 && IsDatePartFunction(f) && a.kind == ast::ExprKind::kColumnRef && a.parts.size() == 1) {
      auto c = std::make_unique<Node>();
      c->value = Value::VarChar(a.parts[0]);
      c->type = c->value.type();
      n->args.push_back(std::move(c));
      continue;
    }
    n->args.push_back(BindInner(a, opts, in_agg));
  }
  if (n->kind == NodeKind::kFunc) n->type = FunctionType(f, n->args);
  Finish(*n);
  return n;
}

NodePtr Binder::BindInner(const ast::Expr& e, const BindOptions& opts_in, bool in_agg) {
  const BindOptions* opts = &opts_in;
  BindOptions relaxed;
  if (opts_in.group_check && !in_agg && e.kind != ast::ExprKind::kColumnRef && opts_in.group_exprs) {
    for (const ast::Expr* g : *opts_in.group_exprs) {
      if (AstEqual(*g, e)) {
        relaxed = opts_in;
        relaxed.group_check = false;
        opts = &relaxed;
        break;
      }
    }
  }
  auto n = std::make_unique<Node>();
  auto bind = [&](const ast::ExprPtr& a) { return a ? BindInner(*a, *opts, in_agg) : nullptr; };
  switch (e.kind) {
    case ast::ExprKind::kLiteral:
      n->value = e.literal;
      n->type = e.literal.type();
      return n;
    case ast::ExprKind::kColumnRef:
      return BindColumn(e, *opts, in_agg);
    case ast::ExprKind::kStar:
      throw err::NotSupported("* in an expression");
    case ast::ExprKind::kPlaceholder:
      n->kind = NodeKind::kParam;
      n->slot = e.placeholder;
      if (e.placeholder >= 0 && static_cast<size_t>(e.placeholder) < ctx_.params.size())
        n->type = ctx_.params[e.placeholder].type();
      return n;
    case ast::ExprKind::kUnary: {
      auto arg = bind(e.args[0]);
      if (e.uop == ast::UnaryOp::kNot) {
        n->kind = NodeKind::kNot;
      } else if (arg->kind == NodeKind::kConst && e.uop == ast::UnaryOp::kNeg && !arg->value.is_null()) {
        arg->value = Negate(arg->value);
        arg->type = arg->value.type();
        return arg;
      } else {
        n->kind = NodeKind::kUnary;
        n->type = arg->type;
      }
      n->uop = e.uop;
      n->args.push_back(std::move(arg));
      break;
    }
    case ast::ExprKind::kBinary: {
      n->op = e.bop;
      n->args.push_back(bind(e.args[0]));
      n->args.push_back(bind(e.args[1]));
      switch (e.bop) {
        case ast::BinaryOp::kAnd:
          n->kind = NodeKind::kAnd;
          break;
        case ast::BinaryOp::kOr:
          n->kind = NodeKind::kOr;
          break;
        case ast::BinaryOp::kEq:
        case ast::BinaryOp::kNe:
        case ast::BinaryOp::kLt:
        case ast::BinaryOp::kLe:
        case ast::BinaryOp::kGt:
        case ast::BinaryOp::kGe:
          n->kind = NodeKind::kCompare;
          break;
        default:
          n->kind = NodeKind::kArith;
          n->type = ArithType(e.bop, n->args[0]->type, n->args[1]->type);
          break;
      }
      break;
    }
    case ast::ExprKind::kFunction:
      return BindFunction(e, *opts, in_agg);
    case ast::ExprKind::kCast:
      n->kind = NodeKind::kCast;
      n->type = ResolveType(e.cast_type, 30);
      n->args.push_back(bind(e.args[0]));
      if (e.args.size() > 1 && e.args[1]) {
        Value style = EvalConstant(*e.args[1], ctx_);
        if (!style.is_null()) {
          Value i = Convert(style, SqlType{TypeId::kInt, 0, 0, 0}, ctx_.convert(), ConvertMode::kImplicit);
          n->style = static_cast<int>(i.as_int());
        }
      }
      break;
    case ast::ExprKind::kCase: {
      n->kind = NodeKind::kCase;
      n->case_operand = bind(e.case_operand);
      for (const auto& a : e.args) n->args.push_back(bind(a));
      n->case_else = bind(e.case_else);
      std::optional<SqlType> t;
      bool known = true;
      auto add = [&](const NodePtr& r) {
        if (!r || !known) return;
        if (!r->type) {
          known = false;
          return;
        }
        if (r->type->id == TypeId::kNull) return;
        t = t ? CommonType(*t, *r->type) : *r->type;
      };
      for (size_t i = 1; i < n->args.size(); i += 2) add(n->args[i]);
      add(n->case_else);
      if (known) n->type = t ? t : SqlType{TypeId::kInt, 0, 0, 0};
      break;
    }
    case ast::ExprKind::kSubquery:
    case ast::ExprKind::kExists:
    case ast::ExprKind::kInSubquery:
      return BindSubquery(e, *opts, in_agg);
    case ast::ExprKind::kInList:
      n->kind = NodeKind::kInList;
      n->negated = e.negated;
      for (const auto& a : e.args) n->args.push_back(bind(a));
      break;
    case ast::ExprKind::kBetween:
      n->kind = NodeKind::kBetween;
      n->negated = e.negated;
      for (const auto& a : e.args) n->args.push_back(bind(a));
      break;
    case ast::ExprKind::kLike:
      n->kind = NodeKind::kLike;
      n->negated = e.negated;
      for (const auto& a : e.args) n->args.push_back(bind(a));
      break;
    case ast::ExprKind::kIsNull:
      n->kind = NodeKind::kIsNull;
      n->negated = e.negated;
      n->args.push_back(bind(e.args[0]));
      break;
  }
  Finish(*n);
  return n;
}

}  // namespace engine::query
