// The two listings of client databases and the switch of the client connection between them, against a
// server holding client, temporary and unrelated databases; the trace shows the exact texts sent.
#include <gtest/gtest.h>

#include <string>

#include "access_test_support.h"
#include "db/database_access.h"
#include "db/error.h"
#include "db/query.h"
#include "ui/recording_ui.h"

namespace {

using db_test::AccessServer;

// The `name` column of every row of `listing`, as the run driver walks it, one per line.
std::string Walk(db::Query& listing) {
  listing.Close();
  listing.Open();
  std::string names;
  if (listing.record_count() > 0) {
    for (listing.First(); !listing.eof(); listing.Next()) names += listing.AsString("name") + "\n";
  }
  listing.Close();
  return names;
}

std::string CurrentDatabase(db::Connection& connection) {
  db::Query query(connection);
  query.set_text("SELECT DB_NAME() AS name");
  query.Open();
  return query.AsString("name");
}

class AccessListing : public ::testing::Test {
 protected:
  AccessListing() {
    for (const char* name : {"ZENTIX001", "Verein", "zentix002", "ZENTIXTMP7", "ZENTIX", "ZENTIX_TMP", "ZENTIX01TMP"}) {
      server_.CreateDatabase(name);
    }
    server_.WriteEmbeddedSettings();
  }

  AccessServer server_;
  ui::RecordingUi ui_;
  db::DatabaseAccess access_{ui_, server_.base_dir()};
};

TEST_F(AccessListing, QryMandLeavesOutTemporaryAndUnrelatedDatabases) {
  access_.pConn("Zentix");
  ASSERT_TRUE(access_.ADOConnectionMand().connected());
  server_.ClearTrace();
  EXPECT_EQ(Walk(access_.qryMand()), "ZENTIX001\nzentix002\nZENTIX\nZENTIX_TMP\nZENTIX01TMP\n");
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX: SELECT name FROM master.dbo.sysdatabases where UPPER(name) LIKE 'ZENTIX%' AND "
            "UPPER(SUBSTRING(name,7,3))<>'TMP' -> rows 5\n");
  EXPECT_EQ(ui_.Log(), "");
}

TEST_F(AccessListing, QryMandAllListsTemporaryOnesToo) {
  access_.pConn("Zentix");
  server_.ClearTrace();
  EXPECT_EQ(Walk(access_.qryMandAll()), "ZENTIX001\nzentix002\nZENTIXTMP7\nZENTIX\nZENTIX_TMP\nZENTIX01TMP\n");
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX: SELECT name FROM master.dbo.sysdatabases where UPPER(name) LIKE 'ZENTIX%' -> rows 6\n");
}

TEST_F(AccessListing, ListingsDoNotDependOnTheCatalogOfTheServerConnection) {
  access_.pConn("Verein");
  ASSERT_TRUE(access_.ADOConnectionMand().connected());
  EXPECT_EQ(Walk(access_.qryMand()), "ZENTIX001\nzentix002\nZENTIX\nZENTIX_TMP\nZENTIX01TMP\n");
  EXPECT_EQ(Walk(access_.qryMandAll()), "ZENTIX001\nzentix002\nZENTIXTMP7\nZENTIX\nZENTIX_TMP\nZENTIX01TMP\n");
}

TEST(AccessListingAlone, ListingWithoutClientDatabasesReturnsNoRows) {
  AccessServer empty;
  empty.CreateDatabase("Zentix0");  // begins with ZENTIX under the server's case-insensitive comparison
  empty.CreateDatabase("Zentrix");
  empty.WriteEmbeddedSettings();
  ui::RecordingUi ui;
  db::DatabaseAccess access(ui, empty.base_dir());
  access.pConn("Zentrix");
  EXPECT_EQ(Walk(access.qryMand()), "Zentix0\n");
  empty.Admin("DROP DATABASE Zentix0");
  EXPECT_EQ(Walk(access.qryMandAll()), "");
  EXPECT_EQ(ui.Log(), "");
}

TEST_F(AccessListing, SwitchMovesTheClientConnectionOnly) {
  access_.pConn("Zentix");
  for (const char* name : {"ZENTIX001", "zentix002", "ZENTIX_TMP"}) {
    access_.MandantChange(name);
    EXPECT_EQ(CurrentDatabase(access_.ADOConnection()), name);
    EXPECT_EQ(access_.CurrentCatalog(), name);
  }
  EXPECT_EQ(CurrentDatabase(access_.ADOConnectionMand()), "ZENTIX");
  EXPECT_EQ(ui_.Log(), "");
}

TEST_F(AccessListing, SwitchToTheOpenDatabaseClosesAndReopens) {
  access_.MandantChange("ZENTIX001");
  db::Query use(access_.ADOConnection());
  use.set_text("USE Verein; SELECT DB_NAME() AS name");
  use.Open();
  ASSERT_EQ(use.AsString("name"), "Verein");
  use.Close();
  // Same name, same connection string: still a new connection, so the USE of the old one is gone.
  access_.MandantChange("ZENTIX001");
  EXPECT_EQ(CurrentDatabase(access_.ADOConnection()), "ZENTIX001");
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX001: USE Verein; SELECT DB_NAME() AS name -> rows 1\n"
            "ZENTIX001: SELECT DB_NAME() AS name -> rows 1\n");
}

TEST_F(AccessListing, ListingRowsComeFromTheServerAsItIsNow) {
  access_.pConn("Zentix");
  EXPECT_EQ(Walk(access_.qryMand()), "ZENTIX001\nzentix002\nZENTIX\nZENTIX_TMP\nZENTIX01TMP\n");
  server_.CreateDatabase("ZENTIX003");
  server_.Admin("DROP DATABASE zentix002");
  EXPECT_EQ(Walk(access_.qryMand()), "ZENTIX001\nZENTIX\nZENTIX_TMP\nZENTIX01TMP\nZENTIX003\n");
}

}  // namespace
