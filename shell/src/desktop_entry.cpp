// Parsing, rewriting and resolving desktop entries.
#include "desktop_entry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <functional>
#include <set>
#include <string>

namespace shell {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kMainGroup = "[Desktop Entry]";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsKeyChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

bool IsBlankLine(std::string_view text) {
  for (const char c : text) {
    if (!IsBlank(c)) return false;
  }
  return true;
}

bool IsGroupHeader(std::string_view text) {
  if (text.size() < 3 || text.front() != '[' || text.back() != ']') return false;
  for (const char c : text.substr(1, text.size() - 2)) {
    if (c == '[' || c == ']' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

// A key with an optional locale: "Comment", "Comment[de_DE@euro]".
bool IsValidKey(std::string_view key) {
  const size_t bracket = key.find('[');
  const std::string_view base = key.substr(0, bracket);
  if (base.empty()) return false;
  for (const char c : base) {
    if (!IsKeyChar(c)) return false;
  }
  if (bracket == std::string_view::npos) return true;
  const std::string_view locale = key.substr(bracket);
  return locale.size() > 2 && locale.back() == ']' && locale.find_first_of("[]", 1) == locale.size() - 1;
}

// The key of an entry line, blanks before "=" dropped; nothing for a line that is no valid entry.
std::optional<std::string_view> EntryKey(std::string_view text) {
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  std::string_view key = text.substr(0, equals);
  while (!key.empty() && IsBlank(key.back())) key.remove_suffix(1);
  if (!IsValidKey(key)) return std::nullopt;
  return key;
}

// Where the value of an entry line starts: after "=" and the blanks that follow it.
size_t ValueStart(std::string_view text) {
  size_t at = text.find('=') + 1;
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at;
}

bool IsComment(std::string_view text) { return !text.empty() && text.front() == '#'; }

bool IsCommentKey(std::string_view key) { return key == "Comment" || key.starts_with("Comment["); }

}  // namespace

std::optional<DesktopEntry> DesktopEntry::Parse(std::string_view bytes) {
  DesktopEntry entry;
  if (bytes.starts_with(kUtf8Bom)) {
    entry.bom_ = kUtf8Bom;
    bytes.remove_prefix(kUtf8Bom.size());
  }
  std::set<std::string, std::less<>> groups;
  std::set<std::string, std::less<>> keys;  // of the current group
  int group = -1;
  while (!bytes.empty()) {
    const size_t newline = bytes.find('\n');
    std::string_view text = bytes.substr(0, newline);
    std::string end = newline == std::string_view::npos ? "" : "\n";
    bytes.remove_prefix(newline == std::string_view::npos ? bytes.size() : newline + 1);
    if (!end.empty() && text.ends_with('\r')) {
      text.remove_suffix(1);
      end = "\r\n";
    }
    if (IsGroupHeader(text)) {
      if (group == -1 && text != kMainGroup) return std::nullopt;
      if (!groups.emplace(text).second) return std::nullopt;
      keys.clear();
      ++group;
    } else if (!IsBlankLine(text) && !IsComment(text)) {
      const std::optional<std::string_view> key = EntryKey(text);
      if (!key || group == -1 || !keys.emplace(*key).second) return std::nullopt;
    }
    entry.lines_.push_back({std::string(text), std::move(end), group});
  }
  if (group == -1 || !entry.Value("Type") || !entry.Value("Name")) return std::nullopt;
  return entry;
}

std::optional<size_t> DesktopEntry::FindEntry(std::string_view key) const {
  for (size_t i = 0; i < lines_.size() && lines_[i].group <= 0; ++i) {
    if (lines_[i].group != 0) continue;
    if (EntryKey(lines_[i].text) == key) return i;
  }
  return std::nullopt;
}

std::optional<std::string> DesktopEntry::Value(std::string_view key) const {
  const std::optional<size_t> index = FindEntry(key);
  if (!index) return std::nullopt;
  const std::string& text = lines_[*index].text;
  return UnescapeDesktopValue(std::string_view(text).substr(ValueStart(text)));
}

void DesktopEntry::SetComment(std::string_view text) {
  const std::string value = EscapeDesktopValue(text);
  for (Line& line : lines_) {
    if (line.group != 0 || IsBlankLine(line.text) || IsComment(line.text) || IsGroupHeader(line.text)) continue;
    const std::optional<std::string_view> key = EntryKey(line.text);
    if (key && IsCommentKey(*key)) line.text = line.text.substr(0, ValueStart(line.text)) + value;
  }
  if (!FindEntry("Comment")) InsertCommentAfter(*FindEntry("Name"), value);
}

// The new line takes the line end of the Name line. When Name was the last line and had none, it gets the
// line end that the file uses elsewhere, and the new last line has none, as before.
void DesktopEntry::InsertCommentAfter(size_t index, std::string_view value) {
  std::string end = lines_[index].end;
  if (end.empty()) {
    bool crlf = false;
    for (const Line& line : lines_) crlf = crlf || line.end == "\r\n";
    lines_[index].end = crlf ? "\r\n" : "\n";
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index) + 1,
                Line{"Comment=" + std::string(value), std::move(end), 0});
}

std::string DesktopEntry::Serialize() const {
  std::string out = bom_;
  for (const Line& line : lines_) out += line.text + line.end;
  return out;
}

std::string EscapeDesktopValue(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == ' ' && (i == 0 || i + 1 == value.size())) {
      out += "\\s";
    } else {
      out += c;
    }
  }
  return out;
}

std::string UnescapeDesktopValue(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (value[i + 1]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += value.substr(i, 2);
        break;
    }
    ++i;
  }
  return out;
}

std::optional<std::vector<std::string>> SplitExecArguments(std::string_view exec) {
  std::vector<std::string> arguments;
  std::string current;
  bool in_argument = false;
  bool quoted = false;
  for (size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\' && i + 1 < exec.size() &&
                 std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
        current += exec[++i];
      } else {
        current += c;
      }
    } else if (c == ' ' || c == '\t' || c == '\n') {
      if (in_argument) arguments.push_back(std::move(current));
      current.clear();
      in_argument = false;
    } else {
      in_argument = true;
      if (c == '"') {
        quoted = true;
      } else {
        current += c;
      }
    }
  }
  if (quoted) return std::nullopt;
  if (in_argument) arguments.push_back(std::move(current));
  return arguments;
}

std::optional<std::string> LaunchedProgram(const DesktopEntry& entry) {
  if (std::optional<std::string> try_exec = entry.Value("TryExec")) return try_exec;
  const std::optional<std::string> exec = entry.Value("Exec");
  if (!exec) return std::nullopt;
  const std::optional<std::vector<std::string>> arguments = SplitExecArguments(*exec);
  if (!arguments || arguments->empty()) return std::nullopt;
  return arguments->front();
}

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

bool ProgramExists(std::string_view program, std::string_view search_path) {
  if (program.empty()) return false;
  if (program.front() == '/') return IsExecutableFile(std::string(program));
  while (true) {
    const size_t colon = search_path.find(':');
    const std::string_view folder = search_path.substr(0, colon);
    // Relative folders of PATH would make the answer depend on where the program was started.
    if (folder.starts_with('/') && IsExecutableFile(std::string(folder) + "/" + std::string(program))) return true;
    if (colon == std::string_view::npos) return false;
    search_path.remove_prefix(colon + 1);
  }
}

}  // namespace shell
