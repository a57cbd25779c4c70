// Where the desktop and the menus of the user running the program are, by the XDG conventions: the base
// directories of $XDG_CONFIG_HOME, $XDG_DATA_HOME and $XDG_DATA_DIRS (each with its default when unset,
// empty or relative) and the desktop folder of the user-dirs file.
#ifndef CLUBIQA_SHELL_XDG_FOLDERS_H_
#define CLUBIQA_SHELL_XDG_FOLDERS_H_

#include <filesystem>
#include <optional>
#include <string_view>

namespace shell {

// $HOME, or without it the home folder of the user in the password database.
std::optional<std::filesystem::path> HomeFolder();

// The XDG_DESKTOP_DIR of a user-dirs file's text: the last assignment with a value of "$HOME/..." or of an
// absolute path, quoted or not, shell escapes undone. Nothing when there is none.
std::optional<std::filesystem::path> DesktopFromUserDirs(std::string_view text, const std::filesystem::path& home);

// XDG_DESKTOP_DIR of $XDG_CONFIG_HOME/user-dirs.dirs, or $HOME/Desktop.
std::optional<std::filesystem::path> UserDesktopFolder();
// $XDG_DATA_HOME/applications ($HOME/.local/share/applications).
std::optional<std::filesystem::path> UserApplicationsFolder();
// The first folder of $XDG_DATA_DIRS (/usr/local/share:/usr/share) that has an applications folder, with it.
std::optional<std::filesystem::path> SystemApplicationsFolder();

}  // namespace shell

#endif  // CLUBIQA_SHELL_XDG_FOLDERS_H_
