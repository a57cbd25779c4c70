// The platform layer under the shortcut refresh: where the special folders are, which files a shortcut of
// the refresh is on this platform, and setting the description of one shortcut file.
//
// On Windows these are the shell's own calls (special-folder identifier lists, the shell-link object). On
// Linux the desktops and menus are the XDG folders of the user running the program (read from HOME and the
// XDG variables: that is how the platform says where they are), the launchers are freedesktop desktop
// entries whose Comment the desktop shows as the tooltip, and shell-link files found in the current user's
// folders (a profile shared with Windows) are patched byte by byte.
//
// Nothing here shows anything to the user. Failures are either an empty result (a folder that does not
// exist on this platform) or a shell::Error; the refresh drops both.
#ifndef CLUBIQA_SHELL_SHELL_H_
#define CLUBIQA_SHELL_SHELL_H_

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace shell {

// A shortcut that cannot be loaded, parsed or resolved, or a description that cannot be stored in it.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The special folders of the refresh, by their Windows identifiers (CSIDL values).
inline constexpr int kCsidlDesktop = 0;                  // desktop of the current user
inline constexpr int kCsidlStartMenu = 11;               // Start menu of the current user
inline constexpr int kCsidlCommonStartMenu = 22;         // Start menu of all users
inline constexpr int kCsidlCommonDesktopDirectory = 25;  // desktop of all users

// The file-system path of the special folder `csidl`, without a trailing separator; nothing when the
// platform has no such folder or cannot tell where it is.
//   Linux: 0 is XDG_DESKTOP_DIR of the user-dirs file ($HOME/Desktop without one); 11 is
//   $XDG_DATA_HOME/applications; 22 is the first directory of $XDG_DATA_DIRS that has an `applications`
//   folder; 25 has no counterpart and is always nothing.
std::optional<std::filesystem::path> GetSpecialFolderPath(int csidl);

// The files that stand for a shortcut of the refresh in the folder `folder` (the path of special folder
// `csidl`), given its Windows file name part `part` ("\Programs\Vendor\Product\Name.lnk", always starting
// with a backslash).
//   Windows: the folder path followed directly by the part.
//   Linux: the desktop entry, with "/" for "\", ".desktop" for ".lnk" and, in the Start menus, without the
//   leading "Programs" folder; in the current user's folders also the same name with ".lnk" kept.
std::vector<std::filesystem::path> ShortcutFiles(int csidl, const std::filesystem::path& folder, std::string_view part);

// Loads the shortcut file at `path`, resolves it, sets its description (the tooltip) to `description`
// (UTF-8) and saves it back to the same path. Throws Error when the file is missing or unreadable, does not
// parse, or does not resolve (a launcher whose program cannot be found); the file is then untouched. A file
// that cannot be written is left as it was without a failure, as the shell's own save does.
//   Linux: a path ending in ".lnk" is a shell-link file: only its description string changes. Any other is
//   a desktop entry: Comment and every Comment[locale] of its [Desktop Entry] group change, every other
//   byte stays; the file is replaced atomically with its mode kept; one without any write permission bit
//   counts as not writable, whoever runs the program.
void SetShortcutDescription(const std::filesystem::path& path, std::string_view description);

// What the shell calls need on the calling thread, for the lifetime of the object: the component object
// model on Windows, nothing elsewhere. The program entry holds one for the whole run.
class ThreadScope {
 public:
  ThreadScope();
  ~ThreadScope();  // NOLINT(performance-trivially-destructible): on Windows it undoes CoInitialize
  ThreadScope(const ThreadScope&) = delete;
  ThreadScope& operator=(const ThreadScope&) = delete;

 private:
  [[maybe_unused]] bool initialised_ = false;  // whether the destructor undoes an initialisation
};

}  // namespace shell

#endif  // CLUBIQA_SHELL_SHELL_H_
