// Running one text on an ODBC connection and consuming everything the server sends back for it: every result
// set, every row count and every message, so that a failure anywhere in a batch is seen and the connection is
// free for the next text. One Statement is one statement handle, used for one text and then freed.
#ifndef CLUBIQA_DB_ODBC_ODBC_STATEMENT_H_
#define CLUBIQA_DB_ODBC_ODBC_STATEMENT_H_

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/rows.h"
#include "db/value.h"
#include "odbc/odbc_api.h"

namespace db::odbc {

// What a text left behind once every result of it was consumed.
struct Outcome {
  std::optional<RowSet> rows;           // the first row set, when asked for and when there was one
  int64_t affected = 0;                 // rows counted by the statements that return no rows
  std::vector<DiagRecord> diagnostics;  // every message, in the order the driver reported them
  bool link_lost = false;               // the server went away on the way

  [[nodiscard]] const DiagRecord* first_error() const;
};

class Statement {
 public:
  // Allocates a statement handle on `connection` with no query time-out. Throws db::Error when the driver
  // refuses (a connection that is gone).
  explicit Statement(SQLHDBC connection);

  // Binds `value` to the next `?` of the text; the value is copied and kept until the statement is freed.
  void Bind(const Value& value);
  // Binds an integer parameter (the `?` of a Query), as int when it fits and bigint otherwise.
  void BindInteger(int64_t number);

  // Sends `text` and consumes all of its results. With `want_rows` the first row set is fetched whole (every
  // field as UTF-16 text, NULLs flagged, rows counted here); later row sets are skipped. `skip_results`
  // result sets at the start are skipped before that (a prefix the provider put in front of the text).
  Outcome Run(std::string_view text, bool want_rows, int skip_results = 0);

 private:
  struct Parameter {
    std::u16string text;
    int64_t integer = 0;
    int32_t small_integer = 0;
    double number = 0;
    SQL_TIMESTAMP_STRUCT timestamp{};
    SQLLEN indicator = 0;
  };

  Parameter& NextParameter();
  void BindParameter(Parameter& parameter, SQLSMALLINT c_type, SQLSMALLINT sql_type, SQLULEN size, SQLSMALLINT digits,
                     SQLPOINTER data, SQLLEN buffer_length);
  void BindText(const std::string& text, SQLSMALLINT sql_type, SQLULEN size, SQLSMALLINT digits);

  // Reads or skips the current result: a row set, or the count of a statement that returns no rows.
  void ConsumeResult(bool want_rows, int& skip_results, Outcome& outcome);
  // The rows of the current result set, read to its end.
  RowSet FetchRows(SQLSMALLINT column_count, Outcome& outcome);
  // One field of the current row as text, read in chunks; nullopt for NULL.
  std::optional<std::u16string> ReadField(SQLUSMALLINT column, Outcome& outcome);
  void Collect(SQLRETURN rc, Outcome& outcome) const;

  Handle handle_;
  std::deque<Parameter> parameters_;  // a deque keeps the bound addresses stable
};

// Whether `text` begins (after blanks and comments) with a statement that SQL Server only accepts as the first
// of its batch: CREATE or ALTER of a view, procedure, function, trigger, schema, default or rule.
bool MustStartBatch(std::string_view text);

}  // namespace db::odbc

#endif  // CLUBIQA_DB_ODBC_ODBC_STATEMENT_H_
