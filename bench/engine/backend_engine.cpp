#include <stdexcept>

#include "backend.h"
#include "engine/engine.h"

namespace bench {
namespace {

constexpr const char* kDatabase = "bench";

class EngineBackend : public Backend {
 public:
  explicit EngineBackend(std::unique_ptr<engine::Session> session) : session_(std::move(session)) {}

  std::string_view name() const override { return "engine"; }

  void Execute(const std::string& sql) override { Check(session_->Execute(sql), sql); }

  int64_t QueryInt(const std::string& sql) override {
    engine::BatchResult result = session_->Execute(sql);
    Check(result, sql);
    const engine::ResultSet* rows = result.FirstRows();
    if (rows == nullptr || rows->rows.empty() || rows->rows[0].empty() || rows->rows[0][0].is_null()) {
      throw std::runtime_error("engine: no integer result for: " + sql.substr(0, 200));
    }
    const engine::Value& value = rows->rows[0][0];
    if (value.type().IsInteger()) return value.as_int();
    return std::stoll(value.ToString());
  }

  int64_t QueryRowCount(const std::string& sql) override {
    engine::BatchResult result = session_->Execute(sql);
    Check(result, sql);
    const engine::ResultSet* rows = result.FirstRows();
    if (rows == nullptr) throw std::runtime_error("engine: no row set for: " + sql.substr(0, 200));
    return static_cast<int64_t>(rows->rows.size());
  }

 private:
  static void Check(const engine::BatchResult& result, const std::string& sql) {
    if (const engine::Message* error = result.FirstError()) {
      throw std::runtime_error("engine: Msg " + std::to_string(error->number) + ": " + error->text +
                               "\n  in: " + sql.substr(0, 200));
    }
  }

  std::unique_ptr<engine::Session> session_;
};

}  // namespace

std::unique_ptr<Backend> OpenEngine(const std::filesystem::path& dir, bool create) {
  engine::OpenOptions options;
  options.data_source = dir;
  options.create_server = create;
  options.integrated_security = true;
  if (!create) {
    options.initial_catalog = kDatabase;
    return std::make_unique<EngineBackend>(engine::Session::Open(options));
  }
  auto backend = std::make_unique<EngineBackend>(engine::Session::Open(options));
  backend->Execute(std::string("CREATE DATABASE ") + kDatabase);
  backend->Execute(std::string("USE ") + kDatabase);
  return backend;
}

}  // namespace bench
