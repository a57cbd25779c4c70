#include "db/dataset.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace db {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
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
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, number);
  std::string text(buffer, ec == std::errc() ? end : buffer);
  // A bare integer would be typed int or numeric; the exponent keeps the literal a float.
  if (text.find_first_of("eE") == std::string::npos) text += "E0";
  return text;
}

// "2013-02-20 09:05:00.000" -> '20130220 09:05:00.000': the dashed form is read year-day-month under dmy.
std::string DateTimeLiteral(const engine::Value& value) {
  std::string text = value.ToString();
  std::erase(text, '-');
  return Quoted(text, "");
}

}  // namespace

std::string SqlLiteral(const engine::Value& value) {
  if (value.is_null()) return "NULL";
  const engine::SqlType& type = value.type();
  if (type.IsString()) return Quoted(value.as_string(), "N");
  if (type.IsInteger()) return std::to_string(value.as_int());
  if (type.IsExactNumeric()) return value.ToString();
  if (type.IsNumeric()) return FloatLiteral(value.as_float());
  if (type.IsDateTime()) return DateTimeLiteral(value);
  return Quoted(value.ToString(), "");  // uniqueidentifier
}

void Dataset::Append() {
  values_.clear();
  appending_ = true;
}

void Dataset::Set(std::string_view name, engine::Value value) {
  if (!appending_) throw Error("Dataset not in edit or insert mode.");
  auto same = [name](const auto& entry) { return EqualsIgnoringCase(entry.first, name); };
  if (auto it = std::ranges::find_if(values_, same); it != values_.end()) {
    it->second = std::move(value);
  } else {
    values_.emplace_back(std::string(name), std::move(value));
  }
}

std::string Dataset::InsertText() const {
  if (values_.empty()) return "INSERT INTO " + Bracketed(table_) + " DEFAULT VALUES";
  std::string columns;
  std::string literals;
  for (const auto& [name, value] : values_) {
    if (!columns.empty()) columns += ", ";
    if (!literals.empty()) literals += ", ";
    columns += Bracketed(name);
    literals += SqlLiteral(value);
  }
  return "INSERT INTO " + Bracketed(table_) + " (" + columns + ") VALUES (" + literals + ")";
}

void Dataset::Post() {
  if (!appending_) throw Error("Dataset not in edit or insert mode.");
  connection_.Run(InsertText());
  values_.clear();
  appending_ = false;
}

}  // namespace db
