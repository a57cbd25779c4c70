// The console front end: what a run without a display prints, and the exit code it ends with.
#include <gtest/gtest.h>

#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

#include "app/exit_codes.h"
#include "app/front_end.h"
#include "app/main_window.h"
#include "db/layer_test_server.h"
#include "fixture/old_release.h"

namespace {

using db_test::TestServer;

class ConsoleRunTest : public ::testing::Test {
 protected:
  int Run(const std::string& settings) {
    std::ofstream(server_.base_dir() / "SysDBAdo.INI", std::ios::binary) << settings;
    auto front_end = app::MakeConsoleFrontEnd(out_, false);
    app::MainWindow window(*front_end, server_.base_dir());
    return front_end->Run([&window] { window.Activate(); });
  }

  TestServer server_;
  std::ostringstream out_;
};

TEST_F(ConsoleRunTest, ACompleteRunPrintsCaptionsGaugeAndTheCompletionMessageAndExitsZero) {
  fixture::Options options;
  options.members = 10;
  fixture::CreateOldReleaseDatabase(server_.base_dir() / db_test::kServerDir, "Zentix", options);
  server_.CreateDatabase("ZENTIXTMP1");
  EXPECT_EQ(Run("[Datenbank]\nProvider=Clubiqa.Embedded\nData Source=server\n"), 0);
  const std::string empty_bar = "[" + std::string(50, '.') + "] ";
  const std::string out = out_.str();
  EXPECT_TRUE(
      out.starts_with("== Clubiqa vanta - SQL Update ==\n"
                      "== Zentix/Clubiqa vanta - SQL Update ==\n" +
                      empty_bar + "  1%\n[#" + std::string(49, '.') + "]   3%\n"))
      << out;
  EXPECT_TRUE(out.ends_with("[" + std::string(50, '#') + "] 100%\n" + empty_bar +
                            "  0%\n"
                            "== Clubiqa - SQL Update Datenbank: Zentix ==\n"
                            "== Clubiqa - SQL Update Datenbank: ZENTIXTMP1 ==\n"
                            "== Clubiqa vanta - SQL Update ==\n"
                            "[Informationen] UPDATE erfolgreich ausgeführt!\n"))
      << out;
  EXPECT_EQ(out.find("[Warnung]"), std::string::npos) << out;
}

TEST_F(ConsoleRunTest, ARunThatCompletesAfterAnErrorBoxPrintsTheCompletionMessageAndExitsThree) {
  fixture::Options options;
  options.members = 10;
  fixture::CreateOldReleaseDatabase(server_.base_dir() / db_test::kServerDir, "Zentix", options);
  // A version table of someone else's making: the catalogue keeps it, and setting its version is rejected.
  server_.Admin("CREATE TABLE Zentix.dbo.tblVersion (Nr int NULL)");
  EXPECT_EQ(Run("[Datenbank]\nProvider=Clubiqa.Embedded\nData Source=server\n"), 3);
  const std::string out = out_.str();
  EXPECT_NE(out.find("\n[Fehler] Invalid column name 'Version'.\n"), std::string::npos) << out;
  EXPECT_TRUE(out.ends_with("\n[Informationen] UPDATE erfolgreich ausgeführt!\n")) << out;
}

TEST_F(ConsoleRunTest, AFailureThatEndsTheRunPrintsBothBoxesAndExitsNonZero) {
  // A provider that no build has fails the same way everywhere.
  EXPECT_EQ(Run("[Datenbank]\nProvider=SQLOLEDB.9\nData Source=server\n"), 1);
  EXPECT_EQ(out_.str(),
            "== Clubiqa vanta - SQL Update ==\n"
            "[Fehler] False parameters for database connection.\n"
            "  Unable to connect to database 'Zentix'.\n"
            "\n"
            "  Provider 'SQLOLEDB.9' is not registered on this machine.\n"
            "[Clubiqa vanta - SQL Update] Provider 'SQLOLEDB.9' is not registered on this machine.\n");
}

TEST_F(ConsoleRunTest, AnUnguardedFailureInTheCatalogueExitsNonZeroWithoutTheCompletionMessage) {
  fixture::Options options;
  options.members = 10;
  options.primary_key_f5dat = false;
  fixture::CreateOldReleaseDatabase(server_.base_dir() / db_test::kServerDir, "Zentix", options);
  EXPECT_EQ(Run("[Datenbank]\nProvider=Clubiqa.Embedded\nData Source=server\n"), 1);
  const std::string out = out_.str();
  EXPECT_TRUE(out.ends_with("[Clubiqa vanta - SQL Update] 'PK_F5DAT' is not a constraint.\n")) << out;
  EXPECT_EQ(out.find("UPDATE erfolgreich"), std::string::npos) << out;
}

// The exit code of a run that shows `kinds` and then closes the window (or not).
int ExitCodeAfter(std::initializer_list<ui::BoxKind> kinds, bool close) {
  std::ostringstream out;
  auto front_end = app::MakeConsoleFrontEnd(out, false);
  return front_end->Run([&] {
    for (ui::BoxKind kind : kinds) front_end->ShowBox(kind, "text");
    if (close) front_end->Close();
  });
}

TEST(ConsoleFrontEndTest, ACompletedRunExitsThreeAfterAWarningErrorOrPlainBoxAndZeroAfterInformationOnly) {
  EXPECT_EQ(ExitCodeAfter({}, true), app::kExitCompleted);
  EXPECT_EQ(ExitCodeAfter({ui::BoxKind::kInformation}, true), app::kExitCompleted);
  EXPECT_EQ(ExitCodeAfter({ui::BoxKind::kWarning, ui::BoxKind::kInformation}, true), app::kExitCompletedWithFailures);
  EXPECT_EQ(ExitCodeAfter({ui::BoxKind::kError, ui::BoxKind::kInformation}, true), app::kExitCompletedWithFailures);
  EXPECT_EQ(ExitCodeAfter({ui::BoxKind::kPlain, ui::BoxKind::kInformation}, true), app::kExitCompletedWithFailures);
  EXPECT_EQ(app::kExitCompleted, 0);
  EXPECT_EQ(app::kExitCompletedWithFailures, 3);
}

TEST(ConsoleFrontEndTest, ARunThatDoesNotCloseTheWindowExitsOneWhateverBoxesCameBefore) {
  EXPECT_EQ(ExitCodeAfter({}, false), app::kExitRunEnded);
  EXPECT_EQ(ExitCodeAfter({ui::BoxKind::kError, ui::BoxKind::kUnhandled}, false), app::kExitRunEnded);
  EXPECT_EQ(app::kExitRunEnded, 1);
}

TEST(ConsoleFrontEndTest, TheGaugeIsClampedAndPrintedOnlyWhenItChanges) {
  std::ostringstream out;
  auto front_end = app::MakeConsoleFrontEnd(out, false);
  front_end->SetGauge(-5);  // stored as 0: no change
  front_end->SetGauge(58);
  front_end->SetGauge(58);
  front_end->SetGauge(250);
  EXPECT_EQ(front_end->gauge(), 100);
  EXPECT_EQ(out.str(),
            "[" + std::string(29, '#') + std::string(21, '.') + "]  58%\n[" + std::string(50, '#') + "] 100%\n");
}

TEST(ConsoleFrontEndTest, OnATerminalTheBarIsRedrawnInPlace) {
  std::ostringstream out;
  auto front_end = app::MakeConsoleFrontEnd(out, true);
  front_end->SetGauge(1);
  front_end->SetGauge(3);
  front_end->ShowBox(ui::BoxKind::kWarning, "Column names in each table must be unique.");
  EXPECT_EQ(out.str(), "\r[" + std::string(50, '.') + "]   1%\r[#" + std::string(49, '.') +
                           "]   3%\n[Warnung] Column names in each table must be unique.\n");
}

}  // namespace
