// Value factories and the text a client shows for a value.
#include <string>
#include <utility>

#include "engine/engine.h"
#include "types/value_util.h"
#include "values.h"

namespace engine {

Value Value::Null(SqlType type) {
  Value v;
  v.type_ = type;
  return v;
}

Value Value::Int(int64_t i, TypeId id) {
  Value v;
  v.type_.id = id;
  v.null_ = false;
  v.v_ = i;
  return v;
}

Value Value::Bit(bool b) { return Int(b ? 1 : 0, TypeId::kBit); }

Value Value::Float(double d, TypeId id) {
  Value v;
  v.type_.id = id;
  v.null_ = false;
  v.v_ = d;
  return v;
}

Value Value::Dec(Decimal d, SqlType type) {
  Value v;
  v.type_ = type;
  v.null_ = false;
  v.v_ = d;
  return v;
}

Value Value::String(std::string utf8, SqlType type) {
  Value v;
  v.type_ = type;
  v.null_ = false;
  v.v_ = std::move(utf8);
  return v;
}

Value Value::VarChar(std::string utf8) {
  SqlType t{TypeId::kVarChar, 1, 0, 0};
  size_t n = Utf8Length(utf8);
  if (n > 1) t.length = static_cast<int32_t>(n);
  return String(std::move(utf8), t);
}

Value Value::NVarChar(std::string utf8) {
  SqlType t{TypeId::kNVarChar, 1, 0, 0};
  size_t n = Utf8Length(utf8);
  if (n > 1) t.length = static_cast<int32_t>(n);
  return String(std::move(utf8), t);
}

Value Value::Date(DateTime dt, TypeId id) {
  Value v;
  v.type_.id = id;
  v.null_ = false;
  v.v_ = dt;
  return v;
}

namespace {

// Decimals print with the scale of their type; money always with four places, as sqlcmd does.
std::string DecimalText(const Decimal& d, const SqlType& type) {
  int scale = d.scale;
  if (type.id == TypeId::kMoney || type.id == TypeId::kSmallMoney) {
    scale = 4;
  } else if (type.id == TypeId::kDecimal || type.id == TypeId::kNumeric) {
    scale = type.scale;
  }
  if (scale == d.scale) return FormatDecimal(d);
  if (auto r = detail::Rescale(d, scale)) return FormatDecimal(*r);
  // Too many digits for 64-bit units: pad the text instead.
  std::string s = FormatDecimal(d);
  if (scale > d.scale) {
    if (d.scale == 0) s += '.';
    s.append(static_cast<size_t>(scale - d.scale), '0');
  }
  return s;
}

std::string DateText(DateTime dt, TypeId id) {
  std::string s = FormatDateTime(dt);
  if (id == TypeId::kSmallDateTime) s.resize(19);  // smalldatetime shows no milliseconds
  return s;
}

}  // namespace

std::string Value::ToString() const {
  if (null_) return "NULL";
  switch (v_.index()) {
    case 1:
      return std::to_string(std::get<int64_t>(v_));
    case 2:
      if (type_.id == TypeId::kReal) return detail::ShortestFloat(static_cast<float>(std::get<double>(v_)));
      return detail::ShortestDouble(std::get<double>(v_));
    case 3:
      return DecimalText(std::get<Decimal>(v_), type_);
    case 4:
      return std::get<std::string>(v_);
    case 5:
      return DateText(std::get<DateTime>(v_), type_.id);
    default:
      return "NULL";
  }
}

}  // namespace engine
