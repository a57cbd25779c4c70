// The whole upgrade through the ODBC provider and the FreeTDS driver against clubiqa-sqlserverd: it leaves every
// database as the run with the embedded provider does, and a server that goes away in the middle ends the run
// with the unhandled-failure box and leaves nothing that a later run does not complete.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "app/database_dump.h"
#include "app/main_window.h"
#include "app/run_lock.h"
#include "db/command.h"
#include "db/connection.h"
#include "db/odbc_test_server.h"
#include "fixture/old_release.h"
#include "ui/recording_ui.h"

namespace {

using db_test::AccessServer;
using db_test::TdsServer;

void CreateClubs(const std::filesystem::path& server_dir) {
  fixture::Options options;
  options.members = 0;
  fixture::CreateOldReleaseDatabase(server_dir, "Zentix", options);
  options.members = 40;
  fixture::CreateOldReleaseDatabase(server_dir, "ZENTIX001", options);
  fixture::CreateOldReleaseDatabase(server_dir, "ZENTIXTMP1", options);
}

ui::RecordingUi RunUpgrader(const std::filesystem::path& exe_dir) {
  ui::RecordingUi ui;
  app::MainWindow window(ui, exe_dir);
  window.Activate();
  return ui;
}

// Kills the server once the gauge of the second client database the run upgrades passes `at`: a server that goes away
// in the middle of a catalogue run.
class KillingUi : public ui::RecordingUi {
 public:
  KillingUi(TdsServer& server, int at) : server_(server), at_(at) {}
  void SetGauge(int value) override {
    RecordingUi::SetGauge(value);
    if (value == 100) ++finished_;
    if (finished_ == 1 && value >= at_ && !killed_) {
      server_.Kill();
      killed_ = true;
    }
  }

 private:
  TdsServer& server_;
  int at_;
  int finished_ = 0;
  bool killed_ = false;
};

TEST(OdbcUpgradeRun, TheWholeUpgradeThroughOdbcLeavesEveryDatabaseAsTheEmbeddedRunDoes) {
  CLUBIQA_SKIP_WITHOUT_ODBC_SERVER();
  AccessServer embedded;
  embedded.WriteEmbeddedSettings();
  CreateClubs(embedded.server_dir());
  TdsServer tds;
  CreateClubs(tds.server_dir());
  tds.Start();
  tds.WriteOdbcSettings();

  const std::string completed = "box Informationen: UPDATE erfolgreich ausgeführt!\n";
  EXPECT_EQ(RunUpgrader(embedded.base_dir()).Log("box "), completed);
  const ui::RecordingUi through_odbc = RunUpgrader(tds.base_dir());
  EXPECT_EQ(through_odbc.Log("box "), completed);
  for (const std::string_view database : {"Zentix", "ZENTIX001", "ZENTIXTMP1"}) {
    EXPECT_EQ(app_test::SchemaDump(tds.server_dir(), database), app_test::SchemaDump(embedded.server_dir(), database))
        << database;
    EXPECT_EQ(app_test::Dump(tds.server_dir(), database), app_test::Dump(embedded.server_dir(), database)) << database;
  }
  // The mandates went in as bound parameters.
  EXPECT_NE(tds.TraceLog().find("INSERT INTO [AdrSepa] ([AdrNr], [MandatsNr], [MandKey], [Lastschriftart], "
                                "[UnterschriftDatum], [AngelegtAm], [Status], [Typ], [GueltigAb]) VALUES (@P1"),
            std::string::npos);
  // A second run through ODBC changes nothing.
  const std::string before = app_test::Dump(tds.server_dir(), "ZENTIX001");
  EXPECT_EQ(RunUpgrader(tds.base_dir()).Log("box "), completed);
  EXPECT_EQ(app_test::Dump(tds.server_dir(), "ZENTIX001"), before);
}

TEST(OdbcUpgradeRun, AServerThatGoesAwayEndsTheRunWithTheUnhandledFailureBox) {
  CLUBIQA_SKIP_WITHOUT_ODBC_SERVER();
  TdsServer tds;
  CreateClubs(tds.server_dir());
  tds.Start();
  tds.WriteOdbcSettings();
  KillingUi ui(tds, 40);
  app::MainWindow window(ui, tds.base_dir());
  window.Activate();
  EXPECT_EQ(ui.Log("box "), "box Clubiqa vanta - SQL Update: Communication link failure.\n");
  EXPECT_EQ(ui.boxes().back().kind, ui::BoxKind::kUnhandled);
  // The databases are whole: each opens and answers, the one whose run broke off included.
  ASSERT_FALSE(tds.Trace().empty());
  for (const std::string_view database : {"Zentix", "ZENTIX001"}) {
    EXPECT_EQ(app_test::QueryRows(tds.server_dir(), database, "SELECT COUNT(*) FROM sysobjects WHERE name='Mandstam'"),
              "1\n");
  }

  // Nothing was left half-applied: once the server is back, a run to the end leaves every database as one
  // uninterrupted run does.
  tds.Start();
  tds.WriteOdbcSettings();
  EXPECT_EQ(RunUpgrader(tds.base_dir()).Log("box "), "box Informationen: UPDATE erfolgreich ausgeführt!\n");
  AccessServer embedded;
  embedded.WriteEmbeddedSettings();
  CreateClubs(embedded.server_dir());
  RunUpgrader(embedded.base_dir());
  for (const std::string_view database : {"Zentix", "ZENTIX001", "ZENTIXTMP1"}) {
    EXPECT_EQ(app_test::SchemaDump(tds.server_dir(), database), app_test::SchemaDump(embedded.server_dir(), database))
        << database;
    EXPECT_EQ(app_test::Dump(tds.server_dir(), database), app_test::Dump(embedded.server_dir(), database)) << database;
  }
}

// The run lock works through ODBC as well: while another connection of the server holds it, an upgrader is
// refused before it changes anything; once that connection is gone, the next run goes through.
TEST(OdbcUpgradeRun, ASecondUpgraderIsRefusedWhileTheLockIsHeldThroughOdbc) {
  CLUBIQA_SKIP_WITHOUT_ODBC_SERVER();
  TdsServer tds;
  CreateClubs(tds.server_dir());
  tds.Start();
  tds.WriteOdbcSettings();
  {
    db::Connection holder;
    tds.OpenOn(holder, "master");
    db::Command lock(holder);
    lock.set_text(app::RunLockText());
    lock.Execute();
    const std::string before = app_test::SchemaDump(tds.server_dir(), "ZENTIX001");
    const ui::RecordingUi refused = RunUpgrader(tds.base_dir());
    EXPECT_EQ(refused.Log("box "),
              "box Fehler: Das UPDATE wird auf diesem Server bereits ausgeführt!\n"
              "Bitte warten Sie, bis es beendet ist, und starten Sie das UPDATE dann erneut.\n");
    EXPECT_EQ(app_test::SchemaDump(tds.server_dir(), "ZENTIX001"), before);
  }
  EXPECT_EQ(RunUpgrader(tds.base_dir()).Log("box "), "box Informationen: UPDATE erfolgreich ausgeführt!\n");
}

}  // namespace
