// Statement patterns on the client connection (see statement_runner.h).
#include "schema/statement_runner.h"

#include <exception>
#include <utility>

#include "db/error.h"
#include "schema/script_batches.h"
#include "schema/transaction_group.h"

namespace schema {

std::string QuoteDoubled(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    result.push_back(c);
    if (c == '\'') result.push_back('\'');
  }
  return result;
}

std::string ExistenceProbeText(std::string_view name) {
  return "SELECT * FROM sysobjects WHERE name='" + QuoteDoubled(name) + "'";
}

StatementRunner::StatementRunner(db::Connection& connection, ui::Ui& ui)
    : connection_(connection), ui_(ui), qry_sel_(connection), qry_exec_(connection), qry_upd_(connection) {}

bool StatementRunner::Exists(std::string_view name) { return Probe(ExistenceProbeText(name)).record_count() > 0; }

db::Query& StatementRunner::Probe(std::string select) {
  qry_sel_.Close();
  qry_sel_.set_text(std::move(select));
  qry_sel_.Open();
  return qry_sel_;
}

void StatementRunner::Report(FailureClass failure_class, std::string_view failure_text) {
  switch (failure_class) {
    case FailureClass::kWarning:
      ui_.ShowBox(ui::BoxKind::kWarning, failure_text);
      break;
    case FailureClass::kError:
      ui_.ShowBox(ui::BoxKind::kError, failure_text);
      break;
    case FailureClass::kSilent:
    case FailureClass::kUnguarded:
      break;
  }
}

void StatementRunner::Batch(const Lines& lines, FailureClass failure_class) {
  qry_upd_lines_ = lines;
  RunLines(failure_class);
}

void StatementRunner::BatchText(std::string_view text, FailureClass failure_class) {
  qry_upd_lines_ = SplitLines(text);
  RunLines(failure_class);
}

// A guarded batch reports its failure by class and never lets it leave: the caller always goes on. A batch
// handed kUnguarded by mistake passes its failure on rather than dropping it unseen.
void StatementRunner::RunLines(FailureClass failure_class) {
  std::string text;
  for (const std::string& line : qry_upd_lines_) text.append(line).append("\r\n");
  qry_upd_.set_text(std::move(text));
  Send(qry_upd_, failure_class);
}

bool StatementRunner::Direct(std::initializer_list<std::string_view> pieces, FailureClass failure_class) {
  std::string text;
  for (std::string_view piece : pieces) text += piece;
  qry_exec_.set_text(std::move(text));
  return Send(qry_exec_, failure_class);
}

// Every statement that changes something goes through here, so that an open transaction group sees it: the
// group begins its transaction before the first one, keeps the text of each that succeeded, and after a
// guarded failure makes sure that the rest of the group still runs inside the transaction (transaction_group.h).
// The failure is shown before that, so that the box appears exactly where it did without the group.
bool StatementRunner::Send(db::Command& command, FailureClass failure_class) {
  if (group_ != nullptr) group_->BeforeStatement();
  try {
    command.Execute();
  } catch (const db::Error& e) {
    if (failure_class == FailureClass::kUnguarded) throw;
    Report(failure_class, e.what());
    if (group_ != nullptr) group_->AfterFailure();
    return false;
  }
  if (group_ != nullptr) group_->AfterSuccess(command.text());
  return true;
}

bool StatementRunner::CreateTableIfMissing(std::string_view table, const std::vector<Lines>& statements,
                                           FailureClass failure_class) {
  TransactionGroup group(*this);
  const bool missing = !Exists(table);
  qry_sel_.Close();  // the statements do not need the probe's rows; closed now it stays closed on any way out
  if (missing) {
    for (const Lines& statement : statements) Batch(statement, failure_class);
  }
  group.Commit();
  return missing;
}

// The script is split up front by the same rules every other reader of the embedded scripts uses
// (script_batches.h). qryExec is left holding the unsent rest, as it would after collecting it line by line.
void StatementRunner::SQLExec(std::string_view script) {
  ui::WaitCursor wait(ui_);
  try {
    qry_exec_.set_text("");
    ScriptParts parts = SplitScript(script);
    for (std::string& batch : parts.batches) {
      qry_exec_.set_text(std::move(batch));
      try {
        qry_exec_.Execute();
        qry_exec_.set_text("");
      } catch (const db::Error& e) {
        qry_exec_.set_text("");
        ui_.ShowBox(ui::BoxKind::kPlain, e.what());
      }
    }
    qry_exec_.set_text(std::move(parts.rest));  // what followed the last separator stays unsent
  } catch (const std::exception&) {
    // Anything but a failing batch ends the script quietly; the batches sent so far stay in effect.
  }
}

void StatementRunner::AddLsbEntry(std::string_view code, std::string_view name) {
  Batch({"INSERT INTO tblLSB (Kennung, Bezeichnung)", "VALUES",
         "('" + std::string(code) + "', " + "'" + std::string(name) + "'" + ")"},
        FailureClass::kWarning);
}

}  // namespace schema
