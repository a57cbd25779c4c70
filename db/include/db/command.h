// A text that returns no rows, run on a Connection: one statement or a whole batch.
//
// A failure anywhere in the batch throws db::Error with the batch's first error, after the server has ended
// the batch (statements after a statement-level error have run, as SQL Server runs them).
#ifndef CLUBIQA_DB_COMMAND_H_
#define CLUBIQA_DB_COMMAND_H_

#include <string>
#include <vector>

#include "db/connection.h"

namespace db {

class Command {
 public:
  // `connection` must outlive the command.
  explicit Command(Connection& connection) : connection_(connection) {}

  void set_text(std::string text) { text_ = std::move(text); }
  [[nodiscard]] const std::string& text() const { return text_; }

  void Execute();
  // Sets the text to the lines, each followed by CR LF, and executes it as one text.
  void ExecuteLines(const std::vector<std::string>& lines);

 private:
  Connection& connection_;
  std::string text_;
};

}  // namespace db

#endif  // CLUBIQA_DB_COMMAND_H_
