// The run lock: a second upgrader on a server where one runs is refused at once with an error box and changes
// nothing; the lock is the first run's session, so it ends with that session, also when the first upgrader's
// process is killed.
#include "app/run_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "db/layer_test_server.h"
#include "fixture/old_release.h"
#include "ui/recording_ui.h"

namespace {

constexpr char kSettings[] =
    "[Datenbank]\r\nProvider=Clubiqa.Embedded\r\nData Source=server\r\nUser ID=sa\r\nPersist Security Info=False\r\n";

class RunLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(server_.base_dir() / "SysDBAdo.INI", std::ios::binary) << kSettings;
    fixture::Options options;
    options.members = 5;
    fixture::CreateOldReleaseDatabase(server_.base_dir() / db_test::kServerDir, "Zentix", options);
  }

  // A session on master holding the run lock, as the first upgrader's lock connection does.
  std::unique_ptr<engine::Session> HoldLock() {
    engine::OpenOptions options;
    options.data_source = server_.base_dir() / db_test::kServerDir;
    auto session = engine::Session::Open(options);
    const engine::BatchResult result = session->ExecuteOrThrow(app::RunLockText());
    EXPECT_EQ(result.FirstRows()->rows.at(0).at(0).ToString(), "Exclusive");
    return session;
  }

  // The number of columns of the club database, read on a session of its own.
  std::string Columns() {
    engine::OpenOptions options;
    options.data_source = server_.base_dir() / db_test::kServerDir;
    options.initial_catalog = "Zentix";
    auto session = engine::Session::Open(options);
    return session->ExecuteOrThrow("SELECT COUNT(*) FROM INFORMATION_SCHEMA.COLUMNS")
        .FirstRows()
        ->rows.at(0)
        .at(0)
        .ToString();
  }

  db_test::TestServer server_;
};

TEST(RunLockTextTest, TheLockIsTakenInMasterAndItsModeReadInTheSameBatch) {
  EXPECT_EQ(app::RunLockText(),
            "EXEC sp_getapplock @Resource = N'Clubiqa SQL Update', @LockMode = 'Exclusive', @LockOwner = 'Session', "
            "@LockTimeout = 0\r\n"
            "SELECT APPLOCK_MODE('public', N'Clubiqa SQL Update', 'Session') AS LockMode");
  EXPECT_EQ(app::MasterConnectionString("Provider=Clubiqa.Embedded;\r\nInitial Catalog=Zentix;\r\nData Source=s;\r\n"),
            "Provider=Clubiqa.Embedded;\r\nInitial Catalog=master;\r\nData Source=s;\r\n");
  EXPECT_EQ(app::MasterConnectionString("Provider=x;\r\n"), "Provider=x;\r\nInitial Catalog=master;\r\n");
}

TEST_F(RunLockTest, ASecondUpgraderIsRefusedWithAnErrorBoxAndChangesNothing) {
  const auto first = HoldLock();
  const std::string before = Columns();
  ui::RecordingUi ui;
  app::MainWindow window(ui, server_.base_dir());
  window.Activate();
  EXPECT_EQ(ui.Log("box "),
            "box Fehler: Das UPDATE wird auf diesem Server bereits ausgeführt!\n"
            "Bitte warten Sie, bis es beendet ist, und starten Sie das UPDATE dann erneut.\n");
  EXPECT_TRUE(window.run_failed());
  EXPECT_EQ(Columns(), before);
}

// The first upgrader is another process; once it is killed, its lock is gone and the next run goes through.
TEST_F(RunLockTest, TheLockOfAKilledUpgraderEndsWithIt) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    const auto lock = HoldLock();
    (void)!write(ready[1], "x", 1);
    for (;;) pause();
  }
  close(ready[1]);
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  close(ready[0]);

  const std::string before = Columns();
  {
    ui::RecordingUi ui;
    app::MainWindow window(ui, server_.base_dir());
    window.Activate();
    EXPECT_TRUE(window.run_failed());
    EXPECT_NE(ui.Log("box ").find("bereits ausgeführt"), std::string::npos);
  }
  EXPECT_EQ(Columns(), before);

  kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ui::RecordingUi ui;
  app::MainWindow window(ui, server_.base_dir());
  window.Activate();
  EXPECT_FALSE(window.run_failed());
  EXPECT_NE(Columns(), before);
}

}  // namespace
