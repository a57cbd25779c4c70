// The statement patterns every upgrade step is made of, on the client connection: the existence probe and
// the data probe (`qrySel`), the guarded batch (`qryUpd`), the direct command (`qryExec`), create table if
// missing, the script runner `SQLExec` and `AddLsbEntry`.
//
// Statement texts are sent exactly as given: names and values are pasted in by the callers, nothing is
// quoted or parameterised here. Failures follow the statement's class:
//   kWarning    the failure text is shown in a warning box ("Warnung"), then the caller goes on;
//   kError      the same with an error box ("Fehler");
//   kSilent     the failure is dropped;
//   kUnguarded  the db::Error leaves the call unchanged (probes are always unguarded).
//
// Does not own the connection or the Ui; both must outlive the runner.
#ifndef CLUBIQA_SCHEMA_STATEMENT_RUNNER_H_
#define CLUBIQA_SCHEMA_STATEMENT_RUNNER_H_

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "db/command.h"
#include "db/connection.h"
#include "db/query.h"
#include "ui/ui.h"

namespace schema {

enum class FailureClass { kWarning, kError, kSilent, kUnguarded };

class TransactionGroup;

// One statement given as its lines; the lines travel together, each followed by CR LF.
using Lines = std::vector<std::string>;

// `text` with each single quote doubled, for pasting a name into a string literal of a probe.
std::string QuoteDoubled(std::string_view text);

// "SELECT * FROM sysobjects WHERE name='" + name + "'", with the name's single quotes doubled.
std::string ExistenceProbeText(std::string_view name);

class StatementRunner {
 public:
  StatementRunner(db::Connection& connection, ui::Ui& ui);
  StatementRunner(const StatementRunner&) = delete;
  StatementRunner& operator=(const StatementRunner&) = delete;

  // Existence probe: true when sysobjects holds an object of that name (a table, view, key, constraint,
  // ...). Unguarded. qrySel stays open on the rows.
  bool Exists(std::string_view name);
  // Data probe: runs `select` on qrySel and returns it, standing on the first row. Unguarded.
  db::Query& Probe(std::string select);

  // Guarded batch from lines (each followed by CR LF) or from one whole text (split into lines at CR LF,
  // lone CR or lone LF first). `failure_class` must not be kUnguarded (such a batch would pass its db::Error on).
  void Batch(const Lines& lines, FailureClass failure_class);
  void BatchText(std::string_view text, FailureClass failure_class);

  // Direct command: the pieces joined end to end without separators. `failure_class` is kUnguarded or
  // kSilent. Returns false when a [silent] failure was dropped, so that a caller can keep later statements
  // from acting on a change that did not happen.
  bool Direct(std::initializer_list<std::string_view> pieces, FailureClass failure_class);
  bool Direct(std::string_view text, FailureClass failure_class) { return Direct({text}, failure_class); }

  // Executes the text of `command` (a statement object of the caller on the client connection) as a direct
  // command of `failure_class`, inside the open transaction group like every statement of the runner. Returns
  // false when a guarded failure was reported or dropped.
  bool Send(db::Command& command, FailureClass failure_class);

  // Existence probe on `table`; when missing, each statement as its own [warning] batch (or the class given),
  // in order, a failing one not stopping the next, the create, its keys and its seed rows in one transaction
  // group (transaction_group.h; a group the caller opened around the call takes them in). qrySel is closed
  // afterwards. Returns true when the table was missing.
  bool CreateTableIfMissing(std::string_view table, const std::vector<Lines>& statements,
                            FailureClass failure_class = FailureClass::kWarning);

  // Runs `script` batch by batch (batches end at "GO" lines); each failing batch shows its failure text in a
  // plain box and the script goes on. Text after the last GO line is not sent. Never throws.
  void SQLExec(std::string_view script);

  // INSERT INTO tblLSB (Kennung, Bezeichnung) VALUES ('code', 'name') as three lines; [warning].
  void AddLsbEntry(std::string_view code, std::string_view name);

  db::Query& qrySel() { return qry_sel_; }
  db::Command& qryExec() { return qry_exec_; }
  // The line list last sent through qryUpd.
  [[nodiscard]] const Lines& qryUpd_lines() const { return qry_upd_lines_; }
  db::Connection& connection() { return connection_; }
  ui::Ui& ui() { return ui_; }

  // Shows `failure_text` as `failure_class` says; kUnguarded is not handled here.
  void Report(FailureClass failure_class, std::string_view failure_text);

  // The transaction group open on the runner, or null.
  [[nodiscard]] TransactionGroup* group() const { return group_; }

 private:
  friend class TransactionGroup;

  void RunLines(FailureClass failure_class);

  db::Connection& connection_;
  ui::Ui& ui_;
  db::Query qry_sel_;
  db::Command qry_exec_;
  db::Command qry_upd_;
  Lines qry_upd_lines_;
  TransactionGroup* group_ = nullptr;  // set by the outermost open TransactionGroup
};

}  // namespace schema

#endif  // CLUBIQA_SCHEMA_STATEMENT_RUNNER_H_
