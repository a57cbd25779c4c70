// Appending one row to a table: Append starts the row, Set fills columns, Post inserts the row with the columns
// set (in the order first set). Columns not set take their defaults. How the values travel is the provider's
// business: the embedded server gets one INSERT with the values as literals (InsertText), a real SQL Server the
// same INSERT with the values bound as parameters.
#ifndef CLUBIQA_DB_DATASET_H_
#define CLUBIQA_DB_DATASET_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/connection.h"
#include "db/rows.h"
#include "db/value.h"

namespace db {

class Dataset {
 public:
  // `connection` must outlive the dataset. `table` is a plain table name; it is bracketed in the INSERT.
  Dataset(Connection& connection, std::string table) : connection_(connection) { row_.table = std::move(table); }

  // Starts a new row, dropping values set but not posted.
  void Append();
  // Throw db::Error without a row started by Append. Setting a column again replaces its value.
  void Set(std::string_view name, Value value);
  void Set(std::string_view name, std::string_view text) { Set(name, Value::Text(std::string(text))); }
  void Set(std::string_view name, const char* text) { Set(name, std::string_view(text)); }
  void Set(std::string_view name, int64_t number) { Set(name, Value::Int(number)); }
  void Set(std::string_view name, int number) { Set(name, Value::Int(number)); }
  void Set(std::string_view name, double number) { Set(name, Value::Float(number)); }
  void Set(std::string_view name, std::nullptr_t) { Set(name, Value()); }

  // Inserts the row. Throws db::Error; the row stays started then, so that it can be posted again.
  void Post();
  // The INSERT with literal values that the embedded server receives (for the trace and the tests).
  [[nodiscard]] std::string InsertText() const { return LiteralInsertText(row_); }

 private:
  Connection& connection_;
  bool appending_ = false;
  RowInsert row_;
};

}  // namespace db

#endif  // CLUBIQA_DB_DATASET_H_
