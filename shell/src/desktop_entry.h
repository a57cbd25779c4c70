// Freedesktop desktop entries (the launchers of Linux desktops and menus), read and rewritten line by line so
// that a rewrite keeps every byte that it does not mean to change: comments, blank lines, other groups, key
// order, line endings (LF or CR LF, a missing last one included), a byte-order mark.
//
// A valid entry: lines that are blank, comments ("#..."), group headers ("[name]") or entries
// ("Key=Value", blanks around "=" allowed, keys of A-Z a-z 0-9 "-" with an optional "[locale]"); the first
// group is [Desktop Entry], no entry stands before it, no group or key of a group comes twice, and
// [Desktop Entry] has Type and Name.
#ifndef CLUBIQA_SHELL_DESKTOP_ENTRY_H_
#define CLUBIQA_SHELL_DESKTOP_ENTRY_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace shell {

class DesktopEntry {
 public:
  // The entry of `bytes`, or nothing when they are not a valid desktop entry.
  static std::optional<DesktopEntry> Parse(std::string_view bytes);

  // The value of `key` (exactly, "Comment[de]" for a localized one) in [Desktop Entry], unescaped.
  [[nodiscard]] std::optional<std::string> Value(std::string_view key) const;

  // Sets Comment and every Comment[locale] of [Desktop Entry] to `text`: a localized comment that the
  // desktop prefers for the user's language would otherwise hide the new one. Without a plain Comment, one
  // is added right after Name. Comments of other groups (desktop actions) stay.
  void SetComment(std::string_view text);

  // The file's bytes.
  [[nodiscard]] std::string Serialize() const;

 private:
  struct Line {
    std::string text;  // without its line end
    std::string end;   // "\n", "\r\n", or "" for a last line without one
    int group;         // index of the group it belongs to, -1 before the first header
  };

  DesktopEntry() = default;
  // The index of the line of [Desktop Entry] whose key is `key`, or nothing.
  [[nodiscard]] std::optional<size_t> FindEntry(std::string_view key) const;
  void InsertCommentAfter(size_t index, std::string_view text);

  std::string bom_;
  std::vector<Line> lines_;
};

// The value as it is written in a desktop entry: backslashes, line ends and tabs escaped, and blanks at either
// end written as "\s" so that no reader trims them.
std::string EscapeDesktopValue(std::string_view value);
// The escapes \s \n \t \r \\ undone; any other backslash stays.
std::string UnescapeDesktopValue(std::string_view value);

// The arguments of an Exec value (already unescaped): blanks separate them, double quotes group them, and
// inside quotes a backslash takes the next of " ` $ \ literally. Nothing for an unterminated quote.
std::optional<std::vector<std::string>> SplitExecArguments(std::string_view exec);

// The program that the entry launches: its TryExec, or without one the first argument of Exec. Nothing when
// it has neither.
std::optional<std::string> LaunchedProgram(const DesktopEntry& entry);

// Whether `program` names an executable file: an absolute path as it stands, any other name in one of the
// absolute folders of `search_path` (a PATH value).
bool ProgramExists(std::string_view program, std::string_view search_path);

}  // namespace shell

#endif  // CLUBIQA_SHELL_DESKTOP_ENTRY_H_
