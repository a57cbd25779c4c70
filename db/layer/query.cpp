#include "db/query.h"

#include <charconv>
#include <cmath>
#include <span>

namespace db {
namespace {

double DecimalToDouble(const engine::Decimal& d) { return static_cast<double>(d.units) / std::pow(10.0, d.scale); }

// Days since 1899-12-30, the way client programs see a datetime as a number.
double DateTimeToDays(engine::DateTime dt) { return static_cast<double>(dt.ms) / 86'400'000.0 + 2.0; }

// Blanks around the number are allowed: char columns come padded.
double ParseFloat(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  const size_t last = text.find_last_not_of(' ');
  const char* begin = text.data() + (first == std::string::npos ? text.size() : first);
  const char* end = text.data() + (last == std::string::npos ? text.size() : last + 1);
  double value = 0;
  auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || ptr != end || begin == end)
    throw Error("'" + text + "' is not a valid floating point value.");
  return value;
}

}  // namespace

void Query::Open() {
  Close();
  std::vector<engine::Value> params;
  if (param_) params.push_back(engine::Value::Int(*param_));
  rows_ = connection_.Run(text_, std::span<const engine::Value>(params));
  row_ = 0;
  active_ = true;
}

void Query::Close() {
  active_ = false;
  rows_ = engine::ResultSet{};
  row_ = 0;
}

void Query::Next() {
  if (!eof()) ++row_;
}

const engine::Value& Query::Field(std::string_view name) const {
  if (!active_) throw Error("Operation is not allowed when the object is closed.");
  std::optional<size_t> column = rows_.Find(name);
  if (!column) throw Error("Field '" + std::string(name) + "' not found.");
  if (eof()) throw Error("Either BOF or EOF is True. Requested operation requires a current record.");
  return rows_.rows[row_][*column];
}

std::string Query::AsString(std::string_view name) const {
  const engine::Value& value = Field(name);
  if (value.is_null()) return "";
  if (value.type().IsString()) return value.as_string();
  return value.ToString();
}

int64_t Query::AsInt(std::string_view name) const {
  const engine::Value& value = Field(name);
  if (value.is_null()) return 0;
  if (value.type().IsInteger()) return value.as_int();
  return std::llround(AsFloat(name));
}

double Query::AsFloat(std::string_view name) const {
  const engine::Value& value = Field(name);
  if (value.is_null()) return 0;
  const engine::SqlType& type = value.type();
  if (type.IsInteger()) return static_cast<double>(value.as_int());
  if (type.IsExactNumeric()) return DecimalToDouble(value.as_decimal());
  if (type.IsNumeric()) return value.as_float();
  if (type.IsDateTime()) return DateTimeToDays(value.as_datetime());
  if (type.IsString()) return ParseFloat(value.as_string());
  throw Error("Field '" + std::string(name) + "' cannot be read as a number.");
}

bool Query::IsNull(std::string_view name) const { return Field(name).is_null(); }

}  // namespace db
