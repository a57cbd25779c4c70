// Log lines (see log.h).
#include "tds/log.h"

#include <iostream>
#include <mutex>
#include <string>

namespace tds {

void LogLine(std::string_view line) {
  static std::mutex mutex;
  std::string text = "clubiqa-sqlserverd: " + std::string(line) + "\n";
  std::lock_guard lock(mutex);
  std::cerr << text << std::flush;
}

}  // namespace tds
