// How each kind of expression becomes a bound node, and the static type it gets. Kept apart from
// name resolution because it is where the typing rules live (operators, CASE, functions,
// aggregates); the dispatch over expression kinds stays with the resolver.
#include <algorithm>

#include "errors.h"
#include "query/plan.h"

namespace engine::query {
namespace {

bool Is(std::string_view upper, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), upper) != names.end();
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

NodeKind PredicateKind(ast::ExprKind kind) {
  switch (kind) {
    case ast::ExprKind::kInList:
      return NodeKind::kInList;
    case ast::ExprKind::kBetween:
      return NodeKind::kBetween;
    case ast::ExprKind::kLike:
      return NodeKind::kLike;
    default:
      return NodeKind::kIsNull;
  }
}

NodeKind BinaryKind(ast::BinaryOp op) {
  switch (op) {
    case ast::BinaryOp::kAnd:
      return NodeKind::kAnd;
    case ast::BinaryOp::kOr:
      return NodeKind::kOr;
    case ast::BinaryOp::kEq:
    case ast::BinaryOp::kNe:
    case ast::BinaryOp::kLt:
    case ast::BinaryOp::kLe:
    case ast::BinaryOp::kGt:
    case ast::BinaryOp::kGe:
      return NodeKind::kCompare;
    default:
      return NodeKind::kArith;
  }
}

// The common type of the THEN and ELSE results; NULL results do not count, no typed result gives
// int, and any result of unknown type leaves the whole CASE unknown.
std::optional<SqlType> CaseType(const Node& n) {
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
  for (size_t i = 1; i < n.args.size(); i += 2) add(n.args[i]);
  add(n.case_else);
  if (!known) return std::nullopt;
  return t ? t : SqlType{TypeId::kInt, 0, 0, 0};
}

AggKind AggregateKind(const ast::Expr& e, bool star) {
  const std::string& f = e.func;
  if (f == "COUNT") return star ? AggKind::kCountStar : AggKind::kCount;
  if (star || e.args.size() != 1) throw err::WrongArgumentCount(f, static_cast<int>(e.args.size()));
  return f == "SUM" ? AggKind::kSum : f == "AVG" ? AggKind::kAvg : f == "MIN" ? AggKind::kMin : AggKind::kMax;
}

// The node of a non-aggregate function, before its arguments: functions that read the session or
// the catalog have node kinds of their own, the others are scalar functions of values.
NodePtr FunctionNode(const ast::Expr& e) {
  const std::string& f = e.func;
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
  return n;
}

// The date part of DATEADD(dd, ...) arrives as a bare name, not a column: it becomes a string.
NodePtr DatePartName(const ast::Expr& a) {
  auto c = std::make_unique<Node>();
  c->value = Value::VarChar(a.parts[0]);
  c->type = c->value.type();
  return c;
}

}  // namespace

bool IsAggregateName(std::string_view upper) { return Is(upper, {"COUNT", "SUM", "AVG", "MIN", "MAX"}); }

NodePtr Binder::BindLiteral(const ast::Expr& e) {
  auto n = std::make_unique<Node>();
  n->value = e.literal;
  n->type = e.literal.type();
  return n;
}

// A `?` takes the type of the value the caller bound to it, when there is one.
NodePtr Binder::BindPlaceholder(const ast::Expr& e) {
  auto n = std::make_unique<Node>();
  n->kind = NodeKind::kParam;
  n->slot = e.placeholder;
  if (e.placeholder >= 0 && static_cast<size_t>(e.placeholder) < ctx_.params().size())
    n->type = ctx_.params()[e.placeholder].type();
  return n;
}

// A minus sign before a constant folds into it, so that -5 is a constant (and a seek key).
NodePtr Binder::BindUnary(const ast::Expr& e, const BindOptions& opts, bool in_agg) {
  auto n = std::make_unique<Node>();
  auto arg = BindChild(e.args[0], opts, in_agg);
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
  Finish(*n);
  return n;
}

NodePtr Binder::BindBinary(const ast::Expr& e, const BindOptions& opts, bool in_agg) {
  auto n = std::make_unique<Node>();
  n->op = e.bop;
  n->args.push_back(BindChild(e.args[0], opts, in_agg));
  n->args.push_back(BindChild(e.args[1], opts, in_agg));
  n->kind = BinaryKind(e.bop);
  if (n->kind == NodeKind::kArith) n->type = ArithType(e.bop, n->args[0]->type, n->args[1]->type);
  Finish(*n);
  return n;
}

// CAST/CONVERT: the target type is resolved before the operand is bound (its errors come first);
// a CONVERT style must be a constant.
NodePtr Binder::BindCast(const ast::Expr& e, const BindOptions& opts, bool in_agg) {
  auto n = std::make_unique<Node>();
  n->kind = NodeKind::kCast;
  n->type = ResolveType(e.cast_type, 30);
  n->args.push_back(BindChild(e.args[0], opts, in_agg));
  if (e.args.size() > 1 && e.args[1]) {
    Value style = EvalConstant(*e.args[1], ctx_);
    if (!style.is_null()) {
      Value i = Convert(style, SqlType{TypeId::kInt, 0, 0, 0}, ctx_.convert(), ConvertMode::kImplicit);
      n->style = static_cast<int>(i.as_int());
    }
  }
  Finish(*n);
  return n;
}

NodePtr Binder::BindCase(const ast::Expr& e, const BindOptions& opts, bool in_agg) {
  auto n = std::make_unique<Node>();
  n->kind = NodeKind::kCase;
  n->case_operand = BindChild(e.case_operand, opts, in_agg);
  for (const auto& a : e.args) n->args.push_back(BindChild(a, opts, in_agg));
  n->case_else = BindChild(e.case_else, opts, in_agg);
  n->type = CaseType(*n);
  Finish(*n);
  return n;
}

// IN (list), BETWEEN, LIKE and IS NULL: their operands in order, with the NOT flag.
NodePtr Binder::BindPredicate(const ast::Expr& e, const BindOptions& opts, bool in_agg) {
  auto n = std::make_unique<Node>();
  n->kind = PredicateKind(e.kind);
  n->negated = e.negated;
  for (const auto& a : e.args) n->args.push_back(BindChild(a, opts, in_agg));
  Finish(*n);
  return n;
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

// COUNT, SUM, AVG, MIN, MAX: the argument is bound without aggregates allowed and without the
// GROUP BY check (it is read per row of the group); the node reads the group's result slot.
NodePtr Binder::BindAggregate(const ast::Expr& e, const BindOptions& opts) {
  if (!opts.allow_aggregates) {
    if (opts.in_where) throw err::AggregateInWhere();
    throw err::NotSupported("an aggregate in this position");
  }
  QueryPlan* plan = scope_->plan;
  AggSpec spec;
  spec.distinct = e.distinct;
  bool star = e.args.empty() || (e.args[0] && e.args[0]->kind == ast::ExprKind::kStar);
  spec.kind = AggregateKind(e, star);
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
  NodePtr n = FunctionNode(e);
  for (size_t i = 0; i < e.args.size(); ++i) {
    const ast::Expr& a = *e.args[i];
    if (i == 0 && IsDatePartFunction(f) && a.kind == ast::ExprKind::kColumnRef && a.parts.size() == 1) {
      n->args.push_back(DatePartName(a));
      continue;
    }
    n->args.push_back(BindInner(a, opts, in_agg));
  }
  if (n->kind == NodeKind::kFunc) n->type = FunctionType(f, n->args);
  Finish(*n);
  return n;
}

}  // namespace engine::query
