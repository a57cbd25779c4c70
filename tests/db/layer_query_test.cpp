// Row-returning queries: exact record counts, walking the rows, fields by name, the integer parameter and
// the client-database listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "db/command.h"
#include "db/connection.h"
#include "db/query.h"
#include "layer_test_server.h"

namespace {

using db_test::TestServer;

// Column `name` of every row, one per line.
std::string Names(db::Query& query) {
  std::string text;
  for (query.First(); !query.eof(); query.Next()) text += query.AsString("name") + "\n";
  return text;
}

class LayerQuery : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.CreateDatabase("Zentix");
    db_test::OpenOn(connection_, server_, "Zentix");
    db::Command command(connection_);
    command.set_text(
        "CREATE TABLE Konto (Nr int NOT NULL, Name varchar(40) NULL, Saldo numeric(12,2) NULL, Kurs float NULL)\n"
        "INSERT INTO Konto VALUES (1, 'Kasse', 10.50, 1.25)\n"
        "INSERT INTO Konto VALUES (2, 'Bank', NULL, NULL)\n"
        "INSERT INTO Konto VALUES (3, NULL, -3.00, 0.5)\n");
    command.Execute();
  }

  TestServer server_;
  db::Connection connection_;
};

TEST_F(LayerQuery, FetchesAllRowsWithExactCount) {
  db::Query query(connection_);
  query.set_text("SELECT Nr, Name AS name, Saldo, Kurs FROM Konto ORDER BY Nr");
  query.Open();
  EXPECT_TRUE(query.active());
  EXPECT_EQ(query.record_count(), 3);
  EXPECT_EQ(Names(query), "Kasse\nBank\n\n");
  query.First();
  EXPECT_EQ(query.AsInt("nr"), 1);
  EXPECT_DOUBLE_EQ(query.AsFloat("SALDO"), 10.5);
  EXPECT_DOUBLE_EQ(query.AsFloat("Kurs"), 1.25);
  EXPECT_EQ(query.AsString("Saldo"), "10.50");
  query.Next();
  EXPECT_TRUE(query.IsNull("Saldo"));
  EXPECT_FALSE(query.IsNull("Nr"));
  EXPECT_EQ(query.AsInt("Saldo"), 0);
  EXPECT_EQ(query.AsString("Saldo"), "");
  query.Next();
  query.Next();
  EXPECT_TRUE(query.eof());
  query.Close();
  EXPECT_FALSE(query.active());
}

TEST_F(LayerQuery, EmptyResultIsEof) {
  db::Query query(connection_);
  query.set_text("SELECT Nr FROM Konto WHERE Nr > 10");
  query.Open();
  EXPECT_EQ(query.record_count(), 0);
  EXPECT_TRUE(query.eof());
  EXPECT_THROW(static_cast<void>(query.AsInt("Nr")), db::Error);
}

TEST_F(LayerQuery, UnknownFieldFails) {
  db::Query query(connection_);
  query.set_text("SELECT Nr FROM Konto");
  query.Open();
  EXPECT_THROW(query.AsString("Nummer"), db::Error);
}

TEST_F(LayerQuery, IntegerParameterBindsPlaceholder) {
  db::Query query(connection_);
  query.set_text("SELECT Name AS name FROM Konto WHERE Nr = ?");
  query.set_param(2);
  query.Open();
  EXPECT_EQ(Names(query), "Bank\n");
}

TEST_F(LayerQuery, StatementErrorFails) {
  db::Query query(connection_);
  query.set_text("SELECT Nr FROM Fehlt");
  try {
    query.Open();
    ADD_FAILURE() << "query on a missing table ran";
  } catch (const db::Error& e) {
    EXPECT_EQ(e.number(), 208);
    EXPECT_STREQ(e.what(), "Invalid object name 'Fehlt'.");
  }
  EXPECT_FALSE(query.active());
}

TEST_F(LayerQuery, ListsClientDatabasesOfTheServer) {
  for (const char* name : {"ZENTIX001", "zentix002", "ZENTIXTMP7", "Other"}) server_.CreateDatabase(name);
  db::Query query(connection_);
  query.set_text("SELECT name FROM master.dbo.sysdatabases where UPPER(name) LIKE 'ZENTIX%'");
  query.Open();
  EXPECT_EQ(query.record_count(), 4);
  std::vector<std::string> names;
  for (; !query.eof(); query.Next()) names.push_back(query.AsString("name"));
  std::ranges::sort(names);
  EXPECT_EQ(names, (std::vector<std::string>{"ZENTIX001", "ZENTIXTMP7", "Zentix", "zentix002"}));
  query.set_text(
      "SELECT name FROM master.dbo.sysdatabases where UPPER(name) LIKE 'ZENTIX%' AND "
      "UPPER(SUBSTRING(name,7,3))<>'TMP'");
  query.Open();
  EXPECT_EQ(query.record_count(), 3);
}

}  // namespace
