#include "script.h"

#include <cctype>
#include <charconv>

namespace sqlcmd {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool OnlyBlanks(std::string_view s) {
  for (char c : s) {
    if (!IsBlank(c) && c != '\n') return false;
  }
  return true;
}

// Returns the repeat count when `line` is a GO line, nullopt when it is ordinary script text.
// "GO", "go 3" and "GO -- comment" are GO lines; "GOTO x" is not.
std::optional<int> ParseGoLine(std::string_view line) {
  line = Trim(line);
  if (line.size() < 2 || std::tolower(static_cast<unsigned char>(line[0])) != 'g' ||
      std::tolower(static_cast<unsigned char>(line[1])) != 'o') {
    return std::nullopt;
  }
  std::string_view rest = line.substr(2);
  if (rest.empty()) return 1;
  if (!IsBlank(rest.front()) && !rest.starts_with("--")) return std::nullopt;
  rest = Trim(rest);
  int count = 1;
  if (!rest.empty() && std::isdigit(static_cast<unsigned char>(rest.front()))) {
    auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), count);
    if (ec != std::errc() || count < 1) throw ScriptError("Incorrect syntax was encountered while parsing GO.");
    rest = Trim(rest.substr(static_cast<size_t>(end - rest.data())));
  }
  if (!rest.empty() && !rest.starts_with("--")) {
    throw ScriptError("Incorrect syntax was encountered while parsing GO.");
  }
  return count;
}

}  // namespace

std::optional<Batch> ScriptSplitter::AddLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (std::optional<int> repeat = ParseGoLine(line)) return TakeBatch(*repeat);
  pending_.append(line);
  pending_.push_back('\n');
  return std::nullopt;
}

std::optional<Batch> ScriptSplitter::Finish() { return TakeBatch(1); }

std::optional<Batch> ScriptSplitter::TakeBatch(int repeat) {
  std::string text;
  text.swap(pending_);
  if (OnlyBlanks(text)) return std::nullopt;
  // The engine reports line numbers within the batch; a final newline adds nothing to that.
  if (text.back() == '\n') text.pop_back();
  return Batch{std::move(text), repeat};
}

std::vector<Batch> SplitScript(std::string_view script) {
  if (script.starts_with("\xEF\xBB\xBF")) script.remove_prefix(3);
  ScriptSplitter splitter;
  std::vector<Batch> batches;
  while (!script.empty()) {
    size_t end = script.find('\n');
    std::string_view line = script.substr(0, end);
    if (std::optional<Batch> batch = splitter.AddLine(line)) batches.push_back(std::move(*batch));
    script.remove_prefix(end == std::string_view::npos ? script.size() : end + 1);
  }
  if (std::optional<Batch> batch = splitter.Finish()) batches.push_back(std::move(*batch));
  return batches;
}

}  // namespace sqlcmd
