// A scratch embedded server for the database layer tests: a temporary directory standing for the
// executable's directory, with the server directory "server" inside it, so that connection strings can name
// it relatively as SysDBAdo.INI does.
#ifndef CLUBIQA_TESTS_DB_LAYER_TEST_SERVER_H_
#define CLUBIQA_TESTS_DB_LAYER_TEST_SERVER_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "db/connection_items.h"
#include "engine/engine.h"

namespace db_test {

inline constexpr std::string_view kServerDir = "server";

class TestServer {
 public:
  TestServer() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && base_dir_.empty(); ++attempt) {
      auto candidate = std::filesystem::temp_directory_path() / ("clubiqa-db-layer-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate)) base_dir_ = candidate;
    }
    if (base_dir_.empty()) throw std::runtime_error("cannot create a scratch directory");
    engine::OpenOptions options;
    options.data_source = base_dir_ / kServerDir;
    options.create_server = true;
    admin_ = engine::Session::Open(options);
  }
  ~TestServer() {
    admin_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(base_dir_, ignored);
  }
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  const std::filesystem::path& base_dir() const { return base_dir_; }

  // Runs `batch` on master as the server's administrator; fails the test on an error.
  void Admin(std::string_view batch) {
    engine::BatchResult result = admin_->Execute(batch);
    if (const engine::Message* error = result.FirstError()) ADD_FAILURE() << batch << ": " << error->text;
  }

  void CreateDatabase(std::string_view name) { Admin("CREATE DATABASE [" + std::string(name) + "]"); }

  // Turns on login checking with one login.
  void AddLogin(std::string_view name, std::string_view password) {
    std::ofstream(base_dir_ / kServerDir / "server.ini") << "[Logins]\n" << name << "=" << password << "\n";
  }

  // The client connection string of the upgrader, with the server directory named relatively.
  static std::string ConnectionString(std::string_view catalog, std::string_view provider = db::kEmbeddedProvider,
                                      std::string_view user = "", std::string_view password = "") {
    db::ConnectionSettings settings;
    settings.provider = provider;
    settings.user_id = user;
    settings.password = password;
    settings.persist_security_info = "False";
    settings.data_source = kServerDir;
    return db::JoinItems(db::ClientConnectionItems(settings, "", catalog));
  }

 private:
  std::filesystem::path base_dir_;
  std::unique_ptr<engine::Session> admin_;
};

// A connection opened on `catalog` of `server`.
inline void OpenOn(db::Connection& connection, const TestServer& server, std::string_view catalog) {
  connection.set_connection_string(TestServer::ConnectionString(catalog));
  connection.Open(server.base_dir());
}

}  // namespace db_test

#endif  // CLUBIQA_TESTS_DB_LAYER_TEST_SERVER_H_
