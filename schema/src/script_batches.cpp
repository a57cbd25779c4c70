// Splitting of reference scripts into batches (see script_batches.h).
#include "schema/script_batches.h"

namespace schema {

namespace {

// Blanks and control characters, as the trimming of a separator line treats them.
bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Calls `emit` with each line of `text`; CR LF, lone CR and lone LF all end a line.
template <typename Emit>
void ForEachLine(std::string_view text, Emit&& emit) {
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    emit(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) emit(text.substr(start));
}

}  // namespace

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

bool IsSeparatorLine(std::string_view line) {
  while (!line.empty() && IsTrimmed(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsTrimmed(line.back())) line.remove_suffix(1);
  // Only the letters a to z change case, so "go" matches and nothing else does.
  return line.size() == 2 && (line[0] == 'G' || line[0] == 'g') && (line[1] == 'O' || line[1] == 'o');
}

ScriptParts SplitScript(std::string_view script) {
  ScriptParts parts;
  ForEachLine(script, [&](std::string_view line) {
    if (IsSeparatorLine(line)) {
      parts.batches.push_back(std::move(parts.rest));
      parts.rest.clear();
    } else {
      parts.rest.append(line);
      parts.rest.push_back('\n');
    }
  });
  return parts;
}

std::vector<std::string> ScriptBatches(std::string_view script) {
  return SplitScript(script).batches;  // text after the last separator is dropped
}

}  // namespace schema
