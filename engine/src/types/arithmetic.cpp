// + - * / % & | ^ and the unary operators. The result type follows SQL Server: the operand of
// higher precedence decides; tinyint/smallint/bit arithmetic yields int; decimals get the
// documented precision and scale (reduced when 64-bit units cannot hold them).
#include <algorithm>
#include <cmath>
#include <string>

#include "errors.h"
#include "types/value_util.h"
#include "values.h"

namespace engine {
namespace {

using detail::Wide;

std::string_view OpWord(BinaryOp op) {
  switch (op) {
    case BinaryOp::kAdd:
      return "add";
    case BinaryOp::kSub:
      return "subtract";
    case BinaryOp::kMul:
      return "multiply";
    case BinaryOp::kDiv:
      return "divide";
    case BinaryOp::kMod:
      return "modulo";
    case BinaryOp::kBitAnd:
      return "'&'";
    case BinaryOp::kBitOr:
      return "'|'";
    case BinaryOp::kBitXor:
      return "'^'";
    default:
      return "comparison";
  }
}

bool IsBitwise(BinaryOp op) { return op == BinaryOp::kBitAnd || op == BinaryOp::kBitOr || op == BinaryOp::kBitXor; }

Value Overflow(const SqlType& t, const ConvertOptions& opts) {
  if (!opts.ansi_warnings) return Value::Null(t);
  throw err::ArithmeticOverflow(detail::IsDecimalType(t.id) ? "numeric" : t.Name());
}

Value DivideByZero(const SqlType& t, const ConvertOptions& opts) {
  if (!opts.ansi_warnings) return Value::Null(t);
  throw err::DivideByZero();
}

// ---- result types -----------------------------------------------------------------------------

SqlType IntResultType(const SqlType& a, const SqlType& b, BinaryOp op) {
  TypeId hi = a.Precedence() >= b.Precedence() ? a.id : b.id;
  if (IsBitwise(op)) return detail::MakeType(hi);
  return detail::MakeType(hi == TypeId::kBigInt ? TypeId::kBigInt : TypeId::kInt);
}

SqlType DecimalResultType(const SqlType& a, const SqlType& b, BinaryOp op) {
  SqlType x = detail::AsDecimalType(a);
  SqlType y = detail::AsDecimalType(b);
  int p1 = x.precision, s1 = x.scale, p2 = y.precision, s2 = y.scale;
  switch (op) {
    case BinaryOp::kAdd:
    case BinaryOp::kSub: {
      int s = std::max(s1, s2);
      return detail::DecimalType(std::max(p1 - s1, p2 - s2) + s + 1, s);
    }
    case BinaryOp::kMul:
      return detail::DecimalType(p1 + p2 + 1, s1 + s2);
    case BinaryOp::kDiv: {
      int s = std::max(6, s1 + p2 + 1);
      return detail::DecimalType(p1 - s1 + s2 + s, s);
    }
    default: {
      int s = std::max(s1, s2);
      return detail::DecimalType(std::min(p1 - s1, p2 - s2) + s, s);
    }
  }
}

// ---- numbers ----------------------------------------------------------------------------------

Value IntOp(BinaryOp op, int64_t x, int64_t y, const SqlType& t, const ConvertOptions& opts) {
  Wide r = 0;
  switch (op) {
    case BinaryOp::kAdd:
      r = static_cast<Wide>(x) + y;
      break;
    case BinaryOp::kSub:
      r = static_cast<Wide>(x) - y;
      break;
    case BinaryOp::kMul:
      r = static_cast<Wide>(x) * y;
      break;
    case BinaryOp::kDiv:
      if (y == 0) return DivideByZero(t, opts);
      r = static_cast<Wide>(x) / y;
      break;
    case BinaryOp::kMod:
      if (y == 0) return DivideByZero(t, opts);
      r = static_cast<Wide>(x) % y;
      break;
    case BinaryOp::kBitAnd:
      r = x & y;
      break;
    case BinaryOp::kBitOr:
      r = x | y;
      break;
    case BinaryOp::kBitXor:
      r = x ^ y;
      break;
    default:
      break;
  }
  if (r < detail::IntTypeMin(t.id) || r > detail::IntTypeMax(t.id)) return Overflow(t, opts);
  return Value::Int(static_cast<int64_t>(r), t.id);
}

Value FloatOp(BinaryOp op, double x, double y, const SqlType& t, const ConvertOptions& opts) {
  double r = 0;
  switch (op) {
    case BinaryOp::kAdd:
      r = x + y;
      break;
    case BinaryOp::kSub:
      r = x - y;
      break;
    case BinaryOp::kMul:
      r = x * y;
      break;
    case BinaryOp::kDiv:
      if (y == 0) return DivideByZero(t, opts);
      r = x / y;
      break;
    default:
      break;
  }
  if (!std::isfinite(r)) return Overflow(t, opts);
  if (t.id == TypeId::kReal) r = static_cast<double>(static_cast<float>(r));
  return Value::Float(r, t.id);
}

// Fits a wide result into 64-bit units, giving up fraction digits (rounded) if it must.
Value FitDecimal(Wide units, int scale, SqlType t, const ConvertOptions& opts, bool truncate) {
  while (!detail::Narrow(units) && scale > 0) {
    units = truncate ? units / 10 : detail::DivRound(units, 10);
    --scale;
  }
  auto n = detail::Narrow(units);
  if (!n) return Overflow(t, opts);
  Decimal d{*n, static_cast<uint8_t>(scale)};
  if (auto r = detail::Rescale(d, t.scale)) {
    d = *r;
  } else {
    t.scale = d.scale;  // 64-bit units cannot hold the full scale: keep what fits
  }
  if (!detail::IsMoney(t.id) && !detail::FitsPrecision(d, t.precision)) return Overflow(t, opts);
  return Value::Dec(d, t);
}

Value DecimalDivide(Decimal a, Decimal b, SqlType t, const ConvertOptions& opts) {
  if (b.units == 0) return DivideByZero(t, opts);
  // quotient units at scale s: a.units * 10^(s + b.scale - a.scale) / b.units
  int s = t.scale;
  int k = s + b.scale - a.scale;
  while (k > 19 && s > 0) --s, --k;
  Wide num = a.units;
  Wide den = b.units;
  if (k >= 0) {
    num *= detail::Pow10Wide(k);
  } else {
    den *= detail::Pow10Wide(-k);
  }
  return FitDecimal(num / den, s, t, opts, true);
}

Value ExactOp(BinaryOp op, const Value& a, const Value& b, const SqlType& t, const ConvertOptions& opts) {
  Decimal x = detail::ToDecimal(a);
  Decimal y = detail::ToDecimal(b);
  if (detail::IsMoney(t.id)) {
    // money keeps four places through every operation.
    x = detail::Rescale(x, 4).value_or(x);
    y = detail::Rescale(y, 4).value_or(y);
  }
  int s = std::max(x.scale, y.scale);
  Wide wx = static_cast<Wide>(x.units) * detail::Pow10Wide(s - x.scale);
  Wide wy = static_cast<Wide>(y.units) * detail::Pow10Wide(s - y.scale);
  switch (op) {
    case BinaryOp::kAdd:
      return FitDecimal(wx + wy, s, t, opts, false);
    case BinaryOp::kSub:
      return FitDecimal(wx - wy, s, t, opts, false);
    case BinaryOp::kMul:
      return FitDecimal(static_cast<Wide>(x.units) * y.units, x.scale + y.scale, t, opts, false);
    case BinaryOp::kMod:
      if (wy == 0) return DivideByZero(t, opts);
      return FitDecimal(wx % wy, s, t, opts, false);
    default:
      return DecimalDivide(x, y, t, opts);
  }
}

enum class Kind : uint8_t { kInt, kExact, kFloat };

Kind KindOf(const SqlType& t) {
  if (t.IsInteger()) return Kind::kInt;
  if (t.IsExactNumeric()) return Kind::kExact;
  return Kind::kFloat;
}

SqlType NumericResultType(const SqlType& a, const SqlType& b, BinaryOp op) {
  const SqlType& hi = a.Precedence() >= b.Precedence() ? a : b;
  switch (KindOf(hi)) {
    case Kind::kInt:
      return IntResultType(a, b, op);
    case Kind::kFloat:
      return detail::MakeType(a.id == TypeId::kReal && b.id == TypeId::kReal ? TypeId::kReal : TypeId::kFloat);
    case Kind::kExact:
      if (detail::IsMoney(hi.id)) return detail::MakeType(hi.id, 0, hi.id == TypeId::kMoney ? 19 : 10, 4);
      return DecimalResultType(a, b, op);
  }
  return hi;
}

Value NumericOp(BinaryOp op, const Value& a, const Value& b, const ConvertOptions& opts) {
  const SqlType& ta = a.type();
  const SqlType& tb = b.type();
  if (IsBitwise(op) && (!ta.IsInteger() || !tb.IsInteger())) {
    throw err::DataTypesIncompatible(ta.Name(), tb.Name(), OpWord(op));
  }
  SqlType t = NumericResultType(ta, tb, op);
  if (op == BinaryOp::kDiv && detail::IsDecimalType(ta.id) && tb.IsInteger() && !b.is_null()) {
    // SQL Server types an integer constant divisor by its digits (1.0 / 3 has six places, not
    // twelve); the value stands in for the constant here.
    t = NumericResultType(ta, detail::DecimalType(detail::DigitCount(b.as_int()), 0), op);
  }
  if (op == BinaryOp::kMod && KindOf(t) == Kind::kFloat)
    throw err::DataTypesIncompatible(ta.Name(), tb.Name(), "modulo");
  if (a.is_null() || b.is_null()) return Value::Null(t);
  switch (KindOf(t)) {
    case Kind::kInt:
      return IntOp(op, a.as_int(), b.as_int(), t, opts);
    case Kind::kFloat: {
      SqlType f = detail::MakeType(TypeId::kFloat);
      return FloatOp(op, Convert(a, f, opts, ConvertMode::kImplicit).as_float(),
                     Convert(b, f, opts, ConvertMode::kImplicit).as_float(), t, opts);
    }
    case Kind::kExact:
      return ExactOp(op, a, b, t, opts);
  }
  return Value::Null(t);
}

// ---- strings and dates -------------------------------------------------------------------------

SqlType ConcatType(const SqlType& a, const SqlType& b) {
  bool unicode = a.IsUnicode() || b.IsUnicode();
  bool fixed = a.IsFixedString() && b.IsFixedString();
  SqlType t = detail::MakeType(unicode ? (fixed ? TypeId::kNChar : TypeId::kNVarChar)
                                       : (fixed ? TypeId::kChar : TypeId::kVarChar));
  int32_t cap = unicode ? 4000 : 8000;
  if (a.length < 0 || b.length < 0) {
    t.length = -1;
  } else {
    t.length = std::min<int32_t>(std::max(a.length, 1) + std::max(b.length, 1), cap);
  }
  return t;
}

Value Concat(const Value& a, const Value& b) {
  SqlType t = ConcatType(a.type(), b.type());
  if (a.is_null() || b.is_null()) return Value::Null(t);
  std::string s = a.as_string() + b.as_string();
  if (t.length >= 0 && Utf8Length(s) > static_cast<size_t>(t.length))
    s = Utf8Substr(s, 0, static_cast<size_t>(t.length));
  return Value::String(std::move(s), t);
}

Value DateResult(int64_t ms, TypeId id, const ConvertOptions& opts) {
  DateTime dt{ms};
  if (id == TypeId::kSmallDateTime) dt = detail::RoundToMinute(dt);
  if (!detail::InDateTimeRange(dt, id)) return Overflow(detail::MakeType(id), opts);
  return Value::Date(dt, id);
}

// datetime +/- number adds days (fractions are parts of a day); datetime +/- datetime adds the
// second value's offset from 1900-01-01.
Value DateOp(BinaryOp op, const Value& a, const Value& b, const ConvertOptions& opts) {
  const Value& date = a.type().IsDateTime() ? a : b;
  TypeId id = date.type().id;
  if (op != BinaryOp::kAdd && op != BinaryOp::kSub) {
    const SqlType& bad = a.type().IsDateTime() ? a.type() : b.type();
    throw err::InvalidOperandType(bad.Name(), OpWord(op));
  }
  if (a.is_null() || b.is_null()) return Value::Null(detail::MakeType(id));
  const Value& other = a.type().IsDateTime() ? b : a;
  int64_t other_ms = 0;
  if (other.type().IsInteger()) {
    other_ms = other.as_int() * detail::kMsPerDay;
  } else if (other.type().IsNumeric()) {
    double days = other.type().IsExactNumeric() ? detail::DecimalToDouble(other.as_decimal()) : other.as_float();
    if (!(std::fabs(days) < 3.0e6)) return Overflow(detail::MakeType(id), opts);
    double whole = std::floor(days);
    auto ticks = static_cast<int64_t>(std::llround((days - whole) * 25920000.0));
    other_ms = static_cast<int64_t>(whole) * detail::kMsPerDay + (ticks * 10 + 1) / 3;
  } else {
    other_ms = Convert(other, detail::MakeType(TypeId::kDateTime), opts, ConvertMode::kImplicit).as_datetime().ms;
  }
  int64_t date_ms = date.as_datetime().ms;
  if (op == BinaryOp::kAdd) return DateResult(date_ms + other_ms, id, opts);
  // number - datetime subtracts the date's offset from the number's date.
  return &date == &a ? DateResult(date_ms - other_ms, id, opts) : DateResult(other_ms - date_ms, id, opts);
}

}  // namespace

Value Arithmetic(BinaryOp op, const Value& a, const Value& b, const ConvertOptions& opts) {
  const SqlType& ta = a.type();
  const SqlType& tb = b.type();
  if (op >= BinaryOp::kEq && op <= BinaryOp::kOr)
    throw err::NotSupported("A comparison is not an arithmetic operator.");
  // Fast path for the common int + int.
  if (ta.id == TypeId::kInt && tb.id == TypeId::kInt && !a.is_null() && !b.is_null()) {
    return IntOp(op, a.as_int(), b.as_int(), ta, opts);
  }
  if (ta.id == TypeId::kText || ta.id == TypeId::kNText || tb.id == TypeId::kText || tb.id == TypeId::kNText) {
    throw err::DataTypesIncompatible(ta.Name(), tb.Name(), OpWord(op));
  }
  bool sa = ta.IsString() || ta.id == TypeId::kNull;
  bool sb = tb.IsString() || tb.id == TypeId::kNull;
  if (sa && sb) {
    if (op == BinaryOp::kAdd) return Concat(a, b);
    if (ta.id == TypeId::kNull && tb.id == TypeId::kNull) return Value::Null(detail::MakeType(TypeId::kInt));
    throw err::DataTypesIncompatible(ta.Name(), tb.Name(), OpWord(op));
  }
  if (ta.id == TypeId::kUniqueIdentifier || tb.id == TypeId::kUniqueIdentifier) {
    throw err::InvalidOperandType("uniqueidentifier", OpWord(op));
  }
  if (ta.IsDateTime() || tb.IsDateTime()) return DateOp(op, a, b, opts);
  // A string (or untyped NULL) meets a number: it takes the number's type.
  if (sa) return NumericOp(op, Convert(a, tb, opts, ConvertMode::kImplicit), b, opts);
  if (sb) return NumericOp(op, a, Convert(b, ta, opts, ConvertMode::kImplicit), opts);
  return NumericOp(op, a, b, opts);
}

Value Negate(const Value& v) {
  const SqlType& t = v.type();
  if (!t.IsNumeric() && t.id != TypeId::kNull) throw err::InvalidOperandType(t.Name(), "minus");
  if (v.is_null()) return v;
  if (t.IsInteger()) {
    SqlType r = detail::MakeType(t.id == TypeId::kBigInt ? TypeId::kBigInt : TypeId::kInt);
    if (v.as_int() == detail::IntTypeMin(r.id)) throw err::ArithmeticOverflow(r.Name());
    return Value::Int(-v.as_int(), r.id);
  }
  if (t.IsExactNumeric()) {
    Decimal d = v.as_decimal();
    d.units = -d.units;
    return Value::Dec(d, t);
  }
  return Value::Float(-v.as_float(), t.id);
}

Value UnaryPlus(const Value& v) {
  const SqlType& t = v.type();
  if (t.IsDateTime() || t.id == TypeId::kUniqueIdentifier) throw err::InvalidOperandType(t.Name(), "add");
  return v;
}

Value BitNot(const Value& v) {
  const SqlType& t = v.type();
  if (!t.IsInteger() && t.id != TypeId::kNull) throw err::InvalidOperandType(t.Name(), "~");
  if (v.is_null()) return v;
  int64_t i = v.as_int();
  switch (t.id) {
    case TypeId::kBit:
      return Value::Bit(i == 0);
    case TypeId::kTinyInt:
      return Value::Int(~i & 0xFF, t.id);
    default:
      return Value::Int(~i, t.id);
  }
}

}  // namespace engine
