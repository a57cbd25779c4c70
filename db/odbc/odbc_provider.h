// The ODBC provider: a real SQL Server reached through an ODBC driver (Microsoft's ODBC Driver 18 or 17 for
// SQL Server, or FreeTDS) behind the driver manager. It stands in for the SQL Server OLE DB providers that
// SysDBAdo.INI names. The only part of db/ that sees ODBC.
#ifndef CLUBIQA_DB_ODBC_ODBC_PROVIDER_H_
#define CLUBIQA_DB_ODBC_ODBC_PROVIDER_H_

#include <memory>

#include "core/provider.h"
#include "db/connection_items.h"

namespace db {

// Connects with the items `Data Source`, `Initial Catalog`, `User ID`, `Password` and `Integrated Security`
// (odbc_connection_string.h says how they become the driver's keywords) through the driver that the options
// name or the best one installed, waits for the login as long as `Connect Timeout` says, and sets the session
// options an OLE DB connection has. Throws db::Error with SQL Server's text and number (or the driver's, when
// the server was never reached); neither the password nor the connection string ever appears in it.
std::unique_ptr<Provider> OpenOdbcProvider(const ConnectionItemList& items, const ProviderOptions& options);

}  // namespace db

#endif  // CLUBIQA_DB_ODBC_ODBC_PROVIDER_H_
