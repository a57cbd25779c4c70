// Runs a piece of a benchmark in a forked child process, so that the peak resident set size it reports is
// that piece's own and not the parent's high-water mark. POSIX only (fork, pipe, getrusage).
#ifndef CLUBIQA_BENCH_COMMON_CHILD_PROCESS_H_
#define CLUBIQA_BENCH_COMMON_CHILD_PROCESS_H_

#include <functional>
#include <string>

namespace bench {

struct ChildReport {
  bool ok = false;          // `work` returned normally
  double seconds = 0;       // wall time around `work`, measured in the child
  double peak_rss_mib = 0;  // getrusage ru_maxrss of the child after `work`
  std::string text;         // what `work` returned (cut to kMaxChildText bytes)
  std::string error;        // why `work` did not return normally
};

inline constexpr size_t kMaxChildText = 1000;

// Flushes stdout and stderr (so nothing is printed twice), forks, runs `work` in the child and waits for it.
// An exception thrown by `work` becomes `error`, as does a child that ends without reporting.
ChildReport RunInChild(const std::function<std::string()>& work);

}  // namespace bench

#endif  // CLUBIQA_BENCH_COMMON_CHILD_PROCESS_H_
