// Writes what a batch returned in sqlcmd's layout: for a row set a header line of column names, a
// line of dashes per column and the rows, each column padded to its display width (numbers to the
// right), then "(N rows affected)" after a blank line (not under SET NOCOUNT ON); a row count alone
// prints only the latter.
// Errors go to the error stream as "Msg N, Level L, State S, Line n" plus the text on its own
// line; informational messages (PRINT and severity <= 10) print their text to the output.
#pragma once

#include <ostream>
#include <string>

#include "engine/engine.h"

namespace sqlcmd {

struct PrintOptions {
  int rows_per_header = 0;  // 0: once per row set, -1: never, n: every n rows
  std::string separator = " ";
  bool trim = false;  // -W: no padding, trailing blanks of every field removed
};

class Printer {
 public:
  Printer(std::ostream& out, std::ostream& err, PrintOptions options);

  // Prints every item of the batch in order. Returns true when the batch reported an error.
  bool Print(const engine::BatchResult& result);
  // Prints one message, error or not (also used for failures outside a batch, like a login).
  void PrintMessage(const engine::Message& message);
  // Prints a thrown error and the messages that follow it.
  void PrintError(const engine::SqlError& error);

 private:
  void PrintRows(const engine::ResultSet& rows);
  void PrintHeader(const engine::ResultSet& rows, const std::vector<size_t>& widths);
  void PrintCount(int64_t count);

  std::ostream& out_;
  std::ostream& err_;
  PrintOptions options_;
};

// The width sqlcmd gives a column: its type's display size, at least the name's length, and room
// for "NULL" when the column may hold one.
size_t ColumnWidth(const engine::ColumnInfo& column);

}  // namespace sqlcmd
