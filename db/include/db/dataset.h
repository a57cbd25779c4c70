// Appending one row to a table: Append starts the row, Set fills columns, Post sends one INSERT with the
// columns set (in the order first set) and their values as literals. Columns not set take their defaults.
#ifndef CLUBIQA_DB_DATASET_H_
#define CLUBIQA_DB_DATASET_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/connection.h"

namespace db {

class Dataset {
 public:
  // `connection` must outlive the dataset. `table` is a plain table name; it is bracketed in the INSERT.
  Dataset(Connection& connection, std::string table) : connection_(connection), table_(std::move(table)) {}

  // Starts a new row, dropping values set but not posted.
  void Append();
  // Throw db::Error without a row started by Append. Setting a column again replaces its value.
  void Set(std::string_view name, engine::Value value);
  void Set(std::string_view name, std::string_view text) { Set(name, engine::Value::NVarChar(std::string(text))); }
  void Set(std::string_view name, const char* text) { Set(name, std::string_view(text)); }
  void Set(std::string_view name, int64_t number) { Set(name, engine::Value::Int(number, engine::TypeId::kBigInt)); }
  void Set(std::string_view name, int number) { Set(name, engine::Value::Int(number)); }
  void Set(std::string_view name, double number) { Set(name, engine::Value::Float(number)); }
  void Set(std::string_view name, std::nullptr_t) { Set(name, engine::Value()); }

  // Sends the INSERT. Throws db::Error; the row stays started then, so that it can be posted again.
  void Post();
  // The INSERT that Post sends (for the trace and the tests).
  std::string InsertText() const;

 private:
  Connection& connection_;
  std::string table_;
  bool appending_ = false;
  std::vector<std::pair<std::string, engine::Value>> values_;
};

// `value` as a T-SQL literal: NULL, numbers as digits, strings as N'..' with quotes doubled, datetimes as
// 'YYYYMMDD hh:mm:ss.mmm' (read alike under every DATEFORMAT).
std::string SqlLiteral(const engine::Value& value);

}  // namespace db

#endif  // CLUBIQA_DB_DATASET_H_
