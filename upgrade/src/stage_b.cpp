// Stage B: chart-of-accounts and tax-key templates, indexes and conversions of the bookkeeping table.
#include "stages.h"

namespace upgrade {

void RunStageB(const Stage& /*stage*/) {}

}  // namespace upgrade
