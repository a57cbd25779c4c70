// Evaluation of bound expressions against a frame, with SQL's three-valued logic. Values and
// operators follow values.h; this file adds what needs the session: subqueries, DB_NAME,
// OBJECT_ID and placeholders. It runs once per row, so it reads columns by the slots the binder
// resolved and never searches a column name.
#include <array>
#include <cmath>

#include "errors.h"
#include "query/plan.h"

namespace engine::query {
namespace {

// SET CONCAT_NULL_YIELDS_NULL OFF: a NULL joined to a string counts as the empty string.
void ConcatNullAsEmpty(Value& a, Value& b) {
  if (a.is_null() && !b.is_null() && b.type().IsString()) {
    a = Value::String(std::string(), b.type());
  } else if (b.is_null() && !a.is_null() && a.type().IsString()) {
    b = Value::String(std::string(), a.type());
  }
}

const SqlType kIntType{TypeId::kInt, 0, 0, 0};

Tri FromBool(bool b) { return b ? Tri::kTrue : Tri::kFalse; }

Tri Not(Tri t) {
  if (t == Tri::kUnknown) return t;
  return t == Tri::kTrue ? Tri::kFalse : Tri::kTrue;
}

Tri CompareOp(ast::BinaryOp op, std::optional<int> c) {
  if (!c) return Tri::kUnknown;
  int v = *c;
  switch (op) {
    case ast::BinaryOp::kEq:
      return FromBool(v == 0);
    case ast::BinaryOp::kNe:
      return FromBool(v != 0);
    case ast::BinaryOp::kLt:
      return FromBool(v < 0);
    case ast::BinaryOp::kLe:
      return FromBool(v <= 0);
    case ast::BinaryOp::kGt:
      return FromBool(v > 0);
    case ast::BinaryOp::kGe:
      return FromBool(v >= 0);
    default:
      return Tri::kUnknown;
  }
}

const Value& ColumnValue(const Node& n, const Frame& f) {
  const Frame* fr = &f;
  for (int d = 0; d < n.depth && fr; ++d) fr = fr->outer;
  if (!fr || !fr->row) throw err::NotSupported("column reference outside of a row context");
  return fr->row[n.slot];
}

std::optional<char32_t> FirstCodePoint(const std::string& s) {
  if (s.empty()) return std::nullopt;
  auto b = static_cast<unsigned char>(s[0]);
  if (b < 0x80) return b;
  int len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
  char32_t cp = b & (0x3F >> (len - 1));
  for (int i = 1; i < len && i < static_cast<int>(s.size()); ++i)
    cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
  return cp;
}

Value AsString(const Value& v, const ConvertOptions& opts) {
  if (v.type().IsString()) return v;
  return Convert(v, SqlType{TypeId::kVarChar, -1, 0, 0}, opts, ConvertMode::kImplicit);
}

Tri EvalLike(const Node& n, const Frame& f, ExecContext& ctx) {
  Value v = Eval(*n.args[0], f, ctx);
  Value p = Eval(*n.args[1], f, ctx);
  if (v.is_null() || p.is_null()) return Tri::kUnknown;
  std::optional<char32_t> esc;
  if (n.args.size() > 2 && n.args[2]) {
    Value e = Eval(*n.args[2], f, ctx);
    if (e.is_null()) return Tri::kUnknown;
    esc = FirstCodePoint(AsString(e, ctx.convert()).as_string());
  }
  bool unicode = v.type().IsUnicode() || p.type().IsUnicode();
  Value vs = AsString(v, ctx.convert());
  Value ps = AsString(p, ctx.convert());
  return FromBool(Like(vs.as_string(), ps.as_string(), esc, unicode));
}

Tri EvalInList(const Node& n, const Frame& f, ExecContext& ctx) {
  Value x = Eval(*n.args[0], f, ctx);
  bool unknown = false;
  for (size_t i = 1; i < n.args.size(); ++i) {
    Value y = Eval(*n.args[i], f, ctx);
    auto c = Compare(x, y, ctx.convert());
    if (!c)
      unknown = true;
    else if (*c == 0)
      return Tri::kTrue;
  }
  return unknown ? Tri::kUnknown : Tri::kFalse;
}

void FillInCache(const Node& n, const Frame& f, ExecContext& ctx, InSetCache& cache) {
  ResultSet rs = RunPlan(*n.sub, &f, ctx);
  cache.empty = rs.rows.empty();
  int cls = -2;
  for (auto& r : rs.rows) {
    if (r.empty()) continue;
    Value& v = r[0];
    if (v.is_null()) {
      cache.has_null = true;
      continue;
    }
    int c = ValueClass(v.type());
    cls = (cls == -2 || cls == c) ? c : -1;
    cache.values.push_back(std::move(v));
  }
  cache.key_class = cls >= 0 && cls <= 2 ? cls : -1;
  if (cache.key_class >= 0) {
    for (const auto& v : cache.values) {
      std::string k;
      AppendKey(v, k);
      cache.keys.emplace(std::move(k), true);
    }
  }
  cache.ready = true;
}

Tri LinearIn(const Value& x, const std::vector<Value>& values, bool has_null, const ConvertOptions& opts) {
  bool unknown = has_null;
  for (const auto& v : values) {
    auto c = Compare(x, v, opts);
    if (!c)
      unknown = true;
    else if (*c == 0)
      return Tri::kTrue;
  }
  return unknown ? Tri::kUnknown : Tri::kFalse;
}

Tri EvalInSubquery(const Node& n, const Frame& f, ExecContext& ctx) {
  Value x = Eval(*n.args[0], f, ctx);
  InSetCache local;
  InSetCache* cache = &local;
  if (!n.sub->correlated) {
    if (!n.in_cache) n.in_cache = std::make_unique<InSetCache>();
    cache = n.in_cache.get();
  }
  if (!cache->ready) FillInCache(n, f, ctx, *cache);
  if (cache->empty) return Tri::kFalse;
  if (x.is_null()) return Tri::kUnknown;
  if (cache->key_class >= 0 && cache->key_class == ValueClass(x.type())) {
    std::string k;
    AppendKey(x, k);
    if (cache->keys.count(k)) return Tri::kTrue;
    return cache->has_null ? Tri::kUnknown : Tri::kFalse;
  }
  return LinearIn(x, cache->values, cache->has_null, ctx.convert());
}

Tri EvalExists(const Node& n, const Frame& f, ExecContext& ctx) {
  if (!n.sub->correlated && n.exists_cache) return FromBool(*n.exists_cache);
  bool any = !RunPlan(*n.sub, &f, ctx, 1).rows.empty();
  if (!n.sub->correlated) n.exists_cache = any;
  return FromBool(any);
}

Value EvalScalarSubquery(const Node& n, const Frame& f, ExecContext& ctx) {
  if (!n.sub->correlated && n.scalar_cache) return *n.scalar_cache;
  ResultSet rs = RunPlan(*n.sub, &f, ctx, 2);
  if (rs.rows.size() > 1) throw err::SubqueryMultipleRows();
  Value v = rs.rows.empty() || rs.rows[0].empty() ? Value::Null(n.type ? *n.type : kIntType) : rs.rows[0][0];
  if (!n.sub->correlated) n.scalar_cache = v;
  return v;
}

Value EvalCase(const Node& n, const Frame& f, ExecContext& ctx) {
  const Node* result = n.case_else.get();
  if (n.case_operand) {
    Value op = Eval(*n.case_operand, f, ctx);
    for (size_t i = 0; i + 1 < n.args.size(); i += 2) {
      auto c = Compare(op, Eval(*n.args[i], f, ctx), ctx.convert());
      if (c && *c == 0) {
        result = n.args[i + 1].get();
        break;
      }
    }
  } else {
    for (size_t i = 0; i + 1 < n.args.size(); i += 2) {
      if (Truth(*n.args[i], f, ctx) == Tri::kTrue) {
        result = n.args[i + 1].get();
        break;
      }
    }
  }
  SqlType t = n.type ? *n.type : kIntType;
  if (!result) return Value::Null(t);
  Value v = Eval(*result, f, ctx);
  if (v.is_null()) return Value::Null(t);
  if (n.type && v.type().id != t.id) return Convert(v, t, ctx.convert(), ConvertMode::kImplicit);
  return v;
}

Value EvalDbName(const Node& n, const Frame& f, ExecContext& ctx) {
  if (n.args.empty()) return Value::String(ctx.db_name(), SqlType{TypeId::kNVarChar, 128, 0, 0});
  Value id = Eval(*n.args[0], f, ctx);
  if (id.is_null()) return Value::Null(SqlType{TypeId::kNVarChar, 128, 0, 0});
  Value i = Convert(id, kIntType, ctx.convert(), ConvertMode::kImplicit);
  for (const auto& db : ctx.server().ListDatabases())
    if (db.dbid == i.as_int()) return Value::String(db.name, SqlType{TypeId::kNVarChar, 128, 0, 0});
  return Value::Null(SqlType{TypeId::kNVarChar, 128, 0, 0});
}

// APPLOCK_MODE(principal, resource, owner): the mode of the lock this session holds on the resource
// of the current database; the principal is always 'public' here, and only sessions own locks.
Value EvalAppLockMode(const Node& n, const Frame& f, ExecContext& ctx) {
  Value resource = Eval(*n.args[1], f, ctx);
  std::string mode = resource.is_null() ? "NoLock" : ctx.app_locks().Mode(ctx.db_name(), resource.ToString());
  return Value::String(std::move(mode), SqlType{TypeId::kNVarChar, 32, 0, 0});
}

// Splits 'db.schema.name' / '[dbo].[x]' into its parts.
std::vector<std::string> SplitObjectName(const std::string& s) {
  std::vector<std::string> parts(1);
  bool bracket = false;
  for (char c : s) {
    if (c == '[' && !bracket) {
      bracket = true;
    } else if (c == ']' && bracket) {
      bracket = false;
    } else if (c == '.' && !bracket) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

Value EvalObjectId(const Node& n, const Frame& f, ExecContext& ctx) {
  Value none = Value::Null(kIntType);
  if (n.args.empty()) throw err::WrongArgumentCount("OBJECT_ID", 0);
  Value arg = Eval(*n.args[0], f, ctx);
  if (arg.is_null()) return none;
  std::string text = AsString(arg, ctx.convert()).as_string();
  auto parts = SplitObjectName(text);
  if (parts.size() > 3 || parts.back().empty() || parts.back()[0] == '#') return none;
  Store* store = parts.size() == 3 ? ctx.Database(parts[0]) : &ctx.db();
  if (!store) return none;
  const ObjectDef* obj = store->catalog().FindObject(parts.back());
  if (!obj) return none;
  if (n.args.size() > 1) {
    Value t = Eval(*n.args[1], f, ctx);
    if (!t.is_null()) {
      std::string want = AsString(t, ctx.convert()).as_string();
      if (!CollateEqual(want, obj->xtype)) return none;
    }
  }
  return Value::Int(obj->id);
}

Value EvalFunction(const Node& n, const Frame& f, ExecContext& ctx) {
  std::array<Value, 4> small;
  std::vector<Value> big;
  std::span<const Value> args;
  if (n.args.size() <= 4) {
    for (size_t i = 0; i < n.args.size(); ++i) small[i] = Eval(*n.args[i], f, ctx);
    args = std::span<const Value>(small.data(), n.args.size());
  } else {
    big.reserve(n.args.size());
    for (const auto& a : n.args) big.push_back(Eval(*a, f, ctx));
    args = big;
  }
  return CallScalar(n.func, args, ctx.convert());
}

}  // namespace

int ValueClass(const SqlType& t) {
  if (t.id == TypeId::kNull) return 4;
  if (t.IsString()) return 0;
  if (t.IsNumeric()) return 1;
  if (t.IsDateTime()) return 2;
  return 3;
}

void AppendKey(const Value& v, std::string& out) {
  if (v.is_null()) {
    out += "\x01N\x1f";
    return;
  }
  const SqlType& t = v.type();
  if (t.IsString()) {
    out += 's';
    out += CollateKey(v.as_string());
  } else if (t.IsInteger()) {
    out += 'n';
    out += std::to_string(v.as_int());
  } else if (t.id == TypeId::kReal || t.id == TypeId::kFloat) {
    double d = v.as_float();
    if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9e18) {
      out += 'n';
      out += std::to_string(static_cast<int64_t>(d));
    } else {
      out += 'f';
      out += v.ToString();
    }
  } else if (t.IsExactNumeric()) {
    Decimal d = v.as_decimal();
    while (d.scale > 0 && d.units % 10 == 0) {
      d.units /= 10;
      --d.scale;
    }
    out += 'n';
    out += std::to_string(d.units);
    if (d.scale > 0) {
      out += 'e';
      out += std::to_string(d.scale);
    }
  } else if (t.IsDateTime()) {
    out += 'd';
    out += std::to_string(v.as_datetime().ms);
  } else {
    out += 'o';
    out += UpperCase(v.ToString());
  }
  out += '\x1f';
}

Value Eval(const Node& n, const Frame& f, ExecContext& ctx) {
  switch (n.kind) {
    case NodeKind::kConst:
      return n.value;
    case NodeKind::kColumn:
      return ColumnValue(n, f);
    case NodeKind::kParam:
      if (n.slot < 0 || static_cast<size_t>(n.slot) >= ctx.params().size())
        throw err::NotSupported("a placeholder without a bound value");
      return ctx.params()[n.slot];
    case NodeKind::kAgg:
      if (!f.aggs) throw err::NotSupported("an aggregate outside of a grouped query");
      return f.aggs[n.slot];
    case NodeKind::kUnary: {
      Value v = Eval(*n.args[0], f, ctx);
      if (n.uop == ast::UnaryOp::kNeg) return Negate(v);
      if (n.uop == ast::UnaryOp::kPlus) return UnaryPlus(v);
      return BitNot(v);
    }
    case NodeKind::kArith: {
      Value a = Eval(*n.args[0], f, ctx);
      Value b = Eval(*n.args[1], f, ctx);
      if (n.op == ast::BinaryOp::kAdd && !ctx.options().concat_null_yields_null) ConcatNullAsEmpty(a, b);
      return Arithmetic(n.op, a, b, ctx.convert());
    }
    case NodeKind::kCast: {
      Value v = Eval(*n.args[0], f, ctx);
      if (n.style >= 0) return ConvertWithStyle(v, *n.type, n.style, ctx.convert());
      return Convert(v, *n.type, ctx.convert(), ConvertMode::kExplicit);
    }
    case NodeKind::kCase:
      return EvalCase(n, f, ctx);
    case NodeKind::kFunc:
      return EvalFunction(n, f, ctx);
    case NodeKind::kDbName:
      return EvalDbName(n, f, ctx);
    case NodeKind::kObjectId:
      return EvalObjectId(n, f, ctx);
    case NodeKind::kTranCount:
      return Value::Int(ctx.db().trancount());
    case NodeKind::kAppLockMode:
      return EvalAppLockMode(n, f, ctx);
    case NodeKind::kSubquery:
      return EvalScalarSubquery(n, f, ctx);
    default:
      break;
  }
  // A predicate used as a value: SQL Server has no boolean type; give bit as a courtesy.
  Tri t = Truth(n, f, ctx);
  if (t == Tri::kUnknown) return Value::Null(SqlType{TypeId::kBit, 0, 0, 0});
  return Value::Bit(t == Tri::kTrue);
}

Tri Truth(const Node& n, const Frame& f, ExecContext& ctx) {
  switch (n.kind) {
    case NodeKind::kCompare: {
      Value a = Eval(*n.args[0], f, ctx);
      Value b = Eval(*n.args[1], f, ctx);
      return CompareOp(n.op, Compare(a, b, ctx.convert()));
    }
    case NodeKind::kAnd: {
      Tri a = Truth(*n.args[0], f, ctx);
      if (a == Tri::kFalse) return a;
      Tri b = Truth(*n.args[1], f, ctx);
      if (b == Tri::kFalse) return b;
      return (a == Tri::kTrue && b == Tri::kTrue) ? Tri::kTrue : Tri::kUnknown;
    }
    case NodeKind::kOr: {
      Tri a = Truth(*n.args[0], f, ctx);
      if (a == Tri::kTrue) return a;
      Tri b = Truth(*n.args[1], f, ctx);
      if (b == Tri::kTrue) return b;
      return (a == Tri::kFalse && b == Tri::kFalse) ? Tri::kFalse : Tri::kUnknown;
    }
    case NodeKind::kNot:
      return Not(Truth(*n.args[0], f, ctx));
    case NodeKind::kIsNull:
      return FromBool(Eval(*n.args[0], f, ctx).is_null() != n.negated);
    case NodeKind::kLike: {
      Tri t = EvalLike(n, f, ctx);
      return n.negated ? Not(t) : t;
    }
    case NodeKind::kBetween: {
      Value x = Eval(*n.args[0], f, ctx);
      Tri lo = CompareOp(ast::BinaryOp::kGe, Compare(x, Eval(*n.args[1], f, ctx), ctx.convert()));
      Tri hi = CompareOp(ast::BinaryOp::kLe, Compare(x, Eval(*n.args[2], f, ctx), ctx.convert()));
      Tri t = (lo == Tri::kFalse || hi == Tri::kFalse) ? Tri::kFalse
              : (lo == Tri::kTrue && hi == Tri::kTrue) ? Tri::kTrue
                                                       : Tri::kUnknown;
      return n.negated ? Not(t) : t;
    }
    case NodeKind::kInList: {
      Tri t = EvalInList(n, f, ctx);
      return n.negated ? Not(t) : t;
    }
    case NodeKind::kInSubquery: {
      Tri t = EvalInSubquery(n, f, ctx);
      return n.negated ? Not(t) : t;
    }
    case NodeKind::kExists: {
      Tri t = EvalExists(n, f, ctx);
      return n.negated ? Not(t) : t;
    }
    default:
      break;
  }
  // A value used as a condition (e.g. a bit column): non-zero is true.
  Value v = Eval(n, f, ctx);
  if (v.is_null()) return Tri::kUnknown;
  if (v.type().IsInteger()) return FromBool(v.as_int() != 0);
  throw err::NotSupported("a non-boolean expression used as a condition");
}

}  // namespace engine::query
