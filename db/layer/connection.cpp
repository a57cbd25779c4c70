#include "db/connection.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "db/connection_items.h"
#include "layer/embedded_provider.h"

namespace db {
namespace {

std::string Upper(std::string_view text) {
  std::string result(text);
  std::ranges::transform(result, result.begin(), [](unsigned char c) { return std::toupper(c); });
  return result;
}

// The SQL Server OLE DB providers, which the ODBC provider will stand in for.
bool IsSqlServerProvider(std::string_view name) {
  const std::string upper = Upper(name);
  return upper == "SQLOLEDB" || upper == "SQLOLEDB.1" || upper.starts_with("SQLNCLI") ||
         upper.starts_with("MSOLEDBSQL");
}

std::unique_ptr<Provider> OpenProvider(std::string_view connection_string, const std::filesystem::path& base_dir) {
  std::vector<std::pair<std::string, std::string>> items;
  try {
    items = ParseConnectionString(connection_string);
  } catch (const SettingsError& e) {
    throw Error(e.what());
  }
  const std::string provider = FindItem(items, "Provider").value_or("");
  if (Upper(provider) == Upper(kEmbeddedProvider)) return OpenEmbeddedProvider(items, base_dir);
  if (IsSqlServerProvider(provider)) {
    throw Error("The SQL Server provider '" + provider + "' is not available in this build.");
  }
  throw Error("Provider '" + provider + "' is not registered on this machine.");
}

}  // namespace

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::Open(const std::filesystem::path& base_dir) {
  Close();
  base_dir_ = base_dir;
  provider_ = OpenProvider(connection_string_, base_dir_);
}

void Connection::Close() { provider_.reset(); }

engine::ResultSet Connection::Run(std::string_view text, std::span<const engine::Value> params) {
  if (!connected()) provider_ = OpenProvider(connection_string_, base_dir_);
  return provider_->Run(text, params);
}

}  // namespace db
