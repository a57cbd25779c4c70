// Numeric functions: ABS, ROUND, FLOOR, CEILING, SIGN, POWER, SQRT, SQUARE, plus NEWID and
// ISNUMERIC. Results keep the argument's type as SQL Server does (decimals keep their scale).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "errors.h"
#include "types/functions_internal.h"
#include "types/value_util.h"
#include "values.h"

namespace engine::fn {
namespace {

using detail::MakeType;
using detail::Wide;

// Strings in numeric functions are read as float, as SQL Server's implicit conversion does.
Value NumberArg(const Value& v, const ConvertOptions& o) {
  if (v.type().IsNumeric()) return v;
  if (v.type().id == TypeId::kNull) return Value::Null(MakeType(TypeId::kInt));
  return Convert(v, MakeType(TypeId::kFloat), o, ConvertMode::kImplicit);
}

bool IsExactNonInt(const SqlType& t) { return t.IsExactNumeric() && !t.IsInteger(); }

// Rounds a decimal to `digits` places (negative: left of the point); `truncate` cuts instead.
Decimal RoundDecimal(const Decimal& d, int64_t digits, bool truncate) {
  if (digits >= d.scale) return d;
  int64_t drop = d.scale - digits;
  if (drop > 36) return Decimal{0, d.scale};
  Wide p = detail::Pow10Wide(static_cast<int>(drop));
  Wide q = truncate ? static_cast<Wide>(d.units) / p : detail::DivRound(d.units, p);
  Wide back = q * p;
  auto n = detail::Narrow(back);
  if (!n) throw err::ArithmeticOverflow("numeric");
  return Decimal{*n, d.scale};
}

Value FloorOrCeiling(Args a, const ConvertOptions& o, bool ceiling) {
  Value v = NumberArg(a[0], o);
  const SqlType& t = v.type();
  if (v.is_null() || t.IsInteger()) return v;
  if (t.id == TypeId::kFloat || t.id == TypeId::kReal) {
    return Value::Float(ceiling ? std::ceil(v.as_float()) : std::floor(v.as_float()), t.id);
  }
  const Decimal& d = v.as_decimal();
  Wide p = detail::Pow10Wide(d.scale);
  Wide q = static_cast<Wide>(d.units) / p;
  Wide r = static_cast<Wide>(d.units) % p;
  if (ceiling && r > 0) ++q;
  if (!ceiling && r < 0) --q;
  if (detail::IsMoney(t.id)) return Value::Dec(Decimal{static_cast<int64_t>(q * p), d.scale}, t);
  SqlType rt = detail::DecimalType(t.precision - t.scale + 1, 0);
  rt.id = t.id;
  return Value::Dec(Decimal{static_cast<int64_t>(q), 0}, rt);
}

}  // namespace

Value Abs(Args a, const ConvertOptions& o) {
  Value v = NumberArg(a[0], o);
  if (v.is_null()) return v;
  const SqlType& t = v.type();
  if (t.IsInteger()) {
    if (v.as_int() == detail::IntTypeMin(t.id) && t.id != TypeId::kTinyInt && t.id != TypeId::kBit) {
      throw err::ArithmeticOverflow(t.Name());
    }
    return Value::Int(v.as_int() < 0 ? -v.as_int() : v.as_int(), t.id);
  }
  if (IsExactNonInt(t)) {
    Decimal d = v.as_decimal();
    if (d.units < 0) d.units = -d.units;
    return Value::Dec(d, t);
  }
  return Value::Float(std::fabs(v.as_float()), t.id);
}

// ROUND(x, digits [, function]): a non-zero third argument truncates.
Value Round(Args a, const ConvertOptions& o) {
  Value v = NumberArg(a[0], o);
  auto digits = ArgInt(a[1], o);
  bool truncate = a.size() > 2 && ArgInt(a[2], o).value_or(0) != 0;
  const SqlType& t = v.type();
  SqlType rt = t;
  if (detail::IsDecimalType(t.id)) rt.precision = static_cast<uint8_t>(std::min(38, t.precision + 1));
  if (v.is_null() || !digits) return Value::Null(rt);
  if (t.IsInteger()) {
    if (*digits >= 0) return v;
    if (*digits < -18) return Value::Int(0, t.id);
    Decimal r = RoundDecimal(Decimal{v.as_int(), 0}, *digits, truncate);
    if (r.units < detail::IntTypeMin(t.id) || r.units > detail::IntTypeMax(t.id))
      throw err::ArithmeticOverflow(t.Name());
    return Value::Int(r.units, t.id);
  }
  if (IsExactNonInt(t)) {
    Decimal r = RoundDecimal(v.as_decimal(), *digits, truncate);
    if (detail::IsDecimalType(t.id) && !detail::FitsPrecision(r, rt.precision))
      throw err::ArithmeticOverflow("numeric");
    return Value::Dec(r, rt);
  }
  double f = v.as_float();
  double scale = std::pow(10.0, static_cast<double>(std::clamp<int64_t>(*digits, -308, 308)));
  double r = truncate ? std::trunc(f * scale) / scale : std::round(f * scale) / scale;
  return Value::Float(std::isfinite(r) ? r : f, t.id);
}

Value Floor(Args a, const ConvertOptions& o) { return FloorOrCeiling(a, o, false); }
Value Ceiling(Args a, const ConvertOptions& o) { return FloorOrCeiling(a, o, true); }

Value Sign(Args a, const ConvertOptions& o) {
  Value v = NumberArg(a[0], o);
  if (v.is_null()) return v;
  const SqlType& t = v.type();
  if (t.IsInteger()) return Value::Int(v.as_int() > 0 ? 1 : (v.as_int() < 0 ? -1 : 0), t.id);
  if (IsExactNonInt(t)) {
    const Decimal& d = v.as_decimal();
    int64_t s = d.units > 0 ? 1 : (d.units < 0 ? -1 : 0);
    return Value::Dec(Decimal{s * detail::Pow10(d.scale), d.scale}, t);
  }
  double f = v.as_float();
  return Value::Float(f > 0 ? 1 : (f < 0 ? -1 : 0), t.id);
}

// POWER(x, y) has the type of x.
Value Power(Args a, const ConvertOptions& o) {
  Value x = NumberArg(a[0], o);
  Value y = NumberArg(a[1], o);
  SqlType t = x.type();
  if (t.IsInteger() && t.id != TypeId::kBigInt) t = MakeType(TypeId::kInt);
  if (detail::IsDecimalType(t.id)) t = detail::DecimalType(38, t.scale);
  if (x.is_null() || y.is_null()) return Value::Null(t);
  SqlType f = MakeType(TypeId::kFloat);
  double r = std::pow(Convert(x, f, o, ConvertMode::kImplicit).as_float(),
                      Convert(y, f, o, ConvertMode::kImplicit).as_float());
  if (std::isnan(r)) throw err::InvalidFloatOperation();
  if (!std::isfinite(r)) throw err::ArithmeticOverflow(t.Name());
  if (t.IsInteger()) {
    double w = std::trunc(r);
    if (w < static_cast<double>(detail::IntTypeMin(t.id)) || w > static_cast<double>(detail::IntTypeMax(t.id))) {
      throw err::ArithmeticOverflow(t.Name());
    }
    return Value::Int(static_cast<int64_t>(w), t.id);
  }
  return Convert(Value::Float(r), t, o, ConvertMode::kImplicit);
}

Value Sqrt(Args a, const ConvertOptions& o) {
  SqlType f = MakeType(TypeId::kFloat);
  if (a[0].is_null()) return Value::Null(f);
  double x = Convert(a[0], f, o, ConvertMode::kImplicit).as_float();
  if (x < 0) throw err::InvalidFloatOperation();
  return Value::Float(std::sqrt(x));
}

Value Square(Args a, const ConvertOptions& o) {
  SqlType f = MakeType(TypeId::kFloat);
  if (a[0].is_null()) return Value::Null(f);
  double x = Convert(a[0], f, o, ConvertMode::kImplicit).as_float();
  return Value::Float(x * x);
}

Value NewId(Args, const ConvertOptions&) {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  uint64_t hi = rng();
  uint64_t lo = rng();
  hi = (hi & ~0xF000ull) | 0x4000ull;                          // version 4
  lo = (lo & ~0xC000000000000000ull) | 0x8000000000000000ull;  // RFC 4122 variant
  std::array<char, 40> buf{};
  std::snprintf(buf.data(), buf.size(), "%08llX-%04llX-%04llX-%04llX-%012llX",
                static_cast<unsigned long long>(hi >> 32), static_cast<unsigned long long>((hi >> 16) & 0xFFFF),
                static_cast<unsigned long long>(hi & 0xFFFF), static_cast<unsigned long long>(lo >> 48),
                static_cast<unsigned long long>(lo & 0xFFFFFFFFFFFFull));
  return Value::String(buf.data(), MakeType(TypeId::kUniqueIdentifier));
}

// ISNUMERIC: 1 when the text converts to some numeric type (money's '$' and ',' included).
Value IsNumeric(Args a, const ConvertOptions&) {
  const Value& v = a[0];
  if (v.is_null()) return Value::Int(0);
  if (v.type().IsNumeric()) return Value::Int(1);
  if (!v.type().IsString()) return Value::Int(0);
  std::string s;
  for (char c : detail::TrimBlanks(v.as_string())) {
    if (c != ',' && c != '$') s += c;
  }
  if (s.empty() || s == "+" || s == "-" || s == ".") return Value::Int(s.empty() ? 0 : 1);
  double f = 0;
  return Value::Int(detail::ParseFloatText(s, &f) == detail::ParseStatus::kOk ? 1 : 0);
}

}  // namespace engine::fn
