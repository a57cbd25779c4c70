// Written type names, numeric literals and the common type of mixed expressions.
#include <algorithm>
#include <array>
#include <string>

#include "errors.h"
#include "types/value_util.h"
#include "values.h"

namespace engine {
namespace {

using detail::MakeType;

struct NamedType {
  std::string_view name;
  TypeId id;
};

// Names SQL Server accepts for the types the engine keeps. date/datetime2 are stored as
// datetime: scripts written for newer servers still load.
constexpr auto kTypeNames = std::to_array<NamedType>({
    {"bit", TypeId::kBit},
    {"tinyint", TypeId::kTinyInt},
    {"smallint", TypeId::kSmallInt},
    {"int", TypeId::kInt},
    {"integer", TypeId::kInt},
    {"bigint", TypeId::kBigInt},
    {"decimal", TypeId::kDecimal},
    {"dec", TypeId::kDecimal},
    {"numeric", TypeId::kNumeric},
    {"money", TypeId::kMoney},
    {"smallmoney", TypeId::kSmallMoney},
    {"real", TypeId::kReal},
    {"float", TypeId::kFloat},
    {"double precision", TypeId::kFloat},
    {"char", TypeId::kChar},
    {"character", TypeId::kChar},
    {"varchar", TypeId::kVarChar},
    {"char varying", TypeId::kVarChar},
    {"character varying", TypeId::kVarChar},
    {"text", TypeId::kText},
    {"nchar", TypeId::kNChar},
    {"national char", TypeId::kNChar},
    {"national character", TypeId::kNChar},
    {"nvarchar", TypeId::kNVarChar},
    {"national char varying", TypeId::kNVarChar},
    {"national character varying", TypeId::kNVarChar},
    {"ntext", TypeId::kNText},
    {"national text", TypeId::kNText},
    {"sysname", TypeId::kNVarChar},
    {"datetime", TypeId::kDateTime},
    {"smalldatetime", TypeId::kSmallDateTime},
    {"date", TypeId::kDateTime},
    {"datetime2", TypeId::kDateTime},
    {"uniqueidentifier", TypeId::kUniqueIdentifier},
});

// Collapses runs of blanks so "double  precision" is found.
std::string NormalizeName(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  if (out.size() > 4 && out.compare(0, 4, "dbo.") == 0) out.erase(0, 4);
  return out;
}

SqlType StringType(TypeId id, const TypeSpec& spec, int32_t default_length) {
  int32_t len = spec.length == -2 ? default_length : spec.length;
  if (len == 0) len = 1;
  return MakeType(id, len);
}

}  // namespace

SqlType ResolveType(const TypeSpec& spec, int32_t default_length) {
  std::string name = NormalizeName(spec.name);
  for (const NamedType& t : kTypeNames) {
    if (name != t.name) continue;
    switch (t.id) {
      case TypeId::kChar:
      case TypeId::kVarChar:
      case TypeId::kNChar:
        return StringType(t.id, spec, default_length);
      case TypeId::kNVarChar:
        if (name == "sysname") return MakeType(TypeId::kNVarChar, 128);
        return StringType(t.id, spec, default_length);
      case TypeId::kText:
      case TypeId::kNText:
        return MakeType(t.id, -1);
      case TypeId::kDecimal:
      case TypeId::kNumeric: {
        // decimal(p) and decimal(p,s) arrive either as precision/scale or as length.
        int p = spec.precision >= 0 ? spec.precision : (spec.length > 0 ? spec.length : 18);
        int s = spec.scale >= 0 ? spec.scale : 0;
        p = std::clamp(p, 1, 38);
        s = std::clamp(s, 0, p);
        return MakeType(t.id, 0, static_cast<uint8_t>(p), static_cast<uint8_t>(s));
      }
      case TypeId::kFloat: {
        int bits = spec.precision >= 0 ? spec.precision : spec.length;
        if (bits > 0 && bits <= 24) return MakeType(TypeId::kReal);
        return MakeType(TypeId::kFloat);
      }
      default:
        return MakeType(t.id);
    }
  }
  throw err::UnknownType(spec.name);
}

Value NumericLiteral(std::string_view text) {
  text = detail::TrimBlanks(text);
  if (text.find_first_of("eE") != std::string_view::npos) {
    double d = 0;
    if (detail::ParseFloatText(text, &d) != detail::ParseStatus::kOk) throw err::ConvertError("varchar", "float");
    return Value::Float(d);
  }
  if (text.find('.') == std::string_view::npos) {
    int64_t i = 0;
    if (detail::ParseIntegerText(text, &i) == detail::ParseStatus::kOk && i >= INT32_MIN && i <= INT32_MAX) {
      return Value::Int(i);
    }
  }
  Decimal d;
  detail::ParseStatus st = detail::ParseDecimalText(text, &d);
  if (st == detail::ParseStatus::kOverflow) throw err::ArithmeticOverflow("numeric");
  if (st != detail::ParseStatus::kOk) throw err::ConvertError("varchar", "numeric");
  // Precision counts the written digits without leading zeros, at least the scale.
  int integral_digits = 0;
  detail::Wide integral = static_cast<detail::Wide>(d.units) / detail::Pow10Wide(d.scale);
  if (integral != 0) integral_digits = detail::DigitCount(integral);
  int precision = std::max<int>(integral_digits + d.scale, std::max<int>(d.scale, 1));
  return Value::Dec(d, MakeType(TypeId::kNumeric, 0, static_cast<uint8_t>(precision), d.scale));
}

SqlType CommonType(const SqlType& a, const SqlType& b) {
  if (a.id == TypeId::kNull) return b;
  if (b.id == TypeId::kNull) return a;
  const SqlType& hi = a.Precedence() >= b.Precedence() ? a : b;
  const SqlType& lo = a.Precedence() >= b.Precedence() ? b : a;
  if (hi.IsString() && lo.IsString()) {
    SqlType t = hi;
    if (hi.length < 0 || lo.length < 0) {
      t.length = -1;
    } else {
      t.length = std::max(hi.length, lo.length);
    }
    return t;
  }
  if (detail::IsDecimalType(hi.id) && lo.IsExactNumeric()) {
    SqlType l = detail::AsDecimalType(lo);
    int scale = std::max(hi.scale, l.scale);
    int integral = std::max(hi.precision - hi.scale, l.precision - l.scale);
    SqlType t = detail::DecimalType(integral + scale, scale);
    t.id = hi.id;
    return t;
  }
  return hi;
}

}  // namespace engine
