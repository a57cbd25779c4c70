// The server through the ODBC API (unixODBC with the FreeTDS driver, wide functions): errors of
// a batch's first, middle and last statement, bound parameters (sp_executesql), prepared
// statements, every type read back as clubiqa-sqlcmd prints it, SET NOCOUNT ON, USE, a long
// result over many packets, two connections at once and logins.
#include <gtest/gtest.h>

#include "engine/engine.h"
#include "odbc_client.h"
#include "test_support.h"

namespace tds {
namespace {

using odbc::Connection;
using odbc::Item;
using odbc::Param;

class OdbcTest : public ::testing::Test {
 protected:
  std::unique_ptr<Connection> Connect(const std::string& db = "shop") {
    return std::make_unique<Connection>(odbc::ConnectionString(server_.port(), "sa", "x", db));
  }
  std::string Run(Connection& c, const std::string& sql, const std::vector<Param>& params = {}) {
    return Connection::Render(c.Execute(sql, params));
  }

  test::TestServer server_;
};

TEST_F(OdbcTest, ErrorsOfTheFirstMiddleAndLastStatement) {
  auto c = Connect();
  Run(*c, "CREATE TABLE k (id int NOT NULL PRIMARY KEY) INSERT INTO k VALUES (1)");
  std::string middle = Run(*c, "INSERT INTO k VALUES (2) INSERT INTO k VALUES (1) INSERT INTO k VALUES (3)");
  EXPECT_TRUE(middle.starts_with("count 1\nerror 2627: Violation of PRIMARY KEY constraint")) << middle;
  EXPECT_TRUE(middle.ends_with("info 3621: The statement has been terminated.\ncount 1\n")) << middle;

  std::string last = Run(*c, "SELECT COUNT(*) AS n FROM k INSERT INTO k VALUES (1)");
  EXPECT_TRUE(last.starts_with("n\n3\nerror 2627: ")) << last;

  // A failing first statement fails SQLExecDirectW itself; the driver manager then ends the batch.
  std::string first = Run(*c, "INSERT INTO k VALUES (1) SELECT 1 AS x");
  EXPECT_TRUE(first.starts_with("error 2627: ")) << first;
  EXPECT_EQ(Run(*c, "SELECT * FROM fehlt"), "error 208: Invalid object name 'fehlt'.\n");
}

TEST_F(OdbcTest, BoundParametersTravelThroughSpExecuteSql) {
  auto c = Connect();
  Run(*c, "CREATE TABLE p (id int NOT NULL, name nvarchar(20) NULL)");
  EXPECT_EQ(Run(*c, "INSERT INTO p VALUES (?, ?)", {{Param::Kind::kInt, 7, ""}, {Param::Kind::kText, 0, "Grüße😀"}}),
            "count 1\n");
  EXPECT_EQ(Run(*c, "INSERT INTO p VALUES (?, ?)", {{Param::Kind::kInt, 8, ""}, {Param::Kind::kNull, 0, ""}}),
            "count 1\n");
  EXPECT_EQ(Run(*c, "SELECT name FROM p WHERE id = ?", {{Param::Kind::kInt, 7, ""}}), "name\nGrüße😀\n");
  EXPECT_EQ(Run(*c, "SELECT id FROM p WHERE name IS NULL AND id > ?", {{Param::Kind::kInt, 1, ""}}), "id\n8\n");
}

TEST_F(OdbcTest, APreparedStatementRunsTwice) {
  auto c = Connect();
  auto runs =
      c->PrepareAndExecute("SELECT ? * 2 AS doppelt", {{{Param::Kind::kInt, 21, ""}}, {{Param::Kind::kInt, 5, ""}}});
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(Connection::Render(runs[0]), "doppelt\n42\n");
  EXPECT_EQ(Connection::Render(runs[1]), "doppelt\n10\n");
}

TEST_F(OdbcTest, EveryTypeReadsBackAsTheEnginePrintsIt) {
  const std::string create =
      "CREATE TABLE v (a bit, b tinyint, c smallint, d int, e bigint, f numeric(10,2), g decimal(18,4), h money, "
      "i smallmoney, j real, k float, l char(5), m varchar(20), n varchar(max), o text, p nchar(3), q nvarchar(20), "
      "r nvarchar(max), s ntext, t datetime, u smalldatetime, w uniqueidentifier)";
  const std::string insert =
      "INSERT INTO v VALUES (1, 255, -32768, -2147483648, 1234567890123, -12345678.91, 0.5, "
      "123456789.1234, -2.3648, 0.1, 0.1, 'Müll', 'Straße €', REPLICATE('x', 9000), 'Text ä', N'ü', "
      "N'Grüße 😀', N'Ω', N'ntext ö', '31.12.9999 23:59:59.997', '20.02.2013 09:05', "
      "'6F9619FF-8B86-D011-B42D-00C04FC964FF') "
      "INSERT INTO v VALUES (0, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
      "NULL, NULL, NULL, NULL, '01.01.1753', NULL, NULL)";
  const std::string select = "SELECT * FROM v ORDER BY a DESC";
  auto c = Connect();
  ASSERT_EQ(Run(*c, create + " " + insert), "count 1\ncount 1\n");
  std::vector<Item> items = c->Execute(select);
  ASSERT_EQ(items.size(), 1u);

  engine::OpenOptions open;
  open.data_source = server_.dir();
  open.initial_catalog = "shop";
  engine::BatchResult local = engine::Session::Open(open)->ExecuteOrThrow(select);
  const engine::ResultSet& rows = *local.FirstRows();
  ASSERT_EQ(items[0].rows.size(), rows.rows.size());
  for (size_t r = 0; r < rows.rows.size(); ++r) {
    for (size_t col = 0; col < rows.columns.size(); ++col) {
      EXPECT_EQ(items[0].rows[r][col].value_or("NULL"), rows.rows[r][col].ToString())
          << "column " << rows.columns[col].name;
    }
  }
}

TEST_F(OdbcTest, NocountLeavesOnlyTheRows) {
  auto c = Connect();
  Run(*c, "CREATE TABLE z (x int)");
  EXPECT_EQ(Run(*c, "INSERT INTO z VALUES (1) SELECT x FROM z"), "count 1\nx\n1\n");
  EXPECT_EQ(Run(*c, "SET NOCOUNT ON INSERT INTO z VALUES (2) SELECT COUNT(*) AS n FROM z"), "n\n2\n");
}

TEST_F(OdbcTest, UseSwitchesTheDatabase) {
  auto c = Connect();
  EXPECT_EQ(Run(*c, "SELECT DB_NAME() AS db"), "db\nshop\n");
  Run(*c, "USE master");
  EXPECT_EQ(Run(*c, "SELECT DB_NAME() AS db"), "db\nmaster\n");
}

TEST_F(OdbcTest, ALongResultSpansManyPackets) {
  auto c = Connect();
  Run(*c, "CREATE TABLE l (id int NOT NULL, t varchar(100) NULL)");
  std::string insert;
  for (int i = 0; i < 3000; ++i) insert += "INSERT INTO l VALUES (" + std::to_string(i) + ", REPLICATE('y', 90))\n";
  Run(*c, "SET NOCOUNT ON\n" + insert);
  std::vector<Item> items = c->Execute("SELECT id, t FROM l ORDER BY id");
  ASSERT_EQ(items.size(), 1u);
  ASSERT_EQ(items[0].rows.size(), 3000u);
  EXPECT_EQ(items[0].rows[2999][0], "2999");
  EXPECT_EQ(items[0].rows[1234][1], std::string(90, 'y'));
}

TEST_F(OdbcTest, TwoConnectionsAtOnce) {
  auto a = Connect();
  auto b = Connect();
  Run(*a, "CREATE TABLE s (x int)");
  Run(*b, "INSERT INTO s VALUES (5)");
  EXPECT_EQ(Run(*a, "SELECT x FROM s"), "x\n5\n");
  EXPECT_EQ(Run(*b, "SELECT COUNT(*) AS n FROM s"), "n\n1\n");
}

TEST(OdbcLogin, AWrongPasswordIsLoginFailed18456) {
  test::TestServer server("[Logins]\nsa=geheim\n");
  try {
    Connection c(odbc::ConnectionString(server.port(), "sa", "falsch", "shop"));
    FAIL() << "connected with a wrong password";
  } catch (const odbc::Error& e) {
    EXPECT_EQ(e.number(), 18456);
    EXPECT_EQ(std::string(e.what()), "Login failed for user 'sa'.");
  }
  Connection ok(odbc::ConnectionString(server.port(), "sa", "geheim", "shop"));
  EXPECT_EQ(Connection::Render(ok.Execute("SELECT 1 AS one")), "one\n1\n");
}

}  // namespace
}  // namespace tds
