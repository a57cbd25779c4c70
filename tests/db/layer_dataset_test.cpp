// Appending one row through a Dataset: the INSERT it sends and the row it leaves.
#include <gtest/gtest.h>

#include <string>

#include "db/command.h"
#include "db/connection.h"
#include "db/dataset.h"
#include "db/query.h"
#include "layer_test_server.h"

namespace {

using db_test::TestServer;

TEST(LayerDataset, LiteralsAreQuoted) {
  EXPECT_EQ(db::SqlLiteral(db::Value()), "NULL");
  EXPECT_EQ(db::SqlLiteral(db::Value::Text("O'Neil")), "N'O''Neil'");
  EXPECT_EQ(db::SqlLiteral(db::Value::Int(-42)), "-42");
  EXPECT_EQ(db::SqlLiteral(db::Value::Float(0.5)), "0.5E0");
  EXPECT_EQ(db::SqlLiteral(db::Value::Dec(1050, 2)), "10.50");
  // 2013-02-20 09:05:00.000 is 41323 days and 32700000 ms after 1900-01-01.
  db::DateTime when{41323LL * 86'400'000 + 32'700'000};
  EXPECT_EQ(db::SqlLiteral(db::Value::Date(when)), "'20130220 09:05:00.000'");
}

TEST(LayerDataset, PostsOneRow) {
  TestServer server;
  server.CreateDatabase("Zentix");
  db::Connection connection;
  db_test::OpenOn(connection, server, "Zentix");
  db::Command command(connection);
  command.set_text(
      "CREATE TABLE Mandat (Nr int NOT NULL, Name nvarchar(40) NULL, Betrag float NULL, Datum datetime NULL, "
      "Info varchar(10) NULL DEFAULT 'x')");
  command.Execute();

  db::Dataset dataset(connection, "Mandat");
  EXPECT_THROW(dataset.Set("Nr", 1), db::Error);
  dataset.Append();
  dataset.Set("Nr", 7);
  dataset.Set("Name", "D'Angelo");
  dataset.Set("Betrag", 12.5);
  dataset.Set("Datum", db::Value::Date({41323LL * 86'400'000 + 32'700'000}));
  dataset.Set("Name", "Müller's");
  EXPECT_EQ(dataset.InsertText(),
            "INSERT INTO [Mandat] ([Nr], [Name], [Betrag], [Datum]) VALUES (7, N'Müller''s', 12.5E0, "
            "'20130220 09:05:00.000')");
  dataset.Post();
  dataset.Append();
  dataset.Set("Nr", int64_t{8});
  dataset.Set("Name", nullptr);
  dataset.Post();

  db::Query query(connection);
  query.set_text("SELECT Nr, Name, Betrag, CONVERT(varchar(23), Datum, 121) AS Datum, Info FROM Mandat ORDER BY Nr");
  query.Open();
  ASSERT_EQ(query.record_count(), 2);
  std::string rows;
  for (; !query.eof(); query.Next()) {
    rows += query.AsString("Nr") + "|" + query.AsString("Name") + "|" + query.AsString("Betrag") + "|" +
            query.AsString("Datum") + "|" + query.AsString("Info") + "\n";
  }
  EXPECT_EQ(rows, "7|Müller's|12.5|2013-02-20 09:05:00.000|x\n8||||x\n");
}

}  // namespace
