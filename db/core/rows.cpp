// Column lookup, T-SQL literals and the INSERT texts of one row.
#include "db/rows.h"

#include <array>
#include <charconv>

#include "db/ascii.h"

namespace db {
namespace {

std::string_view WithoutTrailingBlanks(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  a = WithoutTrailingBlanks(a);
  b = WithoutTrailingBlanks(b);
  return EqualsIgnoreCaseAscii(a, b);
}

// [name] with "]" doubled, so that any column or table name is taken as written.
std::string Bracketed(std::string_view name) {
  std::string result = "[";
  for (char c : name) result += c == ']' ? std::string("]]") : std::string(1, c);
  return result + "]";
}

std::string Quoted(std::string_view text, std::string_view prefix) {
  std::string result(prefix);
  result += '\'';
  for (char c : text) result += c == '\'' ? std::string("''") : std::string(1, c);
  return result + '\'';
}

std::string FloatLiteral(double number) {
  std::array<char, 32> buffer{};
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), number);
  std::string text(buffer.data(), ec == std::errc() ? end : buffer.data());
  // A bare integer would be typed int or numeric; the exponent keeps the literal a float.
  if (text.find_first_of("eE") == std::string::npos) text += "E0";
  return text;
}

// "2013-02-20 09:05:00.000" -> '20130220 09:05:00.000': the dashed form is read year-day-month under dmy.
std::string DateTimeLiteral(const Value& value) {
  std::string text = value.text();
  std::erase(text, '-');
  return Quoted(text, "");
}

// INSERT INTO [table] ([a], [b]) VALUES (<value text of a>, <of b>).
template <typename ValueText>
std::string InsertText(const RowInsert& row, ValueText value_text) {
  if (row.values.empty()) return "INSERT INTO " + Bracketed(row.table) + " DEFAULT VALUES";
  std::string columns;
  std::string values;
  for (const auto& [name, value] : row.values) {
    if (!columns.empty()) columns += ", ";
    if (!values.empty()) values += ", ";
    columns += Bracketed(name);
    values += value_text(value);
  }
  return "INSERT INTO " + Bracketed(row.table) + " (" + columns + ") VALUES (" + values + ")";
}

}  // namespace

std::optional<size_t> RowSet::Find(std::string_view name) const {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (SameName(columns[i], name)) return i;
  }
  return std::nullopt;
}

std::string SqlLiteral(const Value& value) {
  switch (value.kind()) {
    case Value::Kind::kNull:
      return "NULL";
    case Value::Kind::kText:
      return Quoted(value.text(), "N");
    case Value::Kind::kInteger:
    case Value::Kind::kDecimal:
      return value.text();
    case Value::Kind::kFloat:
      return FloatLiteral(value.as_float());
    case Value::Kind::kDateTime:
      return DateTimeLiteral(value);
    case Value::Kind::kOther:
      break;
  }
  return Quoted(value.text(), "");  // uniqueidentifier
}

std::string LiteralInsertText(const RowInsert& row) { return InsertText(row, SqlLiteral); }

std::string ParameterInsertText(const RowInsert& row) {
  return InsertText(row, [](const Value&) { return std::string("?"); });
}

}  // namespace db
