// Conversions between the engine's types with SQL Server's rules: which errors arise, how
// numbers round or truncate, how strings are cut, padded or rejected (CAST, implicit and
// assignment conversions differ only there).
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "errors.h"
#include "types/value_util.h"
#include "values.h"

namespace engine {
namespace {

using detail::ParseStatus;

// Overflow yields NULL instead of an error when ANSI_WARNINGS is OFF.
Value OverflowOrNull(const SqlError& e, const SqlType& to, const ConvertOptions& opts) {
  if (!opts.ansi_warnings) return Value::Null(to);
  throw e;
}

// Name a number's type has in overflow messages ("numeric" for decimal as well).
std::string SourceName(const SqlType& t) {
  if (detail::IsDecimalType(t.id)) return "numeric";
  if (t.IsString()) return t.IsUnicode() ? "nvarchar" : "varchar";
  return t.Name();
}

std::string TargetName(const SqlType& t) { return detail::IsDecimalType(t.id) ? "numeric" : t.Name(); }

// The error for an integer outside the target range: 220 names the value for the small
// types, 8115 for int and bigint.
SqlError IntRangeError(const SqlType& from, const SqlType& to, int64_t value) {
  if (to.id == TypeId::kTinyInt || to.id == TypeId::kSmallInt) return err::ArithmeticOverflowValue(to.Name(), value);
  if (from.IsInteger() || from.id == TypeId::kFloat || from.id == TypeId::kReal)
    return err::ArithmeticOverflow(to.Name());
  return err::ArithmeticOverflowFrom(SourceName(from), to.Name());
}

Value IntResult(const SqlType& from, int64_t i, const SqlType& to, const ConvertOptions& opts) {
  if (to.id == TypeId::kBit) return Value::Bit(i != 0);
  if (i < detail::IntTypeMin(to.id) || i > detail::IntTypeMax(to.id)) {
    return OverflowOrNull(IntRangeError(from, to, i), to, opts);
  }
  return Value::Int(i, to.id);
}

Value StringToInteger(const Value& v, const SqlType& to, const ConvertOptions& opts) {
  const std::string& s = v.as_string();
  std::string from = SourceName(v.type());
  if (to.id == TypeId::kBit) {
    std::string_view t = detail::TrimBlanks(s);
    if (CollateEqual(t, "true")) return Value::Bit(true);
    if (CollateEqual(t, "false")) return Value::Bit(false);
  }
  int64_t i = 0;
  ParseStatus st = detail::ParseIntegerText(s, &i);
  if (st == ParseStatus::kSyntax) throw err::ConversionFailed(from, s, to.Name());
  if (st == ParseStatus::kOverflow || (to.id != TypeId::kBigInt && (i < INT32_MIN || i > INT32_MAX))) {
    if (to.id == TypeId::kBigInt) throw err::ConvertError(from, "bigint");
    if (to.id == TypeId::kBit) return Value::Bit(true);
    return OverflowOrNull(err::ConversionOverflow(from, s), to, opts);
  }
  return IntResult(v.type(), i, to, opts);
}

Value ToInteger(const Value& v, const SqlType& to, const ConvertOptions& opts) {
  const SqlType& from = v.type();
  if (from.IsInteger()) return IntResult(from, v.as_int(), to, opts);
  if (from.IsString()) return StringToInteger(v, to, opts);
  if (detail::IsDecimalType(from.id) || detail::IsMoney(from.id)) {
    const Decimal& d = v.as_decimal();
    // decimal truncates toward zero; money rounds.
    detail::Wide q = detail::IsMoney(from.id) ? detail::DivRound(d.units, detail::Pow10Wide(d.scale))
                                              : static_cast<detail::Wide>(d.units) / detail::Pow10Wide(d.scale);
    return IntResult(from, static_cast<int64_t>(q), to, opts);
  }
  if (from.id == TypeId::kFloat || from.id == TypeId::kReal) {
    double f = std::trunc(v.as_float());
    if (to.id == TypeId::kBit) return Value::Bit(v.as_float() != 0);
    if (!(f >= -9.2e18 && f <= 9.2e18)) return OverflowOrNull(err::ArithmeticOverflow(to.Name()), to, opts);
    return IntResult(from, static_cast<int64_t>(f), to, opts);
  }
  if (from.IsDateTime()) {
    // Whole days, rounded: noon counts as the next day.
    int64_t ms = v.as_datetime().ms + detail::kMsPerDay / 2;
    int64_t days = ms / detail::kMsPerDay - ((ms % detail::kMsPerDay != 0 && ms < 0) ? 1 : 0);
    return IntResult(from, days, to, opts);
  }
  throw err::OperandTypeClash(from.Name(), to.Name());
}

Value DecimalResult(const SqlType& from, const Decimal& d, const SqlType& to, const ConvertOptions& opts) {
  auto overflow = [&] {
    return OverflowOrNull(err::ArithmeticOverflowFrom(SourceName(from), TargetName(to)), to, opts);
  };
  int scale = detail::IsMoney(to.id) ? 4 : to.scale;
  auto r = detail::Rescale(d, scale);
  if (!r) return overflow();
  if (to.id == TypeId::kSmallMoney && (r->units > INT32_MAX || r->units < INT32_MIN)) return overflow();
  if (detail::IsDecimalType(to.id) && !detail::FitsPrecision(*r, to.precision)) return overflow();
  SqlType t = to;
  if (detail::IsMoney(to.id)) t.scale = 4, t.precision = to.id == TypeId::kMoney ? 19 : 10;
  return Value::Dec(*r, t);
}

Value StringToDecimal(const Value& v, const SqlType& to, const ConvertOptions& opts) {
  std::string_view s = detail::TrimBlanks(v.as_string());
  std::string cleaned;
  if (detail::IsMoney(to.id)) {
    // money accepts a currency sign and thousands separators; '' is 0.
    for (char c : s) {
      if (c != ',' && c != '$') cleaned += c;
    }
    if (detail::TrimBlanks(cleaned).empty()) cleaned = "0";
    s = cleaned;
  }
  Decimal d;
  ParseStatus st = detail::ParseDecimalText(s, &d);
  if (st == ParseStatus::kSyntax) throw err::ConvertError(SourceName(v.type()), TargetName(to));
  if (st == ParseStatus::kOverflow) {
    return OverflowOrNull(err::ArithmeticOverflowFrom(SourceName(v.type()), TargetName(to)), to, opts);
  }
  return DecimalResult(v.type(), d, to, opts);
}

Value ToDecimal(const Value& v, const SqlType& to, const ConvertOptions& opts) {
  const SqlType& from = v.type();
  if (from.IsInteger()) return DecimalResult(from, Decimal{v.as_int(), 0}, to, opts);
  if (detail::IsDecimalType(from.id) || detail::IsMoney(from.id)) return DecimalResult(from, v.as_decimal(), to, opts);
  if (from.IsString()) return StringToDecimal(v, to, opts);
  double f = 0;
  if (from.id == TypeId::kFloat || from.id == TypeId::kReal) {
    f = v.as_float();
  } else if (from.IsDateTime()) {
    f = detail::DateTimeToDays(v.as_datetime());
  } else {
    throw err::OperandTypeClash(from.Name(), to.Name());
  }
  int scale = detail::IsMoney(to.id) ? 4 : to.scale;
  auto d = detail::DecimalFromDouble(f, scale);
  if (!d) return OverflowOrNull(err::ArithmeticOverflowFrom(SourceName(from), TargetName(to)), to, opts);
  return DecimalResult(from, *d, to, opts);
}

Value ToFloat(const Value& v, const SqlType& to, const ConvertOptions& opts) {
  const SqlType& from = v.type();
  double f = 0;
  if (from.IsInteger()) {
    f = static_cast<double>(v.as_int());
  } else if (detail::IsDecimalType(from.id) || detail::IsMoney(from.id)) {
    f = detail::DecimalToDouble(v.as_decimal());
  } else if (from.id == TypeId::kFloat || from.id == TypeId::kReal) {
    f = v.as_float();
  } else if (from.IsString()) {
    ParseStatus st = detail::ParseFloatText(v.as_string(), &f);
    if (st == ParseStatus::kSyntax) throw err::ConvertError(SourceName(from), to.Name());
    if (st == ParseStatus::kOverflow) return OverflowOrNull(err::ArithmeticOverflow(to.Name()), to, opts);
  } else if (from.IsDateTime()) {
    f = detail::DateTimeToDays(v.as_datetime());
  } else {
    throw err::OperandTypeClash(from.Name(), to.Name());
  }
  if (to.id == TypeId::kReal) {
    if (std::fabs(f) > 3.40282347e38) return OverflowOrNull(err::ArithmeticOverflow("real"), to, opts);
    f = static_cast<double>(static_cast<float>(f));
  }
  return Value::Float(f, to.id);
}

Value ToDateTimeValue(const Value& v, const SqlType& to, const ConvertOptions& opts, DateFormat fmt) {
  const SqlType& from = v.type();
  DateTime dt;
  if (from.IsDateTime()) {
    dt = v.as_datetime();
  } else if (from.IsString()) {
    bool out_of_range = false;
    auto parsed = ParseDateTime(v.as_string(), fmt, &out_of_range);
    if (!parsed) {
      if (out_of_range) throw err::DateOutOfRange(SourceName(from), to.Name());
      throw err::DateConversionFailed();
    }
    dt = *parsed;
  } else if (from.IsNumeric()) {
    double days = from.IsInteger()                                          ? static_cast<double>(v.as_int())
                  : (from.id == TypeId::kFloat || from.id == TypeId::kReal) ? v.as_float()
                                                                            : detail::DecimalToDouble(v.as_decimal());
    auto r = detail::DateTimeFromDays(days);
    if (!r) return OverflowOrNull(err::ArithmeticOverflow(to.Name()), to, opts);
    dt = *r;
  } else {
    throw err::OperandTypeClash(from.Name(), to.Name());
  }
  if (to.id == TypeId::kSmallDateTime) {
    dt = detail::RoundToMinute(dt);
    if (!detail::InDateTimeRange(dt, to.id)) {
      if (from.IsString()) throw err::DateOutOfRange(SourceName(from), to.Name());
      return OverflowOrNull(err::ArithmeticOverflow(to.Name()), to, opts);
    }
  }
  return Value::Date(dt, to.id);
}

Value ToGuid(const Value& v, const SqlType& to) {
  const SqlType& from = v.type();
  if (from.id == TypeId::kUniqueIdentifier) return v;
  if (!from.IsString()) throw err::OperandTypeClash(from.Name(), to.Name());
  auto g = detail::NormalizeGuid(v.as_string());
  if (!g) throw err::GuidConversionFailed();
  return Value::String(std::move(*g), to);
}

// ---- to strings ----------------------------------------------------------------------------

std::string MoneyText(const Decimal& d) {
  auto r = detail::Rescale(d, 2);
  return r ? FormatDecimal(*r) : FormatDecimal(d);
}

// Style 0 of datetime: "Feb 20 2013  9:05AM" with the session language's month abbreviation.
std::string DateTimeStyle0(DateTime dt) {
  DateParts p = SplitDateTime(dt);
  int h12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
  std::array<char, 48> buf{};
  std::snprintf(buf.data(), buf.size(), " %2d %04d %2d:%02d%s", p.day, p.year, h12, p.minute,
                p.hour < 12 ? "AM" : "PM");
  return std::string(detail::MonthShortName(p.month)) + buf.data();
}

bool ExcessIsBlank(std::string_view s, size_t keep_chars) {
  std::string rest = Utf8Substr(s, keep_chars, SIZE_MAX);
  return rest.find_first_not_of(' ') == std::string::npos;
}

Value ToStringValue(const Value& v, const SqlType& to, const ConvertOptions& opts, ConvertMode mode) {
  const SqlType& from = v.type();
  std::string text = detail::ValueText(v, mode == ConvertMode::kExplicit);
  if (!to.IsUnicode() && (from.IsUnicode() || !from.IsString())) text = ToCodePage1252(text);
  if (to.length >= 0) {
    auto len = static_cast<size_t>(to.length);
    size_t n = Utf8Length(text);
    if (n > len) {
      if (from.IsInteger()) {
        if (to.IsUnicode()) return OverflowOrNull(err::ArithmeticOverflow(to.Name()), to, opts);
        text = "*";
      } else if (from.IsNumeric()) {
        return OverflowOrNull(err::ArithmeticOverflowFrom(SourceName(from), to.Name()), to, opts);
      } else if (mode == ConvertMode::kAssign && opts.ansi_warnings && !ExcessIsBlank(text, len)) {
        throw err::Truncation();
      } else {
        text = Utf8Substr(text, 0, len);
      }
      n = Utf8Length(text);
    }
    if (to.IsFixedString() && n < len) text.append(len - n, ' ');
  }
  return Value::String(std::move(text), to);
}

}  // namespace

namespace detail {

std::string ValueText(const Value& v, bool explicit_cast) {
  (void)explicit_cast;
  const SqlType& t = v.type();
  if (t.IsString() || t.id == TypeId::kUniqueIdentifier) return v.as_string();
  if (t.IsInteger()) return std::to_string(v.as_int());
  if (IsMoney(t.id)) return MoneyText(v.as_decimal());
  if (IsDecimalType(t.id)) return FormatDecimal(v.as_decimal());
  if (t.id == TypeId::kFloat || t.id == TypeId::kReal) return FloatToStyle0(v.as_float());
  if (t.IsDateTime()) return DateTimeStyle0(v.as_datetime());
  return v.ToString();
}

}  // namespace detail

Value Convert(const Value& v, const SqlType& to, const ConvertOptions& opts, ConvertMode mode) {
  if (to.id == TypeId::kNull) return v;
  if (v.is_null()) return Value::Null(to);
  const SqlType& from = v.type();
  if (from == to) return v;
  switch (to.id) {
    case TypeId::kBit:
    case TypeId::kTinyInt:
    case TypeId::kSmallInt:
    case TypeId::kInt:
    case TypeId::kBigInt:
      return ToInteger(v, to, opts);
    case TypeId::kDecimal:
    case TypeId::kNumeric:
    case TypeId::kMoney:
    case TypeId::kSmallMoney:
      return ToDecimal(v, to, opts);
    case TypeId::kReal:
    case TypeId::kFloat:
      return ToFloat(v, to, opts);
    case TypeId::kChar:
    case TypeId::kVarChar:
    case TypeId::kText:
    case TypeId::kNChar:
    case TypeId::kNVarChar:
    case TypeId::kNText:
      return ToStringValue(v, to, opts, mode);
    case TypeId::kDateTime:
    case TypeId::kSmallDateTime:
      return ToDateTimeValue(v, to, opts, opts.dateformat);
    case TypeId::kUniqueIdentifier:
      return ToGuid(v, to);
    case TypeId::kNull:
      break;
  }
  return v;
}

}  // namespace engine
