// DatabaseAccess and SysDBAdo.INI: which settings reach the two connections, in which items and order, and
// what the user sees when the file is missing or cannot be read.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "access_test_support.h"
#include "db/database_access.h"
#include "db/error.h"
#include "db/query.h"
#include "ui/recording_ui.h"

namespace {

using db_test::AccessServer;

// The name of the database the connection is really on, as the server sees it.
std::string CurrentDatabase(db::Connection& connection) {
  db::Query query(connection);
  query.set_text("SELECT DB_NAME() AS name");
  query.Open();
  return query.AsString("name");
}

class AccessSettings : public ::testing::Test {
 protected:
  AccessSettings() {
    server_.CreateDatabase("Zentix");
    server_.CreateDatabase("ZENTIX001");
  }

  AccessServer server_;
  ui::RecordingUi ui_;
  db::DatabaseAccess access_{ui_, server_.base_dir()};
};

TEST_F(AccessSettings, WinAuthCapitalJUsesIntegratedSecurityWhateverTheFileHoldsForTheLogin) {
  server_.WriteEmbeddedSettings("J", "sa", "geheim");
  access_.pConn("Zentix");
  access_.MandantChange("ZENTIX001");
  EXPECT_EQ(ui_.Log(), "");
  EXPECT_TRUE(access_.ADOConnectionMand().connected());
  EXPECT_TRUE(access_.ADOConnection().connected());
  EXPECT_EQ(access_.ADOConnectionMand().connection_string(),
            "Provider=Clubiqa.Embedded;\r\n"
            "Persist Security Info=False;\r\n"
            "Integrated Security=SSPI;\r\n"
            "Initial Catalog=Zentix;\r\n"
            "Data Source=server;\r\n");
  EXPECT_EQ(access_.ADOConnection().connection_string(),
            "Provider=Clubiqa.Embedded;\r\n"
            "Integrated Security=SSPI;\r\n"
            "Persist Security Info=False;\r\n"
            "Initial Catalog=ZENTIX001;\r\n"
            "Data Source=server;\r\n");
  // The settings are kept even though Windows authentication leaves the login items out.
  EXPECT_EQ(access_.connection_settings().user_id, "sa");
  EXPECT_EQ(access_.connection_settings().password, "geheim");
}

TEST_F(AccessSettings, AnyOtherWinAuthUsesTheServerLogin) {
  server_.WriteServerIni("sa", "pw");  // logins checked: only the server login gets in
  for (const char* win_auth : {"j", "Ja", "JA", "N", ""}) {
    SCOPED_TRACE(std::string("WinAuth=") + win_auth);
    server_.WriteEmbeddedSettings(win_auth, "sa", "pw");
    access_.pConn("Zentix");
    access_.MandantChange("ZENTIX001");
    EXPECT_EQ(ui_.Log(), "");
    EXPECT_EQ(access_.ADOConnectionMand().connection_string(),
              "Provider=Clubiqa.Embedded;\r\n"
              "Persist Security Info=False;\r\n"
              "Password=pw;\r\n"
              "User ID=sa;\r\n"
              "Initial Catalog=Zentix;\r\n"
              "Data Source=server;\r\n");
    EXPECT_EQ(access_.ADOConnection().connection_string(),
              "Provider=Clubiqa.Embedded;\r\n"
              "Password=pw;\r\n"
              "User ID=sa;\r\n"
              "Persist Security Info=False;\r\n"
              "Initial Catalog=ZENTIX001;\r\n"
              "Data Source=server;\r\n");
    EXPECT_TRUE(access_.ADOConnectionMand().connected());
    EXPECT_TRUE(access_.ADOConnection().connected());
  }
}

TEST_F(AccessSettings, WinAuthIsTrimmedAsWindowsReadsIt) {
  server_.WriteSettings("[Datenbank]\nProvider=Clubiqa.Embedded\nData Source=server\nWinAuth = J \t\n");
  access_.pConn("Zentix");
  EXPECT_EQ(ui_.Log(), "");
  EXPECT_EQ(access_.ADOConnectionMand().connection_string(),
            "Provider=Clubiqa.Embedded;\r\nPersist Security Info=;\r\nIntegrated Security=SSPI;\r\n"
            "Initial Catalog=Zentix;\r\nData Source=server;\r\n");
}

TEST_F(AccessSettings, AbsentPersistSecurityInfoGivesAnEmptyItem) {
  server_.WriteSettings("[Datenbank]\nProvider=Clubiqa.Embedded\nData Source=server\nUser ID=sa\n");
  access_.pConn("Zentix");
  access_.MandantChange("ZENTIX001");
  EXPECT_EQ(ui_.Log(), "");
  EXPECT_EQ(access_.ADOConnectionMand().connection_string(),
            "Provider=Clubiqa.Embedded;\r\nPersist Security Info=;\r\nPassword=;\r\nUser ID=sa;\r\n"
            "Initial Catalog=Zentix;\r\nData Source=server;\r\n");
  EXPECT_EQ(access_.ADOConnection().connection_string(),
            "Provider=Clubiqa.Embedded;\r\nPassword=;\r\nUser ID=sa;\r\nPersist Security Info=;\r\n"
            "Initial Catalog=ZENTIX001;\r\nData Source=server;\r\n");
}

TEST_F(AccessSettings, InitialCatalogAndMainDirectoryOfTheFileAreIgnored) {
  server_.CreateDatabase("Anderswo");
  server_.WriteSettings(
      "[Datenbank]\r\nProvider=Clubiqa.Embedded\r\nInitial Catalog=Anderswo\r\nData Source=server\r\n"
      "Persist Security Info=True\r\n[Verzeichnis]\r\nHauptVerz=C:\\Zentix\r\n");
  access_.pConn("Zentix");
  access_.MandantChange("ZENTIX001");
  EXPECT_EQ(ui_.Log(), "");
  EXPECT_EQ(CurrentDatabase(access_.ADOConnectionMand()), "Zentix");
  EXPECT_EQ(CurrentDatabase(access_.ADOConnection()), "ZENTIX001");
  EXPECT_EQ(access_.ADOConnection().connection_string().find("Anderswo"), std::string::npos);
}

TEST_F(AccessSettings, SectionAndKeyNamesMatchWithoutRegardToCaseAndQuotesAreTakenOff) {
  server_.WriteSettings("[DATENBANK]\nPROVIDER = \"Clubiqa.Embedded\"\ndata source='server'\nuser id=sa\n");
  access_.pConn("Zentix");
  EXPECT_EQ(ui_.Log(), "");
  EXPECT_TRUE(access_.ADOConnectionMand().connected());
  EXPECT_EQ(access_.connection_settings().provider, "Clubiqa.Embedded");
  EXPECT_EQ(access_.connection_settings().data_source, "server");
}

TEST_F(AccessSettings, MissingFileLeavesProviderErrorAndAClosedConnection) {
  access_.pConn("Zentix");
  EXPECT_EQ(ui_.Log(),
            "box Fehler: False parameters for database connection.\n"
            "Unable to connect to database 'Zentix'.\n"
            "\n"
            "Provider 'ERROR' is not registered on this machine.\n");
  EXPECT_EQ(ui_.boxes().at(0).kind, ui::BoxKind::kError);
  EXPECT_FALSE(access_.ADOConnectionMand().connected());
  EXPECT_EQ(access_.ADOConnectionMand().connection_string(),
            "Provider=ERROR;\r\nPersist Security Info=;\r\nPassword=;\r\nUser ID=;\r\n"
            "Initial Catalog=Zentix;\r\nData Source=;\r\n");
  EXPECT_EQ(access_.CurrentCatalog(), "Zentix");
  EXPECT_FALSE(std::filesystem::exists(server_.settings_path()));  // never created
}

TEST_F(AccessSettings, UnreadableFileShowsAPlainBoxThenGoesOnWithTheDefaults) {
  server_.WriteEmbeddedSettings();
  access_.pConn("Zentix");
  ASSERT_TRUE(access_.ADOConnectionMand().connected());
  std::filesystem::remove(server_.settings_path());
  std::filesystem::create_directory(server_.settings_path());

  access_.MandantChange("ZENTIX001");
  EXPECT_EQ(ui_.Log(), "box Clubiqa vanta - SQL Update: The settings file '" + server_.settings_path().string() +
                           "' is a directory.\n"
                           "box Fehler: False parameters for database connection.\n"
                           "Unable to connect to database 'ZENTIX001'.\n"
                           "\n"
                           "Provider 'ERROR' is not registered on this machine.\n");
  EXPECT_EQ(ui_.boxes().at(0).kind, ui::BoxKind::kPlain);
  EXPECT_EQ(access_.connection_settings().provider, "ERROR");
  EXPECT_EQ(access_.connection_settings().user_id, "");
  EXPECT_FALSE(access_.ADOConnection().connected());
  EXPECT_EQ(access_.CurrentCatalog(), "ZENTIX001");
  // The server connection is not touched by a client switch.
  EXPECT_TRUE(access_.ADOConnectionMand().connected());
}

TEST_F(AccessSettings, CurrentCatalogHoldsTheSecondNameAlsoWhenItsConnectionFailed) {
  server_.WriteEmbeddedSettings();
  access_.pConn("Zentix");
  EXPECT_EQ(access_.CurrentCatalog(), "Zentix");
  access_.MandantChange("ZENTIX001");
  EXPECT_EQ(access_.CurrentCatalog(), "ZENTIX001");
  access_.MandantChange("ZENTIX404");
  EXPECT_EQ(access_.CurrentCatalog(), "ZENTIX404");
  access_.pConn("Nirgends");
  EXPECT_EQ(access_.CurrentCatalog(), "Nirgends");
  EXPECT_EQ(ui_.Log("box "),
            "box Fehler: False parameters for database connection.\nUnable to connect to database 'ZENTIX404'.\n\n"
            "Cannot open database \"ZENTIX404\" requested by the login. The login failed.\n"
            "box Fehler: False parameters for database connection.\nUnable to connect to database 'Nirgends'.\n\n"
            "Cannot open database \"Nirgends\" requested by the login. The login failed.\n");
  EXPECT_FALSE(access_.ADOConnection().connected());
  EXPECT_FALSE(access_.ADOConnectionMand().connected());
}

TEST_F(AccessSettings, FileIsReadAgainAtEveryConnection) {
  server_.WriteServerIni("sa", "pw");
  server_.WriteEmbeddedSettings("N", "sa", "pw");
  access_.pConn("Zentix");
  EXPECT_TRUE(access_.ADOConnectionMand().connected());
  server_.WriteEmbeddedSettings("N", "sa", "anders");
  access_.MandantChange("ZENTIX001");
  EXPECT_EQ(ui_.Log(),
            "box Fehler: False parameters for database connection.\nUnable to connect to database 'ZENTIX001'.\n\n"
            "Login failed for user 'sa'.\n");
  EXPECT_EQ(access_.connection_settings().password, "anders");
  EXPECT_FALSE(access_.ADOConnection().connected());
}

TEST_F(AccessSettings, ValueWithSemicolonReachesTheProviderIntact) {
  server_.WriteServerIni("sa", "pw;Initial Catalog=master");
  server_.WriteEmbeddedSettings("N", "sa", "pw;Initial Catalog=master");
  access_.pConn("Zentix");
  access_.MandantChange("ZENTIX001");
  EXPECT_EQ(ui_.Log(), "");
  EXPECT_EQ(access_.connection_settings().password, "pw;Initial Catalog=master");
  EXPECT_EQ(CurrentDatabase(access_.ADOConnectionMand()), "Zentix");
  EXPECT_EQ(CurrentDatabase(access_.ADOConnection()), "ZENTIX001");
  // The value alone is enclosed, so that the provider cannot take the ';' for the end of the item.
  EXPECT_EQ(access_.ADOConnection().connection_string(),
            "Provider=Clubiqa.Embedded;\r\nPassword=\"pw;Initial Catalog=master\";\r\nUser ID=sa;\r\n"
            "Persist Security Info=False;\r\nInitial Catalog=ZENTIX001;\r\nData Source=server;\r\n");
}

}  // namespace
