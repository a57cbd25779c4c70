// Error factories whose structure other engine code relies on: the reason a database file
// cannot be used travels as a field, not as wording to be parsed back out of the text, and an
// internal fault becomes SQL Server's own message.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>

#include "errors.h"
#include "store.h"

namespace engine {
namespace {

namespace fs = std::filesystem;

TEST(ErrorsTest, AnUnusableDatabaseFileCarriesItsReasonAsDetail) {
  SqlError e = err::DatabaseFileUnusable("club", "the file is locked");
  EXPECT_EQ(e.number(), 5172);
  EXPECT_EQ(e.detail(), "the file is locked");
  EXPECT_EQ(e.text(), "The file of database 'club' cannot be used: the file is locked");
}

TEST(ErrorsTest, OtherErrorsCarryNoDetail) {
  EXPECT_EQ(err::StorageFailure("club", "disk I/O error").detail(), "");
  EXPECT_EQ(err::InvalidObject("x").detail(), "");
}

TEST(ErrorsTest, AnInternalFaultIsSqlServersInternalErrorAndEndsTheBatch) {
  SqlError e = err::InternalQueryProcessorError("bad variant access");
  EXPECT_EQ(e.number(), 8630);
  EXPECT_EQ(e.severity(), 16);
  EXPECT_EQ(e.scope(), ErrorScope::kBatch);
  EXPECT_EQ(e.text(),
            "Internal Query Processor Error: The query processor encountered an unexpected error during execution.");
  EXPECT_EQ(e.detail(), "bad variant access");
}

TEST(ErrorsTest, OpeningAForeignFileNamesTheFileAndTheReasonOnce) {
  static std::atomic<int> counter{0};
  fs::path dir =
      fs::temp_directory_path() / ("errors_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                   "_" + std::to_string(counter++));
  fs::create_directories(dir);
  fs::path foreign = dir / "foreign.sqlite";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(foreign.string().c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "CREATE TABLE x(a)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  std::string text;
  try {
    Store::Open(foreign, "f", false);
  } catch (const SqlError& e) {
    text = e.text();
    EXPECT_EQ(e.detail(), "'" + foreign.string() +
                              "' is not a usable database file (the file holds no database of this server (no "
                              "_meta table))");
  }
  EXPECT_EQ(text, "The file of database 'f' cannot be used: '" + foreign.string() +
                      "' is not a usable database file (the file holds no database of this server (no _meta table))");
  std::error_code ec;
  fs::remove_all(dir, ec);
}

}  // namespace
}  // namespace engine
