// One statement-text interface over the engine and over SQLite, so that every workload is written
// once and both sides do exactly the same work: each call hands over statement text, which the
// side parses and runs from scratch, as a client's request would be.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace bench {

class Backend {
 public:
  virtual ~Backend() = default;
  virtual std::string_view name() const = 0;
  // Runs one batch; throws std::runtime_error with the side's message when it fails.
  virtual void Execute(const std::string& sql) = 0;
  // Runs a query whose first row's first column is an integer and returns it.
  virtual int64_t QueryInt(const std::string& sql) = 0;
  // Runs a query and returns the number of rows it produced.
  virtual int64_t QueryRowCount(const std::string& sql) = 0;
};

// The database "bench" on an embedded server in `dir`; `create` makes the server and the database.
std::unique_ptr<Backend> OpenEngine(const std::filesystem::path& dir, bool create);
// `dir`/bench.db opened with WAL and synchronous=NORMAL, the engine's own settings.
std::unique_ptr<Backend> OpenSqlite(const std::filesystem::path& dir, bool create);

}  // namespace bench
