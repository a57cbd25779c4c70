// The upgrade catalogue: one fixed, ordered pass of schema and data changes over the client database that
// the client connection is open on, with its progress accounting on the gauge.
//
// acOKExecute does nothing when the client connection is closed (its switch failed and was reported). A
// failure of an unguarded statement or probe ends the pass at that statement and leaves acOKExecute as the
// db::Error it was; the gauge keeps the value it had, nothing is rolled back.
#ifndef CLUBIQA_UPGRADE_CATALOGUE_H_
#define CLUBIQA_UPGRADE_CATALOGUE_H_

#include <cstdint>

#include "db/connection.h"
#include "schema/primitives.h"
#include "schema/statement_runner.h"
#include "ui/ui.h"
#include "upgrade/mandates.h"

namespace upgrade {

// One more than the number of progress steps of the whole catalogue, so that the last step reaches 100.
inline constexpr int32_t kProgressTotal = 72;

// counter / total * 100, rounded to the nearest integer with a half going to the even neighbour.
int GaugeValue(int32_t counter, int32_t total);

class Catalogue {
 public:
  // None of the references is owned; all must outlive the catalogue. `today` dates the mandate records.
  Catalogue(db::Connection& client, schema::StatementRunner& runner, schema::Primitives& primitives, ui::Ui& ui,
            Today today = LocalToday);
  Catalogue(const Catalogue&) = delete;
  Catalogue& operator=(const Catalogue&) = delete;

  void acOKExecute();

  // Advances the progress counter and sets the gauge from it.
  void ProgressStep();
  [[nodiscard]] int32_t counter() const { return counter_; }

 private:
  void RunStages();

  db::Connection& client_;
  schema::StatementRunner& runner_;
  schema::Primitives& primitives_;
  ui::Ui& ui_;
  Mandates mandates_;  // the mandate generation of stage E, on the client connection
  int32_t counter_ = 1;
  int32_t total_ = kProgressTotal;
};

}  // namespace upgrade

#endif  // CLUBIQA_UPGRADE_CATALOGUE_H_
