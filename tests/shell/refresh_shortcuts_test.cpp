// Whole refreshes over a scratch home: which launchers get which description, and that everything that
// cannot be handled (no launcher, a missing program, a read-only or broken file) is skipped silently and
// left as it was, with every other file of the home untouched.
#include "shell/shortcuts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>

#include "sample_link.h"
#include "xdg_sandbox.h"

namespace {

using shell_test::XdgSandbox;
using Tree = std::map<std::string, std::string>;

class RefreshShortcutsTest : public ::testing::Test {
 protected:
  RefreshShortcutsTest() {
    XdgSandbox::WriteProgram(program_);
    std::filesystem::create_directories(sandbox_.desktop());
    std::filesystem::create_directories(sandbox_.user_menu());
    std::filesystem::create_directories(sandbox_.system_menu());
    // Files that no step concerns.
    XdgSandbox::Write(sandbox_.desktop() / "Clubiqa vanta 2012.desktop", Launcher("Clubiqa vanta 2012", "old"));
    XdgSandbox::Write(sandbox_.desktop() / "Clubiqa vanta 2013.txt", "notes");
    XdgSandbox::Write(sandbox_.home() / ".bashrc", "export PS1='$ '\n");
  }

  std::string Launcher(std::string_view name, std::string_view comment) const {
    return XdgSandbox::Launcher(name, comment, program_);
  }

  // The sandbox's tree after `changes` (relative path to new bytes, mode kept) were applied to `before`.
  static Tree With(Tree before, const std::map<std::string, std::string>& changes) {
    for (const auto& [path, bytes] : changes) {
      std::string& entry = before.at(path);
      entry = entry.substr(0, entry.find(' ') + 1) + bytes;
    }
    return before;
  }

  static ino_t Inode(const std::filesystem::path& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_ino;
  }

  XdgSandbox sandbox_;
  const std::filesystem::path program_ = sandbox_.root() / "opt/Clubiqa vanta/clubiqa";
};

TEST_F(RefreshShortcutsTest, TheStepsAreEachRowInTheFourFoldersInOrder) {
  std::string steps;
  for (const shell::ShortcutStep& step : shell::ShortcutSteps()) {
    steps += std::to_string(step.csidl) + " " + std::string(step.part) + " = " + std::string(step.description) + "\n";
  }
  EXPECT_EQ(steps,
            "25 \\Sorelda 2013.lnk = Sorelda 2013\n"
            "0 \\Sorelda 2013.lnk = Sorelda 2013\n"
            "22 \\Programs\\Vendaro\\Sorelda\\Sorelda 2013.lnk = Sorelda 2013\n"
            "11 \\Programs\\Vendaro\\Sorelda\\Sorelda 2013.lnk = Sorelda 2013\n"
            "25 \\Sorelda Duo 2013.lnk = Sorelda Duo 2013\n"
            "0 \\Sorelda Duo 2013.lnk = Sorelda Duo 2013\n"
            "22 \\Programs\\Vendaro\\Sorelda\\Sorelda Duo 2013.lnk = Sorelda Duo 2013\n"
            "11 \\Programs\\Vendaro\\Sorelda\\Sorelda Duo 2013.lnk = Sorelda Duo 2013\n"
            "25 \\Clubiqa vanta.lnk = Clubiqa vanta\n"
            "0 \\Clubiqa vanta.lnk = Clubiqa vanta\n"
            "22 \\Programs\\Vendaro\\Clubiqa\\Clubiqa vanta.lnk = Clubiqa vanta\n"
            "11 \\Programs\\Vendaro\\Clubiqa\\Clubiqa vanta.lnk = Clubiqa vanta\n"
            "25 \\Clubiqa.lnk = Clubiqa\n"
            "0 \\Clubiqa.lnk = Clubiqa\n"
            "22 \\Programs\\Vendaro\\Clubiqa\\Clubiqa.lnk = Clubiqa\n"
            "11 \\Programs\\Vendaro\\Clubiqa\\Clubiqa.lnk = Clubiqa\n"
            "25 \\Clubiqa vanta 2013.lnk = Clubiqa vanta 2014\n"
            "0 \\Clubiqa vanta 2013.lnk = Clubiqa vanta 2014\n"
            "22 \\Programs\\Vendaro\\Clubiqa\\Clubiqa vanta 2013.lnk = Clubiqa vanta 2014\n"
            "11 \\Programs\\Vendaro\\Clubiqa\\Clubiqa vanta 2013.lnk = Clubiqa vanta 2014\n"
            "25 \\Clubiqa 2013.lnk = Clubiqa 2014\n"
            "0 \\Clubiqa 2013.lnk = Clubiqa 2014\n"
            "22 \\Programs\\Vendaro\\Clubiqa\\Clubiqa 2013.lnk = Clubiqa 2014\n"
            "11 \\Programs\\Vendaro\\Clubiqa\\Clubiqa 2013.lnk = Clubiqa 2014\n");
}

TEST_F(RefreshShortcutsTest, WithoutAnyShortcutNothingChanges) {
  const Tree before = sandbox_.Snapshot();
  shell::RefreshShortcuts();
  EXPECT_EQ(sandbox_.Snapshot(), before);
}

TEST_F(RefreshShortcutsTest, WithoutAnyFolderNothingIsCreated) {
  std::filesystem::remove_all(sandbox_.desktop());
  std::filesystem::remove_all(sandbox_.home() / ".local");
  std::filesystem::remove_all(sandbox_.system_menu());
  const Tree before = sandbox_.Snapshot();
  shell::RefreshShortcuts();
  EXPECT_EQ(sandbox_.Snapshot(), before);
}

TEST_F(RefreshShortcutsTest, OnlyTheUsersVanta2013OnTheDesktopGetsVanta2014) {
  XdgSandbox::Write(sandbox_.desktop() / "Clubiqa vanta 2013.desktop", Launcher("Clubiqa vanta", "Clubiqa vanta 2013"));
  const Tree before = sandbox_.Snapshot();
  shell::RefreshShortcuts();
  EXPECT_EQ(
      sandbox_.Snapshot(),
      With(before, {{"home/Desktop/Clubiqa vanta 2013.desktop", Launcher("Clubiqa vanta", "Clubiqa vanta 2014")}}));
}

TEST_F(RefreshShortcutsTest, EveryRowGetsItsDescriptionOnTheDesktopAndInBothMenus) {
  std::map<std::string, std::string> changes;
  for (const shell::ShortcutRow& row : shell::kShortcutRows) {
    const std::string desktop_name = std::string(row.desktop_part.substr(1, row.desktop_part.size() - 5)) + ".desktop";
    std::string menu_name(row.start_menu_part.substr(10, row.start_menu_part.size() - 14));
    std::replace(menu_name.begin(), menu_name.end(), '\\', '/');
    menu_name += ".desktop";
    for (const std::string& file : {"home/Desktop/" + desktop_name, "home/.local/share/applications/" + menu_name,
                                    "share/applications/" + menu_name}) {
      XdgSandbox::Write(sandbox_.root() / file, Launcher(row.description, "Vendaro"));
      changes[file] = Launcher(row.description, row.description);
    }
  }
  const Tree before = sandbox_.Snapshot();
  shell::RefreshShortcuts();
  EXPECT_EQ(sandbox_.Snapshot(), With(before, changes));
  EXPECT_EQ(changes.size(), 18u);
  EXPECT_TRUE(changes.contains("share/applications/Vendaro/Sorelda/Sorelda Duo 2013.desktop"));
}

TEST_F(RefreshShortcutsTest, ALauncherWhoseProgramIsMissingKeepsItsDescription) {
  const std::string missing_exec = XdgSandbox::Launcher("Clubiqa", "Clubiqa 2013", sandbox_.root() / "gone/clubiqa");
  const std::string missing_try_exec =
      "[Desktop Entry]\nType=Application\nName=Clubiqa\nComment=Clubiqa 2013\n"
      "TryExec=clubiqa-not-installed\nExec=\"" +
      program_.string() + "\"\n";
  const std::string no_program = "[Desktop Entry]\nType=Link\nName=Clubiqa\nComment=old\nURL=https://example.org\n";
  XdgSandbox::Write(sandbox_.desktop() / "Clubiqa 2013.desktop", missing_exec);
  XdgSandbox::Write(sandbox_.user_menu() / "Vendaro/Clubiqa/Clubiqa 2013.desktop", missing_try_exec);
  XdgSandbox::Write(sandbox_.desktop() / "Clubiqa.desktop", no_program);
  const Tree before = sandbox_.Snapshot();
  shell::RefreshShortcuts();
  EXPECT_EQ(sandbox_.Snapshot(), before);
}

// The test runs as root in CI; root may write any file, and the launcher must stay unchanged all the same.
TEST_F(RefreshShortcutsTest, ALauncherWithoutWritePermissionIsSkippedWhoeverRuns) {
  XdgSandbox::Write(sandbox_.desktop() / "Clubiqa.desktop", Launcher("Clubiqa", "old"), 0444);
  XdgSandbox::Write(sandbox_.user_menu() / "Vendaro/Clubiqa/Clubiqa.desktop", Launcher("Clubiqa", "old"), 0555);
  XdgSandbox::Write(sandbox_.desktop() / "Clubiqa vanta.desktop", Launcher("Clubiqa vanta", "old"), 0600);
  const Tree before = sandbox_.Snapshot();
  shell::RefreshShortcuts();
  EXPECT_EQ(sandbox_.Snapshot(),
            With(before, {{"home/Desktop/Clubiqa vanta.desktop", Launcher("Clubiqa vanta", "Clubiqa vanta")}}));
  RecordProperty("runs_as_root", ::geteuid() == 0 ? "yes" : "no");
}

// A user who may write the folder but not the launcher (another user's file) leaves it alone too: replacing
// it by a rename would otherwise succeed. Needs root to run the refresh as another user.
TEST_F(RefreshShortcutsTest, AnotherUsersLauncherIsSkipped) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the refresh as another user";
  constexpr uid_t kNobody = 65534;
  std::filesystem::permissions(sandbox_.desktop(), std::filesystem::perms::all);
  XdgSandbox::Write(sandbox_.desktop() / "Clubiqa.desktop", Launcher("Clubiqa", "old"));
  XdgSandbox::Write(sandbox_.desktop() / "Clubiqa vanta.desktop", Launcher("Clubiqa vanta", "old"));
  ASSERT_EQ(::chown((sandbox_.desktop() / "Clubiqa vanta.desktop").c_str(), kNobody, kNobody), 0);
  const Tree before = sandbox_.Snapshot();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const bool dropped = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
    if (dropped) shell::RefreshShortcuts();
    ::_exit(dropped ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(sandbox_.Snapshot(),
            With(before, {{"home/Desktop/Clubiqa vanta.desktop", Launcher("Clubiqa vanta", "Clubiqa vanta")}}));
}

TEST_F(RefreshShortcutsTest, LauncherBytesOtherThanTheCommentsStay) {
  const std::string exec = "Exec=\"" + program_.string() + "\" %f\r\n";
  XdgSandbox::Write(sandbox_.desktop() / "Sorelda 2013.desktop",
                    "# Sorelda\r\n[Desktop Entry]\r\nType=Application\r\nName=Sorelda\r\nName[de]=Sorelda\r\n"
                    "Comment[de]=Buchhaltung 2012\r\nComment[fr]=Comptabilit\xC3\xA9\r\n" +
                        exec + "\r\n[Desktop Action x]\r\nName=X\r\nComment=X\r\n" + exec,
                    0750);
  XdgSandbox::Write(sandbox_.user_menu() / "Vendaro/Sorelda/Sorelda 2013.desktop",
                    "[Desktop Entry]\nName=Sorelda\nType=Application\nTryExec=" + program_.string() + "\n");
  const Tree before = sandbox_.Snapshot();
  shell::RefreshShortcuts();
  EXPECT_EQ(
      sandbox_.Snapshot(),
      With(before, {{"home/Desktop/Sorelda 2013.desktop",
                     "# Sorelda\r\n[Desktop Entry]\r\nType=Application\r\nName=Sorelda\r\nComment=Sorelda 2013\r\n"
                     "Name[de]=Sorelda\r\nComment[de]=Sorelda 2013\r\nComment[fr]=Sorelda 2013\r\n" +
                         exec + "\r\n[Desktop Action x]\r\nName=X\r\nComment=X\r\n" + exec},
                    {"home/.local/share/applications/Vendaro/Sorelda/Sorelda 2013.desktop",
                     "[Desktop Entry]\nName=Sorelda\nComment=Sorelda 2013\nType=Application\nTryExec=" +
                         program_.string() + "\n"}}));
  EXPECT_EQ(XdgSandbox::Mode(sandbox_.desktop() / "Sorelda 2013.desktop"), 0750u);
}

TEST_F(RefreshShortcutsTest, FilesThatAreNoLaunchersAreLeftAlone) {
  XdgSandbox::Write(sandbox_.desktop() / "Clubiqa.desktop", "Clubiqa\n");
  XdgSandbox::Write(sandbox_.desktop() / "Clubiqa.lnk", std::string("L\0\0\0 not a link", 15), 0644);
  std::filesystem::create_directories(sandbox_.desktop() / "Clubiqa vanta.desktop");
  const Tree before = sandbox_.Snapshot();
  shell::RefreshShortcuts();
  EXPECT_EQ(sandbox_.Snapshot(), before);
}

// Shell links count in the user's own folders (a profile shared with Windows), not in those of all users.
TEST_F(RefreshShortcutsTest, ShellLinksInTheUsersFoldersGetTheirDescription) {
  shell_test::SampleLink old_link;
  old_link.description = "Clubiqa vanta 2013";
  XdgSandbox::Write(sandbox_.desktop() / "Clubiqa vanta 2013.lnk", old_link.Bytes());
  XdgSandbox::Write(sandbox_.user_menu() / "Vendaro/Clubiqa/Clubiqa vanta 2013.lnk", old_link.Bytes());
  XdgSandbox::Write(sandbox_.system_menu() / "Vendaro/Clubiqa/Clubiqa vanta 2013.lnk", old_link.Bytes());
  XdgSandbox::Write(sandbox_.desktop() / "Clubiqa vanta 2013.desktop", Launcher("Clubiqa vanta", "old"));
  shell_test::SampleLink new_link = old_link;
  new_link.description = "Clubiqa vanta 2014";
  const Tree before = sandbox_.Snapshot();
  shell::RefreshShortcuts();
  EXPECT_EQ(
      sandbox_.Snapshot(),
      With(before, {{"home/Desktop/Clubiqa vanta 2013.lnk", new_link.Bytes()},
                    {"home/.local/share/applications/Vendaro/Clubiqa/Clubiqa vanta 2013.lnk", new_link.Bytes()},
                    {"home/Desktop/Clubiqa vanta 2013.desktop", Launcher("Clubiqa vanta", "Clubiqa vanta 2014")}}));
}

TEST_F(RefreshShortcutsTest, TheDesktopOfTheUserDirsFileIsTheOneRefreshed) {
  XdgSandbox::Write(sandbox_.home() / ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  XdgSandbox::Write(sandbox_.home() / "Schreibtisch/Clubiqa.desktop", Launcher("Clubiqa", "old"));
  XdgSandbox::Write(sandbox_.desktop() / "Clubiqa.desktop", Launcher("Clubiqa", "old"));
  const Tree before = sandbox_.Snapshot();
  shell::RefreshShortcuts();
  EXPECT_EQ(sandbox_.Snapshot(), With(before, {{"home/Schreibtisch/Clubiqa.desktop", Launcher("Clubiqa", "Clubiqa")}}));
}

TEST_F(RefreshShortcutsTest, ALinkedLauncherStaysALinkAndItsTargetChanges) {
  const std::filesystem::path target = sandbox_.system_menu() / "clubiqa-vanta.desktop";
  XdgSandbox::Write(target, Launcher("Clubiqa vanta", "old"));
  std::filesystem::create_symlink(target, sandbox_.desktop() / "Clubiqa vanta.desktop");
  shell::RefreshShortcuts();
  EXPECT_TRUE(std::filesystem::is_symlink(sandbox_.desktop() / "Clubiqa vanta.desktop"));
  EXPECT_EQ(XdgSandbox::Read(target), Launcher("Clubiqa vanta", "Clubiqa vanta"));
}

TEST_F(RefreshShortcutsTest, ASecondRefreshChangesNothing) {
  XdgSandbox::Write(sandbox_.desktop() / "Clubiqa 2013.desktop", Launcher("Clubiqa", "Clubiqa 2013"));
  shell::RefreshShortcuts();
  const Tree after_first = sandbox_.Snapshot();
  const ino_t inode = Inode(sandbox_.desktop() / "Clubiqa 2013.desktop");
  shell::RefreshShortcuts();
  EXPECT_EQ(sandbox_.Snapshot(), after_first);
  EXPECT_EQ(Inode(sandbox_.desktop() / "Clubiqa 2013.desktop"), inode);  // not even written again
}

}  // namespace
