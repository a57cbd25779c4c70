// The layer's own values: their texts, values read back from a server's text (as the ODBC provider gets every
// field), column lookup and the two INSERT texts of a row.
#include <gtest/gtest.h>

#include <string>

#include "db/rows.h"
#include "db/value.h"

namespace {

using Kind = db::Value::Kind;

// kind|text|number as the layer above would read them, or "none" when the text does not read as the kind.
std::string Read(Kind kind, const std::string& text) {
  const std::optional<db::Value> value = db::ValueFromText(kind, text);
  if (!value) return "none";
  return std::to_string(static_cast<int>(value->kind())) + "|" + value->ToString() + "|" +
         std::to_string(value->kind() == Kind::kInteger ? static_cast<double>(value->as_int()) : value->as_float());
}

TEST(LayerValue, TextsOfTheFactories) {
  EXPECT_EQ(db::Value().ToString(), "NULL");
  EXPECT_EQ(db::Value().text(), "");
  EXPECT_EQ(db::Value::Int(-9'223'372'036'854'775'807 - 1).ToString(), "-9223372036854775808");
  EXPECT_EQ(db::Value::Float(0.1).ToString(), "0.1");
  EXPECT_EQ(db::Value::Dec(-5, 2).ToString(), "-0.05");
  EXPECT_EQ(db::Value::Dec(1050, 2).ToString(), "10.50");
  EXPECT_DOUBLE_EQ(db::Value::Dec(1050, 2).as_float(), 10.5);
  EXPECT_EQ(db::Value::Dec(7, 0).ToString(), "7");
  EXPECT_EQ(db::Value::Date({0}).ToString(), "1900-01-01 00:00:00.000");
  // Before 1900 the time of day stays positive.
  EXPECT_EQ(db::Value::Date({-1}).ToString(), "1899-12-31 23:59:59.999");
  EXPECT_EQ(db::Value::Date({-53'690LL * 86'400'000}).ToString(), "1753-01-01 00:00:00.000");
  // As client programs see a datetime: days since 1899-12-30.
  EXPECT_DOUBLE_EQ(db::Value::Date({86'400'000 / 2}).as_float(), 2.5);
  EXPECT_EQ(db::Value::Float(1.25, "1.2500000000000000").ToString(), "1.2500000000000000");
}

TEST(LayerValue, ServerTextsReadBackAsTheirKind) {
  EXPECT_EQ(Read(Kind::kInteger, "-42"), "2|-42|-42.000000");
  EXPECT_EQ(Read(Kind::kInteger, "1.5"), "none");
  EXPECT_EQ(Read(Kind::kInteger, ""), "none");
  EXPECT_EQ(Read(Kind::kFloat, "1e-3"), "3|1e-3|0.001000");
  EXPECT_EQ(Read(Kind::kDecimal, "-3.00"), "4|-3.00|-3.000000");
  EXPECT_EQ(Read(Kind::kDecimal, ".50"), "4|.50|0.500000");
  EXPECT_EQ(Read(Kind::kDecimal, "12.3.4"), "none");
  // numeric(38) beyond 64 bits of units is still a number, if not an exact one.
  EXPECT_EQ(Read(Kind::kDecimal, "12345678901234567890.5"), "3|12345678901234567890.5|12345678901234567168.000000");
  EXPECT_EQ(Read(Kind::kDateTime, "2013-02-20 09:05:00.000"), "5|2013-02-20 09:05:00.000|41325.378472");
  EXPECT_EQ(Read(Kind::kDateTime, "2013-02-20 09:05:00"), "5|2013-02-20 09:05:00|41325.378472");
  EXPECT_EQ(Read(Kind::kDateTime, "2013-02-30 09:05:00"), "none");
  EXPECT_EQ(Read(Kind::kDateTime, "2013-02-20"), "none");
  EXPECT_EQ(db::ValueFromText(Kind::kDateTime, "2013-02-20 09:05:00.007")->as_datetime().ms,
            41323LL * 86'400'000 + 32'700'007);
  EXPECT_EQ(Read(Kind::kText, "  Müller  "), "1|  Müller  |0.000000");
}

TEST(LayerValue, ColumnsAreFoundWithoutCaseAndTrailingBlanks) {
  db::RowSet rows;
  rows.columns = {"AdrNr", "", "MaxBr  ", "adrnr"};
  EXPECT_EQ(rows.Find("ADRNR"), 0u);
  EXPECT_EQ(rows.Find("maxbr"), 2u);
  EXPECT_EQ(rows.Find("MaxBr "), 2u);
  EXPECT_EQ(rows.Find("Max"), std::nullopt);
  EXPECT_EQ(rows.Find(""), 1u);
}

TEST(LayerValue, InsertTextsNameEveryColumnOnce) {
  db::RowInsert row;
  row.table = "Adr]Sepa";
  EXPECT_EQ(db::LiteralInsertText(row), "INSERT INTO [Adr]]Sepa] DEFAULT VALUES");
  EXPECT_EQ(db::ParameterInsertText(row), "INSERT INTO [Adr]]Sepa] DEFAULT VALUES");
  row.values = {{"AdrNr", db::Value::Int(7)}, {"Name", db::Value::Text("O'Neil; }")}, {"Leer", db::Value()}};
  EXPECT_EQ(db::LiteralInsertText(row),
            "INSERT INTO [Adr]]Sepa] ([AdrNr], [Name], [Leer]) VALUES (7, N'O''Neil; }', NULL)");
  EXPECT_EQ(db::ParameterInsertText(row), "INSERT INTO [Adr]]Sepa] ([AdrNr], [Name], [Leer]) VALUES (?, ?, ?)");
}

}  // namespace
