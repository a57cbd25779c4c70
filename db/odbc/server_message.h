// Turning what the driver reports into what the upgrader shows: SQL Server's own text without the bracketed
// names of the driver manager and the driver, with SQL Server's error number.
#ifndef CLUBIQA_DB_ODBC_SERVER_MESSAGE_H_
#define CLUBIQA_DB_ODBC_SERVER_MESSAGE_H_

#include <string>
#include <string_view>
#include <vector>

#include "db/error.h"
#include "odbc/odbc_api.h"

namespace db::odbc {

// `text` without its leading bracketed components: "[FreeTDS][SQL Server]Invalid object name 'x'." and
// "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Invalid object name 'x'." both give
// "Invalid object name 'x'."; "[unixODBC][Driver Manager]Can't open lib ..." gives "Can't open lib ...".
// Everything behind "[SQL Server]" is the server's and stays, brackets included.
std::string WithoutDriverPrefixes(std::string_view text);

// The first record that is not informational, if any.
const DiagRecord* FirstError(const std::vector<DiagRecord>& records);

// db::Error from the first error among `records`, or with `fallback` (number 0) when the driver said nothing.
Error ErrorFrom(const std::vector<DiagRecord>& records, std::string_view fallback);

// db::Error for a connection that could not be opened. Drivers end such a report with a generic record of their
// own ("Unable to connect to data source", number 0) and put the cause in a numbered one, which may even be
// classed as informational ("Unknown host machine name."): the first numbered error is taken, else the first
// numbered record, else the first error, else the first record (the driver manager's "Can't open lib ..." is
// informational and alone), else `fallback`.
Error ConnectErrorFrom(const std::vector<DiagRecord>& records, std::string_view fallback);

}  // namespace db::odbc

#endif  // CLUBIQA_DB_ODBC_SERVER_MESSAGE_H_
