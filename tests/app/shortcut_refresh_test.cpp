// The shortcut refresh as the run driver does it: after the client databases and before the completion box,
// silently, and not at all when a failure ended the run. The launchers live in a scratch home set through
// the environment of the test.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

#include "app/main_window.h"
#include "db/layer_test_server.h"
#include "fixture/old_release.h"
#include "shell/xdg_sandbox.h"
#include "ui/recording_ui.h"

namespace {

using shell_test::XdgSandbox;

// A recording Ui that reads the launcher at the moment the completion box comes up.
class CompletionUi : public ui::RecordingUi {
 public:
  explicit CompletionUi(std::filesystem::path launcher) : launcher_(std::move(launcher)) {}
  void ShowBox(ui::BoxKind kind, std::string_view text) override {
    if (kind == ui::BoxKind::kInformation) launcher_at_completion_ = XdgSandbox::Read(launcher_);
    RecordingUi::ShowBox(kind, text);
  }
  const std::string& launcher_at_completion() const { return launcher_at_completion_; }

 private:
  std::filesystem::path launcher_;
  std::string launcher_at_completion_;
};

class ShortcutRefreshRunTest : public ::testing::Test {
 protected:
  ShortcutRefreshRunTest() {
    std::ofstream(server_.base_dir() / "SysDBAdo.INI", std::ios::binary)
        << "[Datenbank]\r\nProvider=Clubiqa.Embedded\r\nData Source=server\r\nUser ID=sa\r\n";
    fixture::Options options;
    options.members = 0;
    fixture::CreateOldReleaseDatabase(server_.base_dir() / db_test::kServerDir, "Zentix", options);
    XdgSandbox::WriteProgram(program_);
    XdgSandbox::Write(launcher_, Launcher("Clubiqa vanta 2013"));
  }

  std::string Launcher(std::string_view comment) const {
    return XdgSandbox::Launcher("Clubiqa vanta", comment, program_);
  }

  XdgSandbox sandbox_;
  db_test::TestServer server_;
  const std::filesystem::path program_ = sandbox_.root() / "opt/clubiqa";
  const std::filesystem::path launcher_ = sandbox_.desktop() / "Clubiqa vanta 2013.desktop";
  CompletionUi ui_{launcher_};
  app::MainWindow window_{ui_, server_.base_dir()};
};

TEST_F(ShortcutRefreshRunTest, TheRunRefreshesTheLaunchersBeforeTheCompletionBox) {
  window_.Activate();
  EXPECT_EQ(ui_.Log("box "), "box Informationen: UPDATE erfolgreich ausgeführt!\n");
  EXPECT_EQ(ui_.launcher_at_completion(), Launcher("Clubiqa vanta 2014"));
  EXPECT_EQ(XdgSandbox::Read(launcher_), Launcher("Clubiqa vanta 2014"));
  EXPECT_FALSE(window_.run_failed());
}

TEST_F(ShortcutRefreshRunTest, ARunThatFailsLeavesTheLaunchersAlone) {
  server_.Admin("DROP DATABASE Zentix");
  window_.Activate();
  EXPECT_TRUE(window_.run_failed());
  EXPECT_EQ(XdgSandbox::Read(launcher_), Launcher("Clubiqa vanta 2013"));
}

}  // namespace
