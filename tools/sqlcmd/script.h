// Splitting a script into batches the way sqlcmd does: a line holding only GO (any case, blanks
// around it) ends a batch, `GO n` runs it n times. The splitter is fed line by line so that input
// from a terminal runs each batch as soon as its GO line is typed.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sqlcmd {

struct Batch {
  std::string text;
  int repeat = 1;
};

// A GO line that cannot be read (`GO x`). sqlcmd treats this as fatal for the whole script.
class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ScriptSplitter {
 public:
  // Takes one line (without its line break; a trailing CR is ignored). Returns the finished batch
  // when the line is a GO line and the batch holds more than blanks. Throws ScriptError.
  std::optional<Batch> AddLine(std::string_view line);
  // Returns what is left after the last GO line, unless it is only blanks.
  std::optional<Batch> Finish();

 private:
  std::optional<Batch> TakeBatch(int repeat);

  std::string pending_;
};

// Splits a whole script text (a UTF-8 byte order mark at the start is skipped). Throws ScriptError.
std::vector<Batch> SplitScript(std::string_view script);

}  // namespace sqlcmd
