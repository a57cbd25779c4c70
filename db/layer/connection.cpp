#include "db/connection.h"

#include "core/provider.h"
#include "db/ascii.h"
#include "embedded/embedded_provider.h"
#ifdef CLUBIQA_HAVE_ODBC
#include "odbc/odbc_provider.h"
#endif

namespace db {
namespace {

// The SQL Server OLE DB providers, which the ODBC provider stands in for.
bool IsSqlServerProvider(std::string_view name) {
  const std::string upper = AsciiUpperCopy(name);
  return upper == "SQLOLEDB" || upper == "SQLOLEDB.1" || upper.starts_with("SQLNCLI") ||
         upper.starts_with("MSOLEDBSQL");
}

std::unique_ptr<Provider> OpenSqlServerProvider(const ConnectionItemList& items, const ProviderOptions& options,
                                                const std::string& provider) {
#ifdef CLUBIQA_HAVE_ODBC
  (void)provider;
  return OpenOdbcProvider(items, options);
#else
  (void)items;
  (void)options;
  throw Error("The SQL Server provider '" + provider + "' is not available in this build.");
#endif
}

std::unique_ptr<Provider> OpenProvider(std::string_view connection_string, const ProviderOptions& options,
                                       const std::filesystem::path& base_dir) {
  ConnectionItemList items;
  try {
    items = ParseConnectionString(connection_string);
  } catch (const SettingsError& e) {
    throw Error(e.what());
  }
  const std::string provider = FindItem(items, "Provider").value_or("");
  if (EqualsIgnoreCaseAscii(provider, kEmbeddedProvider)) return OpenEmbeddedProvider(items, base_dir);
  if (IsSqlServerProvider(provider)) return OpenSqlServerProvider(items, options, provider);
  throw Error("Provider '" + provider + "' is not registered on this machine.");
}

}  // namespace

bool SqlServerProviderAvailable() {
#ifdef CLUBIQA_HAVE_ODBC
  return true;
#else
  return false;
#endif
}

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::Open(const std::filesystem::path& base_dir) {
  Close();
  base_dir_ = base_dir;
  provider_ = OpenProvider(connection_string_, provider_options_, base_dir_);
}

void Connection::Close() {
  if (provider_ == nullptr) return;
  provider_->Close();
  provider_.reset();
}

bool Connection::connected() const { return provider_ != nullptr && provider_->connected(); }

Provider& Connection::Opened() {
  if (provider_ == nullptr) provider_ = OpenProvider(connection_string_, provider_options_, base_dir_);
  return *provider_;
}

RowSet Connection::RunQuery(std::string_view text, std::optional<int64_t> param) { return Opened().Query(text, param); }

int64_t Connection::RunCommand(std::string_view text) { return Opened().Execute(text); }

void Connection::InsertRow(const RowInsert& row) { Opened().Insert(row); }

}  // namespace db
