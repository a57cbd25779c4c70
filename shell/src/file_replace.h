// Reading a shortcut file whole, and replacing it atomically (POSIX).
#ifndef CLUBIQA_SHELL_FILE_REPLACE_H_
#define CLUBIQA_SHELL_FILE_REPLACE_H_

#include <filesystem>
#include <string>
#include <string_view>

namespace shell {

// The bytes of the regular file at `path` (a symbolic link is followed). Throws Error when it is missing,
// not a regular file or unreadable.
std::string ReadShortcutFile(const std::filesystem::path& path);

// Replaces the contents of the file at `path` by `bytes`: written beside it, flushed to disk, then renamed
// over it, so that a crash leaves either the old or the new file, never half of one. The new file keeps the
// old one's mode (and, when the program runs as root, its owner). A symbolic link is followed and its target
// replaced, so the link stays a link.
//
// Returns false, leaving the file as it was, when it cannot be written: it has no write permission bit at all
// (whoever runs the program, root included, as a read-only shortcut is one that the shell must not change),
// the user may not write it, its folder does not take the new file, or any write fails.
bool ReplaceShortcutFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace shell

#endif  // CLUBIQA_SHELL_FILE_REPLACE_H_
