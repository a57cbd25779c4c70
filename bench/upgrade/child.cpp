#include "child.h"

#include <cstdlib>
#include <string>

#include "child_process.h"

namespace bench_upgrade {

// The outcome travels as "<boxes> <failed> <note>".
ChildResult RunInChild(const std::function<void(PhaseOutcome& outcome)>& phase) {
  const bench::ChildReport report = bench::RunInChild([&phase] {
    PhaseOutcome outcome;
    phase(outcome);
    return std::to_string(outcome.boxes) + " " + (outcome.failed ? "1" : "0") + " " + outcome.note;
  });
  ChildResult result;
  result.ok = report.ok;
  result.seconds = report.seconds;
  result.peak_rss_mib = report.peak_rss_mib;
  result.error = report.error;
  if (report.ok) {
    char* rest = nullptr;
    result.outcome.boxes = static_cast<int>(std::strtol(report.text.c_str(), &rest, 10));
    result.outcome.failed = std::strtol(rest, &rest, 10) != 0;
    if (*rest == ' ') ++rest;
    result.outcome.note = rest;
  }
  return result;
}

}  // namespace bench_upgrade
