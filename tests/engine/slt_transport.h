// How the SQL logic test runner reaches a server: in process through engine::Session, or over
// the wire protocol through clubiqa-sqlserverd's listener and the ODBC driver. Both report a
// batch the same way: the first error, the rows affected, and the last row set with every value
// printed as engine::Value::ToString prints it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"

namespace slt {

struct Outcome {
  std::optional<engine::Message> error;  // first error of the batch
  std::string exception;                 // a failure that is not a server message
  int64_t rows_affected = 0;
  // Values of the batch's last row set; std::nullopt in a row marks NULL.
  std::optional<std::vector<std::vector<std::optional<std::string>>>> last_rows;
};

class Connection {
 public:
  virtual ~Connection() = default;
  virtual Outcome Execute(const std::string& sql) = 0;
};

class Transport {
 public:
  virtual ~Transport() = default;
  // A connection to `database` (empty: master). Throws std::exception when it cannot connect.
  virtual std::unique_ptr<Connection> Open(std::string_view database) = 0;
  // Starts the server afresh from its files; the caller closed every connection before.
  virtual void Restart() = 0;
  virtual std::string name() const = 0;
};

std::unique_ptr<Transport> MakeEngineTransport(const std::filesystem::path& server_dir);
std::unique_ptr<Transport> MakeTdsTransport(const std::filesystem::path& server_dir);

}  // namespace slt
