#include "odbc/odbc_provider.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "db/error.h"
#include "odbc/odbc_api.h"
#include "odbc/odbc_connection_string.h"
#include "odbc/odbc_statement.h"
#include "odbc/server_message.h"
#include "odbc/utf16.h"

namespace db {
namespace {

using odbc::Handle;
using odbc::Outcome;
using odbc::Statement;

// What an OLE DB connection to SQL Server has set when it opens; the upgrader's statements were written
// against these (NULL comparisons, padding, warnings, nullable new columns, quoted names).
constexpr std::string_view kSessionOptions =
    "SET ANSI_NULLS ON; SET ANSI_PADDING ON; SET ANSI_WARNINGS ON; SET ANSI_NULL_DFLT_ON ON; "
    "SET CONCAT_NULL_YIELDS_NULL ON; SET QUOTED_IDENTIFIER ON";

// Put in front of a batch so that its first statement is never the first result: when that one fails, the
// driver manager would otherwise end the batch's results and the errors after it would be lost. Its row set
// is skipped. On the text's own line, so that the server's trace shows the batch as it was written.
constexpr std::string_view kBatchPrefix = "SELECT 0;";

constexpr std::string_view kClosedText = "Operation is not allowed when the object is closed.";
// The ODBC text for a broken connection (SQLSTATE 08S01).
constexpr std::string_view kLinkLostText = "Communication link failure";

Handle NewEnvironment() {
  Handle env = Handle::Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
  if (!env) throw Error("The ODBC driver manager cannot be used on this machine.");
  SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  return env;
}

std::vector<std::string> DriverNames(const Handle& env) {
  std::vector<std::string> names;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  while (true) {
    std::u16string name(256, u'\0');
    std::u16string attributes(1024, u'\0');
    SQLSMALLINT name_length = 0, attributes_length = 0;
    const SQLRETURN rc =
        SQLDriversW(env.get(), direction, odbc::WideText(name), static_cast<SQLSMALLINT>(name.size()), &name_length,
                    odbc::WideText(attributes), static_cast<SQLSMALLINT>(attributes.size()), &attributes_length);
    if (!odbc::Succeeded(rc)) break;
    name.resize(std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(name_length, 0)), name.size()));
    names.push_back(odbc::ToUtf8(name));
    direction = SQL_FETCH_NEXT;
  }
  return names;
}

odbc::Driver ChosenDriver(const Handle& env, const ProviderOptions& options) {
  const std::vector<std::string> installed =
      options.odbc_driver.empty() ? DriverNames(env) : std::vector<std::string>{};
  std::optional<odbc::Driver> driver = odbc::ChooseDriver(options.odbc_driver, installed);
  if (!driver) {
    throw Error(
        "No ODBC driver for SQL Server is installed (ODBC Driver 18 or 17 for SQL Server, or FreeTDS); install one "
        "or name one as ODBCDriver in SysDBAdo.INI.");
  }
  return *driver;
}

// Overwrites a text that held the password before its memory is given back.
void Wipe(std::u16string& text) { std::fill(text.begin(), text.end(), u'\0'); }

class OdbcProvider : public Provider {
 public:
  OdbcProvider(Handle env, Handle dbc) : env_(std::move(env)), dbc_(std::move(dbc)) {}
  // This class's own Close: the object is being destroyed, there is nothing derived left to call.
  ~OdbcProvider() override { OdbcProvider::Close(); }

  RowSet Query(std::string_view text, std::optional<int64_t> param) override {
    Statement statement(Dbc());
    if (param) statement.BindInteger(*param);
    Outcome outcome = Finish(statement.Run(text, true));
    return outcome.rows ? std::move(*outcome.rows) : RowSet{};
  }

  int64_t Execute(std::string_view text) override {
    Statement statement(Dbc());
    if (odbc::MustStartBatch(text)) return Finish(statement.Run(text, false)).affected;
    std::string prefixed(kBatchPrefix);
    prefixed += text;
    return Finish(statement.Run(prefixed, false, 1)).affected;
  }

  void Insert(const RowInsert& row) override {
    Statement statement(Dbc());
    for (const auto& [column, value] : row.values) statement.Bind(value);
    Finish(statement.Run(ParameterInsertText(row), false));
  }

  [[nodiscard]] bool connected() const override { return dbc_ && !link_lost_; }

  void Close() override {
    dbc_ = Handle{};  // disconnects
    env_ = Handle{};
  }

 private:
  [[nodiscard]] SQLHDBC Dbc() const {
    if (!dbc_) throw Error(std::string(kClosedText));
    return dbc_.get();
  }

  // Throws the first error of a text that has ended; notes that the server went away.
  Outcome Finish(Outcome outcome) {
    if (outcome.first_error() == nullptr) return outcome;
    if (outcome.link_lost || LinkIsDead()) {
      link_lost_ = true;
      // FreeTDS reports a link that broke under a statement as "Unknown error"; say what happened.
      if (!outcome.link_lost) throw Error(std::string(kLinkLostText));
    }
    throw odbc::ErrorFrom(outcome.diagnostics, "");
  }

  // Whether the driver has found the connection to the server broken.
  [[nodiscard]] bool LinkIsDead() const {
    SQLUINTEGER dead = SQL_CD_FALSE;
    const SQLRETURN rc = SQLGetConnectAttrW(dbc_.get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
    return odbc::Succeeded(rc) && dead == SQL_CD_TRUE;
  }

  Handle env_;
  Handle dbc_;
  bool link_lost_ = false;
};

Handle Connect(const Handle& env, std::u16string& connection_string, long login_timeout) {
  Handle dbc = Handle::Allocate(SQL_HANDLE_DBC, env.get());
  if (!dbc) throw odbc::ErrorFrom(odbc::ReadDiagnostics(env), "The ODBC driver manager refused a connection.");
  // ODBC passes integer attribute values in its pointer parameter.
  SQLSetConnectAttrW(
      dbc.get(), SQL_ATTR_LOGIN_TIMEOUT,
      reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(login_timeout)),  // NOLINT(performance-no-int-to-ptr)
      0);
  // The completed connection string the driver could hand back would hold the password: it is not asked for.
  const SQLRETURN rc =
      SQLDriverConnectW(dbc.get(), nullptr, odbc::WideText(connection_string),
                        static_cast<SQLSMALLINT>(connection_string.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  Wipe(connection_string);
  if (!odbc::Succeeded(rc)) throw odbc::ConnectErrorFrom(odbc::ReadDiagnostics(dbc), "Cannot connect to the server.");
  return dbc;
}

}  // namespace

std::unique_ptr<Provider> OpenOdbcProvider(const ConnectionItemList& items, const ProviderOptions& options) {
  Handle env = NewEnvironment();
  const odbc::Driver driver = ChosenDriver(env, options);
  std::string text = odbc::OdbcConnectionString(items, options, driver);
  std::u16string connection_string = odbc::ToUtf16(text);
  std::fill(text.begin(), text.end(), '\0');
  Handle dbc = Connect(env, connection_string, odbc::LoginTimeoutSeconds(items, options));
  auto provider = std::make_unique<OdbcProvider>(std::move(env), std::move(dbc));
  provider->Execute(kSessionOptions);
  return provider;
}

}  // namespace db
