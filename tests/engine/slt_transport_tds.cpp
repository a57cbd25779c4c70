// The wire transport of the SQL logic tests: clubiqa-sqlserverd's listener in this process on a
// free loopback port, reached through unixODBC and the FreeTDS driver (wide functions). Values
// are read by their SQL type and printed as engine::Value::ToString prints them (odbc_client.h),
// so expected rows are the same for both transports.
#include <thread>

#include "odbc_client.h"
#include "slt_transport.h"
#include "tds/listener.h"

namespace slt {
namespace {

class TdsConnection : public Connection {
 public:
  explicit TdsConnection(const std::string& connection_string) : odbc_(connection_string) {}

  Outcome Execute(const std::string& sql) override {
    Outcome outcome;
    try {
      for (const tds::odbc::Item& item : odbc_.Execute(sql)) Add(item, outcome);
    } catch (const std::exception& e) {
      outcome.exception = e.what();
    }
    return outcome;
  }

 private:
  static void Add(const tds::odbc::Item& item, Outcome& outcome) {
    switch (item.kind) {
      case tds::odbc::Item::Kind::kRows: {
        auto& rows = outcome.last_rows.emplace();
        for (const auto& row : item.rows) {
          auto& line = rows.emplace_back();
          for (const std::optional<std::string>& v : row) line.push_back(v);
        }
        break;
      }
      case tds::odbc::Item::Kind::kCount:
        outcome.rows_affected += item.count;
        break;
      case tds::odbc::Item::Kind::kMessage:
        if (item.is_error && !outcome.error) {
          engine::Message m;
          m.number = item.number;
          m.severity = 16;  // ODBC does not pass the severity on
          m.text = item.text;
          outcome.error = m;
        }
        break;
    }
  }

  tds::odbc::Connection odbc_;
};

class TdsTransport : public Transport {
 public:
  explicit TdsTransport(std::filesystem::path dir) : dir_(std::move(dir)) { Start(); }
  ~TdsTransport() override { Stop(); }

  std::unique_ptr<Connection> Open(std::string_view database) override {
    const std::string db = database.empty() ? std::string("master") : std::string(database);
    return std::make_unique<TdsConnection>(tds::odbc::ConnectionString(listener_->port(), "sa", "x", db));
  }
  // A new listener: the server process state is gone, only the files remain.
  void Restart() override {
    Stop();
    Start();
  }
  std::string name() const override { return "tds"; }

 private:
  void Start() {
    tds::ListenerOptions options;
    options.server_dir = dir_;
    options.port = 0;
    listener_ = std::make_unique<tds::Listener>(options);
    thread_ = std::thread([this] { listener_->Run(); });
  }
  void Stop() {
    listener_->Stop();
    thread_.join();
    listener_.reset();
  }

  std::filesystem::path dir_;
  std::unique_ptr<tds::Listener> listener_;
  std::thread thread_;
};

}  // namespace

std::unique_ptr<Transport> MakeTdsTransport(const std::filesystem::path& server_dir) {
  return std::make_unique<TdsTransport>(server_dir);
}

}  // namespace slt
