// Runs one phase of the benchmark in a forked child process, so that the peak resident set size it reports
// is that phase's own. POSIX only (fork, getrusage).
#ifndef CLUBIQA_BENCH_UPGRADE_CHILD_H_
#define CLUBIQA_BENCH_UPGRADE_CHILD_H_

#include <functional>
#include <string>

namespace bench_upgrade {

// What a phase tells about itself besides its time.
struct PhaseOutcome {
  int boxes = 0;        // message boxes the run showed
  bool failed = false;  // a failure ended the run
  std::string note;     // the text of the last box, for a failed run
};

struct ChildResult {
  bool ok = false;  // the phase returned normally
  double seconds = 0;
  double peak_rss_mib = 0;
  PhaseOutcome outcome;
  std::string error;  // why the phase did not return normally
};

// Forks, runs `phase` in the child and waits for it. The phase fills `outcome`; its time is measured around it.
ChildResult RunInChild(const std::function<void(PhaseOutcome& outcome)>& phase);

}  // namespace bench_upgrade

#endif  // CLUBIQA_BENCH_UPGRADE_CHILD_H_
