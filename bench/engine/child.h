// Runs a piece of the benchmark in a child process, so that its peak resident set size is its own
// and not the parent's high-water mark. POSIX only (fork, getrusage), like the benchmark itself.
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

// Forks, runs `work` in the child (it returns the seconds it measured; an exception is reported
// as the error) and waits for it. Flushes stdout first so that nothing is printed twice.
ChildResult RunInChild(const std::function<double()>& work);

}  // namespace bench
