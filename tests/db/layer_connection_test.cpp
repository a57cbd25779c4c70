// Opening connections on an embedded server: provider choice, the failures a user sees in the connection
// error box, and re-opening a closed connection.
#include <gtest/gtest.h>

#include <string>

#include "db/command.h"
#include "db/connection.h"
#include "db/query.h"
#include "layer_test_server.h"

namespace {

using db_test::TestServer;

// The failure that opening `connection` reports, as text and number.
std::string OpenFailure(db::Connection& connection, const std::filesystem::path& base_dir) {
  try {
    connection.Open(base_dir);
  } catch (const db::Error& e) {
    return std::to_string(e.number()) + ": " + e.what();
  }
  return "opened";
}

TEST(LayerConnection, OpensExistingDatabaseOnRelativeDataSource) {
  TestServer server;
  server.CreateDatabase("Zentix");
  db::Connection connection;
  connection.set_connection_string(TestServer::ConnectionString("Zentix"));
  EXPECT_FALSE(connection.connected());
  connection.Open(server.base_dir());
  EXPECT_TRUE(connection.connected());
  EXPECT_EQ(connection.connection_string(), TestServer::ConnectionString("Zentix"));
  db::Query query(connection);
  query.set_text("SELECT DB_NAME() AS name");
  query.Open();
  EXPECT_EQ(query.AsString("NAME"), "Zentix");
  connection.Close();
  EXPECT_FALSE(connection.connected());
}

TEST(LayerConnection, ProviderNameIgnoresCase) {
  TestServer server;
  db::Connection connection;
  connection.set_connection_string(TestServer::ConnectionString("master", "clubiqa.EMBEDDED"));
  EXPECT_EQ(OpenFailure(connection, server.base_dir()), "opened");
}

TEST(LayerConnection, MissingDatabaseFailsWithLoginText) {
  TestServer server;
  db::Connection connection;
  connection.set_connection_string(TestServer::ConnectionString("ZentixGone"));
  EXPECT_EQ(OpenFailure(connection, server.base_dir()),
            "4060: Cannot open database \"ZentixGone\" requested by the login. The login failed.");
  EXPECT_FALSE(connection.connected());
}

TEST(LayerConnection, MissingServerDirectoryFails) {
  TestServer server;
  db::Connection connection;
  connection.set_connection_string(TestServer::ConnectionString("master"));
  EXPECT_THROW(connection.Open(server.base_dir() / "elsewhere"), db::Error);
  EXPECT_FALSE(connection.connected());
  EXPECT_FALSE(std::filesystem::exists(server.base_dir() / "elsewhere" / "server"));
}

TEST(LayerConnection, RejectedLoginFails) {
  TestServer server;
  server.AddLogin("zentix", "secret");
  db::Connection connection;
  connection.set_connection_string(TestServer::ConnectionString("master", db::kEmbeddedProvider, "zentix", "wrong"));
  EXPECT_EQ(OpenFailure(connection, server.base_dir()), "18456: Login failed for user 'zentix'.");
  connection.set_connection_string(TestServer::ConnectionString("master", db::kEmbeddedProvider, "zentix", "secret"));
  EXPECT_EQ(OpenFailure(connection, server.base_dir()), "opened");
}

// The SQL Server names open the ODBC provider (which here fails on a driver that is not installed, with the
// driver manager's text and nothing in front of it), or fail at once in a build without ODBC.
TEST(LayerConnection, SqlServerProvidersAreReservedForOdbc) {
  TestServer server;
  db::ProviderOptions options;
  options.odbc_driver = "Clubiqa No Such Driver";
  for (const char* provider : {"SQLOLEDB", "SQLOLEDB.1", "SQLNCLI11", "MSOLEDBSQL19", "sqloledb"}) {
    db::Connection connection;
    connection.set_connection_string(TestServer::ConnectionString("master", provider));
    connection.set_provider_options(options);
    EXPECT_EQ(OpenFailure(connection, server.base_dir()),
              db::SqlServerProviderAvailable()
                  ? "0: Can't open lib 'Clubiqa No Such Driver' : file not found"
                  : "0: The SQL Server provider '" + std::string(provider) + "' is not available in this build.");
  }
}

TEST(LayerConnection, UnknownProviderIsNotRegistered) {
  TestServer server;
  db::Connection connection;
  connection.set_connection_string(TestServer::ConnectionString("master", "ERROR"));
  EXPECT_EQ(OpenFailure(connection, server.base_dir()), "0: Provider 'ERROR' is not registered on this machine.");
}

TEST(LayerConnection, ClosedConnectionReopensOnNextQuery) {
  TestServer server;
  server.CreateDatabase("Zentix");
  db::Connection connection;
  db_test::OpenOn(connection, server, "Zentix");
  db::Command command(connection);
  command.set_text("SET DATEFORMAT ymd");
  command.Execute();
  connection.Close();
  db::Query query(connection);
  query.set_text("SELECT DB_NAME() AS name");
  query.Open();
  EXPECT_TRUE(connection.connected());
  EXPECT_EQ(query.AsString("name"), "Zentix");
}

TEST(LayerConnection, FailedReopenIsTheQueryFailure) {
  TestServer server;
  db::Connection connection;
  connection.set_connection_string(TestServer::ConnectionString("Zentix404"));
  EXPECT_THROW(connection.Open(server.base_dir()), db::Error);
  db::Query query(connection);
  query.set_text("SELECT 1 AS one");
  try {
    query.Open();
    ADD_FAILURE() << "query on a connection that cannot open ran";
  } catch (const db::Error& e) {
    EXPECT_EQ(e.number(), 4060);
  }
  EXPECT_FALSE(query.active());
  server.CreateDatabase("Zentix404");
  query.Open();
  EXPECT_TRUE(connection.connected());
  EXPECT_EQ(query.AsInt("one"), 1);
}

}  // namespace
