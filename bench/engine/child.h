// Runs a measured piece of the engine benchmark in a child process of its own (see child_process.h), so
// that its peak resident set size is its own. POSIX only, like the benchmark itself.
#pragma once

#include <functional>
#include <string>

namespace bench {

struct ChildResult {
  bool ok = false;
  double seconds = 0;       // what the work function returned
  double peak_rss_mib = 0;  // getrusage ru_maxrss of the child when the work had returned
  std::string error;
};

// Runs `work` (it returns the seconds it measured itself; an exception is reported as the error) in a child.
ChildResult RunMeasuredInChild(const std::function<double()>& work);

}  // namespace bench
