#include "db/query.h"

#include <charconv>
#include <cmath>

namespace db {
namespace {

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
  rows_ = connection_.RunQuery(text_, param_);
  row_ = 0;
  active_ = true;
}

void Query::Close() {
  active_ = false;
  rows_ = RowSet{};
  row_ = 0;
}

void Query::Next() {
  if (!eof()) ++row_;
}

const Value& Query::Field(std::string_view name) const {
  if (!active_) throw Error("Operation is not allowed when the object is closed.");
  std::optional<size_t> column = rows_.Find(name);
  if (!column) throw Error("Field '" + std::string(name) + "' not found.");
  if (eof()) throw Error("Either BOF or EOF is True. Requested operation requires a current record.");
  return rows_.rows[row_][*column];
}

std::string Query::AsString(std::string_view name) const { return Field(name).text(); }

int64_t Query::AsInt(std::string_view name) const {
  const Value& value = Field(name);
  if (value.is_null()) return 0;
  if (value.kind() == Value::Kind::kInteger) return value.as_int();
  return std::llround(AsFloat(name));
}

double Query::AsFloat(std::string_view name) const {
  const Value& value = Field(name);
  switch (value.kind()) {
    case Value::Kind::kNull:
      return 0;
    case Value::Kind::kInteger:
    case Value::Kind::kFloat:
    case Value::Kind::kDecimal:
    case Value::Kind::kDateTime:  // days since 1899-12-30
      return value.as_float();
    case Value::Kind::kText:
      return ParseFloat(value.text());
    case Value::Kind::kOther:
      break;
  }
  throw Error("Field '" + std::string(name) + "' cannot be read as a number.");
}

bool Query::IsNull(std::string_view name) const { return Field(name).is_null(); }

}  // namespace db
