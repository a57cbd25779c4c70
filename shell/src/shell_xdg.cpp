// The platform layer on Linux and other XDG desktops: folders from the XDG conventions, launchers as desktop
// entries, shell-link files patched in place.
#include <cstdlib>
#include <string>

#include "desktop_entry.h"
#include "file_replace.h"
#include "shell/shell.h"
#include "shell_link.h"
#include "xdg_folders.h"

namespace shell {

namespace {

constexpr std::string_view kLinkExtension = ".lnk";
constexpr std::string_view kEntryExtension = ".desktop";
constexpr std::string_view kProgramsFolder = "Programs/";

// The search path for programs named without a folder; the usual one when PATH is unset.
std::string_view SearchPath() {
  const char* path = std::getenv("PATH");
  return path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
}

// A Windows file name part as a relative path here: "/" for "\", and without the "Programs" folder that
// Start menus have and application folders do not.
std::string RelativePart(std::string_view part, bool start_menu) {
  std::string relative(part);
  for (char& c : relative) {
    if (c == '\\') c = '/';
  }
  while (relative.starts_with('/')) relative.erase(0, 1);
  if (start_menu && relative.starts_with(kProgramsFolder)) relative.erase(0, kProgramsFolder.size());
  return relative;
}

// Whether the save succeeds is not reported, as the shell does not report it for its own links either. A file
// that already holds the new bytes is not written at all, so that a second run leaves even its time stamps.
void SaveIfChanged(const std::filesystem::path& path, std::string_view old_bytes, std::string_view new_bytes) {
  if (new_bytes != old_bytes) ReplaceShortcutFile(path, new_bytes);
}

void SetEntryComment(const std::filesystem::path& path, std::string_view description) {
  const std::string bytes = ReadShortcutFile(path);
  std::optional<DesktopEntry> entry = DesktopEntry::Parse(bytes);
  if (!entry) throw Error("not a desktop entry: " + path.string());
  // What resolving a link is on Windows: the launcher must still find its program.
  const std::optional<std::string> program = LaunchedProgram(*entry);
  if (!program || !ProgramExists(*program, SearchPath()))
    throw Error("the program of " + path.string() + " is missing");
  entry->SetComment(description);
  SaveIfChanged(path, bytes, entry->Serialize());
}

void SetLinkDescription(const std::filesystem::path& path, std::string_view description) {
  const std::string bytes = ReadShortcutFile(path);
  SaveIfChanged(path, bytes, WithShellLinkDescription(bytes, description));
}

}  // namespace

std::optional<std::filesystem::path> GetSpecialFolderPath(int csidl) {
  switch (csidl) {
    case kCsidlDesktop:
      return UserDesktopFolder();
    case kCsidlStartMenu:
      return UserApplicationsFolder();
    case kCsidlCommonStartMenu:
      return SystemApplicationsFolder();
    default:
      return std::nullopt;  // the desktop of all users among them: Linux desktops have none
  }
}

std::vector<std::filesystem::path> ShortcutFiles(int csidl, const std::filesystem::path& folder,
                                                 std::string_view part) {
  const bool start_menu = csidl == kCsidlStartMenu || csidl == kCsidlCommonStartMenu;
  std::string relative = RelativePart(part, start_menu);
  if (relative.empty()) return {};
  std::vector<std::filesystem::path> files;
  const bool link = relative.ends_with(kLinkExtension);
  const std::string stem = link ? relative.substr(0, relative.size() - kLinkExtension.size()) : relative;
  files.push_back(folder / (stem + std::string(link ? kEntryExtension : "")));
  // A profile shared with Windows keeps its shell links in the user's own folders.
  if (link && (csidl == kCsidlDesktop || csidl == kCsidlStartMenu)) files.push_back(folder / relative);
  return files;
}

void SetShortcutDescription(const std::filesystem::path& path, std::string_view description) {
  if (path.extension() == kLinkExtension) {
    SetLinkDescription(path, description);
  } else {
    SetEntryComment(path, description);
  }
}

ThreadScope::ThreadScope() = default;
// Defined here, not in the class: on Windows the destructor undoes CoInitialize.
ThreadScope::~ThreadScope() = default;

}  // namespace shell
