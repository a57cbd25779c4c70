// What every catalogue stage works with, and the stages in their order. Each stage lives in a source of
// its own and reads like its step list: one block per step, in order.
//
// A step whose statements belong together opens a schema::TransactionGroup around them: a one-time conversion
// with the add-column step of its marker column, a table created if missing with the seed rows sent in the
// run that created it (CreateTableIfMissing groups a table with its keys by itself). Cut off in the middle,
// such a step leaves nothing behind, and the next run's probe finds the marker or table missing and sends the
// whole step again.
#ifndef CLUBIQA_UPGRADE_STAGES_H_
#define CLUBIQA_UPGRADE_STAGES_H_

#include <functional>

#include "schema/primitives.h"
#include "schema/statement_runner.h"
#include "schema/transaction_group.h"
#include "upgrade/mandates.h"
#include "upgrade/text_blocks.h"

namespace upgrade {

struct Stage {
  schema::StatementRunner& runner;
  schema::Primitives& primitives;
  std::function<void()> progress;  // one progress step of the catalogue
  const TextBlocks& blocks;        // the reference scripts the stages run

  void Progress() const { progress(); }
};

// Club flags, member bank fields and bookkeeping keys.
void RunStageA(const Stage& stage);
// Chart-of-accounts and tax-key templates, indexes and conversions of the bookkeeping table.
void RunStageB(const Stage& stage);
// Federations, sports, invoices and transfers, with the reference scripts reloaded.
void RunStageC(const Stage& stage);
// Club bank accounts, help, SEPA log and online banking.
void RunStageD(const Stage& stage);
// Federation reporting and SEPA direct debit, ending with the mandate records that `mandates` creates.
void RunStageE(const Stage& stage, Mandates& mandates);

}  // namespace upgrade

#endif  // CLUBIQA_UPGRADE_STAGES_H_
