// A small ODBC client (unixODBC, wide functions) for the protocol tests and the TDS transport of
// the SQL logic tests: it runs a batch through SQLExecDirectW/SQLMoreResults and returns what it
// produced as items, with every value printed the way engine::Value::ToString prints it, chosen
// by the column's SQL type (so the text matches what clubiqa-sqlcmd shows).
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tds::odbc {

struct Item {
  enum class Kind { kRows, kCount, kMessage };
  Kind kind = Kind::kMessage;
  std::vector<std::string> columns;
  std::vector<std::vector<std::optional<std::string>>> rows;  // nullopt: NULL
  int64_t count = 0;
  bool is_error = false;
  int number = 0;
  std::string text;  // message text without the driver's "[FreeTDS][SQL Server]" prefix
};

class Error : public std::runtime_error {
 public:
  Error(int number, const std::string& text) : std::runtime_error(text), number_(number) {}
  int number() const { return number_; }

 private:
  int number_;
};

// One parameter bound with SQLBindParameter.
struct Param {
  enum class Kind { kInt, kText, kNull } kind = Kind::kInt;
  int64_t number = 0;
  std::string text;
};

// The driver path of Debian's FreeTDS ODBC package.
inline constexpr char kFreeTdsDriver[] = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";

std::string ConnectionString(uint16_t port, const std::string& user, const std::string& password,
                             const std::string& database);

class Connection {
 public:
  // Throws Error with the server's number (18456, 4060) or 0 for driver failures.
  explicit Connection(const std::string& connection_string);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  std::vector<Item> Execute(const std::string& sql, const std::vector<Param>& params = {});
  // SQLPrepareW once, then SQLExecute for each parameter set.
  std::vector<std::vector<Item>> PrepareAndExecute(const std::string& sql, const std::vector<std::vector<Param>>& runs);
  // The items as text, one line each (for whole-result comparisons).
  static std::string Render(const std::vector<Item>& items);

 private:
  void* env_ = nullptr;
  void* dbc_ = nullptr;
};

}  // namespace tds::odbc
