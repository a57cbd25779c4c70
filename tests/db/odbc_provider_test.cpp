// The ODBC provider against clubiqa-sqlserverd through the FreeTDS driver: what a query reads, what a batch
// reports, how values and names with quotes, semicolons and umlauts travel, and what the server sees.
#include <gtest/gtest.h>

#include <string>

#include "db/command.h"
#include "db/connection.h"
#include "db/dataset.h"
#include "db/query.h"
#include "odbc_test_server.h"

namespace {

using db_test::TdsServer;

// Every row of `query` as "a|b|c" lines; NULL shows as "NULL".
std::string Rows(db::Query& query, const std::vector<std::string>& columns) {
  std::string text;
  for (query.First(); !query.eof(); query.Next()) {
    for (size_t i = 0; i < columns.size(); ++i) {
      text += (i ? "|" : "") + (query.IsNull(columns[i]) ? std::string("NULL") : query.AsString(columns[i]));
    }
    text += "\n";
  }
  return text;
}

class OdbcProvider : public ::testing::Test {
 protected:
  void SetUp() override {
    CLUBIQA_SKIP_WITHOUT_ODBC_SERVER();
    server_.CreateDatabase("ZENTIX001");
    server_.Start();
    server_.OpenOn(connection_, "ZENTIX001");
  }

  void Execute(std::string text) {
    db::Command command(connection_);
    command.set_text(std::move(text));
    command.Execute();
  }

  // The failure of `text` as "number: text", or "ok".
  std::string Failure(std::string text) {
    try {
      Execute(std::move(text));
    } catch (const db::Error& e) {
      return std::to_string(e.number()) + ": " + e.what();
    }
    return "ok";
  }

  TdsServer server_;
  db::Connection connection_;
};

TEST_F(OdbcProvider, ReadsEveryKindOfFieldWithExactCount) {
  Execute(
      "CREATE TABLE Konto (Nr int NOT NULL, Name varchar(40) NULL, Voll nvarchar(40) NULL, Saldo numeric(12,2) NULL, "
      "Kurs float NULL, Datum datetime NULL, Aktiv bit NULL, Fest char(4) NULL)\n"
      "INSERT INTO Konto VALUES (1, 'Kasse Müller', N'Straße ½', 10.50, 1.25, '20130220 09:05:00.007', 1, 'ab')\n"
      "INSERT INTO Konto VALUES (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL)\n"
      "INSERT INTO Konto VALUES (3, '', N'', -3.00, 0.1, '19000101', 0, '')\n");
  db::Query query(connection_);
  query.set_text("SELECT * FROM Konto ORDER BY Nr");
  query.Open();
  EXPECT_EQ(query.record_count(), 3);
  EXPECT_EQ(Rows(query, {"Nr", "Name", "Voll", "Saldo", "Kurs", "Datum", "Aktiv", "Fest"}),
            "1|Kasse Müller|Straße ½|10.50|1.25|2013-02-20 09:05:00.007|1|ab  \n"
            "2|NULL|NULL|NULL|NULL|NULL|NULL|NULL\n"
            "3|||-3.00|0.1|1900-01-01 00:00:00.000|0|    \n");
  query.First();
  EXPECT_EQ(query.AsInt("nr"), 1);
  EXPECT_DOUBLE_EQ(query.AsFloat("SALDO"), 10.5);
  EXPECT_DOUBLE_EQ(query.AsFloat("Datum"), 41325.0 + 32'700'007.0 / 86'400'000.0);
  EXPECT_EQ(query.AsInt("Kurs"), 1);
  query.Next();
  EXPECT_EQ(query.AsInt("Saldo"), 0);
  EXPECT_EQ(query.AsString("Name"), "");
}

TEST_F(OdbcProvider, IntegerParameterBindsThePlaceholder) {
  Execute(
      "CREATE TABLE T (Nr int NOT NULL)\nINSERT INTO T VALUES (1)\nINSERT INTO T VALUES (2)\nINSERT INTO T VALUES (3)");
  db::Query query(connection_);
  query.set_text("SELECT Nr FROM T \r\nWHERE Nr>=?");
  query.set_param(2);
  query.Open();
  EXPECT_EQ(Rows(query, {"Nr"}), "2\n3\n");
  query.set_param(5'000'000'000);  // beyond int: bound as bigint
  query.Open();
  EXPECT_EQ(query.record_count(), 0);
  EXPECT_TRUE(query.eof());
}

TEST_F(OdbcProvider, AFailingQueryReportsTheServersTextAndNumber) {
  db::Query query(connection_);
  query.set_text("SELECT * FROM Nirgends");
  try {
    query.Open();
    FAIL() << "no error";
  } catch (const db::Error& e) {
    EXPECT_EQ(e.number(), 208);
    EXPECT_STREQ(e.what(), "Invalid object name 'Nirgends'.");
  }
  EXPECT_FALSE(query.active());
  EXPECT_TRUE(connection_.connected());
}

// A failure anywhere in a batch is reported, and the statements around it ran as the server runs them: a
// duplicate key ends only its statement, an unknown table the whole batch.
TEST_F(OdbcProvider, ABatchReportsAFailureOfItsFirstMiddleOrLastStatement) {
  Execute("CREATE TABLE T (Nr int NOT NULL CONSTRAINT PK_T PRIMARY KEY)\nINSERT INTO T VALUES (0)");
  const std::string duplicate = "INSERT INTO T VALUES (0)";
  const std::string duplicate_text =
      "2627: Violation of PRIMARY KEY constraint 'PK_T'. Cannot insert duplicate key in object 'dbo.T'. The "
      "duplicate key value is (0).";
  EXPECT_EQ(Failure(duplicate + "\nINSERT INTO T VALUES (1)\nINSERT INTO T VALUES (2)"), duplicate_text);
  EXPECT_EQ(Failure("INSERT INTO T VALUES (3)\n" + duplicate + "\nINSERT INTO T VALUES (4)"), duplicate_text);
  EXPECT_EQ(Failure("INSERT INTO T VALUES (5)\nINSERT INTO T VALUES (6)\n" + duplicate), duplicate_text);
  // Of several errors the first is reported.
  EXPECT_EQ(Failure(duplicate + "\nINSERT INTO Nirgends VALUES (0)"), duplicate_text);
  EXPECT_EQ(Failure("INSERT INTO T VALUES (7)\nINSERT INTO Nirgends VALUES (0)\nINSERT INTO T VALUES (8)"),
            "208: Invalid object name 'Nirgends'.");
  db::Query query(connection_);
  query.set_text("SELECT Nr FROM T ORDER BY Nr");
  query.Open();
  EXPECT_EQ(Rows(query, {"Nr"}), "0\n1\n2\n3\n4\n5\n6\n7\n");
}

// Names and data with quotes, semicolons, braces and umlauts go through unchanged, in statements and in the
// values of a Dataset, which travel as bound parameters.
TEST_F(OdbcProvider, QuotesSemicolonsAndUmlautsInNamesAndDataArriveIntact) {
  Execute(
      "CREATE TABLE [Mitglieds'daten; {Ä}] ([Näme; x] nvarchar(60) NULL, [Ort's] varchar(60) NULL, "
      "[Nr] bigint NULL, [Betrag] float NULL, [Am] datetime NULL, [Saldo] numeric(12,2) NULL)");
  Execute(
      "INSERT INTO [Mitglieds'daten; {Ä}] ([Näme; x], [Ort's]) VALUES (N'O''Brien; {Jürgen} = 😀', 'Köln; ''Süd''')");
  db::Dataset dataset(connection_, "Mitglieds'daten; {Ä}");
  dataset.Append();
  dataset.Set("Näme; x", "D'Angelo; }{ = Ærø 😀");
  dataset.Set("Ort's", "Düsseldorf '; DROP TABLE x; --");
  dataset.Set("Nr", int64_t{2'147'483'648});
  dataset.Set("Betrag", 0.1);
  dataset.Set("Am", db::Value::Date({41323LL * 86'400'000 + 32'700'003}));
  dataset.Set("Saldo", db::Value::Dec(-1050, 2));
  dataset.Post();
  dataset.Append();
  dataset.Set("Nr", 3);
  dataset.Set("Näme; x", nullptr);
  dataset.Set("Ort's", "");
  dataset.Post();

  db::Query query(connection_);
  query.set_text("SELECT * FROM [Mitglieds'daten; {Ä}] ORDER BY [Nr]");
  query.Open();
  EXPECT_EQ(Rows(query, {"Näme; x", "Ort's", "Nr", "Betrag", "Am", "Saldo"}),
            "O'Brien; {Jürgen} = 😀|Köln; 'Süd'|NULL|NULL|NULL|NULL\n"
            "NULL||3|NULL|NULL|NULL\n"
            "D'Angelo; }{ = Ærø 😀|Düsseldorf '; DROP TABLE x; --|2147483648|0.1|2013-02-20 09:05:00.003|-10.50\n");
  // The server saw the row's values as parameters, not in the text.
  EXPECT_NE(server_.TraceLog().find("INSERT INTO [Mitglieds'daten; {Ä}] ([Näme; x], [Ort's], [Nr], [Betrag], [Am], "
                                    "[Saldo]) VALUES (@P1, @P2, @P3, @P4, @P5, @P6)"),
            std::string::npos)
      << server_.TraceLog();
}

}  // namespace
