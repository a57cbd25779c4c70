// Splitting of an embedded reference script into the batches that are sent one by one.
//
// A script is split into lines at every CR LF, lone CR or lone LF. A line that holds "GO" alone (any letter
// case, surrounded by any blanks or control characters) ends a batch; every other line joins the batch,
// followed by one LF. The separator lines are never sent. A batch may be empty (a GO line right after
// another, or as the first line) and is still sent, so the server answers for it like for any other. What
// follows the last separator line is not a batch: it is dropped. "GO 2" or "GO;" is an ordinary line.
#ifndef CLUBIQA_SCHEMA_SCRIPT_BATCHES_H_
#define CLUBIQA_SCHEMA_SCRIPT_BATCHES_H_

#include <string>
#include <string_view>
#include <vector>

namespace schema {

// The lines of `text`, split at every CR LF, lone CR or lone LF; a line break at the very end starts no
// further line.
std::vector<std::string> SplitLines(std::string_view text);

// True when `line` is a batch separator.
bool IsSeparatorLine(std::string_view line);

// The batches of `script`, in order, and what follows the last separator line, collected like a batch
// (each line followed by one LF) but never sent.
struct ScriptParts {
  std::vector<std::string> batches;
  std::string rest;
};
ScriptParts SplitScript(std::string_view script);

// The batches of `script`, in order.
std::vector<std::string> ScriptBatches(std::string_view script);

}  // namespace schema

#endif  // CLUBIQA_SCHEMA_SCRIPT_BATCHES_H_
