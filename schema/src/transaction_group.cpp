// Transaction groups of catalogue statements (see transaction_group.h).
#include "schema/transaction_group.h"

#include "db/error.h"

namespace schema {

TransactionGroup::TransactionGroup(StatementRunner& runner)
    : runner_(runner), outer_(runner.group_), control_(runner.connection()), trancount_(runner.connection()) {
  if (outer_ == nullptr) runner_.group_ = this;
}

TransactionGroup::~TransactionGroup() {
  if (outer_ != nullptr) return;
  runner_.group_ = nullptr;
  if (open_) Rollback();
}

void TransactionGroup::Commit() {
  if (outer_ != nullptr || closed_) return;
  runner_.group_ = nullptr;
  closed_ = true;
  if (!open_) return;
  Control(kCommitTransactionText);
  open_ = false;
  sent_.clear();
}

// BEGIN TRANSACTION goes out only with the group's first statement, after the probes that decided to send it.
void TransactionGroup::BeforeStatement() {
  if (open_ || closed_) return;
  Control(kBeginTransactionText);
  open_ = true;
}

void TransactionGroup::AfterSuccess(const std::string& text) {
  if (open_) sent_.push_back(text);
}

// The failed statement is undone by the server in any case; when the server took the whole transaction with it,
// the statements sent before it are sent again in a new one, so that the group goes on from where it was.
void TransactionGroup::AfterFailure() {
  if (!open_) return;
  trancount_.Close();
  trancount_.set_text(std::string(kTranCountText));
  trancount_.Open();
  const bool still_open = trancount_.AsInt("TranCount") > 0;
  trancount_.Close();
  if (still_open) return;
  open_ = false;
  Control(kBeginTransactionText);
  open_ = true;
  for (const std::string& text : sent_) {
    control_.set_text(text);
    control_.Execute();
  }
}

void TransactionGroup::Control(std::string_view text) {
  control_.set_text(std::string(text));
  control_.Execute();
}

// Runs on the way out of a failure: it must not throw. A closed connection means the session that held the
// transaction is gone, and the server has ended the transaction with it; a query here would only open a new
// session.
void TransactionGroup::Rollback() noexcept {
  open_ = false;
  closed_ = true;
  if (!runner_.connection().connected()) return;
  try {
    Control(kRollbackTransactionText);
  } catch (const std::exception&) {
    // The transaction ends with the session when the rollback cannot reach the server.
  }
}

}  // namespace schema
