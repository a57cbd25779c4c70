// Commands: single statements, batches whose failure anywhere is reported, and texts sent as lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/command.h"
#include "db/connection.h"
#include "db/query.h"
#include "layer_test_server.h"

namespace {

using db_test::TestServer;

class LayerCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.CreateDatabase("Zentix");
    db_test::OpenOn(connection_, server_, "Zentix");
  }

  int64_t Count(const std::string& table) {
    db::Query query(connection_);
    query.set_text("SELECT COUNT(*) AS n FROM " + table);
    query.Open();
    return query.AsInt("n");
  }

  TestServer server_;
  db::Connection connection_;
};

TEST_F(LayerCommand, ExecutesStatement) {
  db::Command command(connection_);
  command.set_text("CREATE TABLE T (A int)");
  EXPECT_EQ(command.text(), "CREATE TABLE T (A int)");
  command.Execute();
  EXPECT_EQ(Count("T"), 0);
}

TEST_F(LayerCommand, FailureInTheMiddleOfBatchIsReported) {
  db::Command command(connection_);
  command.set_text(
      "CREATE TABLE T (A int NOT NULL)\n"
      "INSERT INTO T VALUES (1)\n"
      "INSERT INTO T VALUES (NULL)\n"
      "INSERT INTO T VALUES (3)\n");
  try {
    command.Execute();
    ADD_FAILURE() << "the failing batch reported nothing";
  } catch (const db::Error& e) {
    EXPECT_EQ(e.number(), 515);
    EXPECT_STREQ(e.what(),
                 "Cannot insert the value NULL into column 'A', table 'Zentix.dbo.T'; column does not allow nulls. "
                 "INSERT fails.");
  }
  // A statement-level error leaves the rest of the batch running, as on the server.
  EXPECT_EQ(Count("T"), 2);
}

TEST_F(LayerCommand, ExecuteLinesSendsOneTextWithCrLf) {
  db::Command command(connection_);
  command.ExecuteLines({"CREATE TABLE T (A int)", "INSERT INTO T VALUES (1)", "INSERT INTO T VALUES (2)"});
  EXPECT_EQ(command.text(), "CREATE TABLE T (A int)\r\nINSERT INTO T VALUES (1)\r\nINSERT INTO T VALUES (2)\r\n");
  EXPECT_EQ(Count("T"), 2);
}

TEST_F(LayerCommand, ReopensClosedConnection) {
  connection_.Close();
  db::Command command(connection_);
  command.set_text("CREATE TABLE T (A int)");
  command.Execute();
  EXPECT_TRUE(connection_.connected());
  EXPECT_EQ(Count("T"), 0);
}

}  // namespace
