// The run driver of the main window against real embedded servers: which client databases the catalogue
// visits, what the user sees (captions, gauge, boxes), and how failures end the run.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "db/layer_test_server.h"
#include "fixture/old_release.h"
#include "ui/recording_ui.h"

namespace {

using db_test::TestServer;

constexpr char kSettings[] =
    "[Datenbank]\r\nProvider=Clubiqa.Embedded\r\nData Source=server\r\nUser ID=sa\r\nPersist Security Info=False\r\n";

class MainWindowTest : public ::testing::Test {
 protected:
  // The server connection opens on the catalog "Zentix", so every server of a club office has it; its name
  // also makes it a client database of its own.
  void SetUp() override {
    WriteSettings(kSettings);
    CreateClub("Zentix");
  }

  // A client database of the previous release with a few members.
  void CreateClub(std::string_view name) {
    fixture::Options options;
    options.members = 20;
    fixture::CreateOldReleaseDatabase(server_.base_dir() / db_test::kServerDir, name, options);
  }

  // The gauge of one complete catalogue run: from 1 up to 100, then back to 0.
  static bool IsCompleteCatalogue(const std::string& gauge_log) {
    return gauge_log.starts_with("gauge: 1\ngauge: 3\n") && gauge_log.ends_with("gauge: 100\ngauge: 0\n");
  }

  void WriteSettings(const std::string& text) {
    std::ofstream(server_.base_dir() / "SysDBAdo.INI", std::ios::binary) << text;
  }

  // Runs the upgrade as the window framework does at the first activation.
  void Run() { window_.Activate(); }

  // Overwrites the file of `database` so that the server can no longer open it.
  void Corrupt(const std::string& database) {
    engine::OpenOptions options;
    options.data_source = server_.base_dir() / db_test::kServerDir;
    auto session = engine::Session::Open(options);
    engine::BatchResult result =
        session->Execute("SELECT dbid FROM master.dbo.sysdatabases WHERE name = '" + database + "'");
    const std::string id = result.FirstRows()->rows.at(0).at(0).ToString();
    std::ofstream(server_.base_dir() / db_test::kServerDir / ("db" + id + ".sqlite"),
                  std::ios::binary | std::ios::trunc)
        << std::string(4096, 'x');
  }

  TestServer server_;
  ui::RecordingUi ui_;
  app::MainWindow window_{ui_, server_.base_dir()};
};

TEST_F(MainWindowTest, WithoutTheZentixDatabaseTheRunEndsAtTheListing) {
  server_.Admin("DROP DATABASE Zentix");
  CreateClub("ZENTIX001");
  Run();
  EXPECT_EQ(ui_.Log(),
            "picture: ImageVanta\n"
            "caption: Clubiqa vanta - SQL Update\n"
            "messages\n"
            "box Fehler: False parameters for database connection.\n"
            "Unable to connect to database 'Zentix'.\n\n"
            "Cannot open database \"Zentix\" requested by the login. The login failed.\n"
            "box Clubiqa vanta - SQL Update: Cannot open database \"Zentix\" requested by the login. The login "
            "failed.\n");
  EXPECT_TRUE(window_.run_failed());
  EXPECT_FALSE(ui_.closed());
}

TEST_F(MainWindowTest, OnlyTemporaryClientDatabasesBesideZentixLeaveOnlyZentixToUpgrade) {
  server_.CreateDatabase("Vereinsarchiv");
  CreateClub("ZENTIXTMP1");
  server_.CreateDatabase("zentixtmp2");
  Run();
  // The tax-key pass visits the temporary databases too.
  EXPECT_EQ(ui_.Log("caption: "),
            "caption: Clubiqa vanta - SQL Update\n"
            "caption: Zentix/Clubiqa vanta - SQL Update\n"
            "caption: Clubiqa - SQL Update Datenbank: Zentix\n"
            "caption: Clubiqa - SQL Update Datenbank: ZENTIXTMP1\n"
            "caption: Clubiqa - SQL Update Datenbank: zentixtmp2\n"
            "caption: Clubiqa vanta - SQL Update\n");
  EXPECT_EQ(ui_.Log("box "), "box Informationen: UPDATE erfolgreich ausgeführt!\n");
  EXPECT_TRUE(ui_.closed());
  EXPECT_FALSE(window_.run_failed());
}

TEST_F(MainWindowTest, TwoClientDatabasesAreVisitedInTurnAndTemporaryOnesAreSkipped) {
  CreateClub("ZENTIX001");
  CreateClub("ZENTIXTMP1");
  CreateClub("zentix002");
  server_.CreateDatabase("Vereinsarchiv");
  Run();
  EXPECT_EQ(ui_.Log("caption: "),
            "caption: Clubiqa vanta - SQL Update\n"
            "caption: Zentix/Clubiqa vanta - SQL Update\n"
            "caption: ZENTIX001/Clubiqa vanta - SQL Update\n"
            "caption: zentix002/Clubiqa vanta - SQL Update\n"
            "caption: Clubiqa - SQL Update Datenbank: Zentix\n"
            "caption: Clubiqa - SQL Update Datenbank: ZENTIX001\n"
            "caption: Clubiqa - SQL Update Datenbank: ZENTIXTMP1\n"
            "caption: Clubiqa - SQL Update Datenbank: zentix002\n"
            "caption: Clubiqa vanta - SQL Update\n");
  EXPECT_EQ(ui_.Log("box "), "box Informationen: UPDATE erfolgreich ausgeführt!\n");
  // Each database's catalogue moves the gauge from 1 to 100 and back to 0, the second starting afresh.
  const std::string log = ui_.Log();
  const size_t first = log.find("caption: ZENTIX001/");
  const size_t second = log.find("caption: zentix002/");
  const size_t end = log.find("caption: Clubiqa - SQL Update Datenbank: ");
  auto gauges = [&](size_t from, size_t to) {
    std::string result;
    std::string_view rest(log.data() + from, to - from);
    for (size_t at = rest.find("gauge: "); at != std::string_view::npos; at = rest.find("gauge: ", at + 1)) {
      result += std::string(rest.substr(at, rest.find('\n', at) + 1 - at));
    }
    return result;
  };
  EXPECT_TRUE(IsCompleteCatalogue(gauges(first, second))) << gauges(first, second);
  EXPECT_TRUE(IsCompleteCatalogue(gauges(second, end))) << gauges(second, end);
  EXPECT_EQ(ui_.Log().substr(ui_.Log().size() - 6), "close\n");
  EXPECT_EQ(ui_.cursor(), ui::Cursor::kDefault);
  EXPECT_EQ(window_.database().CurrentCatalog(), "zentix002");
  EXPECT_TRUE(window_.database().ADOConnection().connected());  // stays open on the last database
}

// The catalogue goes on with the next database; the tax-key pass, whose probe of the marker table is not
// guarded, ends the run at the database that cannot be opened.
TEST_F(MainWindowTest, AFailingSwitchIsReportedTheCatalogueGoesOnAndTheTaxKeyPassEndsTheRun) {
  CreateClub("ZENTIX001");
  CreateClub("ZENTIX002");
  Corrupt("ZENTIX001");
  Run();
  const std::string log = ui_.Log();
  const size_t first = log.find("caption: ZENTIX001/");
  const size_t second = log.find("caption: ZENTIX002/");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  const std::string first_part = log.substr(first, second - first);
  // The error box of the switch, and no catalogue: the gauge never moves for this database.
  EXPECT_NE(first_part.find("box Fehler: False parameters for database connection.\n"
                            "Unable to connect to database 'ZENTIX001'.\n\n"),
            std::string::npos)
      << first_part;
  EXPECT_EQ(first_part.find("gauge:"), std::string::npos) << first_part;
  EXPECT_NE(log.substr(second).find("gauge: 1\n"), std::string::npos);
  const std::string tax_keys = log.substr(log.find("caption: Clubiqa - SQL Update Datenbank: ZENTIX001\n"));
  EXPECT_NE(tax_keys.find("box Fehler: False parameters for database connection.\n"
                          "Unable to connect to database 'ZENTIX001'.\n\n"),
            std::string::npos)
      << tax_keys;
  EXPECT_EQ(ui_.boxes().back().kind, ui::BoxKind::kUnhandled);
  EXPECT_EQ(tax_keys.find("Datenbank: ZENTIX002"), std::string::npos) << tax_keys;
  EXPECT_EQ(log.find("UPDATE erfolgreich"), std::string::npos);
  EXPECT_FALSE(ui_.closed());
  EXPECT_TRUE(window_.run_failed());
}

TEST_F(MainWindowTest, AnUnreachableServerShowsTheConnectionBoxThenEndsTheRunUnhandled) {
  WriteSettings("[Datenbank]\r\nProvider=Clubiqa.Embedded\r\nData Source=no-such-server\r\n");
  Run();
  ASSERT_EQ(ui_.boxes().size(), 2u) << ui_.Log();
  EXPECT_EQ(ui_.boxes()[0].kind, ui::BoxKind::kError);
  EXPECT_TRUE(
      ui_.boxes()[0].text.starts_with("False parameters for database connection.\n"
                                      "Unable to connect to database 'Zentix'.\n\n"))
      << ui_.boxes()[0].text;
  EXPECT_EQ(ui_.boxes()[1].kind, ui::BoxKind::kUnhandled);
  // The listing tried to connect once more and failed the same way.
  const std::string failure = ui_.boxes()[0].text.substr(ui_.boxes()[0].text.rfind('\n') + 1);
  EXPECT_EQ(ui_.boxes()[1].text, app::UnhandledFailureText(failure));
  EXPECT_FALSE(ui_.closed());  // the window stays open after a failure
  EXPECT_TRUE(window_.run_failed());
  EXPECT_EQ(ui_.caption(), "Clubiqa vanta - SQL Update");
}

TEST_F(MainWindowTest, AMissingSettingsFileFailsWithProviderError) {
  std::filesystem::remove(server_.base_dir() / "SysDBAdo.INI");
  Run();
  ASSERT_EQ(ui_.boxes().size(), 2u) << ui_.Log();
  EXPECT_EQ(ui_.boxes()[0].text,
            "False parameters for database connection.\nUnable to connect to database 'Zentix'.\n\n"
            "Provider 'ERROR' is not registered on this machine.");
  EXPECT_EQ(ui_.boxes()[1].text, "Provider 'ERROR' is not registered on this machine.");
  EXPECT_TRUE(window_.run_failed());
}

TEST_F(MainWindowTest, AnUnguardedFailureEndsTheRunInTheFirstDatabaseAndLeavesTheOthersUntouched) {
  fixture::Options broken;
  broken.members = 20;
  broken.primary_key_f5dat = false;  // the rebuild of the tax-key table's key cannot drop it
  fixture::CreateOldReleaseDatabase(server_.base_dir() / db_test::kServerDir, "ZENTIX001", broken);
  CreateClub("ZENTIX002");
  Run();
  ASSERT_EQ(ui_.boxes().size(), 1u) << ui_.Log("box ");
  EXPECT_EQ(ui_.boxes()[0].kind, ui::BoxKind::kUnhandled);
  EXPECT_EQ(ui_.boxes()[0].text, "'PK_F5DAT' is not a constraint.");
  EXPECT_EQ(ui_.caption(), "ZENTIX001/Clubiqa vanta - SQL Update");  // the window keeps what it showed
  EXPECT_EQ(ui_.gauge(), 21);
  EXPECT_FALSE(ui_.closed());
  EXPECT_TRUE(window_.run_failed());
  EXPECT_EQ(ui_.Log().find("caption: ZENTIX002/"), std::string::npos);

  // ZENTIX002 was never touched: it still lacks the first column the catalogue adds.
  engine::OpenOptions options;
  options.data_source = server_.base_dir() / db_test::kServerDir;
  options.initial_catalog = "ZENTIX002";
  auto session = engine::Session::Open(options);
  engine::BatchResult result = session->Execute(
      "SELECT COUNT(*) FROM Information_Schema.Columns WHERE Table_Name='Mandstam' AND "
      "Column_Name='VereinUebUntgliedAbt'");
  EXPECT_EQ(result.FirstRows()->rows.at(0).at(0).ToString(), "0");
}

TEST_F(MainWindowTest, ASecondActivationStartsNoSecondRun) {
  CreateClub("ZENTIX001");
  Run();
  const std::string first = ui_.Log();
  ui_.ClearEvents();
  window_.Activate();
  window_.Activate();
  EXPECT_EQ(ui_.Log(), "");
  EXPECT_NE(first.find("close\n"), std::string::npos);
}

TEST_F(MainWindowTest, ACloseRequestDuringTheRunLetsTheRunFinishWithBoxesClosingAtOnce) {
  CreateClub("ZENTIX001");
  ui_.RequestCloseAt(1);  // taken up when the run first processes window messages
  Run();
  EXPECT_EQ(ui_.Log("box "), "box Informationen: UPDATE erfolgreich ausgeführt! [closed at once]\n");
  EXPECT_NE(ui_.Log().find("caption: ZENTIX001/"), std::string::npos);
  EXPECT_TRUE(ui_.closed());
}

TEST_F(MainWindowTest, TheSettingsFileIsReadAgainAtEverySwitch) {
  CreateClub("ZENTIX001");
  CreateClub("ZENTIX002");
  Run();
  // The client connection was set up from the file with the client item order.
  EXPECT_EQ(window_.database().ADOConnection().connection_string(),
            "Provider=Clubiqa.Embedded;\r\nPassword=;\r\nUser ID=sa;\r\nPersist Security Info=False;\r\n"
            "Initial Catalog=ZENTIX002;\r\nData Source=server;\r\n");
  EXPECT_EQ(window_.database().ADOConnectionMand().connection_string(),
            "Provider=Clubiqa.Embedded;\r\nPersist Security Info=False;\r\nPassword=;\r\nUser ID=sa;\r\n"
            "Initial Catalog=Zentix;\r\nData Source=server;\r\n");
}

// The full-stop rule of the unhandled-failure box: a full stop is added when the last character's code is
// above that of the full stop.
TEST(UnhandledFailureTextTest, AppendsAFullStopOnlyAfterCharactersAboveIt) {
  EXPECT_EQ(app::UnhandledFailureText("Invalid object name 'F5DAT'"), "Invalid object name 'F5DAT'");
  EXPECT_EQ(app::UnhandledFailureText("Login failed for user 'sa'"), "Login failed for user 'sa'");
  EXPECT_EQ(app::UnhandledFailureText("Cannot open database"), "Cannot open database.");
  EXPECT_EQ(app::UnhandledFailureText("Error 42"), "Error 42.");
  EXPECT_EQ(app::UnhandledFailureText("Done."), "Done.");
  EXPECT_EQ(app::UnhandledFailureText("a/"), "a/.");  // '/' follows '.'
  EXPECT_EQ(app::UnhandledFailureText("a-"), "a-");   // '-' precedes '.'
  EXPECT_EQ(app::UnhandledFailureText("a)"), "a)");
  EXPECT_EQ(app::UnhandledFailureText("a "), "a ");
  EXPECT_EQ(app::UnhandledFailureText("Größe"), "Größe.");  // non-ASCII letters are above too
  EXPECT_EQ(app::UnhandledFailureText(""), "");
}

}  // namespace
