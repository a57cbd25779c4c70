#include "odbc/odbc_statement.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>

#include "db/ascii.h"
#include "db/error.h"
#include "odbc/server_message.h"
#include "odbc/utf16.h"

namespace db::odbc {
namespace {

// UTF-16 units read per SQLGetData call; longer fields come in several.
constexpr size_t kChunkUnits = 2048;
constexpr std::string_view kTruncated = "01004";

Value::Kind KindOf(SQLSMALLINT sql_type) {
  switch (sql_type) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
      return Value::Kind::kText;
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      return Value::Kind::kInteger;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return Value::Kind::kDecimal;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return Value::Kind::kFloat;
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATETIME:
      return Value::Kind::kDateTime;
    default:
      return Value::Kind::kOther;
  }
}

// A field's text as the layer's value. Floats are shown by the shortest text that reads back as the same number,
// as the embedded server shows them, whatever digits the driver chose.
Value ToValue(Value::Kind kind, std::string text) {
  std::optional<Value> value = ValueFromText(kind, text);
  if (!value) return Value::Other(std::move(text));
  if (value->kind() == Value::Kind::kFloat) return Value::Float(value->as_float());
  return *value;
}

SQL_TIMESTAMP_STRUCT Timestamp(DateTime when) {
  using namespace std::chrono;
  constexpr int64_t kMsPerDay = 86'400'000;
  int64_t days = when.ms / kMsPerDay;
  int64_t in_day = when.ms % kMsPerDay;
  if (in_day < 0) {
    in_day += kMsPerDay;
    --days;
  }
  const year_month_day date{sys_days(year_month_day(year(1900), January, day(1))) + std::chrono::days(days)};
  SQL_TIMESTAMP_STRUCT stamp{};
  stamp.year = static_cast<SQLSMALLINT>(static_cast<int>(date.year()));
  stamp.month = static_cast<SQLUSMALLINT>(static_cast<unsigned>(date.month()));
  stamp.day = static_cast<SQLUSMALLINT>(static_cast<unsigned>(date.day()));
  stamp.hour = static_cast<SQLUSMALLINT>(in_day / 3'600'000);
  stamp.minute = static_cast<SQLUSMALLINT>(in_day / 60'000 % 60);
  stamp.second = static_cast<SQLUSMALLINT>(in_day / 1000 % 60);
  stamp.fraction = static_cast<SQLUINTEGER>(in_day % 1000 * 1'000'000);  // nanoseconds
  return stamp;
}

// Skips blanks, line comments and block comments (which nest in T-SQL).
size_t SkipBlanksAndComments(std::string_view text, size_t pos) {
  while (pos < text.size()) {
    if (std::isspace(static_cast<unsigned char>(text[pos]))) {
      ++pos;
    } else if (text.substr(pos, 2) == "--") {
      pos = std::min(text.find('\n', pos), text.size());
    } else if (text.substr(pos, 2) == "/*") {
      int depth = 0;
      do {
        if (text.substr(pos, 2) == "/*")
          ++depth, pos += 2;
        else if (text.substr(pos, 2) == "*/")
          --depth, pos += 2;
        else
          ++pos;
      } while (depth > 0 && pos < text.size());
    } else {
      break;
    }
  }
  return pos;
}

// The next word (letters and underscores) upper-cased, and pos moved behind it and the blanks after it.
std::string NextWord(std::string_view text, size_t& pos) {
  pos = SkipBlanksAndComments(text, pos);
  std::string word;
  while (pos < text.size() && (IsAsciiLetter(text[pos]) || text[pos] == '_')) {
    word += AsciiUpper(text[pos++]);
  }
  return word;
}

}  // namespace

const DiagRecord* Outcome::first_error() const { return FirstError(diagnostics); }

bool MustStartBatch(std::string_view text) {
  size_t pos = 0;
  const std::string verb = NextWord(text, pos);
  if (verb != "CREATE" && verb != "ALTER") return false;
  std::string object = NextWord(text, pos);
  if (object == "OR") {  // CREATE OR ALTER
    NextWord(text, pos);
    object = NextWord(text, pos);
  }
  static constexpr std::array<std::string_view, 8> kObjects = {"VIEW",    "PROC",   "PROCEDURE", "FUNCTION",
                                                               "TRIGGER", "SCHEMA", "DEFAULT",   "RULE"};
  return std::ranges::find(kObjects, object) != kObjects.end();
}

Statement::Statement(SQLHDBC connection) : handle_(Handle::Allocate(SQL_HANDLE_STMT, connection)) {
  if (!handle_) throw ErrorFrom(ReadDiagnostics(SQL_HANDLE_DBC, connection), "The connection cannot run statements.");
  // Every statement waits for the server as long as it takes.
  // ODBC passes integer attribute values in its pointer parameter.
  SQLSetStmtAttrW(handle_.get(), SQL_ATTR_QUERY_TIMEOUT,
                  reinterpret_cast<SQLPOINTER>(SQLULEN{0}),  // NOLINT(performance-no-int-to-ptr)
                  0);
}

Statement::Parameter& Statement::NextParameter() { return parameters_.emplace_back(); }

void Statement::BindParameter(Parameter& parameter, SQLSMALLINT c_type, SQLSMALLINT sql_type, SQLULEN size,
                              SQLSMALLINT digits, SQLPOINTER data, SQLLEN buffer_length) {
  const auto position = static_cast<SQLUSMALLINT>(parameters_.size());
  const SQLRETURN rc = SQLBindParameter(handle_.get(), position, SQL_PARAM_INPUT, c_type, sql_type, size, digits, data,
                                        buffer_length, &parameter.indicator);
  if (!Succeeded(rc)) throw ErrorFrom(ReadDiagnostics(handle_), "A value cannot be bound.");
}

void Statement::BindText(const std::string& text, SQLSMALLINT sql_type, SQLULEN size, SQLSMALLINT digits) {
  Parameter& parameter = NextParameter();
  parameter.text = ToUtf16(text);
  const auto bytes = static_cast<SQLLEN>(parameter.text.size() * sizeof(char16_t));
  parameter.indicator = bytes;
  if (sql_type == SQL_WVARCHAR) {
    // nvarchar(n) holds up to 4000 units; anything longer goes as nvarchar(max).
    size = std::max<SQLULEN>(1, parameter.text.size());
    if (size > 4000) sql_type = SQL_WLONGVARCHAR;
  }
  BindParameter(parameter, SQL_C_WCHAR, sql_type, size, digits, WideText(parameter.text), bytes);
}

void Statement::BindInteger(int64_t number) {
  Parameter& parameter = NextParameter();
  if (number >= INT32_MIN && number <= INT32_MAX) {
    parameter.small_integer = static_cast<int32_t>(number);
    BindParameter(parameter, SQL_C_SLONG, SQL_INTEGER, 10, 0, &parameter.small_integer, 0);
  } else {
    parameter.integer = number;
    BindParameter(parameter, SQL_C_SBIGINT, SQL_BIGINT, 19, 0, &parameter.integer, 0);
  }
}

void Statement::Bind(const Value& value) {
  switch (value.kind()) {
    case Value::Kind::kNull: {
      Parameter& parameter = NextParameter();
      parameter.indicator = SQL_NULL_DATA;
      BindParameter(parameter, SQL_C_WCHAR, SQL_WVARCHAR, 1, 0, nullptr, 0);
      return;
    }
    case Value::Kind::kInteger:
      return BindInteger(value.as_int());
    case Value::Kind::kFloat: {
      Parameter& parameter = NextParameter();
      parameter.number = value.as_float();
      return BindParameter(parameter, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0, &parameter.number, 0);
    }
    case Value::Kind::kDecimal: {
      const auto digits = static_cast<SQLULEN>(std::count_if(value.text().begin(), value.text().end(), ::isdigit));
      return BindText(value.text(), SQL_DECIMAL, std::max<SQLULEN>(digits, value.decimal_scale() + 1),
                      static_cast<SQLSMALLINT>(value.decimal_scale()));
    }
    case Value::Kind::kDateTime: {
      Parameter& parameter = NextParameter();
      parameter.timestamp = Timestamp(value.as_datetime());
      // datetime: 23 characters, milliseconds.
      return BindParameter(parameter, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, &parameter.timestamp, 0);
    }
    case Value::Kind::kText:
    case Value::Kind::kOther:
      return BindText(value.text(), SQL_WVARCHAR, 0, 0);
  }
}

void Statement::Collect(SQLRETURN rc, Outcome& outcome) const {
  if (rc == SQL_SUCCESS || rc == SQL_NO_DATA) return;
  for (DiagRecord& record : ReadDiagnostics(handle_)) {
    if (record.is_link_failure()) outcome.link_lost = true;
    outcome.diagnostics.push_back(std::move(record));
  }
}

std::optional<std::u16string> Statement::ReadField(SQLUSMALLINT column, Outcome& outcome) {
  std::u16string value;
  std::u16string chunk(kChunkUnits + 1, u'\0');
  while (true) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(handle_.get(), column, SQL_C_WCHAR, chunk.data(),
                                    static_cast<SQLLEN>(chunk.size() * sizeof(char16_t)), &indicator);
    if (rc == SQL_NO_DATA) return value;  // the last chunk ended exactly at the buffer's end
    if (!Succeeded(rc)) {
      Collect(rc, outcome);
      return value;
    }
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    if (rc == SQL_SUCCESS) {
      value.append(chunk.data(), static_cast<size_t>(indicator) / sizeof(char16_t));
      return value;
    }
    // SQL_SUCCESS_WITH_INFO: a full chunk when the driver says 01004 (truncated); any other note ends the field.
    const std::vector<DiagRecord> notes = ReadDiagnostics(handle_);
    const bool truncated = std::ranges::any_of(notes, [](const DiagRecord& d) { return d.state == kTruncated; });
    if (!truncated) {
      value.append(chunk.data(), static_cast<size_t>(indicator) / sizeof(char16_t));
      return value;
    }
    value.append(chunk.data(), kChunkUnits);
  }
}

RowSet Statement::FetchRows(SQLSMALLINT column_count, Outcome& outcome) {
  RowSet rows;
  std::vector<Value::Kind> kinds;
  for (SQLUSMALLINT column = 1; column <= column_count; ++column) {
    std::u16string name(256, u'\0');
    SQLSMALLINT name_length = 0, sql_type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLDescribeColW(handle_.get(), column, WideText(name), static_cast<SQLSMALLINT>(name.size()), &name_length,
                    &sql_type, &size, &digits, &nullable);
    name.resize(std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(name_length, 0)), name.size()));
    rows.columns.push_back(ToUtf8(name));
    kinds.push_back(KindOf(sql_type));
  }
  while (true) {
    const SQLRETURN rc = SQLFetch(handle_.get());
    if (rc == SQL_NO_DATA) break;
    Collect(rc, outcome);
    if (!Succeeded(rc)) break;  // the rest of this result set is lost with the error that ended it
    std::vector<Value>& row = rows.rows.emplace_back();
    row.reserve(kinds.size());
    for (SQLUSMALLINT column = 1; column <= column_count; ++column) {
      const std::optional<std::u16string> field = ReadField(column, outcome);
      row.push_back(field ? ToValue(kinds[column - 1], ToUtf8(*field)) : Value());
    }
  }
  return rows;
}

Outcome Statement::Run(std::string_view text, bool want_rows, int skip_results) {
  Outcome outcome;
  std::u16string wide = ToUtf16(text);
  SQLRETURN rc = SQLExecDirectW(handle_.get(), WideText(wide), static_cast<SQLINTEGER>(wide.size()));
  Collect(rc, outcome);
  // SQL_NO_DATA from the first statement (a SET, a DDL statement) still leaves the rest of the batch to read.
  // A first statement that failed leaves nothing: the driver manager then answers SQLMoreResults itself, which
  // is why the provider puts a statement that cannot fail in front of its batches.
  while (true) {
    if (Succeeded(rc)) ConsumeResult(want_rows, skip_results, outcome);
    if (rc == SQL_INVALID_HANDLE || outcome.link_lost) break;
    const size_t known = outcome.diagnostics.size();
    rc = SQLMoreResults(handle_.get());
    Collect(rc, outcome);
    if (rc == SQL_NO_DATA) break;
    // An error that tells nothing would repeat forever.
    if (rc == SQL_ERROR && outcome.diagnostics.size() == known) break;
  }
  return outcome;
}

void Statement::ConsumeResult(bool want_rows, int& skip_results, Outcome& outcome) {
  SQLSMALLINT columns = 0;
  SQLNumResultCols(handle_.get(), &columns);
  if (columns > 0 && skip_results > 0) {
    --skip_results;
  } else if (columns > 0 && want_rows && !outcome.rows) {
    outcome.rows = FetchRows(columns, outcome);
  } else if (columns == 0) {
    SQLLEN count = -1;
    if (Succeeded(SQLRowCount(handle_.get(), &count)) && count > 0) outcome.affected += count;
  }
}

}  // namespace db::odbc
