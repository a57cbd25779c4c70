// Where the special folders of the refresh are on an XDG desktop, and which files stand for a shortcut there.
#include "xdg_folders.h"

#include <gtest/gtest.h>

#include "shell/shell.h"
#include "xdg_sandbox.h"

namespace {

using Paths = std::vector<std::filesystem::path>;
using shell::GetSpecialFolderPath;
using shell_test::XdgSandbox;

TEST(XdgFoldersTest, WithoutSettingsTheFoldersAreTheDefaultsUnderHome) {
  XdgSandbox sandbox;
  EXPECT_EQ(GetSpecialFolderPath(shell::kCsidlDesktop), sandbox.home() / "Desktop");
  EXPECT_EQ(GetSpecialFolderPath(shell::kCsidlStartMenu), sandbox.home() / ".local/share/applications");
  EXPECT_EQ(GetSpecialFolderPath(shell::kCsidlCommonDesktopDirectory), std::nullopt);
  EXPECT_EQ(GetSpecialFolderPath(shell::kCsidlCommonStartMenu), std::nullopt);  // share has no applications yet
  std::filesystem::create_directories(sandbox.system_menu());
  EXPECT_EQ(GetSpecialFolderPath(shell::kCsidlCommonStartMenu), sandbox.system_menu());
  EXPECT_EQ(GetSpecialFolderPath(5), std::nullopt);  // the documents folder: not one of the refresh
}

TEST(XdgFoldersTest, TheDesktopComesFromTheUserDirsFile) {
  XdgSandbox sandbox;
  XdgSandbox::Write(sandbox.home() / ".config/user-dirs.dirs",
                    "# written by xdg-user-dirs-update\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
                    "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch/\"\n");
  EXPECT_EQ(GetSpecialFolderPath(shell::kCsidlDesktop), sandbox.home() / "Schreibtisch");

  // XDG_CONFIG_HOME says where the file is.
  sandbox.Set("XDG_CONFIG_HOME", (sandbox.root() / "config").string());
  EXPECT_EQ(GetSpecialFolderPath(shell::kCsidlDesktop), sandbox.home() / "Desktop");
  XdgSandbox::Write(sandbox.root() / "config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"/srv/desks/club office\"\n");
  EXPECT_EQ(GetSpecialFolderPath(shell::kCsidlDesktop), "/srv/desks/club office");
  // A relative XDG_CONFIG_HOME is invalid and ignored.
  sandbox.Set("XDG_CONFIG_HOME", "config");
  EXPECT_EQ(GetSpecialFolderPath(shell::kCsidlDesktop), sandbox.home() / "Schreibtisch");
}

TEST(XdgFoldersTest, UserDirsValuesAreReadAsTheShellWould) {
  const std::filesystem::path home = "/home/kasse";
  const auto desktop = [&home](std::string_view text) { return shell::DesktopFromUserDirs(text, home); };
  EXPECT_EQ(desktop(""), std::nullopt);
  EXPECT_EQ(desktop("# XDG_DESKTOP_DIR=\"$HOME/x\"\n"), std::nullopt);
  EXPECT_EQ(desktop("XDG_DESKTOP_DIR=\"$HOME/Desktop\"\r\n"), "/home/kasse/Desktop");
  EXPECT_EQ(desktop("  XDG_DESKTOP_DIR=\"${HOME}/Bureau\" # French\n"), "/home/kasse/Bureau");
  EXPECT_EQ(desktop("XDG_DESKTOP_DIR=$HOME/Skrivebord\n"), "/home/kasse/Skrivebord");
  EXPECT_EQ(desktop("XDG_DESKTOP_DIR=\"$HOME/\"\n"), "/home/kasse");  // a disabled desktop is the home
  EXPECT_EQ(desktop("XDG_DESKTOP_DIR=\"$HOME/My \\\"Desk\\\" \\$1\"\n"), "/home/kasse/My \"Desk\" $1");
  EXPECT_EQ(desktop("XDG_DESKTOP_DIR=\"/a\"\nXDG_DESKTOP_DIR=\"/b\"\n"), "/b");       // the last one wins
  EXPECT_EQ(desktop("XDG_DESKTOP_DIR=\"/a\"\nXDG_DESKTOP_DIR=\"Desktop\"\n"), "/a");  // relative: ignored
  EXPECT_EQ(desktop("XDG_DESKTOP_DIR=\"$HOMEPATH/x\"\n"), std::nullopt);
  EXPECT_EQ(desktop("XDG_DESKTOP_DIR=\"/unterminated\n"), std::nullopt);
}

TEST(XdgFoldersTest, TheMenusFollowTheDataDirectories) {
  XdgSandbox sandbox;
  sandbox.Set("XDG_DATA_HOME", (sandbox.root() / "data/").string());
  EXPECT_EQ(GetSpecialFolderPath(shell::kCsidlStartMenu), sandbox.root() / "data/applications");
  sandbox.Set("XDG_DATA_HOME", "data");
  EXPECT_EQ(GetSpecialFolderPath(shell::kCsidlStartMenu), sandbox.home() / ".local/share/applications");

  // All users' menu: the first data directory that has an applications folder; relative ones do not count.
  const std::filesystem::path first = sandbox.root() / "first";
  const std::filesystem::path second = sandbox.root() / "second";
  std::filesystem::create_directories(second / "applications");
  std::filesystem::create_directories(first);
  std::filesystem::create_directories("relative/applications");
  sandbox.Set("XDG_DATA_DIRS", "relative:" + first.string() + "::" + second.string() + "/:/usr/share");
  EXPECT_EQ(GetSpecialFolderPath(shell::kCsidlCommonStartMenu), second / "applications");
  std::filesystem::create_directories(first / "applications");
  EXPECT_EQ(GetSpecialFolderPath(shell::kCsidlCommonStartMenu), first / "applications");
  std::filesystem::remove_all("relative");
}

TEST(XdgFoldersTest, AShortcutIsADesktopEntryAndInTheUsersFoldersAlsoAShellLink) {
  const std::filesystem::path folder = "/f";
  EXPECT_EQ(shell::ShortcutFiles(shell::kCsidlDesktop, folder, R"(\Clubiqa vanta 2013.lnk)"),
            (Paths{"/f/Clubiqa vanta 2013.desktop", "/f/Clubiqa vanta 2013.lnk"}));
  EXPECT_EQ(shell::ShortcutFiles(shell::kCsidlStartMenu, folder, R"(\Programs\Vendaro\Clubiqa\Clubiqa.lnk)"),
            (Paths{"/f/Vendaro/Clubiqa/Clubiqa.desktop", "/f/Vendaro/Clubiqa/Clubiqa.lnk"}));
  EXPECT_EQ(shell::ShortcutFiles(shell::kCsidlCommonStartMenu, folder, R"(\Programs\Vendaro\Sorelda\Sorelda 2013.lnk)"),
            (Paths{"/f/Vendaro/Sorelda/Sorelda 2013.desktop"}));
  EXPECT_EQ(shell::ShortcutFiles(shell::kCsidlCommonDesktopDirectory, folder, R"(\Sorelda 2013.lnk)"),
            (Paths{"/f/Sorelda 2013.desktop"}));
  // Only the Start menus lose their "Programs" folder.
  EXPECT_EQ(shell::ShortcutFiles(shell::kCsidlDesktop, folder, R"(\Programs\x.lnk)"),
            (Paths{"/f/Programs/x.desktop", "/f/Programs/x.lnk"}));
}

}  // namespace
