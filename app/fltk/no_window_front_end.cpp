// Builds without a window toolkit have no window front end: the console is used.
#include "app/front_end.h"

namespace app {

std::unique_ptr<FrontEnd> MakeWindowFrontEnd() { return nullptr; }

}  // namespace app
