// What a provider offers the database layer: one open connection to one database of a server, which runs
// texts and inserts rows. Connection (db/connection.h) owns one and is the only caller; the providers live in
// db/embedded (the in-process engine) and db/odbc (real servers through an ODBC driver), each its own target,
// and nothing outside db/ sees them.
//
// Failures are db::Error with the server's text and number. A provider is used from one thread.
#ifndef CLUBIQA_DB_CORE_PROVIDER_H_
#define CLUBIQA_DB_CORE_PROVIDER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/rows.h"

namespace db {

// The items of a connection string, parsed (connection_items.h), and what the settings file adds for the
// provider beyond them; see ProviderOptions in db/connection.h.
using ConnectionItemList = std::vector<std::pair<std::string, std::string>>;

class Provider {
 public:
  virtual ~Provider() = default;

  // Runs a row-returning text, `param` bound to its one `?`. Returns the first row set with every row (empty
  // when the text returned none). Throws db::Error with the first error of the text, after the text has ended
  // as the server ends it.
  virtual RowSet Query(std::string_view text, std::optional<int64_t> param) = 0;

  // Runs a text that returns no rows: one statement or a whole batch. A failure of any statement of the batch
  // throws db::Error with the batch's first error, after the server has ended the batch. Returns the rows the
  // text affected, as the server counts them.
  virtual int64_t Execute(std::string_view text) = 0;

  // Inserts one row. Throws db::Error.
  virtual void Insert(const RowInsert& row) = 0;

  // False once the provider knows that the server is gone (a broken link); texts then fail at once.
  [[nodiscard]] virtual bool connected() const = 0;

  // Ends the connection; later calls fail. A no-op when already closed.
  virtual void Close() = 0;
};

}  // namespace db

#endif  // CLUBIQA_DB_CORE_PROVIDER_H_
