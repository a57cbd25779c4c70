// A group of catalogue statements that takes effect together or not at all: a table created if missing with
// its keys and seed rows, a one-time conversion with the marker column it hangs on. Without it a run killed
// between the marker and its conversion (or between a create and its key) would leave the database in a state
// that the next run's probe takes for done, and the rest of the group would never be sent.
//
// The group is a scope on the StatementRunner: while it lives, every statement that the runner sends (guarded
// batches, direct commands, the ALTER of AddField, ...) runs inside one explicit transaction of the client
// connection, BEGIN TRANSACTION ... COMMIT TRANSACTION, sent as batches of their own so that the embedded
// engine and SQL Server see the same thing. Probes do not open it: BEGIN TRANSACTION goes out right before the
// first statement that the group sends, so a group whose probe finds its object sends nothing extra.
//
// Failures inside the group keep the classes the catalogue gives them: a [warning], [error] or [silent] failure
// is shown (or not) as without the group, and the group goes on and is committed. But SQL Server rolls the whole
// open transaction back on most failures of DDL and on conversion errors (the engine does the same), which would
// silently undo the statements of the group sent before the failing one and leave the rest running outside any
// transaction. So after each guarded failure the group asks the server for @@TRANCOUNT; when the transaction is
// gone it opens a new one and sends the group's earlier successful statements again, in order, so that the
// database is where it was just before the failing statement, as it would be without the group. (A savepoint
// per statement does not help here: the server's rollback takes the savepoints with it.) Only a failure that
// comes back on such a repeat (the connection lost, or another session changing the same objects in between)
// leaves the group as a db::Error, like an [unguarded] failure.
//
// An [unguarded] failure, a lost connection or a killed process leaves none of the group: the destructor of a
// group that was not committed sends "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION" (harmless when the server has
// rolled back already) and drops any failure of it; when the connection is closed it sends nothing and leaves
// the rollback to the server, which ends the transaction with the session.
//
// A group opened while another one is open joins it: the outer group alone begins, commits and rolls back.
// The runner must outlive the group.
#ifndef CLUBIQA_SCHEMA_TRANSACTION_GROUP_H_
#define CLUBIQA_SCHEMA_TRANSACTION_GROUP_H_

#include <string>
#include <vector>

#include "db/command.h"
#include "db/query.h"
#include "schema/statement_runner.h"

namespace schema {

// The statements of a group's own, each sent as a batch of its own.
inline constexpr std::string_view kBeginTransactionText = "BEGIN TRANSACTION";
inline constexpr std::string_view kCommitTransactionText = "COMMIT TRANSACTION";
inline constexpr std::string_view kRollbackTransactionText = "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION";
inline constexpr std::string_view kTranCountText = "SELECT @@TRANCOUNT AS TranCount";

class TransactionGroup {
 public:
  explicit TransactionGroup(StatementRunner& runner);
  ~TransactionGroup();
  TransactionGroup(const TransactionGroup&) = delete;
  TransactionGroup& operator=(const TransactionGroup&) = delete;

  // Sends COMMIT TRANSACTION when the group began one; the group is closed afterwards. A failing commit leaves
  // as db::Error (the destructor then rolls back what is left).
  void Commit();

  // True once BEGIN TRANSACTION was sent and the group is not yet committed or rolled back.
  [[nodiscard]] bool open() const { return open_; }

 private:
  friend class StatementRunner;

  // Called by the runner around each statement it sends while the group is the open one.
  void BeforeStatement();
  void AfterSuccess(const std::string& text);
  void AfterFailure();

  void Control(std::string_view text);
  void Rollback() noexcept;

  StatementRunner& runner_;
  TransactionGroup* outer_;  // the group this one joined, or null when it is the outermost
  bool open_ = false;
  bool closed_ = false;            // committed or rolled back: sends nothing more
  std::vector<std::string> sent_;  // the group's statements that succeeded, for a repeat after a rollback
  db::Command control_;            // BEGIN, COMMIT, ROLLBACK and the repeated statements
  db::Query trancount_;
};

}  // namespace schema

#endif  // CLUBIQA_SCHEMA_TRANSACTION_GROUP_H_
