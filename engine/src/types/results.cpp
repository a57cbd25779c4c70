// SqlError construction and the small lookups on results that clients use.
#include <utility>

#include "engine/engine.h"
#include "values.h"

namespace engine {

SqlError::SqlError(int number, int severity, int state, std::string text, ErrorScope scope) : scope_(scope) {
  message_.number = number;
  message_.severity = severity;
  message_.state = state;
  message_.text = std::move(text);
}

SqlError& SqlError::Follow(int number, int severity, int state, std::string text) {
  Message m;
  m.number = number;
  m.severity = severity;
  m.state = state;
  m.line = message_.line;
  m.text = std::move(text);
  follow_.push_back(std::move(m));
  return *this;
}

// Column names follow identifier rules: the collation decides, trailing blanks do not count.
std::optional<size_t> ResultSet::Find(std::string_view name) const {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (CollateEqual(columns[i].name, name)) return i;
  }
  return std::nullopt;
}

const Message* BatchResult::FirstError() const {
  for (const StatementResult& item : items) {
    if (item.kind == StatementResult::Kind::kMessage && (item.is_error || item.message.severity > 10)) {
      return &item.message;
    }
  }
  return nullptr;
}

const ResultSet* BatchResult::FirstRows() const {
  for (const StatementResult& item : items) {
    if (item.kind == StatementResult::Kind::kRows) return &item.rows;
  }
  return nullptr;
}

int64_t BatchResult::RowsAffected() const {
  int64_t total = 0;
  for (const StatementResult& item : items) {
    if (item.kind == StatementResult::Kind::kCount) total += item.count;
  }
  return total;
}

}  // namespace engine
