// What a row-returning text gives back (a RowSet: column names and every row), and one row to insert (a
// RowInsert: the table and its column values). Plain data shared by the layer and its providers.
#ifndef CLUBIQA_DB_ROWS_H_
#define CLUBIQA_DB_ROWS_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/value.h"

namespace db {

struct RowSet {
  std::vector<std::string> columns;  // names as the server sent them; empty for an unnamed expression
  std::vector<std::vector<Value>> rows;

  // Ordinal of the first column called `name`, compared without regard to ASCII case and ignoring trailing
  // blanks (as the server compares names); nullopt when there is none.
  [[nodiscard]] std::optional<size_t> Find(std::string_view name) const;
};

// One row for a table: the columns in the order they were first set, each with its value. Columns not named
// take their defaults.
struct RowInsert {
  std::string table;  // a plain table name, bracketed in the statement
  std::vector<std::pair<std::string, Value>> values;
};

// The INSERT of `row` with its values as literals (SqlLiteral), or DEFAULT VALUES without any.
std::string LiteralInsertText(const RowInsert& row);
// The same INSERT with a `?` for every value, to be sent with the values bound in order.
std::string ParameterInsertText(const RowInsert& row);

}  // namespace db

#endif  // CLUBIQA_DB_ROWS_H_
