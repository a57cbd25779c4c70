// A value of the database layer: what a provider hands back for one field of a row, and what a Dataset sends
// for one column of the row it inserts.
//
// Every value carries the text a client shows for it (the server's own rendering for values read from a
// server), and for numbers and datetimes also the number itself, so that a field can be read as text, integer
// or float without going back to the provider. A default-constructed value is NULL. Values are plain data:
// copyable, no ownership, no failure except the explicit ones of the parsing helpers.
#ifndef CLUBIQA_DB_VALUE_H_
#define CLUBIQA_DB_VALUE_H_

#include <cstdint>
#include <optional>
#include <string>

namespace db {

// A datetime as milliseconds since 1900-01-01 00:00:00.000, SQL Server's own base; negative values reach back
// to 1753.
struct DateTime {
  int64_t ms = 0;
};

class Value {
 public:
  // What the value is, as far as the layers above care: a string, an integer (bit included), a float, an
  // exact decimal, a datetime, or something else that is only ever shown as text (uniqueidentifier, binary).
  enum class Kind : uint8_t { kNull, kText, kInteger, kFloat, kDecimal, kDateTime, kOther };

  Value() = default;  // NULL

  static Value Text(std::string utf8);
  static Value Int(int64_t number);
  // `text` is how the server renders the number; empty means the shortest text that reads back as `number`.
  static Value Float(double number, std::string text = {});
  // units / 10^scale; `text` as for Float, empty means the digits with `scale` decimals.
  static Value Dec(int64_t units, int scale, std::string text = {});
  // `text` as for Float, empty means "YYYY-MM-DD hh:mm:ss.mmm".
  static Value Date(DateTime when, std::string text = {});
  static Value Other(std::string text);

  [[nodiscard]] Kind kind() const { return kind_; }
  [[nodiscard]] bool is_null() const { return kind_ == Kind::kNull; }

  // The text a client shows; "NULL" for NULL.
  [[nodiscard]] std::string ToString() const { return is_null() ? "NULL" : text_; }
  // The string of a kText value, the rendering of any other; empty for NULL.
  [[nodiscard]] const std::string& text() const { return text_; }
  [[nodiscard]] int64_t as_int() const { return integer_; }          // kInteger; the units of a kDecimal
  [[nodiscard]] double as_float() const { return float_; }           // kFloat; the value of a kDecimal
  [[nodiscard]] int decimal_scale() const { return scale_; }         // kDecimal
  [[nodiscard]] DateTime as_datetime() const { return {integer_}; }  // kDateTime

 private:
  Kind kind_ = Kind::kNull;
  std::string text_;
  int64_t integer_ = 0;
  double float_ = 0;
  int scale_ = 0;
};

// `value` as a T-SQL literal: NULL, numbers as digits, strings as N'..' with quotes doubled, datetimes as
// 'YYYYMMDD hh:mm:ss.mmm' (read alike under every DATEFORMAT).
std::string SqlLiteral(const Value& value);

// A value of `kind` read back from the text a server sent for it (the ODBC provider reads every field as
// text): integers and floats in C notation, decimals as [-]digits[.digits], datetimes as
// "YYYY-MM-DD hh:mm:ss[.fff]". Returns nullopt when the text does not read as that kind; kText and kOther
// always read.
std::optional<Value> ValueFromText(Value::Kind kind, std::string text);

// The datetime as "YYYY-MM-DD hh:mm:ss.mmm".
std::string DateTimeText(DateTime when);

}  // namespace db

#endif  // CLUBIQA_DB_VALUE_H_
