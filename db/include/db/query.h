// A row-returning statement on a Connection: Open runs it and fetches every row, so that record_count() is
// exact and the rows can be walked again with First().
//
// Field access reads the current row by column name (without regard to case). A NULL reads as "" or 0, as
// the upgrader expects. Every failure (of the statement, of an unknown field, of a read past the last row)
// throws db::Error.
#ifndef CLUBIQA_DB_QUERY_H_
#define CLUBIQA_DB_QUERY_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "db/rows.h"
#include "db/value.h"

namespace db {

class Query {
 public:
  // `connection` must outlive the query.
  explicit Query(Connection& connection) : connection_(connection) {}

  void set_text(std::string text) { text_ = std::move(text); }
  [[nodiscard]] const std::string& text() const { return text_; }
  // Bound to the `?` placeholder of the text at every Open until cleared.
  void set_param(int64_t value) { param_ = value; }
  void clear_param() { param_.reset(); }

  // Runs the text (closing the query first) and stands on the first row. Throws db::Error; the query is
  // closed afterwards then.
  void Open();
  void Close();
  [[nodiscard]] bool active() const { return active_; }

  [[nodiscard]] int64_t record_count() const { return static_cast<int64_t>(rows_.rows.size()); }
  [[nodiscard]] bool eof() const { return row_ >= rows_.rows.size(); }
  void Next();
  void First() { row_ = 0; }

  [[nodiscard]] std::string AsString(std::string_view name) const;
  [[nodiscard]] int64_t AsInt(std::string_view name) const;
  [[nodiscard]] double AsFloat(std::string_view name) const;
  [[nodiscard]] bool IsNull(std::string_view name) const;

 private:
  [[nodiscard]] const Value& Field(std::string_view name) const;

  Connection& connection_;
  std::string text_;
  std::optional<int64_t> param_;
  bool active_ = false;
  RowSet rows_;
  size_t row_ = 0;
};

}  // namespace db

#endif  // CLUBIQA_DB_QUERY_H_
