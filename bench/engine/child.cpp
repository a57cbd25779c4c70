#include "child.h"

#include <cstdio>
#include <cstdlib>

#include "child_process.h"

namespace bench {

ChildResult RunMeasuredInChild(const std::function<double()>& work) {
  const ChildReport report = RunInChild([&work] {
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "%.17g", work());
    return std::string(seconds);
  });
  ChildResult result;
  result.ok = report.ok;
  result.peak_rss_mib = report.peak_rss_mib;
  result.error = report.error;
  if (report.ok) result.seconds = std::strtod(report.text.c_str(), nullptr);
  return result;
}

}  // namespace bench
