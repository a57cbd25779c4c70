// DatabaseAccess on clubiqa-sqlserverd through the ODBC provider: the connection error boxes with SQL Server's
// texts, logins whose passwords need escaping, what the server sees of a session, and a server that goes away.
#include <gtest/gtest.h>

#include <string>

#include "db/command.h"
#include "db/database_access.h"
#include "db/error.h"
#include "db/query.h"
#include "odbc_test_server.h"
#include "ui/recording_ui.h"

namespace {

using db_test::TdsServer;

std::string ErrorBox(const std::string& catalog, const std::string& failure) {
  return "box Fehler: False parameters for database connection.\nUnable to connect to database '" + catalog + "'.\n\n" +
         failure + "\n";
}

// The client databases that qryMand lists, one per line.
std::string Listing(db::DatabaseAccess& access) {
  std::string names;
  db::Query& listing = access.qryMand();
  listing.Open();
  for (; !listing.eof(); listing.Next()) names += listing.AsString("name") + "\n";
  listing.Close();
  return names;
}

class OdbcAccess : public ::testing::Test {
 protected:
  void SetUp() override { CLUBIQA_SKIP_WITHOUT_ODBC_SERVER(); }

  // Everything a person or a log could see of a run: boxes, the server's log and its batch trace.
  static std::string Seen(const TdsServer& server, const ui::RecordingUi& ui) {
    return ui.Log() + server.ServerLog() + server.TraceLog();
  }
};

TEST_F(OdbcAccess, OpensListsAndSwitchesLikeTheEmbeddedServer) {
  TdsServer server;
  server.CreateDatabase("Zentix");
  server.CreateDatabase("ZENTIX001");
  server.CreateDatabase("ZENTIXTMP1");
  server.Start();
  server.WriteOdbcSettings();
  ui::RecordingUi ui;
  db::DatabaseAccess access(ui, server.base_dir());
  access.pConn("Zentix");
  EXPECT_TRUE(access.ADOConnectionMand().connected());
  EXPECT_EQ(Listing(access), "Zentix\nZENTIX001\n");
  access.MandantChange("ZENTIX001");
  ASSERT_TRUE(access.ADOConnection().connected());
  db::Query query(access.ADOConnection());
  query.set_text("SELECT DB_NAME() AS name");
  query.Open();
  EXPECT_EQ(query.AsString("name"), "ZENTIX001");
  EXPECT_EQ(ui.Log(), "");
}

// The session starts with the options of an OLE DB connection, in one batch; a batch goes to the server behind a
// statement that cannot fail, on the same line, so that the trace shows the text as it was written.
TEST_F(OdbcAccess, TheServerSeesTheSessionOptionsAndEachBatchAsWritten) {
  TdsServer server;
  server.CreateDatabase("ZENTIX001");
  server.Start();
  db::Connection connection;
  server.OpenOn(connection, "ZENTIX001");
  db::Command command(connection);
  command.ExecuteLines({"CREATE TABLE T (a int)", "INSERT INTO T VALUES (1)"});
  EXPECT_EQ(server.TraceLog(),
            "ZENTIX001: SELECT 0;SET ANSI_NULLS ON; SET ANSI_PADDING ON; SET ANSI_WARNINGS ON; SET ANSI_NULL_DFLT_ON "
            "ON; SET CONCAT_NULL_YIELDS_NULL ON; SET QUOTED_IDENTIFIER ON -> rows 1\n"
            "ZENTIX001: SELECT 0;CREATE TABLE T (a int)<CR><LF>INSERT INTO T VALUES (1)<CR><LF> -> rows 2\n");
}

TEST_F(OdbcAccess, UnreachableServerShowsTheErrorBoxAndLeavesTheConnectionClosed) {
  TdsServer server;
  server.Start();
  server.WriteOdbcSettings();
  server.Stop();  // nothing listens on its port any more
  ui::RecordingUi ui;
  db::DatabaseAccess access(ui, server.base_dir());
  access.pConn("Zentix");
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].kind, ui::BoxKind::kError);
  std::string box = ErrorBox("Zentix", "Unable to connect");
  box.pop_back();  // the driver's text goes on
  EXPECT_TRUE(ui.Log().starts_with(box)) << ui.Log();
  EXPECT_EQ(ui.Log().find('['), std::string::npos) << ui.Log();  // no driver prefixes
  EXPECT_FALSE(access.ADOConnectionMand().connected());
  EXPECT_THROW(Listing(access), db::Error);
}

TEST_F(OdbcAccess, WrongPasswordShowsSqlServersTextAndNeverThePassword) {
  TdsServer server("zentix", "richtig");
  server.CreateDatabase("Zentix");
  server.Start();
  server.WriteOdbcSettings("zentix", "Falsch;Geheim}=1");
  ui::RecordingUi ui;
  db::DatabaseAccess access(ui, server.base_dir());
  access.pConn("Zentix");
  EXPECT_EQ(ui.Log(), ErrorBox("Zentix", "Login failed for user 'zentix'."));
  EXPECT_FALSE(access.ADOConnectionMand().connected());
  try {
    Listing(access);
    FAIL() << "listed without a login";
  } catch (const db::Error& e) {
    EXPECT_EQ(e.number(), 18456);
    EXPECT_STREQ(e.what(), "Login failed for user 'zentix'.");
  }
  EXPECT_EQ(Seen(server, ui).find("Falsch"), std::string::npos) << Seen(server, ui);
  EXPECT_EQ(Seen(server, ui).find("Geheim"), std::string::npos) << Seen(server, ui);
}

TEST_F(OdbcAccess, MissingDatabaseShowsSqlServersText) {
  TdsServer server;
  server.CreateDatabase("Zentix");
  server.Start();
  server.WriteOdbcSettings();
  ui::RecordingUi ui;
  db::DatabaseAccess access(ui, server.base_dir());
  access.MandantChange("ZENTIX'GONE");
  EXPECT_EQ(ui.Log(),
            ErrorBox("ZENTIX''GONE", "Cannot open database \"ZENTIX'GONE\" requested by the login. The login failed."));
  EXPECT_FALSE(access.ADOConnection().connected());
}

// A password with every character that the connection string syntax uses reaches the server intact.
TEST_F(OdbcAccess, APasswordWithSemicolonBraceAndEqualsSignLogsOn) {
  for (const std::string password : {"p;a}s=s", "}{;=", " rand "}) {
    TdsServer server("zentix", password);
    server.CreateDatabase("Zentix");
    server.Start();
    server.WriteOdbcSettings("zentix", password);
    ui::RecordingUi ui;
    db::DatabaseAccess access(ui, server.base_dir());
    access.pConn("Zentix");
    EXPECT_EQ(ui.Log(), "") << password;
    EXPECT_EQ(Listing(access), "Zentix\n") << password;
  }
}

// FreeTDS cannot be given a value with "};": the box says so without showing the password, and nothing reaches
// the server.
TEST_F(OdbcAccess, APasswordFreeTdsCannotTakeIsRefusedWithoutShowingIt) {
  TdsServer server("zentix", "ab};cd");
  server.CreateDatabase("Zentix");
  server.Start();
  server.WriteOdbcSettings("zentix", "ab};cd");
  ui::RecordingUi ui;
  db::DatabaseAccess access(ui, server.base_dir());
  access.pConn("Zentix");
  EXPECT_EQ(ui.Log(), ErrorBox("Zentix",
                               "The value of 'PWD' contains \"};\", which the FreeTDS driver cannot be given; change "
                               "it or use another driver."));
  EXPECT_EQ(server.TraceLog(), "");
}

// A server that goes away between two statements: the first stays done, the second fails with the driver's
// report of the lost link, and the connection no longer counts as open.
TEST_F(OdbcAccess, AServerThatGoesAwayFailsTheNextStatementAndClosesTheConnection) {
  TdsServer server;
  server.CreateDatabase("ZENTIX001");
  server.Start();
  db::Connection connection;
  server.OpenOn(connection, "ZENTIX001");
  db::Command command(connection);
  command.set_text("CREATE TABLE T (a int)");
  command.Execute();
  server.Kill();
  command.set_text("INSERT INTO T VALUES (1)");
  try {
    command.Execute();
    FAIL() << "ran on a server that is gone";
  } catch (const db::Error& e) {
    EXPECT_EQ(std::to_string(e.number()) + ": " + e.what(), "0: Communication link failure");
  }
  EXPECT_FALSE(connection.connected());
  EXPECT_EQ(server.TraceLog(),
            "ZENTIX001: SELECT 0;SET ANSI_NULLS ON; SET ANSI_PADDING ON; SET ANSI_WARNINGS ON; SET ANSI_NULL_DFLT_ON "
            "ON; SET CONCAT_NULL_YIELDS_NULL ON; SET QUOTED_IDENTIFIER ON -> rows 1\n"
            "ZENTIX001: SELECT 0;CREATE TABLE T (a int) -> rows 1\n");
}

}  // namespace
