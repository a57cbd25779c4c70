// The server's log: one line per event on stderr, whole lines even when connections log at once.
#pragma once

#include <string_view>

namespace tds {

void LogLine(std::string_view line);

}  // namespace tds
