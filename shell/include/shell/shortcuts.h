// The shortcut description refresh, the last step of every run: the descriptions of the Clubiqa and Sorelda
// shortcuts on the desktops and in the Start menus of the current user and of all users are set to fixed
// texts. It creates no shortcut, shows nothing and never fails: every shortcut that cannot be handled is
// skipped on its own.
#ifndef CLUBIQA_SHELL_SHORTCUTS_H_
#define CLUBIQA_SHELL_SHORTCUTS_H_

#include <array>
#include <cstddef>
#include <string_view>

#include "shell/shell.h"

namespace shell {

// One shortcut of the refresh: the description it gets and its file name on the desktops and in the Start
// menus, as Windows names it (backslashes, ".lnk").
struct ShortcutRow {
  std::string_view description;
  std::string_view desktop_part;
  std::string_view start_menu_part;
};

// Rows 5 and 6 give the files named for 2013 a description that names 2014.
inline constexpr std::array<ShortcutRow, 6> kShortcutRows{{
    {"Sorelda 2013", R"(\Sorelda 2013.lnk)", R"(\Programs\Vendaro\Sorelda\Sorelda 2013.lnk)"},
    {"Sorelda Duo 2013", R"(\Sorelda Duo 2013.lnk)", R"(\Programs\Vendaro\Sorelda\Sorelda Duo 2013.lnk)"},
    {"Clubiqa vanta", R"(\Clubiqa vanta.lnk)", R"(\Programs\Vendaro\Clubiqa\Clubiqa vanta.lnk)"},
    {"Clubiqa", R"(\Clubiqa.lnk)", R"(\Programs\Vendaro\Clubiqa\Clubiqa.lnk)"},
    {"Clubiqa vanta 2014", R"(\Clubiqa vanta 2013.lnk)", R"(\Programs\Vendaro\Clubiqa\Clubiqa vanta 2013.lnk)"},
    {"Clubiqa 2014", R"(\Clubiqa 2013.lnk)", R"(\Programs\Vendaro\Clubiqa\Clubiqa 2013.lnk)"},
}};

// The folders every row is looked for in, in this order, and which file name part each uses.
struct ShortcutFolder {
  int csidl;
  bool start_menu;
};

inline constexpr std::array<ShortcutFolder, 4> kShortcutFolders{{
    {kCsidlCommonDesktopDirectory, false},
    {kCsidlDesktop, false},
    {kCsidlCommonStartMenu, true},
    {kCsidlStartMenu, true},
}};

// One step of the refresh: a row in one folder.
struct ShortcutStep {
  int csidl;
  std::string_view part;
  std::string_view description;
};

inline constexpr size_t kShortcutStepCount = kShortcutRows.size() * kShortcutFolders.size();

// The 24 steps in the order of the refresh: row 1 in the four folders, then row 2, and so on.
constexpr std::array<ShortcutStep, kShortcutStepCount> ShortcutSteps() {
  std::array<ShortcutStep, kShortcutStepCount> steps{};
  size_t i = 0;
  for (const ShortcutRow& row : kShortcutRows) {
    for (const ShortcutFolder& folder : kShortcutFolders) {
      steps[i++] = {folder.csidl, folder.start_menu ? row.start_menu_part : row.desktop_part, row.description};
    }
  }
  return steps;
}

// Runs the 24 steps. Each step asks for its folder, forms the shortcut's files and sets their description;
// whatever fails is dropped and the next step goes on. Never throws.
void RefreshShortcuts() noexcept;

}  // namespace shell

#endif  // CLUBIQA_SHELL_SHORTCUTS_H_
