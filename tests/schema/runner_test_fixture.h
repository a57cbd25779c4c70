// A StatementRunner on a client connection to the scratch client database ZENTIX001, with the engine's batch
// trace on, so that tests see both what the user was shown (RecordingUi) and what reached the server.
#ifndef CLUBIQA_TESTS_SCHEMA_RUNNER_TEST_FIXTURE_H_
#define CLUBIQA_TESTS_SCHEMA_RUNNER_TEST_FIXTURE_H_

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "db/access_test_support.h"
#include "db/connection.h"
#include "db/error.h"
#include "db/query.h"
#include "schema/statement_runner.h"
#include "ui/recording_ui.h"

namespace schema_test {

class RunnerTest : public ::testing::Test {
 protected:
  RunnerTest() {
    server_.CreateDatabase("ZENTIX001");
    db_test::OpenOn(connection_, server_, "ZENTIX001");
  }

  // Runs `batch` on ZENTIX001 behind the runner's back (the administrator's session, not traced).
  void Setup(std::string_view batch) {
    server_.Admin("USE ZENTIX001");
    server_.Admin(batch);
  }

  // The first column of the first row of `select`, read on a connection of its own. That connection is traced
  // too: compare the trace before calling this.
  std::string Scalar(std::string_view select) {
    db::Connection connection;
    db_test::OpenOn(connection, server_, "ZENTIX001");
    db::Query query(connection);
    query.set_text("SELECT (" + std::string(select) + ") AS v");
    query.Open();
    return query.AsString("v");
  }

  // The failure of `action` as "<number>: <text>", or "no failure".
  template <typename Action>
  static std::string Failure(Action action) {
    try {
      action();
    } catch (const db::Error& e) {
      return std::to_string(e.number()) + ": " + e.what();
    }
    return "no failure";
  }

  // Points the runner's connection at a database that does not exist and closes it, as after a failed switch.
  void LoseConnection() {
    connection_.Close();
    connection_.set_connection_string(db_test::TestServer::ConnectionString("ZENTIX404"));
  }

  db_test::AccessServer server_;
  db::Connection connection_;
  ui::RecordingUi ui_;
  schema::StatementRunner runner_{connection_, ui_};
};

// The failure text of the embedded server when the runner's connection lost its database.
inline constexpr std::string_view kLostText =
    "Cannot open database \"ZENTIX404\" requested by the login. The login failed.";

}  // namespace schema_test

#endif  // CLUBIQA_TESTS_SCHEMA_RUNNER_TEST_FIXTURE_H_
