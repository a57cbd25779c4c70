// Session::Execute as a wire protocol sees it: values bound to named parameters (@P1, @name),
// the statement each result item comes from, and the row count marks under SET NOCOUNT.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace engine {
namespace {

namespace fs = std::filesystem;

class SessionResultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    dir_ = fs::temp_directory_path() /
           ("session_results_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    fs::remove_all(dir_);
    OpenOptions options;
    options.data_source = dir_;
    options.create_server = true;
    session_ = Session::Open(options);
    session_->ExecuteOrThrow("CREATE TABLE t (id int NOT NULL PRIMARY KEY, name varchar(20) NULL)");
    session_->ExecuteOrThrow("INSERT INTO t VALUES (1, 'eins') INSERT INTO t VALUES (2, 'zwei')");
  }
  void TearDown() override {
    session_.reset();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  fs::path dir_;
  std::unique_ptr<Session> session_;
};

TEST_F(SessionResultsTest, NamedParametersBindByNameCaseInsensitively) {
  std::vector<NamedValue> params = {{"@P1", Value::Int(2)}, {"@Name", Value::VarChar("drei")}};
  BatchResult result = session_->Execute("INSERT INTO t VALUES (@p1 + 1, @NAME) SELECT name FROM t WHERE id = @P1 + 1",
                                         std::span<const NamedValue>(params));
  ASSERT_EQ(result.FirstError(), nullptr) << result.FirstError()->text;
  const ResultSet* rows = result.FirstRows();
  ASSERT_NE(rows, nullptr);
  ASSERT_EQ(rows->rows.size(), 1u);
  EXPECT_EQ(rows->rows[0][0].ToString(), "drei");
}

TEST_F(SessionResultsTest, ANameThatIsNoParameterStaysAVariable) {
  std::vector<NamedValue> params = {{"@P1", Value::Int(1)}};
  BatchResult result = session_->Execute("SELECT name FROM t WHERE id = @P2", std::span<const NamedValue>(params));
  ASSERT_NE(result.FirstError(), nullptr);
  EXPECT_EQ(result.FirstRows(), nullptr);
}

TEST_F(SessionResultsTest, ItemsCarryTheirStatementAndCommand) {
  BatchResult result = session_->Execute(
      "SELECT id FROM t\nINSERT INTO t VALUES (1, 'doppelt')\nUPDATE t SET name = 'x' WHERE id = 2\n"
      "DELETE FROM t WHERE id = 9\nPRINT 'ende'");
  std::string seen;
  for (const StatementResult& item : result.items) {
    seen += std::to_string(item.statement) + ":" + std::to_string(static_cast<int>(item.kind)) + ":" +
            std::to_string(static_cast<int>(item.command)) + " ";
  }
  // SELECT rows; the duplicate key error and "The statement has been terminated."; two counts;
  // PRINT's message.
  EXPECT_EQ(seen, "1:0:1 2:2:2 2:2:2 3:1:3 4:1:4 5:2:0 ");
}

TEST_F(SessionResultsTest, NocountMarksRowSetsUncountedAndDropsCounts) {
  BatchResult result =
      session_->Execute("SELECT id FROM t SET NOCOUNT ON SELECT id FROM t UPDATE t SET name = 'y' SET NOCOUNT OFF");
  ASSERT_EQ(result.items.size(), 2u);
  EXPECT_TRUE(result.items[0].counted);
  EXPECT_FALSE(result.items[1].counted);
  EXPECT_EQ(result.items[1].statement, 3);
}

}  // namespace
}  // namespace engine
