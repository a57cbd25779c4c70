// Stage A: club flags, member bank fields and bookkeeping keys.
#include "stages.h"

namespace upgrade {

void RunStageA(const Stage& /*stage*/) {}

}  // namespace upgrade
