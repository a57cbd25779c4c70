// The in-process transport of the SQL logic tests: one engine::Session per connection.
#include <exception>

#include "slt_transport.h"

namespace slt {
namespace {

class EngineConnection : public Connection {
 public:
  explicit EngineConnection(std::unique_ptr<engine::Session> session) : session_(std::move(session)) {}

  Outcome Execute(const std::string& sql) override {
    Outcome outcome;
    try {
      engine::BatchResult result = session_->Execute(sql);
      if (const engine::Message* error = result.FirstError()) outcome.error = *error;
      outcome.rows_affected = result.RowsAffected();
      for (const auto& item : result.items) {
        if (item.kind == engine::StatementResult::Kind::kRows) outcome.last_rows = Render(item.rows);
      }
    } catch (const engine::SqlError& e) {
      outcome.error = e.message();
    } catch (const std::exception& e) {
      outcome.exception = e.what();
    }
    return outcome;
  }

 private:
  static std::vector<std::vector<std::optional<std::string>>> Render(const engine::ResultSet& rows) {
    std::vector<std::vector<std::optional<std::string>>> out;
    for (const auto& row : rows.rows) {
      auto& line = out.emplace_back();
      for (const engine::Value& v : row) {
        line.push_back(v.is_null() ? std::nullopt : std::optional<std::string>(v.ToString()));
      }
    }
    return out;
  }

  std::unique_ptr<engine::Session> session_;
};

class EngineTransport : public Transport {
 public:
  explicit EngineTransport(std::filesystem::path dir) : dir_(std::move(dir)) {}
  std::unique_ptr<Connection> Open(std::string_view database) override {
    engine::OpenOptions options;
    options.data_source = dir_;
    options.initial_catalog = std::string(database);
    options.create_server = true;
    return std::make_unique<EngineConnection>(engine::Session::Open(options));
  }
  // Sessions hold all state in memory; closing them (the caller did) and reopening is a restart.
  void Restart() override {}
  std::string name() const override { return "engine"; }

 private:
  std::filesystem::path dir_;
};

}  // namespace

std::unique_ptr<Transport> MakeEngineTransport(const std::filesystem::path& server_dir) {
  return std::make_unique<EngineTransport>(server_dir);
}

}  // namespace slt
