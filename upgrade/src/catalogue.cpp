// The catalogue run: entry test, start actions, the stages, end actions.
#include "upgrade/catalogue.h"

#include <cmath>
#include <utility>

#include "stages.h"

namespace upgrade {

int GaugeValue(int32_t counter, int32_t total) {
  // nearbyint rounds in the default mode, to nearest with ties to even: 12.5 gives 12, 37.5 gives 38.
  return static_cast<int>(std::nearbyint(static_cast<double>(counter) / total * 100.0));
}

Catalogue::Catalogue(db::Connection& client, schema::StatementRunner& runner, schema::Primitives& primitives,
                     ui::Ui& ui, Today today)
    : client_(client), runner_(runner), primitives_(primitives), ui_(ui), mandates_(client, std::move(today)) {}

void Catalogue::acOKExecute() {
  if (!client_.connected()) return;  // the failed switch has been reported already
  total_ = kProgressTotal;
  counter_ = 1;
  ui_.ProcessMessages();  // the caption has just changed
  {
    // The default cursor comes back also when an unguarded failure ends the pass: the window then sits idle
    // behind the failure box and must not look busy.
    ui::WaitCursor wait(ui_);
    ui_.SetGauge(1);
    RunStages();
  }
  ui_.SetGauge(100);
  ui_.SetGauge(0);
}

void Catalogue::ProgressStep() {
  ++counter_;
  ui_.SetGauge(GaugeValue(counter_, total_));
}

void Catalogue::RunStages() {
  Stage stage{runner_, primitives_, [this] { ProgressStep(); }, EmbeddedTextBlocks()};
  RunStageA(stage);
  RunStageB(stage);
  RunStageC(stage);
  RunStageD(stage);
  RunStageE(stage, mandates_);
}

}  // namespace upgrade
