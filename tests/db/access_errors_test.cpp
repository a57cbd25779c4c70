// DatabaseAccess when a connection cannot be opened: the exact connection error box, the connection left
// closed with its new connection string, and the next query on it trying once more.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "access_test_support.h"
#include "db/database_access.h"
#include "db/error.h"
#include "db/query.h"
#include "ui/recording_ui.h"

namespace {

using db_test::AccessServer;

// What running `text` on `connection` gives: "ok <first column of the first row>" or "<number>: <text>".
std::string RunOn(db::Connection& connection, const std::string& text) {
  db::Query query(connection);
  query.set_text(text);
  try {
    query.Open();
  } catch (const db::Error& e) {
    return std::to_string(e.number()) + ": " + e.what();
  }
  return "ok " + query.AsString("name");
}

std::string ErrorBox(const std::string& catalog_in_quotes, const std::string& failure) {
  return "box Fehler: False parameters for database connection.\nUnable to connect to database '" + catalog_in_quotes +
         "'.\n\n" + failure + "\n";
}

TEST(AccessErrors, MissingServerDirectory) {
  AccessServer server;
  server.WriteSettings("[Datenbank]\nProvider=Clubiqa.Embedded\nData Source=nirgends\n");
  ui::RecordingUi ui;
  db::DatabaseAccess access(ui, server.base_dir());
  access.pConn("Zentix");
  const std::string missing = (server.base_dir() / "nirgends").lexically_normal().string();
  EXPECT_EQ(ui.Log(), ErrorBox("Zentix", "The server directory '" + missing + "' does not exist."));
  EXPECT_EQ(ui.boxes().at(0).kind, ui::BoxKind::kError);
  EXPECT_FALSE(access.ADOConnectionMand().connected());
  EXPECT_FALSE(std::filesystem::exists(server.base_dir() / "nirgends"));  // nothing is created
}

TEST(AccessErrors, UnusableServerDirectoriesAreReportedLikeAnyConnectionFailure) {
  AccessServer server;
  const std::string base = server.base_dir().string();
  std::ofstream(server.base_dir() / "datei") << "no server";
  std::filesystem::create_directories(server.base_dir() / "fremd" / "inhalt");
  std::filesystem::create_directories(server.base_dir() / "kaputt");
  std::ofstream(server.base_dir() / "kaputt" / "master.sqlite") << std::string(8192, 'x');
  ui::RecordingUi ui;
  db::DatabaseAccess access(ui, server.base_dir());
  for (const char* data_source : {"datei", "fremd", "kaputt"}) {
    server.WriteSettings("[Datenbank]\nProvider=Clubiqa.Embedded\nData Source=" + std::string(data_source) + "\n");
    access.pConn("Zentix");
    EXPECT_FALSE(access.ADOConnectionMand().connected()) << data_source;
  }
  EXPECT_EQ(
      ui.Log(),
      ErrorBox("Zentix", "The server directory '" + base + "/datei' is not a directory.") +
          ErrorBox("Zentix",
                   "The directory '" + base + "/fremd' is not a server directory (it has no master.sqlite).") +
          ErrorBox("Zentix", "The server directory '" + base +
                                 "/kaputt' cannot be used: The file of database 'master' cannot be used: '" + base +
                                 "/kaputt/master.sqlite' is not a usable database file (executing \"PRAGMA "
                                 "journal_mode=WAL\": file is not a database)"));
}

TEST(AccessErrors, MissingDatabase) {
  AccessServer server;
  server.WriteEmbeddedSettings();
  ui::RecordingUi ui;
  db::DatabaseAccess access(ui, server.base_dir());
  access.MandantChange("ZENTIX404");
  EXPECT_EQ(ui.Log(),
            ErrorBox("ZENTIX404", "Cannot open database \"ZENTIX404\" requested by the login. The login failed."));
  EXPECT_FALSE(access.ADOConnection().connected());
  EXPECT_EQ(access.ADOConnection().connection_string(),
            "Provider=Clubiqa.Embedded;\r\nPassword=pw;\r\nUser ID=sa;\r\nPersist Security Info=False;\r\n"
            "Initial Catalog=ZENTIX404;\r\nData Source=server;\r\n");
}

TEST(AccessErrors, RejectedLogin) {
  AccessServer server("sa", "geheim");
  server.CreateDatabase("Zentix");
  server.WriteEmbeddedSettings("N", "sa", "falsch");
  ui::RecordingUi ui;
  db::DatabaseAccess access(ui, server.base_dir());
  access.pConn("Zentix");
  EXPECT_EQ(ui.Log(), ErrorBox("Zentix", "Login failed for user 'sa'."));
  EXPECT_FALSE(access.ADOConnectionMand().connected());
  // The listing then fails on the second attempt with the same cause.
  EXPECT_EQ(RunOn(access.ADOConnectionMand(), "SELECT 'x' AS name"), "18456: Login failed for user 'sa'.");
}

TEST(AccessErrors, SingleQuoteInTheCatalogIsDoubledInTheBoxOnly) {
  AccessServer server;
  server.WriteEmbeddedSettings();
  ui::RecordingUi ui;
  db::DatabaseAccess access(ui, server.base_dir());
  access.MandantChange("ZENTIX'O''Brien");
  EXPECT_EQ(ui.Log(), ErrorBox("ZENTIX''O''''Brien",
                               "Cannot open database \"ZENTIX'O''Brien\" requested by the login. The login failed."));
  EXPECT_EQ(access.CurrentCatalog(), "ZENTIX'O''Brien");
}

TEST(AccessErrors, FailedSwitchClosesTheConnectionThatWasOpen) {
  AccessServer server;
  server.CreateDatabase("ZENTIX001");
  server.WriteEmbeddedSettings();
  ui::RecordingUi ui;
  db::DatabaseAccess access(ui, server.base_dir());
  access.MandantChange("ZENTIX001");
  ASSERT_TRUE(access.ADOConnection().connected());
  access.MandantChange("ZENTIX404");
  EXPECT_FALSE(access.ADOConnection().connected());
  EXPECT_EQ(ui.Log("box ").empty(), false);
  // A failed switch leaves no usable connection behind: the next statement does not land on ZENTIX001.
  EXPECT_EQ(RunOn(access.ADOConnection(), "SELECT DB_NAME() AS name"),
            "4060: Cannot open database \"ZENTIX404\" requested by the login. The login failed.");
}

TEST(AccessErrors, QueryOnTheClosedConnectionTriesAgainWithTheNewConnectionString) {
  AccessServer server;
  server.WriteEmbeddedSettings();
  ui::RecordingUi ui;
  db::DatabaseAccess access(ui, server.base_dir());
  access.MandantChange("ZENTIX404");
  EXPECT_EQ(RunOn(access.ADOConnection(), "SELECT DB_NAME() AS name"),
            "4060: Cannot open database \"ZENTIX404\" requested by the login. The login failed.");
  EXPECT_FALSE(access.ADOConnection().connected());
  // Once the database is there, the same closed connection opens on it by itself.
  server.CreateDatabase("ZENTIX404");
  EXPECT_EQ(RunOn(access.ADOConnection(), "SELECT DB_NAME() AS name"), "ok ZENTIX404");
  EXPECT_TRUE(access.ADOConnection().connected());
  EXPECT_EQ(ui.boxes().size(), 1u);  // the re-attempt shows nothing
}

TEST(AccessErrors, ListingOnAFailedServerConnectionThrows) {
  AccessServer server;
  ui::RecordingUi ui;
  db::DatabaseAccess access(ui, server.base_dir());
  access.pConn("Zentix");  // no settings file
  EXPECT_THROW(access.qryMand().Open(), db::Error);
  EXPECT_FALSE(access.qryMand().active());
  try {
    access.qryMandAll().Open();
    ADD_FAILURE() << "the listing opened";
  } catch (const db::Error& e) {
    EXPECT_STREQ(e.what(), "Provider 'ERROR' is not registered on this machine.");
    EXPECT_EQ(e.number(), 0);
  }
  EXPECT_EQ(ui.boxes().size(), 1u);
}

}  // namespace
