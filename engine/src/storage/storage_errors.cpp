// Error factories of the storage layer that have no counterpart among SQL Server's messages.
#include "errors.h"

namespace engine::err {

SqlError StorageFailure(std::string_view db, std::string_view detail) {
  return SqlError(823, 16, 1,
                  "The database file of '" + std::string(db) + "' could not be used: " + std::string(detail) + ".",
                  ErrorScope::kBatch);
}

}  // namespace engine::err

namespace engine::err {

SqlError SystemDatabase(std::string_view name) {
  return SqlError(3708, 16, 1, "Cannot drop the database '" + std::string(name) + "' because it is a system database.",
                  ErrorScope::kStatement);
}

}  // namespace engine::err
